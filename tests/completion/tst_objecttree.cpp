// The object tree file: fields, sort, missing and bad files, the sorted-copy
// offer, the "Auto Tree Search" box, locating a file, the shipped tree
// loaded and searched.
#include "base/pathutil.h"
#include "completion/objecttree.h"
#include "completion/treesearch.h"
#include "settings/settingsstore.h"
#include "support/datarow.h"
#include "support/files.h"
#include "support/scriptedprompter.h"
#include "support/seed.h"
#include "surface/surface.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using namespace qln;
using qln::test::readFile;
using qln::test::ScriptedPrompter;

namespace {

const QString kNotFoundText = QStringLiteral(
    "The object Tree File was not found\r\nWould you like to turn off this message?\r\n"
    "If you choose no, this message will appear each time the program loads\r\n"
    "if object tree has not been located \r\n\r\nYou can locate existing object tree file by "
    "going\r\n"
    "\r\nEdit>Preferences>General>Locate existing object tree");
const QString kFilter = QStringLiteral("Text Files(*.txt);;All Files(*)");

// A message box as one comparable line: title, icon, buttons, text.
QString msg(const QString &title, MsgIcon icon, MsgButtons buttons, const QString &text)
{
    return QStringLiteral("[%1] icon %2 buttons %3: %4")
        .arg(title)
        .arg(int(icon))
        .arg(int(buttons))
        .arg(text);
}
QString shown(const MessageRequest &m)
{
    return msg(m.title, m.icon, m.buttons, m.text);
}
QStringList treeOf(QStringList entries)
{
    entries.prepend(QString());
    return entries;
}

const QStringList kLoadEvents{"show:Loading object tree", "text:Sorting object tree", "hide"};
struct Fixture {
    QTemporaryDir dir;
    SettingsStore store{std::make_unique<MemorySettingsBackend>()};
    ScriptedPrompter prompter;
    ObjectTree tree;
    QStringList events; // what the wait window was told
    TreeLoadHooks hooks;

    Fixture()
    {
        hooks.showWait = [this](const QString &t) { events << "show:" + t; };
        hooks.setWaitText = [this](const QString &t) { events << "text:" + t; };
        hooks.hideWait = [this] { events << "hide"; };
    }
    MemorySettingsBackend &memory()
    {
        return static_cast<MemorySettingsBackend &>(store.backend());
    }
    QString file(const QString &name, const QByteArray &bytes)
    {
        if (!test::writeFile(dir.filePath(name), bytes))
            qFatal("cannot write %s", qPrintable(name));
        return dir.filePath(name);
    }
    void load(QString &path) { LoadObjectTree(path, tree, store, prompter, hooks); }
    QString pref(const QString &key) { return store.get(kPrefs, key, QStringLiteral("<unset>")); }
};

} // namespace

