// The document commands through the main window offscreen, every prompt scripted (an
// unscripted one fails the test): byte-for-byte round trips; failed saves and refused
// opens leave files and the current document as they were; paths are absolute; only
// regular files are read, and nothing blocks on a named pipe.

#include "shell/documentfiles.h"
#include "shell/recentfiles.h"
#include "shell/recovery.h"
#include "support/specialfiles.h"
#include "support/windowtest.h"
#include "surface/ui/surfaceview.h"

#include "formatting/colorizeall.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

using namespace qln;
using qln::test::readFile;
using qln::test::ScriptedPrompter;
using qln::test::writeFile;

namespace {

using Asked = ScriptedPrompter::Asked;
const QString kSaveFirst = QStringLiteral("Do you wish to save the file?");

// A message as one string: text, title, icon and buttons.
QString msg(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons)
{
    return QStringLiteral("%1|%2|%3|%4").arg(text, title).arg(int(icon)).arg(int(buttons));
}

QString shown(const Asked &a)
{
    return a.kind != Asked::Message
               ? QStringLiteral("<not a message>")
               : msg(a.message.text, a.message.title, a.message.icon, a.message.buttons);
}

bool isFileDialog(const Asked &a, FileDialogRequest::Mode mode)
{
    return a.kind == Asked::File && a.file.mode == mode
           && a.file.filter == QLatin1String("Java Files(*.java);;Text Files(*.txt);;All Files(*)");
}

QString caption(const QString &name) // "A.java*" -> "Document [A.java] - Quillon*"
{
    const bool modified = name.endsWith(QLatin1Char('*'));
    return QStringLiteral("Document [%1] - Quillon%2")
        .arg(name.chopped(modified), modified ? "*" : "");
}

} // namespace

class TestDocuments : public QObject, test::WindowTest {
    Q_OBJECT

    // A window on a new file holding bytes, with "// edit" appended when modified.
    std::unique_ptr<frmedit> start(const QString &file = QString(), const QByteArray &bytes = {},
                                   bool modified = false)
    {
        if (!file.isEmpty() && !writeFile(file, bytes))
            qFatal("cannot write %s", qPrintable(file));
        auto w = open(file);
        w->documents().setLauncher([](const QString &, const QStringList &) {
            qFatal("a test must not start a second instance");
            return false;
        });
        if (modified)
            modify(*w);
        return w;
    }

    static void modify(frmedit &w, const QString &text = QStringLiteral("// edit\r\n"))
    {
        append(w, text);
        QVERIFY(marked(w));
    }

    static void run(frmedit &w, const QString &item) { w.menuItem(item)->trigger(); }

private slots:
    void init() { initWindowTest(); }
    void cleanup() { cleanupWindowTest(); }

    void checkDiskSpaceMessage()
    {
        const QString text(5000, QLatin1Char('x'));
        const DiskSpace low{10240 * 1024, 2048, 1024};
        QVERIFY(CheckDiskSpace(text, DiskSpace{1 << 20, 8000, 8000}, m_prompter)
                && CheckDiskSpace(text, std::nullopt, m_prompter)); // an unknown disk lets it go on
        m_prompter.answer(MsgAnswer::No);
        QVERIFY(!CheckDiskSpace(text, low, m_prompter));
        m_prompter.answer(MsgAnswer::Yes);
        QVERIFY(CheckDiskSpace(text, low, m_prompter));
        QCOMPARE(shown(m_prompter.asked().at(0)),
                 msg("There's not ehough space to save this file\r\nTotal Disk Space ~10240 "
                     "KBytes\r\nFree Space ~ 2 KBytes\r\nCode Size ~ 5 KBytes\r\n"
                     "If you choose yes the file will be saved if it fits; if it does not, "
                     "the file stays unchanged",
                     "Do you wish to continue?", MsgIcon::Critical, MsgButtons::YesNo));
        // A bare chroot's file system may report no size at all.
        const std::optional<DiskSpace> real = queryDiskSpace(m_dir->path());
        if (!real || real->total <= 0)
            QSKIP("The file system of the temporary folder reports no size");
        QVERIFY(real->free <= real->total);
    }

