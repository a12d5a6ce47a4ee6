// Documents come back from disk byte for byte; what is not text is refused.
#include "support/requirekit.h"
#include "support/seed.h"
#include "surface/surface.h"
#include "surface/textfile.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

using namespace qln;

class TstTextFile : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void mixedLineBreaksTakeTheStyleUsedMost_data();
    void mixedLineBreaksTakeTheStyleUsedMost();
    void agreesWithQtOnRandomText();
    void everyKitSourceFileRoundTrips();
    void refusesWhatIsNotText();
    void refusesATooLargeFileUnread();
    void loadFileKeepsContentOnFailure();
    void latin1TextGainingWideCharactersIsNotLost();
    void failedWriteLeavesNoFile();

private:
    QString write(const QByteArray &bytes);
    QTemporaryDir m_dir;
    int m_count = 0;
};

QString TstTextFile::write(const QByteArray &bytes)
{
    const QString path = m_dir.filePath(QStringLiteral("f%1.java").arg(++m_count));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write(bytes);
    return path;
}

void TstTextFile::roundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("latin1");
    QTest::addColumn<int>("strayBytes");
    const auto utf8 = [](const char *name, const QByteArray &bytes, const QString &text,
                         int stray = 0) { QTest::newRow(name) << bytes << text << false << stray; };
    const auto latin1 = [](const char *name, const QByteArray &bytes, const QString &text) {
        QTest::newRow(name) << bytes << text << true << 0;
    };
    utf8("crlf", "a\r\nb\r\n", "a\r\nb\r\n");
    utf8("lf", "class A {\n}\n", "class A {\r\n}\r\n");
    utf8("no final break", "x\ny", "x\r\ny");
    utf8("empty", QByteArray(), "");
    utf8("utf8", "// h\xC3\xA9llo\n", QStringLiteral("// héllo\r\n"));
    utf8("utf8 bom", "\xEF\xBB\xBFint x;\r\n", "int x;\r\n");
    utf8("cr only", "a\rb\r", "a\r\nb\r\n");
    // Only the first mark is the file's; any further one is text.
    utf8("two marks", "\xEF\xBB\xBF\xEF\xBB\xBFint x;\r\n", QStringLiteral("\uFEFFint x;\r\n"));
    utf8("three marks, lf",
         "\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBB\xBF"
         "a\n",
         QStringLiteral("\uFEFF\uFEFFa\r\n"));
    utf8("marks only", "\xEF\xBB\xBF\xEF\xBB\xBF", QStringLiteral("\uFEFF"));
    utf8("mark inside", "a\xEF\xBB\xBF\n", QStringLiteral("a\uFEFF\r\n"));
    utf8("tabs and nbsp", "\ta\xC2\xA0=1;\n", QStringLiteral("\ta\u00A0=1;\r\n"));

    // UTF-8 with stray bytes: each one is the stand-in U+F700 + byte.
    utf8("a stray byte", "class A {\n  // caf\xC3\xA9\n  // \xFF\n}\n",
         QStringLiteral("class A {\r\n  // café\r\n  // \uF7FF\r\n}\r\n"), 1);
    utf8("mark and a Latin-1 byte", "\xEF\xBB\xBF// caf\xE9\n", QStringLiteral("// caf\uF7E9\r\n"),
         1);
    utf8("cut short at the end", "\xC3\xA9\xE2\x82", QStringLiteral("é\uF7E2\uF782"), 2);
    utf8("overlong, surrogate, past U+10FFFF", "\xC3\xA9 \xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80",
         QStringLiteral("é \uF7C0\uF7AF \uF7ED\uF7A0\uF780 \uF7F4\uF790\uF780\uF780"), 9);
    utf8("lone continuation beside a pair", "\x80\xF0\x9F\x98\x80\xBF",
         QStringLiteral("\uF780\U0001F600\uF7BF"), 2);
    // The file's own characters of the stand-in range are read as their
    // three bytes, so they are written back as they were.
    utf8("stand-in range in valid UTF-8", "// \xEF\x9E\x80 \xEF\x9F\xBF \xEF\xA0\x80\n",
         QStringLiteral("// \uF7EF\uF79E\uF780 \uF7EF\uF79F\uF7BF \uF800\r\n"));
    utf8("stand-in range and a stray byte", "\xEF\x9F\xA9\xE9\n",
         QStringLiteral("\uF7EF\uF79F\uF7A9\uF7E9\r\n"), 1);

    // No valid multi-byte sequence: Latin-1, every byte a character.
    latin1("latin1", "// caf\xE9\n", QStringLiteral("// café\r\n"));
    latin1("latin1, crlf", "\xA9 2024\r\n\xFF\r\n", QStringLiteral("© 2024\r\nÿ\r\n"));
    latin1("a mark cut short",
           "\xEF\xBB"
           "a\n",
           QStringLiteral("ï»a\r\n"));
}

