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

// A message box as one comparable line: title, icon, buttons, text.
QString msg(const QString &title, MsgIcon icon, MsgButtons buttons, const QString &text)
{
    return QStringLiteral("[%1] icon %2 buttons %3: %4")
        .arg(title).arg(int(icon)).arg(int(buttons)).arg(text);
}
QString shown(const MessageRequest &m) { return msg(m.title, m.icon, m.buttons, m.text); }

QStringList treeOf(QStringList entries)
{
    entries.prepend(QString());
    return entries;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

const QStringList kLoadEvents{"show:Loading object tree", "text:Sorting object tree", "hide"};
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
    const MessageRequest &asked(size_t i) { return prompter.asked().at(i).message; }
};

} // namespace

class TstObjectTree : public QObject {
    Q_OBJECT
private slots:
    void readFields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("CR LF, LF and CR lines") << "a\r\nb\nc\rd" << QStringList{"a", "b", "c", "d"};
        QTest::newRow("blanks skipped, fields trimmed") << "  a  \r\n\r\n \t\r\n\"\"\r\n\" \",,b,"
                                                        << QStringList{"a", "b"};
        QTest::newRow("quoted comma kept") << "\"S.String valueOf(char[], int).-p-m\"\r\n"
                                           << QStringList{"S.String valueOf(char[], int).-p-m"};
        QTest::newRow("text after closing quote dropped") << "\"a\"xyz,b" << QStringList{"a", "b"};
        QTest::newRow("unclosed quote ends at line end") << "\"a,b\r\nc" << QStringList{"a,b", "c"};
        QTest::newRow("quote inside unquoted field") << "a\"b" << QStringList{"a\"b"};
        QTest::newRow("overlong field skipped")
            << QString("a\r\n") + QString(5000, QLatin1Char('x')) + "\r\nb" << QStringList{"a", "b"};
    }
    void readFields()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, fields);
        QCOMPARE(readTreeFields(text), fields);
    }

    // The loader's sort, from entry 0 (empty) to the count, on shapes that
    // include one built against a middle-pivot quicksort.
    void sortTree_data()
    {
        QTest::addColumn<bool>("killer");
        QTest::addColumn<int>("n");
        for (int n : {2, 7, 20000}) {
            QTest::addRow("random %d", n) << false << n;
            QTest::addRow("middle killer %d", n) << true << n;
        }
    }
    void sortTree()
    {
        QFETCH(bool, killer);
        QFETCH(int, n);
        std::vector<int> keys(n);
        for (int i = 0; i < n; ++i)
            keys[i] = int(QRandomGenerator::global()->bounded(killer ? 1 : 1000000));
        if (killer) {
            // The largest remaining value goes where each partition looks next.
            std::vector<int> pos(n);
            for (int i = 0; i < n; ++i)
                pos[i] = i;
            for (int k = n - 1, lo = 0; lo < n; ++lo, --k) {
                std::swap(pos[lo], pos[(lo + n - 1) / 2]);
                keys[pos[lo]] = k;
            }
        }
        QStringList arr{QString()};
        for (int k : keys)
            arr << QStringLiteral("e%1").arg(k, 7, 10, QLatin1Char('0'));
        QStringList expected = arr;
        std::sort(expected.begin(), expected.end());
        int yields = 0;
        SortTree(arr, 0, n, [&] { ++yields; });
        QCOMPARE(arr, expected);
        QVERIFY(IsTreeSorted(arr));
        QVERIFY(yields >= 1);
    }

    void sortedFileLoadsQuietly()
    {
        Fixture fx;
        QString path = fx.file("tree.txt", "\xef\xbb\xbf java.awt.-p-p\r\n"
                                           "java.awt.Color.-p-c,\"java.awt.F(a, b).-p-m\"\n"
                                           "java.awt.\xc3\xa9t\xc3\xa9.-p-c\r\n");
        const QString original = path;
        fx.load(path);
        QCOMPARE(fx.tree.arrtree, treeOf({"java.awt.-p-p", "java.awt.Color.-p-c", "java.awt.F(a, b).-p-m",
                                          QStringLiteral("java.awt.\u00e9t\u00e9.-p-c")}));
        QCOMPARE(fx.tree.treecount, 4);
        QVERIFY(fx.prompter.asked().empty() && fx.memory().writes().empty());
        QCOMPARE(fx.events, kLoadEvents);
        QCOMPARE(fx.yields, 0);
        QCOMPARE(path, original);

        // Bytes that are not UTF-8 read as Latin-1.
        Fixture latin;
        QString p = latin.file("latin.txt", "java.awt.caf\xe9.-p-c\r\n");
        latin.load(p);
        QCOMPARE(latin.tree.arrtree, treeOf({QStringLiteral("java.awt.caf\u00e9.-p-c")}));
    }

    // A file out of order is sorted in memory and the program offers to
    // save a sorted copy. Script: an answer, "?name" for a file chosen in
    // the dialog, "-" for a cancelled dialog. Transcript: every question
    // asked, "%D" standing for the folder.
    void sortedCopyFlows_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("transcript");
        QTest::addColumn<QString>("savedTo");
        const QString sortQ = msg("File [tree.txt] not sorted", MsgIcon::Question,
                                  MsgButtons::YesNo, sortQuestion("%D/tree.txt"));
        const QString dialog = QStringLiteral("file dialog");
        const QString overwriteQ =
            msg("File already exists", MsgIcon::Question, MsgButtons::YesNoCancel,
                "File already exists\r\nAre you sure you want to overwrite the current file?");
        auto moved = [](const QString &name) {
            return msg(QString(), MsgIcon::Information, MsgButtons::Ok, newLocationText("%D/" + name));
        };
        QTest::newRow("No keeps the file") << QStringList{"No"} << QStringList{sortQ} << QString();
        QTest::newRow("to a new file") << QStringList{"Yes", "?sorted.txt", "Ok"}
                                       << QStringList{sortQ, dialog, moved("sorted.txt")}
                                       << "sorted.txt";
        QTest::newRow("dialog cancelled") << QStringList{"Yes", "-"} << QStringList{sortQ, dialog}
                                          << QString();
        QTest::newRow("overwrite No asks again, Cancel ends")
            << QStringList{"Yes", "?other.txt", "No", "?other.txt", "Cancel"}
            << QStringList{sortQ, dialog, overwriteQ, dialog, overwriteQ} << QString();
        QTest::newRow("overwrite Yes replaces the file itself")
            << QStringList{"Yes", "?tree.txt", "Yes", "Ok"}
            << QStringList{sortQ, dialog, overwriteQ, moved("tree.txt")} << "tree.txt";
        QTest::newRow("read-only target asks again")
            << QStringList{"Yes", "?locked.txt", "Ok", "-"}
            << QStringList{sortQ, dialog,
                           msg("Error saving file [%D/locked.txt]", MsgIcon::Critical, MsgButtons::Ok,
                               "The file you are trying to save is read only"),
                           dialog}
            << QString();
        QTest::newRow("write fails") << QStringList{"Yes", "?missing/folder/sorted.txt", "Ok"}
                                     << QStringList{sortQ, dialog,
                                                    msg("Error saving file [tree.txt]", MsgIcon::Critical,
                                                        MsgButtons::Ok,
                                                        "The output File directory is write protected "
                                                        "or there's not enough free space on the disk")}
                                     << QString();
    }
    void sortedCopyFlows()
    {
        QFETCH(QStringList, script);
        QFETCH(QStringList, transcript);
        QFETCH(QString, savedTo);
        Fixture fx;
        const QByteArray unsorted = "a.-p-p\r\nZ.-p-p, \"c.x(d, e).-p-m\"\r\n";
        QString path = fx.file("tree.txt", unsorted);
        const QString original = path;
        fx.file("other.txt", "keep me");
        const QString locked = fx.file("locked.txt", "old");
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        const QString folder = fx.dir.path();
        for (const QString &step : script) {
            if (step == "-")
                fx.prompter.cancel();
            else if (step.startsWith('?'))
                fx.prompter.answerText(folder + "/" + step.mid(1));
            else
                fx.prompter.answer(step == "Yes" ? MsgAnswer::Yes : step == "No" ? MsgAnswer::No
                                   : step == "Ok" ? MsgAnswer::Ok : MsgAnswer::Cancel);
        }
        fx.load(path);
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);

        QStringList asked;
        for (const auto &a : fx.prompter.asked()) {
            asked << (a.kind == ScriptedPrompter::Asked::File ? QStringLiteral("file dialog")
                                                                : shown(a.message));
            if (a.kind == ScriptedPrompter::Asked::File) {
                QCOMPARE(a.file.mode, FileDialogRequest::Save);
                QCOMPARE(a.file.startPath, original);
                QCOMPARE(a.file.filter, QStringLiteral("Text Files(*.txt);;All Files(*)"));
            }
        }
        QCOMPARE(asked, transcript.replaceInStrings("%D", folder));
        QCOMPARE(fx.prompter.pending(), 0);
        const QStringList sorted = treeOf({"Z.-p-p", "a.-p-p", "c.x(d, e).-p-m"});
        QCOMPARE(fx.tree.arrtree, sorted);
        QCOMPARE(fx.tree.treecount, 3);
        QCOMPARE(fx.events, kLoadEvents);
        QVERIFY(fx.yields >= 1);
        QCOMPARE(readAll(fx.dir.filePath("other.txt")), QByteArray("keep me"));
        QCOMPARE(readAll(locked), QByteArray("old"));
        QStringList files{"locked.txt", "other.txt", "tree.txt"};
        if (savedTo.isEmpty()) {
            QCOMPARE(path, original);
            QCOMPARE(readAll(original), unsorted);
            QVERIFY(fx.memory().writes().empty());
        } else {
            const QString target = fx.dir.filePath(savedTo);
            QCOMPARE(path, target);
            QCOMPARE(fx.pref("tree"), target);
            QCOMPARE(fx.memory().writes().size(), size_t(1));
            QCOMPARE(readAll(target), QByteArray("\"Z.-p-p\"\r\n\"a.-p-p\"\r\n\"c.x(d, e).-p-m\"\r\n"));
            Fixture again; // the copy loads without a question
            again.load(path);
            QVERIFY(again.prompter.asked().empty());
            QCOMPARE(again.tree.arrtree, sorted);
            if (!files.contains(savedTo))
                files << savedTo;
        }
        files.sort();
        QCOMPARE(QDir(folder).entryList(QDir::Files), files);
    }

    // An absent file (or a folder) asks whether to turn the message off;
    // paths too short to name a file ask nothing.
    void missingFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("treeAfter");
        QTest::newRow("Yes turns the message off") << "absent.txt" << int(MsgAnswer::Yes) << QString();
        QTest::newRow("No keeps it") << "absent.txt" << int(MsgAnswer::No) << QStringLiteral("<unset>");
        QTest::newRow("a folder counts as missing") << "." << int(MsgAnswer::No) << QStringLiteral("<unset>");
        QTest::newRow("slash: no question") << "/" << -1 << QStringLiteral("<unset>");
        QTest::newRow("backslash: no question") << "\\" << -1 << QStringLiteral("<unset>");
        QTest::newRow("empty: no question") << "" << -1 << QStringLiteral("<unset>");
    }
    void missingFile()
    {
        QFETCH(QString, name);
        QFETCH(int, answer);
        QFETCH(QString, treeAfter);
        Fixture fx;
        fx.tree.arrtree = treeOf({"kept.-p-p"});
        fx.tree.treecount = 1;
        QString path = name.size() > 1 ? fx.dir.filePath(name) : name == "." ? fx.dir.path() : name;
        if (answer >= 0)
            fx.prompter.answer(MsgAnswer(answer));
        fx.load(path);
        QCOMPARE(fx.prompter.messages(), answer >= 0 ? QStringList{kNotFoundText} : QStringList{});
        if (answer >= 0)
            QCOMPARE(shown(fx.asked(0)), msg("object tree file no found", MsgIcon::Question,
                                             MsgButtons::YesNo, kNotFoundText));
        QCOMPARE(fx.pref("tree"), treeAfter);
        QCOMPARE(fx.pref("autotreesearch"), QStringLiteral("0"));
        QCOMPARE(fx.tree.treecount, 1); // nothing loaded, nothing lost
        QVERIFY(fx.events.isEmpty());
    }

    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QString noTags = "holds no tagged entries (such as java.awt.Color.-p-c)";
        QTest::newRow("binary") << QByteArray("java.awt.-p-p\r\n\0\x01\x02", 18)
                                << "is not a text file";
        QTest::newRow("no tags") << QByteArray("just some\r\nwords, here\r\n") << noTags;
        QTest::newRow("only blanks") << QByteArray("  \r\n\t\r\n,,") << noTags;
        QTest::newRow("too many entries") << QByteArray("a.-p-p,").repeated(2000001)
                                          << "holds more than 2000000 entries";
        QTest::newRow("too large, refused unread") << QByteArray() << "is larger than 64 MB";
    }
    void badFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        Fixture fx;
        fx.tree.arrtree = treeOf({"kept.-p-p"});
        fx.tree.treecount = 1;
        QString path = fx.file("bad.txt", bytes);
        if (bytes.isEmpty())
            QVERIFY(QFile::resize(path, kMaxTreeFileBytes + 1)); // sparse: no real data written
        fx.prompter.answer(MsgAnswer::Ok);
        fx.load(path);
        QCOMPARE(fx.prompter.asked().size(), size_t(1));
        QCOMPARE(shown(fx.asked(0)),
                 msg("Error loading file [bad.txt]", MsgIcon::Critical, MsgButtons::Ok,
                     "The object tree file\r\n" + path + "\r\n" + reason +
                         "\r\n\r\nNothing was loaded and Auto Tree Search has been turned off."));
        QCOMPARE(fx.tree.arrtree, treeOf({"kept.-p-p"}));
        QCOMPARE(fx.pref("autotreesearch"), QStringLiteral("0"));
        QCOMPARE(fx.events, QStringList({"show:Loading object tree", "hide"}));
    }

    void testProbe()
    {
        // Each "test.test" entry shows its position; a file full of them
        // asks a bounded number of times.
        Fixture fx;
        QString p = fx.file("probes.txt", "a.-p-p\r\n" + QByteArray("test.test\r\n").repeated(50));
        for (int i = 0; i < kMaxTreeProbes; ++i)
            fx.prompter.answer(MsgAnswer::Ok);
        fx.load(p);
        QCOMPARE(shown(fx.asked(0)), msg("QLN", MsgIcon::None, MsgButtons::Ok, "1"));
        QCOMPARE(fx.prompter.messages(),
                 QStringList({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
        QCOMPARE(fx.tree.treecount, 51);
    }

    void autoTreeSearchBox()
    {
        // Ticked with no file named: "/" is stored and turns the search off
        // again without a question.
        Fixture none;
        AutoTreeSearchTicked(true, none.tree, none.store, none.prompter, none.hooks);
        QStringList writes;
        for (const auto &w : none.memory().writes())
            writes << w.key + "=" + w.value;
        QCOMPARE(writes, QStringList({"tree=/", "autotreesearch=1", "autotreesearch=0"}));

        // Ticked with a file: it loads; ticked again: no second load;
        // unticked: the tree is gone.
        Fixture fx;
        const QString path = fx.file("tree.txt", "a.-p-p\r\nb.-p-p\r\n");
        fx.store.save(kPrefs, "tree", path);
        AutoTreeSearchTicked(true, fx.tree, fx.store, fx.prompter, fx.hooks);
        QCOMPARE(fx.tree.treecount, 2);
        QCOMPARE(fx.pref("autotreesearch"), QStringLiteral("1"));
        AutoTreeSearchTicked(true, fx.tree, fx.store, fx.prompter, fx.hooks);
        QCOMPARE(fx.events, kLoadEvents);
        AutoTreeSearchTicked(false, fx.tree, fx.store, fx.prompter, fx.hooks);
        QCOMPARE(fx.tree.arrtree, QStringList{QString()});
        QCOMPARE(fx.pref("autotreesearch") + " " + fx.pref("tree"), "0 " + path);
        QVERIFY(fx.prompter.asked().empty() && none.prompter.asked().empty());
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
        QCOMPARE(fx.yields, 0);

        TreeBoxModel box;
        QStringList arrmatch;
        SearchTree(box, fx.tree.arrtree, GetTreeKey("x = java.awt.", 1), arrmatch, 12000);
        QVERIFY(arrmatch.contains("Color") && arrmatch.contains("event"));
        QVERIFY(!arrmatch.contains("ActionEvent")); // lives in java.awt.event

        // Typing java.awt.Color.br and choosing the pre-selected name.
        SearchTree(box, fx.tree.arrtree, "java.awt.Color.", arrmatch, 12000);
        const int chosen = PreselectTreeItem(box, arrmatch, "br");
        QVERIFY(chosen > 0);
        QCOMPARE(box.items[chosen - 1].text, QStringLiteral("Color brighter()"));
        Surface surface;
        surface.setText(QStringLiteral("c = java.awt.Color.br"));
        QVERIFY(InsertTreeChoice(surface, chosen, arrmatch, "br", surface.length()));
        QCOMPARE(surface.text(), QStringLiteral("c = java.awt.Color.brighter()"));
    }
};

QTEST_GUILESS_MAIN(TstObjectTree)
#include "tst_objecttree.moc"
