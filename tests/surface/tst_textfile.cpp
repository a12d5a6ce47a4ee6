// Documents come back from disk byte for byte; what is not text is refused.
#include "surface/surface.h"
#include "surface/textfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace qln;

class TstTextFile : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void refusesWhatIsNotText();
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
    QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << "a\r\nb\r\n";
    QTest::newRow("lf") << QByteArray("class A {\n}\n") << "class A {\r\n}\r\n";
    QTest::newRow("no final break") << QByteArray("x\ny") << "x\r\ny";
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("utf8") << QByteArray("// h\xC3\xA9llo\n") << QStringLiteral("// héllo\r\n");
    QTest::newRow("utf8 bom") << QByteArray("\xEF\xBB\xBFint x;\r\n") << "int x;\r\n";
    QTest::newRow("latin1") << QByteArray("// caf\xE9\n") << QStringLiteral("// café\r\n");
    QTest::newRow("cr only") << QByteArray("a\rb\r") << "a\r\nb\r\n";
    // Only the first mark is the file's; any further one is text.
    QTest::newRow("two marks") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBFint x;\r\n")
                               << QStringLiteral("\uFEFFint x;\r\n");
    QTest::newRow("three marks, lf") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBB\xBF" "a\n")
                                     << QStringLiteral("\uFEFF\uFEFFa\r\n");
    QTest::newRow("marks only") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF") << QStringLiteral("\uFEFF");
    QTest::newRow("mark inside") << QByteArray("a\xEF\xBB\xBF\n") << QStringLiteral("a\uFEFF\r\n");
    QTest::newRow("tabs and nbsp") << QByteArray("\ta\xC2\xA0=1;\n") << QStringLiteral("\ta\u00A0=1;\r\n");
}

void TstTextFile::roundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const QString path = write(bytes);
    Surface s;
    const auto format = s.loadFile(path);
    QVERIFY(format.has_value());
    QCOMPARE(s.text(), text);
    QVERIFY(writeTextFile(path, s.text(), *format));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), bytes);
}

void TstTextFile::refusesWhatIsNotText()
{
    QString error;
    QVERIFY(!readTextFile(write(QByteArray("ab\0cd", 5)), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!readTextFile(m_dir.path()));                         // a folder
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