void TstTextFile::roundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(bool, latin1);
    QFETCH(int, strayBytes);
    const QString path = write(bytes);
    const auto read = readTextFile(path);
    QVERIFY(read);
    QCOMPARE(read->text, text);
    QCOMPARE(read->format.encoding, latin1 ? TextFileFormat::Latin1 : TextFileFormat::Utf8);
    QCOMPARE(read->strayBytes, qsizetype(strayBytes));
    Surface s;
    const auto format = s.loadFile(path);
    QVERIFY(format.has_value());
    QCOMPARE(s.text(), text);
    QVERIFY(writeTextFile(path, s.text(), *format));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), bytes);
}

void TstTextFile::mixedLineBreaksTakeTheStyleUsedMost_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("written"); // after Open and Save
    QTest::newRow("CR LF most") << QByteArray("a\r\nb\nc\r\nd\re")
                                << QByteArray("a\r\nb\r\nc\r\nd\r\ne");
    QTest::newRow("LF most") << QByteArray("a\nb\r\nc\nd\r") << QByteArray("a\nb\nc\nd\n");
    QTest::newRow("CR most") << QByteArray("\ra\rb\nc\r\n\r") << QByteArray("\ra\rb\rc\r\r");
    QTest::newRow("CR LF wins a tie") << QByteArray("a\r\nb\nc\r") << QByteArray("a\r\nb\r\nc\r\n");
    QTest::newRow("LF wins a tie with CR") << QByteArray("\n\r") << QByteArray("\n\n");
    QTest::newRow("CR then LF far apart")
        << QByteArray("\r\xC3\xA9\n") << QByteArray("\n\xC3\xA9\n");
    QTest::newRow("stray bytes beside breaks")
        << QByteArray("\xC3\xA9\xFF\r\xFE\n\xFD\n") << QByteArray("\xC3\xA9\xFF\n\xFE\n\xFD\n");
    QTest::newRow("Latin-1, CR LF most")
        << QByteArray("\xE9\r\n\xFF\r\n\n") << QByteArray("\xE9\r\n\xFF\r\n\r\n");
    // Long lines cross the blocks the scans work in.
    const QByteArray line(1000, 'x');
    QTest::newRow("long lines") << line + "\n" + line + "\r\n" + line + "\n"
                                << line + "\n" + line + "\n" + line + "\n";
}

void TstTextFile::mixedLineBreaksTakeTheStyleUsedMost()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, written);
    const QString path = write(bytes);
    Surface s;
    const auto format = s.loadFile(path);
    QVERIFY(format);
    QVERIFY(!s.text().contains(QRegularExpression(QStringLiteral("\r(?!\n)|(?<!\r)\n"))));
    QVERIFY(writeTextFile(path, s.text(), *format));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), written);
}

