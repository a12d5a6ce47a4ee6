// The object tree file: reading its fields, the sort check and the sort,
// the missing-file question, the sorted-copy offer, bad files, the "Auto
// Tree Search" box, locating a file, and the tree shipped with the program.
#include "completion/objecttree.h"
#include "completion/treesearch.h"
#include "settings/settingsstore.h"
#include "shell/pathutil.h"
#include "support/scriptedprompter.h"
#include "surface/surface.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using namespace qln;
using qln::test::ScriptedPrompter;

namespace {

const QString kNotFoundText = QStringLiteral(
    "The object Tree File was not found\r\n"
    "Would you like to turn off this message?\r\n"
    "If you choose no, this message will appear each time the program loads\r\n"
    "if object tree has not been located \r\n"
    "\r\n"
    "You can locate existing object tree file by going\r\n"
    "\r\n"
    "Edit>Preferences>General>Locate existing object tree");

QString sortQuestion(const QString &path)
{
    return QStringLiteral("The File \r\n") + path +
           QStringLiteral("\r\nwas not sorted\r\n"
                          "To prevent the sorting of the array every time the program loads\r\n"
                          "you can save the file in sorted order\r\n"
                          "Would you like to do so now?");
}

QString newLocationText(const QString &path)
{
    return QStringLiteral("The new loacation of the object tree file is\r\n") + path +
           QStringLiteral("\r\n\r\nYou can change the location by going\r\n\r\n"
                          "Edit>Preferences>General>Locate existing object tree\r\n\r\n"
                          "and choosing the file you want");
}

const QString kOverwriteText =
    QStringLiteral("File already exists\r\nAre you sure you want to overwrite the current file?");
const QString kWriteErrorText = QStringLiteral(
    "The output File directory is write protected or there's not enough free space on the disk");

QStringList treeOf(QStringList entries)
{
    entries.prepend(QString());
    return entries;
}

// A temporary folder, an in-memory store, a scripted prompter and hooks
// that record what the wait window was told.
struct Fixture {
    QTemporaryDir dir;
    SettingsStore store{std::make_unique<MemorySettingsBackend>()};
    ScriptedPrompter prompter;
    ObjectTree tree;
    QStringList events;
    int yields = 0;
    TreeLoadHooks hooks;