class TstObjectTree : public QObject {
    Q_OBJECT
private slots:
    void readFields_data()
    {
        columns<QString, QStringList>("text", "fields");
        row("line ends", "a\r\nb\nc\rd", QStringList{"a", "b", "c", "d"});
        row("blanks", "  a  \r\n\r\n \t\r\n\"\"\r\n\" \",,b,", QStringList{"a", "b"});
        row("quoted comma", "\"S.String valueOf(char[], int).-p-m\"\r\n",
            QStringList{"S.String valueOf(char[], int).-p-m"});
        row("after quote", "\"a\"xyz,b", QStringList{"a", "b"});
        row("unclosed quote", "\"a,b\r\nc", QStringList{"a,b", "c"});
        row("inner quote", "a\"b", QStringList{"a\"b"});
        row("overlong", "a\r\n" + QString(5000, 'x') + "\r\nb", QStringList{"a", "b"});
    }
    void readFields()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, fields);
        QCOMPARE(readTreeFields(text), fields);
    }

    // Entry 0 (empty) to the count, including a shape built against a
    // middle-pivot quicksort (the largest remaining value goes where each
    // partition looks next).
    void sortTree()
    {
        qln::test::SeededRandom rng;
        for (int run = 0; run < 4; ++run) {
            const int n = run < 2 ? 7 : 20000;
            const bool killer = run % 2;
            std::vector<int> keys(n), pos(n);
            for (int i = 0; i < n; ++i)
                keys[i] = int(rng.bounded(1000000)), pos[i] = i;
            for (int k = n - 1, lo = 0; killer && lo < n; ++lo, --k) {
                std::swap(pos[lo], pos[(lo + n - 1) / 2]);
                keys[pos[lo]] = k;
            }
            QStringList arr{QString()};
            for (int k : keys)
                arr << QStringLiteral("e%1").arg(k, 7, 10, QLatin1Char('0'));
            QStringList expected = arr;
            std::sort(expected.begin(), expected.end());
            int yields = 0;
            SortTree(arr, 0, n, [&] { ++yields; });
            QVERIFY2(arr == expected && IsTreeSorted(arr) && yields >= 1,
                     qPrintable(QString::number(run)));
        }
    }

    void sortedFileLoadsQuietly()
    {
        Fixture fx;
        QString path = fx.file("tree.txt", "\xef\xbb\xbf java.awt.-p-p\r\n"
                                           "java.awt.Color.-p-c,\"java.awt.F(a, b).-p-m\"\n"
                                           "java.awt.\xc3\xa9t\xc3\xa9.-p-c\r\n");
        const QString original = path;
        fx.load(path);
        QCOMPARE(fx.tree.arrtree.mid(0),
                 treeOf({"java.awt.-p-p", "java.awt.Color.-p-c", "java.awt.F(a, b).-p-m",
                         QStringLiteral("java.awt.\u00e9t\u00e9.-p-c")}));
        QCOMPARE(fx.tree.treecount, 4);
        QVERIFY(fx.prompter.asked().empty() && fx.memory().writes().empty());
        QCOMPARE(fx.events, kLoadEvents);
        QCOMPARE(path, original);

        Fixture latin; // bytes that are not UTF-8 read as Latin-1
        QString p = latin.file("latin.txt", "java.awt.caf\xe9.-p-c\r\n");
        latin.load(p);
        QCOMPARE(latin.tree.arrtree.mid(0), treeOf({QStringLiteral("java.awt.caf\u00e9.-p-c")}));
    }

    // Script: an answer, "?name" for a file chosen in the dialog, "-" for a
    // cancelled dialog. Transcript: S sort question, D file dialog, O
    // overwrite question, M:name moved-to note, R read-only, W write failed.
    void sortedCopyFlows_data()
    {
        columns<QString, QString, QString>("script", "transcript", "savedTo");
        row("No", "No", "S", "");
        row("new file", "Yes ?sorted.txt Ok", "S D M:sorted.txt", "sorted.txt");
        row("overwrite No, Cancel", "Yes ?other.txt No ?other.txt Cancel", "S D O D O", "");
        row("overwrite itself", "Yes ?tree.txt Yes Ok", "S D O M:tree.txt", "tree.txt");
        row("read-only, cancel", "Yes ?locked.txt Ok -", "S D R D", "");
        row("write fails", "Yes ?missing/folder/sorted.txt Ok", "S D W", "");
    }
    void sortedCopyFlows()
    {
        QFETCH(QString, script);
        QFETCH(QString, transcript);
        QFETCH(QString, savedTo);
        Fixture fx;
        const QByteArray unsorted = "a.-p-p\r\nZ.-p-p, \"c.x(d, e).-p-m\"\r\n";
        QString path = fx.file("tree.txt", unsorted);
        const QString original = path, folder = fx.dir.path();
        fx.file("other.txt", "keep me");
        const QString locked = fx.file("locked.txt", "old");
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        for (const QString &step : script.split(' ')) {
            if (step == "-")
                fx.prompter.cancel();
            else if (step.startsWith('?'))
                fx.prompter.answerText(folder + "/" + step.mid(1));
            else
                fx.prompter.answer(step == "Yes"  ? MsgAnswer::Yes
                                   : step == "No" ? MsgAnswer::No
                                   : step == "Ok" ? MsgAnswer::Ok
                                                  : MsgAnswer::Cancel);
        }
        fx.load(path);

        QStringList asked;
        for (const auto &a : fx.prompter.asked()) {
            const bool isFile = a.kind == ScriptedPrompter::Asked::File;
            asked << (isFile ? QStringLiteral("file dialog") : shown(a.message));
            if (isFile)
                QVERIFY(a.file.mode == FileDialogRequest::Save && a.file.startPath == original
                        && a.file.filter == kFilter);
        }
        QStringList expected;
        for (const QString &code : transcript.split(' '))
            expected
                << (code == "D" ? QStringLiteral("file dialog")
                    : code == "S"
                        ? msg("File [tree.txt] not sorted", MsgIcon::Question, MsgButtons::YesNo,
                              "The File \r\n" + folder
                                  + "/tree.txt\r\nwas not sorted\r\nTo prevent the sorting "
                                    "of the array every time the program loads\r\nyou can save the "
                                    "file in sorted "
                                    "order\r\nWould you like to do so now?")
                    : code == "O"
                        ? msg("File already exists", MsgIcon::Question, MsgButtons::YesNoCancel,
                              "File already exists\r\nAre you sure you want to overwrite the "
                              "current file?")
                    : code == "R"
                        ? msg("Error saving file [" + folder + "/locked.txt]", MsgIcon::Critical,
                              MsgButtons::Ok, "The file you are trying to save is read only")
                    : code == "W" ? msg(
                          "Error saving file [tree.txt]", MsgIcon::Critical, MsgButtons::Ok,
                          "The output File directory is write protected or there's not enough free "
                          "space on the disk")
                                  : msg(QString(), MsgIcon::Information, MsgButtons::Ok,
                                        "The new loacation of the object tree "
                                        "file is\r\n"
                                            + folder + "/" + code.mid(2)
                                            + "\r\n\r\nYou can change the location by going"
                                              "\r\n\r\nEdit>Preferences>General>Locate existing "
                                              "object tree\r\n\r\nand choosing the file you want"));
        QCOMPARE(asked, expected);
        QCOMPARE(fx.prompter.pending(), 0);
        const QStringList sorted = treeOf({"Z.-p-p", "a.-p-p", "c.x(d, e).-p-m"});
        QCOMPARE(fx.tree.arrtree.mid(0), sorted);
        QCOMPARE(fx.tree.treecount, 3);
        QCOMPARE(fx.events, kLoadEvents);
        QCOMPARE(readFile(fx.dir.filePath("other.txt")) + readFile(locked),
                 QByteArray("keep meold"));
        if (savedTo.isEmpty()) {
            QCOMPARE(path, original);
            QCOMPARE(readFile(original), unsorted);
            QVERIFY(fx.memory().writes().empty());
        } else {
            const QString target = fx.dir.filePath(savedTo);
            QCOMPARE(path, target);
            QCOMPARE(fx.pref("tree"), target);
            QCOMPARE(fx.memory().writes().size(), size_t(1));
            QCOMPARE(readFile(target),
                     QByteArray("\"Z.-p-p\"\r\n\"a.-p-p\"\r\n\"c.x(d, e).-p-m\"\r\n"));
            Fixture again; // the copy loads without a question
            again.load(path);
            QVERIFY(again.prompter.asked().empty() && again.tree.arrtree.mid(0) == sorted);
        }
        QStringList files =
            QStringList{"locked.txt", "other.txt", "tree.txt", savedTo}.filter(".txt");
        files.removeDuplicates();
        files.sort();
        QCOMPARE(QDir(folder).entryList(QDir::Files), files);
    }

    // An unusable file leaves the tree as it was and Auto Tree Search off.
    // Absent (or a folder): the not-found question, Yes turning it off; a
    // path too short to name a file: no question; a bad file: its reason.
    void refusedFiles_data()
    {
        QTest::addColumn<QString>("name"); // "." the folder itself, "/" as it is
        columns<QByteArray, int, QString>("bytes", "answer", "reason");
        const int yes = int(MsgAnswer::Yes), no = int(MsgAnswer::No), ok = int(MsgAnswer::Ok);
        row("absent, Yes", "absent.txt", QByteArray(), yes, "");
        row("absent, No", "absent.txt", QByteArray(), no, "");
        row("folder", ".", QByteArray(), no, "");
        row("slash", "/", QByteArray(), -1, "");
        row("binary", "bad.txt", QByteArray("java.awt.-p-p\r\n\0\x01\x02", 18), ok,
            "is not a text file");
        row("no tags", "bad.txt", QByteArray("just some\r\nwords, here\r\n"), ok,
            "holds no tagged entries (such as java.awt.Color.-p-c)");
        row("too many", "bad.txt", QByteArray("a.-p-p,").repeated(2000001), ok,
            "holds more than 2000000 entries");
        row("too large", "bad.txt", QByteArray(), ok, "is larger than 64 MB");
    }
    void refusedFiles()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, answer);
        QFETCH(QString, reason);
        Fixture fx;
        fx.tree.arrtree = TreeEntries(treeOf({"kept.-p-p"}));
        fx.tree.treecount = 1;
        QString path = name == "." ? fx.dir.path() : name == "/" ? name : fx.dir.filePath(name);
        if (!reason.isEmpty())
            fx.file(name, bytes);
        if (reason.startsWith("is larger"))
            QVERIFY(QFile::resize(path, kMaxTreeFileBytes + 1)); // sparse: refused unread
        if (answer >= 0)
            fx.prompter.answer(MsgAnswer(answer));
        fx.load(path);
        QStringList asked, expected;
        for (const auto &a : fx.prompter.asked())
            asked << shown(a.message);
        if (answer >= 0)
            expected << (reason.isEmpty() ? msg("object tree file no found", MsgIcon::Question,
                                                MsgButtons::YesNo, kNotFoundText)
                                          : msg("Error loading file [bad.txt]", MsgIcon::Critical,
                                                MsgButtons::Ok,
                                                "The object tree file\r\n" + path + "\r\n" + reason
                                                    + "\r\n\r\nNothing was loaded and Auto Tree "
                                                      "Search has been turned off."));
        QCOMPARE(asked, expected);
        QCOMPARE(fx.tree.arrtree.mid(0), treeOf({"kept.-p-p"})); // nothing loaded, nothing lost
        QCOMPARE(fx.tree.treecount, 1);
        QCOMPARE(fx.pref("tree") + " " + fx.pref("autotreesearch"),
                 (answer == int(MsgAnswer::Yes) ? "" : "<unset>") + QStringLiteral(" 0"));
        QCOMPARE(fx.events, reason.isEmpty() ? QStringList()
                                             : QStringList({"show:Loading object tree", "hide"}));
    }

    void testProbe()
    {
        // Each "test.test" entry shows its position, a bounded number of times.
        Fixture fx;
        QString p = fx.file("probes.txt", "a.-p-p\r\n" + QByteArray("test.test\r\n").repeated(50));
        for (int i = 0; i < kMaxTreeProbes; ++i)
            fx.prompter.answer(MsgAnswer::Ok);
        fx.load(p);
        QCOMPARE(shown(fx.prompter.asked().at(0).message),
                 msg("QLN", MsgIcon::None, MsgButtons::Ok, "1"));
        QCOMPARE(fx.prompter.messages(),
                 QStringList({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
        QCOMPARE(fx.tree.treecount, 51);
    }

    void autoTreeSearchBoxAndLocate()
    {
        // Ticked with no file named: "/" is stored and the search goes off
        // again without a question.
        Fixture none;
        AutoTreeSearchTicked(true, none.tree, none.store, none.prompter, none.hooks);
        QCOMPARE(none.pref("tree") + " " + none.pref("autotreesearch"), "/ 0");

        // Ticked with a file: it loads once; unticked: the tree is gone.
        Fixture fx;
        const QString path = fx.file("tree.txt", "a.-p-p\r\nb.-p-p\r\n");
        fx.store.save(kPrefs, "tree", path);
        AutoTreeSearchTicked(true, fx.tree, fx.store, fx.prompter, fx.hooks);
        QCOMPARE(fx.tree.treecount, 2);
        QCOMPARE(fx.pref("autotreesearch"), QStringLiteral("1"));
        AutoTreeSearchTicked(true, fx.tree, fx.store, fx.prompter, fx.hooks);
        QCOMPARE(fx.events, kLoadEvents);
        AutoTreeSearchTicked(false, fx.tree, fx.store, fx.prompter, fx.hooks);
        QCOMPARE(fx.tree.arrtree.mid(0), QStringList{QString()});
        QCOMPARE(fx.pref("autotreesearch") + " " + fx.pref("tree"), "0 " + path);
        QVERIFY(fx.prompter.asked().empty() && none.prompter.asked().empty());

        // Locating a file: the dialog starts at the named file if it exists.
        fx.prompter.cancel();
        QVERIFY(!LocateObjectTree(fx.prompter, fx.store));
        const FileDialogRequest &first = fx.prompter.asked()[0].file;
        QVERIFY(first.mode == FileDialogRequest::Open && first.startPath == path
                && first.filter == kFilter);
        QCOMPARE(fx.pref("tree"), path);
        fx.store.save(kPrefs, "tree", fx.dir.filePath("gone.txt"));
        fx.prompter.answerText(path);
        QVERIFY(LocateObjectTree(fx.prompter, fx.store));
        QCOMPARE(fx.prompter.asked()[1].file.startPath, QString()); // missing file: no preset
        QCOMPARE(fx.pref("tree"), path);
    }

    void factoryTree()
    {
        QString path = programFolder() + QStringLiteral("/JDK1.3.1TreeSorted.txt");
        const QByteArray raw = readFile(path);
        QVERIFY2(raw.size() > 100000, qPrintable(path));
        QVERIFY(QFileInfo::exists(programFolder() + QStringLiteral("/GenerateObjectTreeHelp.txt")));

        // Its lines and their order: tst_generator's shippedTreeFollowsTheOrderRules.
        Fixture fx;
        fx.load(path);
        QVERIFY(fx.prompter.asked().empty()); // sorted: no question
        QCOMPARE(fx.tree.treecount, int(raw.count('\n')));

        // Typing java.awt.Color.br and choosing the pre-selected name.
        const QString typed = QStringLiteral("c = java.awt.Color.br");
        TreeBoxModel box;
        QStringList arrmatch;
        SearchTree(box, fx.tree.arrtree, GetTreeKey(typed, 1), arrmatch, 12000);
        QVERIFY(!arrmatch.contains("ColorModel") && arrmatch.contains("darker()"));
        const int chosen = PreselectTreeItem(box, arrmatch, GetTreeKey(typed, 2));
        QVERIFY(chosen > 0);
        QCOMPARE(box.items[chosen - 1].text, QStringLiteral("Color brighter()"));
        Surface surface;
        surface.setText(typed);
        QVERIFY(InsertTreeChoice(surface, chosen, arrmatch, "br", surface.length()));
        QCOMPARE(surface.text(), QStringLiteral("c = java.awt.Color.brighter()"));
    }
};

QTEST_GUILESS_MAIN(TstObjectTree)
#include "tst_objecttree.moc"