void TstTextFile::agreesWithQtOnRandomText()
{
    // Valid UTF-8 decodes as Qt decodes it, and text without stand-ins
    // encodes as Qt encodes it (lone surrogates included), whatever the
    // lengths and wherever the line breaks fall.
    test::SeededRandom rng;
    const char16_t alphabet[] = {u'a',      u' ',      u'\r',     u'\n',     u'\t',  u'\u00e9',
                                 u'\u20ac', u'\uFEFF', u'\uF77F', u'\uF800', 0xD83D, 0xDE00};
    for (int round = 0; round < 400; ++round) {
        QString text;
        const int length = int(rng.bounded(round % 10 == 0 ? 3000 : 40));
        for (int i = 0; i < length; ++i)
            text += QChar(alphabet[rng.bounded(int(std::size(alphabet)))]);
        const QString crlf = Surface::normalizeLineBreaks(text);
        QString lf = crlf, cr = crlf;
        lf.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        cr.replace(QLatin1String("\r\n"), QLatin1String("\r"));
        const TextFileFormat utf8Lf{TextFileFormat::Utf8, false, TextFileFormat::Lf};
        const TextFileFormat utf8Cr{TextFileFormat::Utf8, true, TextFileFormat::Cr};
        QCOMPARE(encodeText(crlf, TextFileFormat{}), crlf.toUtf8());
        QCOMPARE(encodeText(crlf, utf8Lf), lf.toUtf8());
        QCOMPARE(encodeText(crlf, utf8Cr), "\xEF\xBB\xBF" + cr.toUtf8());

        const QByteArray bytes = lf.toUtf8();
        const auto decoded = decodeText(bytes);
        QVERIFY(decoded);
        const bool mark = bytes.startsWith("\xEF\xBB\xBF");
        QCOMPARE(decoded->format.byteOrderMark, mark);
        // Only the first mark is the file's: any further one is text.
        QStringDecoder qt(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        QCOMPARE(decoded->text, Surface::normalizeLineBreaks(qt.decode(bytes.mid(mark ? 3 : 0))));
        QCOMPARE(decoded->strayBytes, qsizetype(0));
        if (bytes.contains('\n'))
            QCOMPARE(decoded->format.lineBreak, TextFileFormat::Lf);
    }
}

void TstTextFile::everyKitSourceFileRoundTrips()
{
    // Every file of the Java kit's sources comes back byte for byte, read
    // and written as Open and Save do.
    const QDir jvm(QStringLiteral("/usr/lib/jvm"));
    QString zip;
    for (const QString &kit : jvm.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        if (zip.isEmpty() && QFile::exists(jvm.filePath(kit + QStringLiteral("/lib/src.zip"))))
            zip = jvm.filePath(kit + QStringLiteral("/lib/src.zip"));
    QLN_REQUIRE_KIT(!zip.isEmpty() && !QStandardPaths::findExecutable("unzip").isEmpty(),
                    "the Java kit's lib/src.zip (and unzip)");
    QTemporaryDir dir;
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"),
                {QStringLiteral("-q"), zip, QStringLiteral("-d"), dir.path()});
    QVERIFY(unzip.waitForFinished(600000));
    QCOMPARE(unzip.exitCode(), 0);
    int files = 0, notText = 0;
    QDirIterator it(dir.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        ++files;
        Surface s;
        const auto format = s.loadFile(path);
        if (!format) {
            QVERIFY2(bytes.contains('\0'), qPrintable(path));
            ++notText;
            continue;
        }
        // A file that mixes styles comes back in the one it used most.
        QByteArray expected = bytes;
        if (expected.contains('\r')) {
            expected.replace("\r\n", "\n").replace('\r', '\n');
            if (format->lineBreak != TextFileFormat::Lf)
                expected.replace('\n', format->lineBreak == TextFileFormat::Cr ? "\r" : "\r\n");
        }
        const QByteArray written = encodeText(s.text(), *format);
        if (written != expected)
            QFAIL(qPrintable(QStringLiteral("%1 does not come back as it was").arg(path)));
    }
    qInfo("%d files, %d of them not text", files, notText);
    QVERIFY(files > 10000);
}

void TstTextFile::refusesATooLargeFileUnread()
{
    // A sparse file just past the limit: refused by its size, with the
    // reason, before a byte of it is read.
    const QString path = write(QByteArray());
    {
        QFile f(path);
        QVERIFY(f.resize(kMaxFileBytes + 1));
    }
    QString error;
    QVERIFY(!readTextFile(path, &error));
    QCOMPARE(error, fileTooLargeText(kMaxFileBytes + 1));
    QVERIFY(error.startsWith(QStringLiteral("The file is too large to open")));
    Surface s;
    s.setText(QStringLiteral("mine"));
    QVERIFY(!s.loadFile(path));
    QCOMPARE(s.text(), QStringLiteral("mine"));
}

void TstTextFile::refusesWhatIsNotText()
{
    QString error;
    QVERIFY(!readTextFile(write(QByteArray("ab\0cd", 5)), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!readTextFile(m_dir.path()));                           // a folder
    QVERIFY(!readTextFile(m_dir.filePath(QStringLiteral("none")))); // missing
}

void TstTextFile::loadFileKeepsContentOnFailure()
{
    Surface s;
    s.setText(QStringLiteral("mine"));
    QVERIFY(!s.loadFile(write(QByteArray("\0\1\2", 3))));
    QCOMPARE(s.text(), QStringLiteral("mine"));
}

void TstTextFile::latin1TextGainingWideCharactersIsNotLost()
{
    const QString path = write(QByteArray("caf\xE9"));
    Surface s;
    auto format = s.loadFile(path);
    QVERIFY(format);
    QCOMPARE(format->encoding, TextFileFormat::Latin1);
    s.setSelStart(s.length());
    s.setSelText(QStringLiteral(" \u20AC"));
    QVERIFY(writeTextFile(path, s.text(), *format));
    auto back = readTextFile(path);
    QVERIFY(back);
    QCOMPARE(back->text, QStringLiteral("café €"));
}

void TstTextFile::failedWriteLeavesNoFile()
{
    // The folder does not exist: the write fails and reports why.
    const QString path = m_dir.filePath(QStringLiteral("missing/a.java"));
    QString error;
    QVERIFY(!writeTextFile(path, QStringLiteral("x"), TextFileFormat{}, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(path));
}

QTEST_MAIN(TstTextFile)
#include "tst_textfile.moc"