    Fixture()
    {
        hooks.showWait = [this](const QString &t) { events << "show:" + t; };
        hooks.setWaitText = [this](const QString &t) { events << "text:" + t; };
        hooks.hideWait = [this] { events << "hide"; };
        hooks.yield = [this] { ++yields; };
    }
    MemorySettingsBackend &memory() { return static_cast<MemorySettingsBackend &>(store.backend()); }
    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
    void load(QString &path) { LoadObjectTree(path, tree, store, prompter, hooks); }
    QString pref(const QString &key) { return store.get(kPrefs, key, QStringLiteral("<unset>")); }
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

const QStringList kLoadEvents{"show:Loading object tree", "text:Sorting object tree", "hide"};

} // namespace

class TstObjectTree : public QObject {
    Q_OBJECT
private slots:
    void readFields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("CR LF lines") << "a\r\nb\r\n" << QStringList{"a", "b"};
        QTest::newRow("LF and CR lines") << "a\nb\rc" << QStringList{"a", "b", "c"};
        QTest::newRow("blank lines skipped") << "a\r\n\r\n   \r\n\t\r\nb" << QStringList{"a", "b"};
        QTest::newRow("trimmed") << "   java.io.-p-p   \r\n" << QStringList{"java.io.-p-p"};
        QTest::newRow("comma splits") << "a.-p-p,b.-p-p" << QStringList{"a.-p-p", "b.-p-p"};
        QTest::newRow("quoted comma kept") << "\"S.String valueOf(char[], int).-p-m\"\r\n"
                                           << QStringList{"S.String valueOf(char[], int).-p-m"};
        QTest::newRow("quoted and trimmed") << "\"  a b  \"" << QStringList{"a b"};
        QTest::newRow("text after closing quote dropped") << "\"a\"xyz,b" << QStringList{"a", "b"};
        QTest::newRow("unclosed quote ends at line end") << "\"a,b\r\nc" << QStringList{"a,b", "c"};
        QTest::newRow("empty quotes skipped") << "\"\"\r\n\" \"\r\na" << QStringList{"a"};
        QTest::newRow("empty fields skipped") << ",,a,,\r\n," << QStringList{"a"};
        QTest::newRow("quote inside unquoted field") << "a\"b" << QStringList{"a\"b"};
        QTest::newRow("overlong field skipped")
            << QString("a\r\n") + QString(5000, QLatin1Char('x')) + "\r\nb" << QStringList{"a", "b"};
        QTest::newRow("empty text") << "" << QStringList{};
    }
    void readFields()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, fields);
        QCOMPARE(readTreeFields(text), fields);
    }

    void sortCheck()
    {
        QVERIFY(IsTreeSorted(treeOf({"Z", "a"}))); // capitals first
        QVERIFY(!IsTreeSorted(treeOf({"a", "Z"})));
        QVERIFY(IsTreeSorted(treeOf({"a", "a", "b"}))); // equal neighbours
        QVERIFY(IsTreeSorted(treeOf({"b"})));
        QVERIFY(IsTreeSorted(QStringList{QString()}));
        QVERIFY(IsTreeSorted(QStringList{}));
        QVERIFY(IsTreeSorted(QStringList{"zzz", "a", "b"})); // entry 0 is not looked at
        QVERIFY(!IsTreeSorted(treeOf({"a", "c", "b", "d"})));
        QVERIFY(IsTreeSorted(treeOf({"java.awt.-p-p", "java.awt.Color.-p-c", "java.awtx.-p-p"})));
    }

    void sortTree_data()
    {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<int>("n");
        for (const char *shape : {"random", "sorted", "reversed", "all equal", "few values",
                                  "organ pipe", "middle killer"})
            for (int n : {1, 2, 3, 7, 100, 20000})
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(shape).arg(n)))
                    << QString::fromLatin1(shape) << n;
    }
    void sortTree()
    {
        QFETCH(QString, shape);
        QFETCH(int, n);
        auto *rng = QRandomGenerator::global();
        std::vector<int> keys(n);
        for (int i = 0; i < n; ++i) {
            if (shape == "random")
                keys[i] = int(rng->bounded(1000000));
            else if (shape == "sorted")
                keys[i] = i;
            else if (shape == "reversed")
                keys[i] = n - i;
            else if (shape == "all equal")
                keys[i] = 7;
            else if (shape == "few values")
                keys[i] = int(rng->bounded(3));
            else if (shape == "organ pipe")
                keys[i] = std::min(i, n - i);
            else
                keys[i] = i;
        }
        if (shape == "middle killer") {
            // Puts the largest remaining value where each partition of a
            // middle-pivot quicksort looks next, so every pass splits off
            // a single element.
            std::vector<int> pos(n);
            for (int i = 0; i < n; ++i)
                pos[i] = i;
            for (int k = n - 1, lo = 0; lo < n; ++lo, --k) {
                const int mid = (lo + n - 1) / 2;
                std::swap(pos[lo], pos[mid]);
                keys[pos[lo]] = k;
            }
        }
        QStringList arr{QStringLiteral("entry 0")};
        for (int k : keys)
            arr << QStringLiteral("e%1").arg(k, 7, 10, QLatin1Char('0'));
        QStringList expected = arr;
        std::sort(expected.begin() + 1, expected.end());
        int yields = 0;
        SortTree(arr, 1, n, [&] { ++yields; });
        QCOMPARE(arr, expected);
        QVERIFY(IsTreeSorted(arr));
        if (n >= 2)
            QVERIFY(yields >= 1);
    }

    void sortTreeDetails()
    {
        // One partition pass for two swapped entries.
        QStringList two = treeOf({"b", "a"});
        int yields = 0;
        SortTree(two, 1, 2, [&] { ++yields; });
        QCOMPARE(two, treeOf({"a", "b"}));
        QCOMPARE(yields, 1);

        // Only low..high move; entry 0 stays first when sorting from 0.
        QStringList part = treeOf({"d", "c", "b", "a"});
        SortTree(part, 2, 3);
        QCOMPARE(part, treeOf({"d", "b", "c", "a"}));
        SortTree(part, 0, 4);
        QCOMPARE(part, treeOf({"a", "b", "c", "d"}));
        // Bounds outside the array are clamped, not followed.
        QStringList clamped = treeOf({"b", "a"});
        SortTree(clamped, -5, 99);
        QCOMPARE(clamped, treeOf({"a", "b"}));
        QStringList none;
        SortTree(none, 0, 3);
        QVERIFY(none.isEmpty());
    }

    void sortedFileLoadsWithoutQuestion()
    {
        Fixture fx;
        QString path = fx.file("tree.txt", "\"java.awt.-p-p\"\r\n\"java.awt.Color.-p-c\"\r\n"
                                           "\"java.awt.event.-p-p\"\r\n");
        const QString original = path;
        fx.load(path);
        QCOMPARE(fx.tree.treecount, 3);
        QCOMPARE(fx.tree.arrtree,
                 treeOf({"java.awt.-p-p", "java.awt.Color.-p-c", "java.awt.event.-p-p"}));
        QVERIFY(fx.prompter.asked().empty());
        QVERIFY(fx.memory().writes().empty());
        QCOMPARE(fx.events, kLoadEvents);
        QCOMPARE(fx.yields, 0);
        QCOMPARE(path, original);
    }

    void fileRulesThroughALoad()
    {
        Fixture fx;
        QString path = fx.file("tree.txt", "\r\n   \r\n   java.io.-p-p   \r\n"
                                           "java.io.File.-p-c,java.io.Reader.-p-c\r\n"
                                           "\"java.lang.String.String valueOf(char[], int, int).-p-m\"\n");
        fx.load(path);
        QCOMPARE(fx.tree.arrtree,
                 treeOf({"java.io.-p-p", "java.io.File.-p-c", "java.io.Reader.-p-c",
                         "java.lang.String.String valueOf(char[], int, int).-p-m"}));
        QCOMPARE(fx.tree.treecount, 4);
        QVERIFY(fx.prompter.asked().empty());
    }

    void swappedLinesAreSortedAndNoKeepsTheFile()
    {
        Fixture fx;
        const QByteArray bytes = "a.-p-p\r\nZ.-p-p\r\nb.-p-p\r\n";
        QString path = fx.file("swapped.txt", bytes);
        const QString original = path;
        fx.prompter.answer(MsgAnswer::No);
        fx.load(path);
        QCOMPARE(fx.tree.arrtree, treeOf({"Z.-p-p", "a.-p-p", "b.-p-p"}));
        QCOMPARE(fx.tree.treecount, 3);
        QCOMPARE(fx.prompter.asked().size(), size_t(1));
        const MessageRequest &q = fx.prompter.asked()[0].message;
        QCOMPARE(q.text, sortQuestion(original));
        QCOMPARE(q.title, QStringLiteral("File [swapped.txt] not sorted"));
        QCOMPARE(q.icon, MsgIcon::Question);
        QCOMPARE(q.buttons, MsgButtons::YesNo);
        QCOMPARE(readAll(original), bytes);
        QVERIFY(fx.memory().writes().empty());
        QCOMPARE(path, original);
        QCOMPARE(fx.events, kLoadEvents);
        QVERIFY(fx.yields >= 1);
    }

    void sortedCopyToANewFile()
    {
        Fixture fx;
        QString path = fx.file("tree.txt", "b.-p-p\r\na.-p-p, \"c.x(d, e).-p-m\"\r\n");
        const QString target = fx.dir.filePath("sorted.txt");
        fx.prompter.answer(MsgAnswer::Yes);
        fx.prompter.answerText(target);
        fx.prompter.answer(MsgAnswer::Ok);
        fx.load(path);

        const auto &asked = fx.prompter.asked();
        QCOMPARE(asked.size(), size_t(3));
        QCOMPARE(asked[1].kind, ScriptedPrompter::Asked::File);
        QCOMPARE(asked[1].file.mode, FileDialogRequest::Save);
        QCOMPARE(asked[1].file.startPath, fx.dir.filePath("tree.txt"));
        QCOMPARE(asked[1].file.filter, QStringLiteral("Text Files(*.txt);;All Files(*)"));
        QCOMPARE(asked[2].message.text, newLocationText(target));
        QCOMPARE(asked[2].message.title, QString());
        QCOMPARE(asked[2].message.icon, MsgIcon::Information);
        QCOMPARE(asked[2].message.buttons, MsgButtons::Ok);

        QCOMPARE(readAll(target), QByteArray("\"a.-p-p\"\r\n\"b.-p-p\"\r\n\"c.x(d, e).-p-m\"\r\n"));
        QCOMPARE(path, target);
        QCOMPARE(fx.pref("tree"), target);
        QCOMPARE(fx.memory().writes().size(), size_t(1));
        QCOMPARE(fx.events, kLoadEvents);

        // The copy loads without another question.
        Fixture again;
        QString copy = target;
        again.load(copy);
        QCOMPARE(again.tree.arrtree, fx.tree.arrtree);
        QVERIFY(again.prompter.asked().empty());
    }

    void sortedCopyOverwriteAnswers()
    {
        // No asks for another file, Cancel ends without writing anything.
        {
            Fixture fx;
            QString path = fx.file("tree.txt", "b.-p-p\r\na.-p-p\r\n");
            const QString other = fx.file("other.txt", "keep me");
            fx.prompter.answer(MsgAnswer::Yes);
            fx.prompter.answerText(other);
            fx.prompter.answer(MsgAnswer::No);
            fx.prompter.answerText(other);
            fx.prompter.answer(MsgAnswer::Cancel);
            fx.load(path);
            const auto &asked = fx.prompter.asked();
            QCOMPARE(asked.size(), size_t(5));
            QCOMPARE(asked[2].message.text, kOverwriteText);
            QCOMPARE(asked[2].message.title, QStringLiteral("File already exists"));
            QCOMPARE(asked[2].message.icon, MsgIcon::Question);
            QCOMPARE(asked[2].message.buttons, MsgButtons::YesNoCancel);
            QCOMPARE(asked[3].kind, ScriptedPrompter::Asked::File);
            QCOMPARE(readAll(other), QByteArray("keep me"));
            QCOMPARE(readAll(fx.dir.filePath("tree.txt")), QByteArray("b.-p-p\r\na.-p-p\r\n"));
            QVERIFY(fx.memory().writes().empty());
            QCOMPARE(path, fx.dir.filePath("tree.txt"));
            QCOMPARE(fx.tree.arrtree, treeOf({"a.-p-p", "b.-p-p"}));
            QCOMPARE(fx.events, kLoadEvents);
        }
        // Yes replaces the file itself, which then loads without a question.
        {
            Fixture fx;
            QString path = fx.file("tree.txt", "b.-p-p\r\na.-p-p\r\n");
            const QString original = path;
            fx.prompter.answer(MsgAnswer::Yes);
            fx.prompter.answerText(original);
            fx.prompter.answer(MsgAnswer::Yes);
            fx.prompter.answer(MsgAnswer::Ok);
            fx.load(path);
            QCOMPARE(fx.prompter.pending(), 0);
            QCOMPARE(readAll(original), QByteArray("\"a.-p-p\"\r\n\"b.-p-p\"\r\n"));
            QCOMPARE(fx.pref("tree"), original);
            QCOMPARE(fx.prompter.messages().last(), newLocationText(original));

            Fixture again;
            QString p = original;
            again.load(p);
            QVERIFY(again.prompter.asked().empty());
        }
    }

    void sortedCopyCancelledDialog()
    {
        Fixture fx;
        QString path = fx.file("tree.txt", "b.-p-p\r\na.-p-p\r\n");
        fx.prompter.answer(MsgAnswer::Yes);
        fx.prompter.cancel();
        fx.load(path);
        QCOMPARE(fx.prompter.asked().size(), size_t(2));
        QVERIFY(fx.memory().writes().empty());
        QCOMPARE(path, fx.dir.filePath("tree.txt"));
        QCOMPARE(QDir(fx.dir.path()).entryList(QDir::Files), QStringList{"tree.txt"});
        QCOMPARE(fx.events, kLoadEvents);
    }

    void sortedCopyReadOnlyTarget()
    {
        Fixture fx;
        QString path = fx.file("tree.txt", "b.-p-p\r\na.-p-p\r\n");
        const QString locked = fx.file("locked.txt", "old");
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        fx.prompter.answer(MsgAnswer::Yes);
        fx.prompter.answerText(locked);
        fx.prompter.answer(MsgAnswer::Ok);
        fx.prompter.cancel();
        fx.load(path);
        const auto &asked = fx.prompter.asked();
        QCOMPARE(asked.size(), size_t(4));
        QCOMPARE(asked[2].message.text, QStringLiteral("The file you are trying to save is read only"));
        QCOMPARE(asked[2].message.title, "Error saving file [" + locked + "]");
        QCOMPARE(asked[2].message.icon, MsgIcon::Critical);
        QCOMPARE(asked[2].message.buttons, MsgButtons::Ok);
        QCOMPARE(asked[3].kind, ScriptedPrompter::Asked::File); // asked again
        QCOMPARE(readAll(locked), QByteArray("old"));
        QVERIFY(fx.memory().writes().empty());
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);
    }

    void sortedCopyWriteFailure()
    {
        Fixture fx;
        QString path = fx.file("tree.txt", "b.-p-p\r\na.-p-p\r\n");
        const QString nowhere = fx.dir.filePath("missing/folder/sorted.txt");
        fx.prompter.answer(MsgAnswer::Yes);
        fx.prompter.answerText(nowhere);
        fx.prompter.answer(MsgAnswer::Ok);
        fx.load(path);
        const auto &asked = fx.prompter.asked();
        QCOMPARE(asked.size(), size_t(3));
        QCOMPARE(asked[2].message.text, kWriteErrorText);
        QCOMPARE(asked[2].message.title, QStringLiteral("Error saving file [tree.txt]"));
        QCOMPARE(asked[2].message.icon, MsgIcon::Critical);
        QVERIFY(!QFileInfo::exists(nowhere));
        QVERIFY(fx.memory().writes().empty());
        QCOMPARE(path, fx.dir.filePath("tree.txt"));
        QCOMPARE(fx.tree.arrtree, treeOf({"a.-p-p", "b.-p-p"})); // still sorted in memory
        QCOMPARE(fx.events, kLoadEvents);
    }

    void missingFile_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("treeAfter");
        QTest::newRow("Yes turns the message off") << int(MsgAnswer::Yes) << QString();
        QTest::newRow("No keeps it") << int(MsgAnswer::No) << QStringLiteral("<unset>");
    }
    void missingFile()
    {
        QFETCH(int, answer);
        QFETCH(QString, treeAfter);
        Fixture fx;
        fx.tree.arrtree = treeOf({"kept.-p-p"});
        fx.tree.treecount = 1;
        QString path = fx.dir.filePath("absent.txt");
        fx.prompter.answer(MsgAnswer(answer));
        fx.load(path);
        QCOMPARE(fx.prompter.asked().size(), size_t(1));
        const MessageRequest &m = fx.prompter.asked()[0].message;
        QCOMPARE(m.text, kNotFoundText);
        QCOMPARE(m.title, QStringLiteral("object tree file no found"));
        QCOMPARE(m.icon, MsgIcon::Question);
        QCOMPARE(m.buttons, MsgButtons::YesNo);
        QCOMPARE(fx.pref("tree"), treeAfter);
        QCOMPARE(fx.pref("autotreesearch"), QStringLiteral("0"));
        QCOMPARE(fx.tree.treecount, 1); // nothing loaded, nothing lost
        QVERIFY(fx.events.isEmpty());
    }

    void folderCountsAsMissing()
    {
        Fixture fx;
        QString path = fx.dir.path();
        fx.prompter.answer(MsgAnswer::No);
        fx.load(path);
        QCOMPARE(fx.prompter.messages(), QStringList{kNotFoundText});
        QCOMPARE(fx.pref("autotreesearch"), QStringLiteral("0"));
        QCOMPARE(fx.tree.treecount, 0);
    }

    void shortPathsGiveNoMessage_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("backslash") << "\\";
        QTest::newRow("slash") << "/";
        QTest::newRow("empty") << "";
    }
    void shortPathsGiveNoMessage()
    {
        QFETCH(QString, path);
        Fixture fx;
        fx.load(path);
        QVERIFY(fx.prompter.asked().empty());
        QCOMPARE(fx.pref("autotreesearch"), QStringLiteral("0"));
        QCOMPARE(fx.pref("tree"), QStringLiteral("<unset>"));
        QCOMPARE(fx.tree.treecount, 0);
    }

    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("binary") << QByteArray("java.awt.-p-p\r\n\0\x01\x02", 18)
                                << "is not a text file";
        QTest::newRow("no tags") << QByteArray("just some\r\nwords, here\r\n")
                                 << "holds no tagged entries (such as java.awt.Color.-p-c)";
        QTest::newRow("empty") << QByteArray() << "holds no tagged entries (such as java.awt.Color.-p-c)";
        QTest::newRow("only blanks") << QByteArray("  \r\n\t\r\n,,") << "holds no tagged entries (such as java.awt.Color.-p-c)";
        QTest::newRow("too many entries") << QByteArray("a.-p-p,").repeated(2000001)
                                          << "holds more than 2000000 entries";
    }
    void badFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        Fixture fx;
        fx.tree.arrtree = treeOf({"kept.-p-p"});
        fx.tree.treecount = 1;
        QString path = fx.file("bad.txt", bytes);
        fx.prompter.answer(MsgAnswer::Ok);
        fx.load(path);
        QCOMPARE(fx.prompter.asked().size(), size_t(1));
        const MessageRequest &m = fx.prompter.asked()[0].message;
        QCOMPARE(m.text, "The object tree file\r\n" + path + "\r\n" + reason +
                             "\r\n\r\nNothing was loaded and Auto Tree Search has been turned off.");
        QCOMPARE(m.title, QStringLiteral("Error loading file [bad.txt]"));
        QCOMPARE(m.icon, MsgIcon::Critical);
        QCOMPARE(m.buttons, MsgButtons::Ok);
        QCOMPARE(fx.tree.arrtree, treeOf({"kept.-p-p"}));
        QCOMPARE(fx.tree.treecount, 1);
        QCOMPARE(fx.pref("autotreesearch"), QStringLiteral("0"));
        QCOMPARE(fx.events, QStringList({"show:Loading object tree", "hide"}));
    }

    void hugeFileIsRefusedUnread()
    {
        Fixture fx;
        QString path = fx.dir.filePath("huge.txt");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(kMaxTreeFileBytes + 1)); // sparse: no real data written
        f.close();
        fx.prompter.answer(MsgAnswer::Ok);
        fx.load(path);
        QCOMPARE(fx.prompter.messages().size(), 1);
        QVERIFY(fx.prompter.messages()[0].contains("\r\nis larger than 64 MB\r\n"));
        QCOMPARE(fx.tree.treecount, 0);
        QCOMPARE(fx.pref("autotreesearch"), QStringLiteral("0"));
    }

    void damagedLinesLoadWhatTheyCan()
    {
        Fixture fx;
        QByteArray bytes = "\"java.awt.-p-p\r\n";              // quote never closed
        bytes += QByteArray(100000, 'x') + "\r\n";              // overlong line
        bytes += "\"java.awt.Color.-p-c\"junk\r\n";             // text after the quote
        bytes += "java.awt.Font.-p-c\r\n";
        bytes += "java.awt.caf\xe9.-p-c\r\n";                  // Latin-1, not UTF-8
        QString path = fx.file("damaged.txt", bytes);
        fx.load(path);
        QCOMPARE(fx.tree.arrtree,
                 treeOf({"java.awt.-p-p", "java.awt.Color.-p-c", "java.awt.Font.-p-c",
                         QStringLiteral("java.awt.caf\u00e9.-p-c")}));
        QVERIFY(fx.prompter.asked().empty());
    }

    void utf8WithByteOrderMark()
    {
        Fixture fx;
        QString path = fx.file("bom.txt", "\xef\xbb\xbfjava.awt.-p-p\r\njava.awt.\xc3\xa9t\xc3\xa9.-p-c\r\n");
        fx.load(path);
        QCOMPARE(fx.tree.arrtree,
                 treeOf({"java.awt.-p-p", QStringLiteral("java.awt.\u00e9t\u00e9.-p-c")}));
    }

    void testProbe()
    {
        Fixture fx;
        QString path = fx.file("probe.txt", "a.-p-p\r\ntest.test\r\nz.-p-p\r\n");
        fx.prompter.answer(MsgAnswer::Ok);
        fx.load(path);
        QCOMPARE(fx.prompter.asked().size(), size_t(1));
        const MessageRequest &m = fx.prompter.asked()[0].message;
        QCOMPARE(m.text, QStringLiteral("1"));
        QCOMPARE(m.title, QStringLiteral("QLN"));
        QCOMPARE(m.buttons, MsgButtons::Ok);
        QCOMPARE(fx.tree.arrtree, treeOf({"a.-p-p", "test.test", "z.-p-p"}));

        // A file full of probes asks a bounded number of times.
        Fixture many;
        QString p = many.file("probes.txt", "a.-p-p\r\n" + QByteArray("test.test\r\n").repeated(50));
        for (int i = 0; i < kMaxTreeProbes; ++i)
            many.prompter.answer(MsgAnswer::Ok);
        many.load(p);
        QCOMPARE(many.prompter.messages(),
                 QStringList({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
        QCOMPARE(many.tree.treecount, 51);
    }

    void autoTreeSearchBox()
    {
        // Ticked with no file named: "/" is stored and turns the search off
        // again without a question.
        {
            Fixture fx;
            AutoTreeSearchTicked(true, fx.tree, fx.store, fx.prompter, fx.hooks);
            QVERIFY(fx.prompter.asked().empty());
            const auto &w = fx.memory().writes();
            QCOMPARE(w.size(), size_t(3));
            QCOMPARE(w[0].key + "=" + w[0].value, QStringLiteral("tree=/"));
            QCOMPARE(w[1].key + "=" + w[1].value, QStringLiteral("autotreesearch=1"));
            QCOMPARE(w[2].key + "=" + w[2].value, QStringLiteral("autotreesearch=0"));
        }
        // Ticked with a file: it loads; ticked again: no second load;
        // unticked: the tree is gone.
        {
            Fixture fx;
            const QString path = fx.file("tree.txt", "a.-p-p\r\nb.-p-p\r\n");
            fx.store.save(kPrefs, "tree", path);
            AutoTreeSearchTicked(true, fx.tree, fx.store, fx.prompter, fx.hooks);
            QCOMPARE(fx.tree.treecount, 2);
            QCOMPARE(fx.pref("autotreesearch"), QStringLiteral("1"));
            QCOMPARE(fx.events, kLoadEvents);
            AutoTreeSearchTicked(true, fx.tree, fx.store, fx.prompter, fx.hooks);
            QCOMPARE(fx.events, kLoadEvents);
            AutoTreeSearchTicked(false, fx.tree, fx.store, fx.prompter, fx.hooks);
            QCOMPARE(fx.tree.treecount, 0);
            QCOMPARE(fx.tree.arrtree, QStringList{QString()});
            QCOMPARE(fx.pref("autotreesearch"), QStringLiteral("0"));
            QCOMPARE(fx.pref("tree"), path);
            QVERIFY(fx.prompter.asked().empty());
        }
    }

    void locateExistingTree()
    {
        Fixture fx;
        const QString existing = fx.file("tree.txt", "a.-p-p\r\n");
        fx.store.save(kPrefs, "tree", existing);
        fx.prompter.cancel();
        QVERIFY(!LocateObjectTree(fx.prompter, fx.store));
        QCOMPARE(fx.prompter.asked()[0].file.mode, FileDialogRequest::Open);
        QCOMPARE(fx.prompter.asked()[0].file.startPath, existing);
        QCOMPARE(fx.prompter.asked()[0].file.filter,
                 QStringLiteral("Text Files(*.txt);;All Files(*)"));
        QCOMPARE(fx.pref("tree"), existing);

        fx.store.save(kPrefs, "tree", fx.dir.filePath("gone.txt"));
        fx.prompter.answerText(existing);
        QVERIFY(LocateObjectTree(fx.prompter, fx.store));
        QCOMPARE(fx.prompter.asked()[1].file.startPath, QString()); // missing file: no preset
        QCOMPARE(fx.pref("tree"), existing);

        fx.store.save(kPrefs, "tree", "/");
        fx.prompter.cancel();
        QVERIFY(!LocateObjectTree(fx.prompter, fx.store));
        QCOMPARE(fx.prompter.asked()[2].file.startPath, QString()); // a folder is no preset
    }

    void factoryTree()
    {
        QString path = programFolder() + QStringLiteral("/JDK1.3.1TreeSorted.txt");
        const QByteArray raw = readAll(path);
        QVERIFY2(raw.size() > 100000, qPrintable(path));
        QVERIFY(QFileInfo::exists(programFolder() + QStringLiteral("/GenerateObjectTreeHelp.txt")));

        // Every line an entry in double quotes ended by CR LF, with a tag.
        const QList<QByteArray> lines = raw.split('\n');
        QVERIFY(lines.last().isEmpty());
        const QRegularExpression shape(QStringLiteral("^\"[^\"]+\\.-[pr][f-][pcimv]\"\r$"));
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            QVERIFY2(shape.match(QString::fromUtf8(lines[i])).hasMatch(), lines[i].constData());

        Fixture fx;
        fx.load(path);
        QVERIFY(fx.prompter.asked().empty()); // sorted: no question
        QCOMPARE(fx.tree.treecount, int(lines.size() - 1));
        QVERIFY(fx.tree.treecount > 20000);
        QCOMPARE(fx.yields, 0);
        for (int i = 1; i < fx.tree.treecount; ++i)
            QVERIFY2(fx.tree.arrtree[i] < fx.tree.arrtree[i + 1], qPrintable(fx.tree.arrtree[i]));

        TreeBoxModel box;
        QStringList arrmatch;
        SearchTree(box, fx.tree.arrtree, GetTreeKey("x = java.awt.", 1), arrmatch, 12000);
        QVERIFY(arrmatch.contains("Color"));
        QVERIFY(arrmatch.contains("event"));
        QVERIFY(arrmatch.contains("Frame"));
        for (size_t i = 0; i < box.items.size(); ++i) {
            if (arrmatch[int(i) + 1] == "Color")
                QCOMPARE(box.items[i].image, 2);
            if (arrmatch[int(i) + 1] == "event")
                QCOMPARE(box.items[i].image, 1);
            QVERIFY(!box.items[i].text.contains('.'));
        }
        QVERIFY(!arrmatch.contains("ActionEvent")); // lives in java.awt.event

        SearchTree(box, fx.tree.arrtree, "java.lang.String.", arrmatch, 12000);
        QVERIFY(arrmatch.contains("valueOf(char)"));
        QVERIFY(arrmatch.contains("length()"));
        QVERIFY(arrmatch.contains("CASE_INSENSITIVE_ORDER"));
        QVERIFY(std::is_sorted(arrmatch.begin() + 1, arrmatch.end()));

        // Typing java.awt.Color.br and choosing the pre-selected name.
        SearchTree(box, fx.tree.arrtree, "java.awt.Color.", arrmatch, 12000);
        const int chosen = PreselectTreeItem(box, arrmatch, "br");
        QVERIFY(chosen > 0);
        QCOMPARE(arrmatch[chosen], QStringLiteral("brighter()"));
        QCOMPARE(box.items[chosen - 1].text, QStringLiteral("Color brighter()"));
        Surface surface;
        surface.setText(QStringLiteral("c = java.awt.Color.br"));
        QVERIFY(InsertTreeChoice(surface, chosen, arrmatch, "br", surface.length()));
        QCOMPARE(surface.text(), QStringLiteral("c = java.awt.Color.brighter()"));
    }
};

QTEST_GUILESS_MAIN(TstObjectTree)
#include "tst_objecttree.moc"
