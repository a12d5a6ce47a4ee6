// Spelling-list files: the delimited format written and read back, and the
// files a user may pick by mistake (bad quotes, missing fields, blank
// lines, binary data, very long lists).
#include "settings/spellinglist.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace qln;

class TstSpellingList : public QObject {
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("from");
        QTest::addColumn<QStringList>("to");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<int>("firstSkipped");

        QTest::newRow("quoted CR LF") << "\"teh\",\"the\"\r\n\"adn\",\"and\"\r\n"
                                      << QStringList{"teh", "adn"} << QStringList{"the", "and"} << 0 << 0;
        QTest::newRow("bare fields, blanks trimmed, LF")
            << "  teh ,  the \nadn,and" << QStringList{"teh", "adn"} << QStringList{"the", "and"} << 0 << 0;
        QTest::newRow("CR line ends") << "\"a\",\"b\"\r\"c\",\"d\"\r"
                                      << QStringList{"a", "c"} << QStringList{"b", "d"} << 0 << 0;
        QTest::newRow("blank lines ignored") << "\r\n   \r\n\"a\",\"b\"\r\n\t\r\n\r\n"
                                             << QStringList{"a"} << QStringList{"b"} << 0 << 0;
        QTest::newRow("comma inside quotes") << "\"a,b\",\"c\"" << QStringList{"a,b"}
                                             << QStringList{"c"} << 0 << 0;
        QTest::newRow("doubled quote") << "\"say\"\"\",\"x\"" << QStringList{"say\""}
                                       << QStringList{"x"} << 0 << 0;
        QTest::newRow("third field ignored") << "\"a\",\"b\",\"c\"" << QStringList{"a"}
                                             << QStringList{"b"} << 0 << 0;
        // A missing second field must not pair the line with the next one.
        QTest::newRow("missing second field")
            << "\"a\",\"b\"\r\n\"lonely\"\r\n\"c\",\"d\"\r\n"
            << QStringList{"a", "c"} << QStringList{"b", "d"} << 1 << 2;
        QTest::newRow("empty fields skipped") << "\"\",\"x\"\n\"y\",\"\"\n\"a\",\"b\""
                                              << QStringList{"a"} << QStringList{"b"} << 2 << 1;
        // An open quote ends with its line; the following lines still read.
        QTest::newRow("unbalanced quote")
            << "\"teh,\"the\"\r\n\"adn\",\"and\"\r\n"
            << QStringList{"adn"} << QStringList{"and"} << 1 << 1;
        QTest::newRow("unbalanced second field")
            << "\"teh\",\"the\r\n\"adn\",\"and\"" << QStringList{"teh", "adn"}
            << QStringList{"the", "and"} << 0 << 0;
        QTest::newRow("empty text") << "" << QStringList{} << QStringList{} << 0 << 0;
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, from);
        QFETCH(QStringList, to);
        QFETCH(int, skipped);
        QFETCH(int, firstSkipped);
        const SpellingListRead r = parseSpellingList(text);
        QCOMPARE(r.status, SpellingListRead::Ok);
        QCOMPARE(r.from, from);
        QCOMPARE(r.to, to);
        QCOMPARE(r.skipped, skipped);
        QCOMPARE(r.firstSkippedLine, firstSkipped);
    }

    void writeAndReadBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("list.txt");
        const QStringList from{"teh", "a,b", "quote\"d", "ünï"};
        const QStringList to{"The", "c", "x", "uni"};
        QVERIFY(writeSpellingList(path, from, to));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("\"teh\",\"The\"\r\n\"a,b\",\"c\"\r\n"));
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(bytes.count("\r\n"), 4);
        const SpellingListRead r = readSpellingList(path);
        QCOMPARE(r.status, SpellingListRead::Ok);
        QCOMPARE(r.from, from);
        QCOMPARE(r.to, to);
    }

    void writeFailureKeepsNothingHalfWritten()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        // The parent of the target is a file: the write cannot happen.
        QString error;
        QVERIFY(!writeSpellingList(dir.filePath("file/list.txt"), {"a"}, {"b"}, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(dir.filePath("file/list.txt")));
    }

    void badFiles()
    {
        QTemporaryDir dir;
        auto write = [&](const QString &name, const QByteArray &bytes) {
            QFile f(dir.filePath(name));
            if (!f.open(QIODevice::WriteOnly))
                return QString();
            f.write(bytes);
            return f.fileName();
        };
        // Binary data is refused as a whole.
        QByteArray binary("\"a\",\"b\"\r\n");
        binary += QByteArray("\x00\x01\x02\xff\xfe", 5);
        QCOMPARE(readSpellingList(write("bin.txt", binary)).status, SpellingListRead::NotText);
        QVERIFY(readSpellingList(write("bin.txt", binary)).from.isEmpty());

        QCOMPARE(readSpellingList(dir.filePath("absent.txt")).status,
                 SpellingListRead::Unreadable);

        // Latin-1 text that is not UTF-8 still reads.
        const SpellingListRead latin = readSpellingList(write("latin.txt", "\"caf\xe9\",\"x\"\r\n"));
        QCOMPARE(latin.status, SpellingListRead::Ok);
        QCOMPARE(latin.from, QStringList{QString::fromLatin1("caf\xe9")});

        // A byte-order mark is not part of the first word.
        const SpellingListRead bom = readSpellingList(write("bom.txt", "\xEF\xBB\xBF\"a\",\"b\""));
        QCOMPARE(bom.from, QStringList{"a"});
    }

    void hundredThousandPairs()
    {
        QTemporaryDir dir;
        QByteArray bytes;
        for (int i = 0; i < 100000; ++i)
            bytes += "\"w" + QByteArray::number(i) + "\",\"r" + QByteArray::number(i) + "\"\r\n";
        QFile f(dir.filePath("big.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        const SpellingListRead r = readSpellingList(f.fileName());
        QCOMPARE(r.status, SpellingListRead::Ok);
        QCOMPARE(r.from.size(), 100000);
        QCOMPARE(r.from.last(), QStringLiteral("w99999"));
        QCOMPARE(r.to.last(), QStringLiteral("r99999"));
    }
};

QTEST_GUILESS_MAIN(TstSpellingList)
#include "tst_spellinglist.moc"
