// Spelling-list files: the delimited format written and read back, and the
// files a user may pick by mistake (bad quotes, missing fields, binary data).
#include "settings/spellinglist.h"
#include "support/datarow.h"
#include "support/files.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace qln;

class TstSpellingList : public QObject {
    Q_OBJECT
private slots:
    void parse_data()
    {
        columns<QString, QStringList, QStringList, int, int>("text", "from", "to", "skipped",
                                                             "firstSkipped");

        row("bare fields, blanks trimmed, LF", "  teh ,  the \nadn,and", QStringList{"teh", "adn"},
            QStringList{"the", "and"}, 0, 0);
        row("CR line ends, blank lines ignored", "\"a\",\"b\"\r\r\n \r\"c\",\"d\"\r",
            QStringList{"a", "c"}, QStringList{"b", "d"}, 0, 0);
        row("comma and doubled quote inside quotes, third field ignored",
            "\"a,b\",\"c\"\n\"say\"\"\",\"x\",\"y\"", QStringList{"a,b", "say\""},
            QStringList{"c", "x"}, 0, 0);
        // A missing second field must not pair the line with the next one.
        row("missing second field", "\"a\",\"b\"\r\n\"lonely\"\r\n\"c\",\"d\"\r\n",
            QStringList{"a", "c"}, QStringList{"b", "d"}, 1, 2);
        row("empty fields skipped", "\"\",\"x\"\n\"y\",\"\"\n\"a\",\"b\"", QStringList{"a"},
            QStringList{"b"}, 2, 1);
        // An open quote ends with its line; the following lines still read.
        row("unbalanced quote", "\"teh,\"the\"\r\n\"adn\",\"and\"\r\n", QStringList{"adn"},
            QStringList{"and"}, 1, 1);
        row("unbalanced second field", "\"teh\",\"the\r\n\"adn\",\"and\"",
            QStringList{"teh", "adn"}, QStringList{"the", "and"}, 0, 0);
        row("empty text", "", QStringList{}, QStringList{}, 0, 0);
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
        QStringList from{"teh", "a,b", "quote\"d", "ünï"};
        QStringList to{"The", "c", "x", "uni"};
        QVERIFY(writeSpellingList(path, from, to));
        const QByteArray bytes = test::readFile(path);
        QVERIFY(bytes.startsWith("\"teh\",\"The\"\r\n\"a,b\",\"c\"\r\n"));
        QVERIFY(bytes.endsWith("\r\n"));
        QCOMPARE(bytes.count("\r\n"), 4);
        SpellingListRead r = readSpellingList(path);
        QCOMPARE(r.status, SpellingListRead::Ok);
        QCOMPARE(r.from, from);
        QCOMPARE(r.to, to);

        // A long list comes back whole.
        for (int i = 0; i < 100000; ++i) {
            from << QStringLiteral("w%1").arg(i);
            to << QStringLiteral("r%1").arg(i);
        }
        QVERIFY(writeSpellingList(path, from, to));
        r = readSpellingList(path);
        QCOMPARE(r.from, from);
        QCOMPARE(r.to, to);
    }

    void writeFailureKeepsNothingHalfWritten()
    {
        QTemporaryDir dir;
        // The parent of the target is a file: the write cannot happen.
        QVERIFY(test::writeFile(dir.filePath("file")));
        QString error;
        QVERIFY(!writeSpellingList(dir.filePath("file/list.txt"), {"a"}, {"b"}, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(dir.filePath("file/list.txt")));
    }

    void badFiles()
    {
        QTemporaryDir dir;
        auto write = [&](const QString &name, const QByteArray &bytes) {
            return test::writeFile(dir.filePath(name), bytes) ? dir.filePath(name) : QString();
        };
        // Binary data is refused as a whole.
        const SpellingListRead bin = readSpellingList(
            write("bin.txt", QByteArray("\"a\",\"b\"\r\n\x00\x01\x02\xff\xfe", 14)));
        QCOMPARE(bin.status, SpellingListRead::NotText);
        QVERIFY(bin.from.isEmpty());
        QCOMPARE(readSpellingList(dir.filePath("absent.txt")).status, SpellingListRead::Unreadable);

        // Latin-1 text that is not UTF-8 still reads.
        const SpellingListRead latin =
            readSpellingList(write("latin.txt", "\"caf\xe9\",\"x\"\r\n"));
        QCOMPARE(latin.status, SpellingListRead::Ok);
        QCOMPARE(latin.from, QStringList{QString::fromLatin1("caf\xe9")});

        // A byte-order mark is not part of the first word; a second one is
        // text (here it makes the first field a bare one).
        QCOMPARE(readSpellingList(write("bom.txt", "\xEF\xBB\xBF\"a\",\"b\"")).from,
                 QStringList{"a"});
        QCOMPARE(readSpellingList(write("bom2.txt", "\xEF\xBB\xBF\xEF\xBB\xBF\"a\",\"b\"")).from,
                 QStringList{QStringLiteral("\uFEFF\"a\"")});
        QCOMPARE(readSpellingList(write("bom3.txt", "\xEF\xBB\xBFx,y\r\n\xEF\xBB\xBFz,w")).from,
                 (QStringList{"x", QStringLiteral("\uFEFFz")}));
    }
};

QTEST_GUILESS_MAIN(TstSpellingList)
#include "tst_spellinglist.moc"