    void newWindowWritesSettingsThenStartsASecondInstance()
    {
        auto w = start();
        w->move(100, 200);
        QStringList started;
        w->documents().setLauncher([&](const QString &program, const QStringList &arguments) {
            started << program << pref("ftop") << pref("fleft") << arguments.join(' ');
            return true;
        });
        run(*w, "newwindow");
        // The new window opens 400 twips lower than this one.
        QCOMPARE(started.value(0), QCoreApplication::applicationFilePath());
        QCOMPARE(started.value(1).toDouble(), std::round(w->geometryTwips().top + 400));
        QCOMPARE(started.value(2).toDouble(), std::round(w->geometryTwips().left));
        QCOMPARE(started.value(3), QString()); // on no file
    }

    void newAndOpenAskToSaveFirst_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("dialog"); // "": not shown, "-": cancelled, else the file chosen
        QTest::addColumn<bool>("named");
        QTest::addColumn<QString>("title"); // afterwards, as caption() takes it
        const int yes = int(MsgAnswer::Yes), no = int(MsgAnswer::No);
        // New and Open share the question (a No that leads nowhere: tst_unsaved).
        QTest::newRow("new Yes") << "new" << yes << "" << true << "";
        QTest::newRow("new Cancel") << "new" << int(MsgAnswer::Cancel) << "" << true << "A.java*";
        QTest::newRow("new Yes, Save As cancelled") << "new" << yes << "-" << false << "*";
        QTest::newRow("open No") << "Open" << no << "B.java" << true << "B.java";
    }

    void newAndOpenAskToSaveFirst()
    {
        QFETCH(QString, item);
        QFETCH(int, answer);
        QFETCH(QString, dialog);
        QFETCH(bool, named);
        QFETCH(QString, title);
        const QString a = path(QStringLiteral("A.java"));
        QVERIFY(writeFile(path(QStringLiteral("B.java")), "class B {}\r\n"));
        auto w = start(named ? a : QString(), "class A {}\n", true);
        m_prompter.answer(MsgAnswer(answer));
        if (dialog == QLatin1String("-"))
            m_prompter.cancel();
        else if (!dialog.isEmpty())
            m_prompter.answerText(path(dialog));
        run(*w, item);

        QCOMPARE(shown(m_prompter.asked().at(0)),
                 msg(kSaveFirst, "File not saved", MsgIcon::Question, MsgButtons::YesNoCancel));
        if (!dialog.isEmpty())
            QVERIFY(isFileDialog(m_prompter.asked()[1], item == QLatin1String("new")
                                                            ? FileDialogRequest::Save
                                                            : FileDialogRequest::Open));
        if (named)
            QCOMPARE(readFile(a), answer == int(MsgAnswer::Yes) ? "class A {}\n// edit\n"
                                                                : QByteArray("class A {}\n"));
        QCOMPARE(w->windowTitle(), caption(title));
        const QString text = w->surface()->text();
        QCOMPARE(text.endsWith(QStringLiteral("// edit\r\n")), title.endsWith(QLatin1Char('*')));
        if (title == QLatin1String("B.java"))
            QCOMPARE(text, QStringLiteral("class B {}\r\n"));
        if (title.isEmpty())
            QCOMPARE(text + w->documentPath(), QString());
        QVERIFY(w->rtfedit()->isVisible() && !QApplication::overrideCursor());
    }

    void openRefusesWhatIsNotText_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<qint64>("size");        // > 0: a sparse file of that size
        QTest::addColumn<QString>("why");        // after the file's path
        QTest::newRow("NUL bytes") << QByteArray("\xCA\xFE\xBA\xBE\0\0\0\x34", 8) << qint64(0)
                                   << " holds NUL bytes: it is not a text file.";
        QTest::newRow("missing") << QByteArray() << qint64(0) << " does not exist.";
        QTest::newRow("too large") << QByteArray("") << kMaxFileBytes + 1 << QString();
    }

    void openRefusesWhatIsNotText()
    {
        QFETCH(QByteArray, content);
        QFETCH(qint64, size);
        QFETCH(QString, why);
        const QString bad = path(QStringLiteral("Bad.java"));
        if (!content.isNull())
            QVERIFY(writeFile(bad, content));
        if (size > 0)
            QVERIFY(QFile::resize(bad, size));
        const QString good = path(QStringLiteral("Good.java"));
        auto w = start(good, "class Good {}\n", true);
        const QString text = w->surface()->text();
        m_prompter.answer(MsgAnswer::Yes); // save first
        m_prompter.answerText(bad);
        m_prompter.answer(MsgAnswer::Ok);
        run(*w, "Open");
        QCOMPARE(shown(m_prompter.asked().at(2)),
                 msg("Error opening file\r\n\r\n" + (size > 0 ? fileTooLargeText(size) : bad + why),
                     "Error", MsgIcon::Critical, MsgButtons::Ok));
        // The saved document is still there, named and unmodified.
        QCOMPARE(w->surface()->text(), text);
        QCOMPARE(w->windowTitle(), caption("Good.java"));
        QVERIFY(w->rtfedit()->isVisible());

        // A later Save writes the good file, never the refused one.
        modify(*w, QStringLiteral("more"));
        run(*w, "Save");
        QCOMPARE(readFile(good), QByteArray("class Good {}\n// edit\nmore"));
        if (size > 0)
            QCOMPARE(QFileInfo(bad).size(), size);
        else
            QCOMPARE(readFile(bad), content.isNull() ? "<unreadable>" : content);
    }

    // A large file comes in the background: the window is up and answers
    // meanwhile, the document keeps its text and refuses edits, the status
    // bar shows the progress and a Cancel; the file is then shown coloured
    // as one read at once, or, cancelled, nothing changed.
    void largeFileOpensInTheBackground_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("open") << "open";
        QTest::newRow("open, cancelled") << "cancel";
        QTest::newRow("at start-up") << "start-up";
    }
    void largeFileOpensInTheBackground()
    {
        QFETCH(QString, how);
        QByteArray big = "/* a large class */\nclass Big {\n";
        while (big.size() <= DocumentFiles::kBackgroundFrom)
            big += "    String s = \"text\"; int x; // note\n";
        big += "}\n";
        const QString bigPath = path(QStringLiteral("Big.java"));
        QVERIFY(writeFile(bigPath, big));
        settingsStore().save(kPrefs, QStringLiteral("chkautosyntaxcolor"), QStringLiteral("1"));

        std::unique_ptr<frmedit> w;
        QString before;
        if (how == QLatin1String("start-up")) {
            w = open(bigPath);
            QVERIFY(w->isVisible() && w->surface()->length() == 0);
        } else {
            w = start(path(QStringLiteral("Good.java")), "class Good {}\n");
            before = w->surface()->text();
            m_prompter.answerText(bigPath);
            run(*w, "Open");
        }
        auto *status = w->findChild<QLabel *>(QStringLiteral("stbPanel1"));
        auto *cancel = w->findChild<QPushButton *>(QStringLiteral("cancelload"));
        QVERIFY(w->documents().isLoading() && cancel->isVisible());
        QVERIFY2(status->text().startsWith(QLatin1String("Reading Big.java: "))
                     || status->text() == QLatin1String("Colouring Big.java"),
                 qPrintable(status->text()));
        QVERIFY(!w->surface()->replace(0, 0, QStringLiteral("typed")));
        QCOMPARE(w->surface()->text(), before);

        if (how == QLatin1String("cancel")) {
            QTest::keyClick(cancel, Qt::Key_Escape);
            QVERIFY(!w->documents().isLoading() && !cancel->isVisible());
            QCOMPARE(status->text(), QStringLiteral("Not opened: reading Big.java was cancelled"));
            QTest::qWait(300); // nothing arrives later
            QCOMPARE(w->surface()->text(), before);
            QCOMPARE(w->windowTitle(), caption("Good.java"));
            modify(*w);
            run(*w, "Save");
            QCOMPARE(readFile(path(QStringLiteral("Good.java"))), "class Good {}\n// edit\n");
            QCOMPARE(readFile(bigPath), big);
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(!w->documents().isLoading(), 20000);
        QVERIFY(!cancel->isVisible());
        QCOMPARE(w->windowTitle(), caption("Big.java"));
        QCOMPARE(w->surface()->text(), QString::fromLatin1(big).replace("\n", "\r\n"));
        QVERIFY(!w->surface()->canUndo());
        // Coloured as the window colours a file it reads at once.
        Surface fresh;
        fresh.setSelStyle(w->surface()->formatAt(0).color, false, false, false);
        fresh.setText(w->surface()->text());
        ColorizeDocument(fresh, w->preferences());
        auto colours = [](const Surface &s) {
            std::vector<std::tuple<int, BgrColor, bool>> out;
            for (const auto &run : s.formatRuns(0, s.length()))
                out.emplace_back(run.start, run.format->color, run.format->bold);
            return out;
        };
        QVERIFY(colours(fresh).size() > 100);
        QVERIFY(colours(*w->surface()) == colours(fresh));
        append(*w, QStringLiteral("// end"));
        run(*w, "Save");
        QCOMPARE(readFile(bigPath), big + "// end");
    }

    void saveAsOntoAnExistingFileAsks()
    {
        auto w = start(path(QStringLiteral("N.java")), "class N {\r\n}");
        // Onto an existing file: Cancel empties the path and writes nothing.
        const QString existing = path(QStringLiteral("E.java"));
        QVERIFY(writeFile(existing, "old\n"));
        m_prompter.answerText(existing);
        m_prompter.answer(MsgAnswer::Cancel);
        run(*w, "Save_as");
        QCOMPARE(shown(m_prompter.asked().at(1)),
                 msg("Do you wish to overwrite the file?", "File already exists", MsgIcon::Question,
                     MsgButtons::YesNoCancel));
        QCOMPARE(w->documentPath(), QString());
        // No: asked for a name again, the second one is used. Yes: overwritten.
        for (const char *second : {"F.java", "E.java"}) {
            m_prompter.answerText(existing);
            m_prompter.answer(second[0] == 'F' ? MsgAnswer::No : MsgAnswer::Yes);
            if (second[0] == 'F')
                m_prompter.answerText(path(second));
            run(*w, "Save_as");
            QCOMPARE(readFile(path(second)), QByteArray("class N {\r\n}"));
            QCOMPARE(w->windowTitle(), caption(second));
        }
        QCOMPARE(m_prompter.asked().size(), size_t(7));
    }

    void readOnlyTargetAsksForAnotherName()
    {
        const QString file = path(QStringLiteral("RO.java"));
        const QString copy = path(QStringLiteral("Copy.java"));
        auto w = start(file, "class RO {}\n", true);
        // chmod 444: read-only for everyone; root too is asked.
        QVERIFY(
            QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        m_prompter.answer(MsgAnswer::Yes);
        m_prompter.answerText(copy);
        run(*w, "Save");
        QCOMPARE(shown(m_prompter.asked().at(0)),
                 msg("The file you are trying to save is read only\r\n"
                     "Would you like to save the file under different name?",
                     "Error saving file [" + file + "]", MsgIcon::Critical, MsgButtons::YesNo));
        QCOMPARE(readFile(file), QByteArray("class RO {}\n"));
        QCOMPARE(readFile(copy), QByteArray("class RO {}\n// edit\n"));
        QCOMPARE(w->windowTitle(), caption("Copy.java"));
        QVERIFY(!QApplication::overrideCursor());
    }

    void openThenSaveIsByteForByte_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("CR LF") << QByteArray("class A {\r\n    int x;\r\n}\r\n");
        QTest::newRow("LF, no final break") << QByteArray("class A {\n    int x;\n}");
        QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBF// gr\xC3\xBC\nclass \xC3\xA9 {}\n");
        QTest::newRow("UTF-8") << QByteArray("// \xE2\x82\xAC \xF0\x9F\x98\x80\r\nclass U {}");
        QTest::newRow("Latin-1") << QByteArray("// gr\xFC\xDF \xE9t\xE9\nclass L {}\n");
        QTest::newRow("empty file") << QByteArray("");
    }

    void openThenSaveIsByteForByte()
    {
        QFETCH(QByteArray, bytes);
        const QString file = path(QStringLiteral("R.java"));
        QVERIFY(writeFile(file, bytes));
        auto w = start();
        QStringList seen; // the window at each change of the surface while it loads
        connect(w->surface(), &Surface::changed, w.get(), [&] {
            const EditorState &e = editorState();
            seen << QStringLiteral("%1%2 painted=%3 hourglass=%4 %5")
                        .arg(e.suppressChange)
                        .arg(e.suppressSelChange)
                        .arg(w->rtfedit()->isPainted())
                        .arg(bool(QApplication::overrideCursor()))
                        .arg(w->statusPanel(1)->text());
        });
        m_prompter.answerText(file);
        run(*w, "Open");
        QVERIFY(!seen.isEmpty() || bytes.isEmpty()); // loading nothing changes nothing
        for (const QString &line : seen)
            QCOMPARE(line, QStringLiteral("11 painted=0 hourglass=1 Please wait"));
        QVERIFY(w->rtfedit()->isVisible() && w->rtfedit()->isPainted()
                && !QApplication::overrideCursor() && !editorState().suppressChange
                && !editorState().suppressSelChange);
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Done"));
        QVERIFY(!w->surface()->canUndo());

        // Changed by another program since it was opened: Save asks first.
        QVERIFY(writeFile(file, "overwritten"));
        m_prompter.answer(MsgAnswer::Yes);
        run(*w, "Save");
        QCOMPARE(m_prompter.asked().back().message.title, QStringLiteral("File changed on disk"));
        QCOMPARE(readFile(file), bytes);
    }

    void failedSaveLeavesTheOldFile()
    {
        const QString file = path(QStringLiteral("Small.java"));
        const QByteArray old("class Small {}\n");
        auto w = start(file, old);
        const QString big = QStringLiteral("    int field = 1;\r\n").repeated(100000);
        w->surface()->setSelection(0, w->surface()->length());
        w->surface()->setSelText(big);

        // Writing more than 256 KB now fails half way through the write.
        m_prompter.answer(MsgAnswer::Ok);
        {
            test::FileSizeLimit limit(256 * 1024);
            QVERIFY(limit.ok());
            run(*w, "Save");
        }

        QCOMPARE(shown(m_prompter.asked().at(0)),
                 msg("The disk seems to be either write protected or there's not enough space to "
                     "save the file",
                     "Error saving file [" + file + "]", MsgIcon::Critical, MsgButtons::Ok));
        QCOMPARE(readFile(file), old);
        QCOMPARE(w->windowTitle(), caption("Small.java*"));
        QCOMPARE(w->statusPanel(1)->text(), QStringLiteral("Error"));
        // No half-written temporary file is left behind.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"Small.java"});

        // With the limit lifted the same Save succeeds.
        run(*w, "Save");
        QCOMPARE(readFile(file), big.toUtf8().replace("\r\n", "\n"));
        QCOMPARE(w->windowTitle(), caption("Small.java"));
    }

    void insertFileThenExitSavesTheDocumentsOwnFile()
    {
        const QString doc = path(QStringLiteral("Doc.java"));
        const QString part = path(QStringLiteral("Part.java"));
        const QString binary = path(QStringLiteral("Part.class"));
        QVERIFY(writeFile(part, "    int inserted;\n"));
        QVERIFY(writeFile(binary, QByteArray("\xCA\xFE\xBA\xBE\0\0\0\x34", 8)));
        auto w = start(doc, "class Doc {\n}\n");
        w->surface()->setSelStart(w->surface()->lineIndex(1)); // before "}"
        // A file holding NUL bytes is no text: refused with a note, no box.
        m_prompter.answerText(binary);
        run(*w, "infile");
        QCOMPARE(
            w->statusPanel(1)->text(),
            QStringLiteral("Not inserted: Part.class holds NUL bytes, so it is not a text file"));
        QCOMPARE(w->surface()->text(), QStringLiteral("class Doc {\r\n}\r\n"));
        QCOMPARE(w->windowTitle(), caption("Doc.java"));
        m_prompter.clear();
        m_prompter.answerText(part);
        run(*w, "infile");
        const QString joined = QStringLiteral("class Doc {\r\n    int inserted;\r\n}\r\n");
        QCOMPARE(w->surface()->text(), joined);
        QCOMPARE(w->surface()->selStart(), joined.size() - 3); // after the inserted text
        QCOMPARE(w->windowTitle(), caption("Doc.java*"));

        m_prompter.answer(MsgAnswer::Cancel);
        run(*w, "Exit");
        QCOMPARE(m_prompter.messages(), QStringList{kSaveFirst});
        QVERIFY(w->isVisible());
        // Yes runs the real Save command, then the window closes.
        m_prompter.answer(MsgAnswer::Yes);
        run(*w, "Exit");
        QVERIFY(!w->isVisible());
        QCOMPARE(readFile(doc), QByteArray("class Doc {\n    int inserted;\n}\n"));
        QCOMPARE(pref("lastfilename"), doc);
    }

    void typedDocumentSavedWithCtrlSAndReopened()
    {
        auto w = start();
        // After start-up the path is the last folder + "*.java": still no file.
        w->setDocumentPath(m_dir->path() + QStringLiteral("/*.java"));
        QApplication::setActiveWindow(w.get());
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->rtfedit()->setFocus();

        // Enter keeps the indentation (a tab after the brace), and the
        // closing brace lines up with its opening one.
        for (const char *line : {"class Typed {", "int x;"}) {
            QTest::keyClicks(w->rtfedit(), QLatin1String(line));
            QTest::keyClick(w->rtfedit(), Qt::Key_Return);
        }
        QTest::keyClicks(w->rtfedit(), QStringLiteral("}"));
        const QString typed = QStringLiteral("class Typed {\r\n\tint x;\r\n}");
        QCOMPARE(w->surface()->text(), typed);

        const QString file = path(QStringLiteral("Typed.java"));
        m_prompter.answerText(file);
        QTest::keyClick(w->rtfedit(), Qt::Key_S, Qt::ControlModifier);
        QVERIFY(isFileDialog(m_prompter.asked().at(0), FileDialogRequest::Save));
        QCOMPARE(m_prompter.asked()[0].file.startPath, m_dir->path() + QStringLiteral("/*.java"));
        QCOMPARE(readFile(file), typed.toUtf8()); // CR LF UTF-8, nothing appended
        QCOMPARE(w->windowTitle(), caption("Typed.java"));

        // Ctrl+N empties the window; Ctrl+O reads the file back.
        QTest::keyClick(w->rtfedit(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(w->surface()->text(), QString());
        m_prompter.answerText(file);
        QTest::keyClick(w->rtfedit(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(w->surface()->text(), typed);
        QCOMPARE(w->rtfedit()->surface()->text(), QStringLiteral("class Typed {\r\n\tint x;\r\n}"));
    }

    // A relative path is taken against the folder current when it is given,
    // once: the document, Recent Files and the recovery copy keep it
    // absolute, so a later change of folder sends nothing elsewhere.
    void relativePathsBecomeAbsolute()
    {
        const QString a = path(QStringLiteral("a")), b = path(QStringLiteral("b"));
        QVERIFY(QDir().mkpath(a) && QDir().mkpath(b));
        QVERIFY(writeFile(a + "/R.java", "class R {}\n"));
        struct Cwd {
            const QString before = QDir::currentPath();
            ~Cwd() { QDir::setCurrent(before); }
        } cwd;
        QVERIFY(QDir::setCurrent(a));
        auto w = open(QStringLiteral("R.java"));
        QVERIFY(QDir::setCurrent(b));
        QCOMPARE(w->documentPath(), a + "/R.java");
        QCOMPARE(w->recentFiles().paths(), QStringList{a + "/R.java"});
        modify(*w);
        w->recovery().writeNow();
        w->recovery().waitForWrites();
        const std::optional<RecoveryReading> copy = readRecoveryFile(w->recovery().sessionFile());
        QVERIFY(copy);
        QCOMPARE(copy->record.path, a + "/R.java");
        run(*w, "Save");
        QCOMPARE(readFile(a + "/R.java"), QByteArray("class R {}\n// edit\n"));
        QVERIFY(!QFile::exists(b + "/R.java"));

        // A relative name from the Save As dialog: the current folder's.
        m_prompter.answerText(QStringLiteral("S.java"));
        run(*w, "Save_as");
        QVERIFY(QDir::setCurrent(a));
        modify(*w, QStringLiteral("more"));
        run(*w, "Save");
        QCOMPARE(readFile(b + "/S.java"), QByteArray("class R {}\n// edit\nmore"));
        QVERIFY(!QFile::exists(a + "/S.java"));
        QCOMPARE(w->recentFiles().paths(), (QStringList{b + "/S.java", a + "/R.java"}));

        // A recovered copy naming a relative path (an older editor's) says
        // nothing of its folder: Save asks for a name instead of guessing.
        w->documents().openRecovered(RecoveryRecord{QStringLiteral("R.java"), std::nullopt,
                                                    FileStamp{}, QStringLiteral("x")});
        QCOMPARE(w->documentPath(), QString());
        m_prompter.cancel();
        run(*w, "Save");
        QVERIFY(isFileDialog(m_prompter.asked().back(), FileDialogRequest::Save));
        QCOMPARE(readFile(a + "/R.java"), QByteArray("class R {}\n// edit\n"));
        m_prompter.answer(MsgAnswer::No);
        QVERIFY(w->close());
    }

    // Only regular files are read: the settings file, the command-line
    // file, Open and Insert File name a named pipe, a socket or a device
    // and go on, never waiting on it.
    void oddFilesAreRefusedWithoutBlocking_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("named pipe") << "a named pipe (FIFO)";
        QTest::newRow("socket") << "a socket";
        QTest::newRow("device") << "a character device";
    }

    void oddFilesAreRefusedWithoutBlocking()
    {
        QFETCH(QString, kind);
        const QString settings = m_env->configHome() + "/QLN/QLN.ini";
        const QString odd = path(QStringLiteral("Odd.java"));
        QVERIFY(QDir().mkpath(m_env->configHome() + "/QLN"));
        for (const QString &at : {settings, odd}) {
            if (kind.contains(QLatin1String("pipe")))
                QVERIFY(test::makeFifo(at));
            else if (kind.contains(QLatin1String("socket")))
                QVERIFY(test::makeSocketFile(at));
            else if (!test::makeDeviceNode(at))
                QSKIP("Only root may make a device node");
        }
        test::PipeUnblocker settingsPipe(settings), documentPipe(odd);
        setSettingsStore(nullptr); // the store opens the file under XDG_CONFIG_HOME
        const QString named = QStringLiteral("%1 is %2, not a regular file.").arg(odd, kind);
        m_prompter.answer(MsgAnswer::Ok); // the settings file
        m_prompter.answer(MsgAnswer::Ok); // the command-line file
        auto w = open(odd);
        QVERIFY(w->isLoaded());
        QCOMPARE(m_prompter.asked().size(), size_t(2));
        QCOMPARE(shown(m_prompter.asked().at(0)),
                 msg(QStringLiteral("The settings file %1 is %2, not a regular file, so it was not "
                                    "read. Settings are kept only until the program ends.")
                         .arg(settings, kind),
                     "Settings file", MsgIcon::Exclamation, MsgButtons::Ok));
        QCOMPARE(shown(m_prompter.asked().at(1)), msg("Error opening file\r\n\r\n" + named, "Error",
                                                      MsgIcon::Critical, MsgButtons::Ok));
        QCOMPARE(w->documentPath(), QString());
        QVERIFY(w->surface()->text().isEmpty());

        modify(*w, QStringLiteral("kept"));
        m_prompter.answer(MsgAnswer::No);
        m_prompter.answerText(odd);
        m_prompter.answer(MsgAnswer::Ok);
        run(*w, "Open");
        m_prompter.answerText(odd);
        m_prompter.answer(MsgAnswer::Ok);
        run(*w, "infile");
        QCOMPARE(m_prompter.messages().mid(2),
                 (QStringList{kSaveFirst, "Error opening file\r\n\r\n" + named,
                              "Error inserting file\r\n\r\n" + named}));
        QCOMPARE(w->surface()->text(), QStringLiteral("kept"));
        QCOMPARE(w->windowTitle(), caption("*"));
        QVERIFY(!settingsPipe.blocked() && !documentPipe.blocked());
        QCOMPARE(QFileInfo(settings).isFile(), false); // left as it was
        m_prompter.answer(MsgAnswer::No);
        QVERIFY(w->close());
    }
};

QTEST_MAIN(TestDocuments)
#include "tst_documents.moc"
