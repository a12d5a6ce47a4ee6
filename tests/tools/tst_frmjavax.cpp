// The tool dialog driven as a user drives it, offscreen, up to whole runs
// of the installed Java kit.
#include "support/datarow.h"
#include "support/files.h"
#include "support/requirekit.h"
#include "support/scriptedprompter.h"
#include "support/testenv.h"
#include "surface/surface.h"
#include "tools/dosoutputs.h"
#include "tools/frmdosx.h"
#include "tools/terminal.h"
#include "tools/ui/frmjavax.h"
#include "toolsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace qln;
using qln::test::factoryStore;
using qln::test::kitBin;
using qln::test::readFile;
using qln::test::ScriptedPrompter;
using qln::test::writeFile;

namespace {

constexpr int kGenerous = 120000; // ms; slow machines and CI runners alike
constexpr BgrColor kBlue = 16711680;
constexpr BgrColor kOlive = 356435;

// A message as "title|text|icon|buttons", for one exact comparison.
QString msg(const MessageRequest &m)
{
    return QStringLiteral("%1|%2|%3|%4").arg(m.title, m.text).arg(int(m.icon)).arg(int(m.buttons));
}
QString msg(const char *title, const char *text, MsgIcon icon, MsgButtons buttons = MsgButtons::Ok)
{
    return msg(MessageRequest{text, title, icon, buttons});
}

// One open dialog with its owner, prompter and store; closed at the end.
struct Session {
    QTemporaryDir tmp;
    QWidget owner;
    ScriptedPrompter prompter;
    std::unique_ptr<SettingsStore> store = factoryStore();
    QPointer<frmJavaX> dialog;

    frmJavaX *open(const QString &mode, const QString &document = QString(),
                   const QString &exe = QString())
    {
        if (!exe.isEmpty())
            store->save("JavaX-" + mode, "exe", exe);
        owner.show();
        dialog = frmJavaX::open(mode, document, prompter, *store, &owner);
        return dialog;
    }
    // The dialog on a document of the session's folder, with a stand-in
    // tool (a shell script, tmp/tool) as the mode's executable; null when
    // the files could not be written.
    frmJavaX *openOn(const QString &mode, const QString &document, const QByteArray &text,
                     const QByteArray &script)
    {
        if (!writeFile(tmp.filePath(document), text)
            || !writeFile(tmp.filePath("tool"), "#!/bin/sh\n" + script, true))
            return nullptr;
        return open(mode, tmp.filePath(document), tmp.filePath("tool"));
    }
    ~Session()
    {
        if (dialog)
            dialog->close();
        QTest::qWait(0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    template <class W> W *c(const QString &name) { return dialog->findChild<W *>(name); }
    QLineEdit *edit(const QString &name) { return c<QLineEdit>(name); }
    QPushButton *button(const QString &name) { return c<QPushButton>(name); }
    QCheckBox *check(const QString &name) { return c<QCheckBox>(name); }
    QString commandLine() { return dialog->commandLineBox().text(); }
    QString saved(const QString &mode, const QString &key)
    {
        return store->get("JavaX-" + mode, key);
    }
    bool idle() { return !dialog->isRunning() && !commandLine().contains("[Executing]"); }

    // Types into a line edit as the user would.
    void type(const QString &name, const QString &text)
    {
        QLineEdit *e = edit(name);
        e->selectAll();
        e->del();
        QTest::keyClicks(e, text);
    }
    void choose(const QString &mode)
    {
        auto *modes = c<QComboBox>("cboJavaX");
        modes->activated(modes->findText(mode));
    }
    // Clicks the run button and waits for the run to end.
    bool run()
    {
        button("cmdJavaX")->click();
        return QTest::qWaitFor([&] { return dialog && !dialog->isRunning(); }, kGenerous);
    }
};

// The style of every character of [start, start + length) of the box.
bool styled(const Surface &box, int start, int length, BgrColor colour, bool bold)
{
    for (int i = start; i < start + length; ++i)
        if (box.formatAt(i).color != colour || box.formatAt(i).bold != bold)
            return false;
    return true;
}

bool markerStyled(const Surface &box, const QString &marker)
{
    const int at = int(box.text().indexOf(marker));
    return at >= 0 && styled(box, at, int(marker.size()), kBlue, true);
}

const char *const kHello = "class Greeter {\n    public static void main(String[] a) { "
                           "System.out.println(\"Hello from My Project\"); }\n}\n";

} // namespace

class TstFrmJavaX : public QObject {
    Q_OBJECT
private slots:
    void openingModesAndClosing()
    {
        Session s;
        frmJavaX *d = s.open("Compile");
        QVERIFY(frmJavaX::instance() == d && s.owner.isEnabled() && d->isEnabled());
        QCOMPARE(d->windowTitle(), QStringLiteral("Compile"));

        // Hiding the grid is remembered for the mode's next opening.
        QWidget *grid = d->findChild<QWidget *>("optionGrid");
        QPushButton *toggle = s.button("cmdshowoptions");
        QVERIFY(grid->isVisibleTo(d) && toggle->text() == "^");
        toggle->click();
        QVERIFY(!grid->isVisibleTo(d));
        QCOMPARE(toggle->text() + s.store->get("Javax-Compile", "showOptions"),
                 QStringLiteral("v0"));
        s.choose("Run");
        QVERIFY(grid->isVisibleTo(d));
        s.choose("Compile");
        QVERIFY(!grid->isVisibleTo(d));
        toggle->click();
        QCOMPARE(s.saved("Compile", "showOptions"), QStringLiteral("1"));

        // Title, run button, executable frame, archive frame ("-" when hidden).
        auto labels = [&] {
            auto *archive = s.c<QGroupBox>("fra2");
            return QStringList{d->windowTitle(), s.button("cmdJavaX")->text(),
                               s.c<QGroupBox>("FraJavaX")->title(),
                               archive->isHidden() ? QStringLiteral("-") : archive->title()}
                .replaceInStrings(QStringLiteral("&"), QString());
        };
        QCOMPARE(labels(), (QStringList{"Compile", "Compile", "Compiler", "-"}));
        auto *modes = s.c<QComboBox>("cboJavaX");
        // Every mode but the current one, none chosen.
        QCOMPARE(QStringLiteral("%1 %2 %3")
                     .arg(modes->count())
                     .arg(modes->currentIndex())
                     .arg(modes->placeholderText()),
                 QStringLiteral("4 -1 <Select>"));

        s.choose("Jar");
        QCOMPARE(labels(), (QStringList{"Jar", "Jar", "JAR (Java Archive Tool)", "Archive"}));
        QVERIFY(s.button("CmdOPTBROWSE_3")->isVisibleTo(d)
                && !s.button("CmdOPTBROWSE_0")->isVisibleTo(d));
        QTRY_COMPARE(modes->currentIndex(), -1);

        // Run keeps the slots of its VM switches; 5 and 6 stay hidden.
        s.choose("Run");
        QCOMPARE(s.check("chkOPT_7")->text(), QStringLiteral("-classic"));
        QVERIFY(s.check("chkOPT_5")->isHidden() && s.check("chkOPT_6")->isHidden()
                && s.c<QComboBox>("CboEncoding")->isHidden());

        // Native2Ascii has no catalogue, and running it does nothing.
        s.prompter.answer(MsgAnswer::Ok);
        s.choose("Native2Ascii");
        QCOMPARE(s.prompter.messages(), QStringList{"Option not supported"});
        QCOMPARE(s.button("cmdJavaX")->text(), QString());
        d->cmdJavaX_Click();
        QVERIFY(s.idle());

        int compiles = 0;
        d->setCompileCommand([&] { ++compiles; });
        s.choose("Compile");
        QCOMPARE(compiles, 1);

        s.button("cmdClose")->click();
        QVERIFY(s.owner.isEnabled());
        QTRY_VERIFY(!s.dialog);
        QCOMPARE(frmJavaX::instance(), nullptr);
    }

    void optionsRebuildTheCommandLine()
    {
        Session s;
        const QString doc = s.tmp.filePath("A.java");
        QVERIFY(writeFile(doc, "class A {}\n"));
        frmJavaX *d = s.open("Compile", doc, "/kit/bin/javac");
        QCOMPARE(s.commandLine(), "/kit/bin/javac   " + shellEscape(doc));

        QTest::mouseClick(s.check("chkOPT_10"), Qt::LeftButton, {}, QPoint(4, 4)); // -verbose
        QCOMPARE(s.commandLine(), "/kit/bin/javac  -verbose  " + shellEscape(doc));

        // -d: its argument box and browse button follow the tick.
        QVERIFY(!s.edit("txtOPT_4")->isEnabled());
        s.check("chkOPT_4")->click();
        QVERIFY(s.edit("txtOPT_4")->isEnabled() && s.button("CmdOPTBROWSE_4")->isEnabled());
        s.type("txtOPT_4", "out");

        // An encoding chosen from the list gives its last word; other options go last.
        s.check("chkOPT_6")->click();
        auto *enc = s.c<QComboBox>("CboEncoding");
        enc->setCurrentIndex(enc->findText("Dutch (nl) Cp1252"));
        s.type("txtother", "-Xlint");
        QCOMPARE(s.commandLine(),
                 "/kit/bin/javac  -d out -encoding Cp1252 -verbose -Xlint " + shellEscape(doc));

        // Leading blanks go, the path is saved.
        s.type("txtJavaX", "  /other/javac");
        QCOMPARE(s.edit("txtJavaX")->text() + "|" + s.saved("Compile", "exe"),
                 QStringLiteral("/other/javac|/other/javac"));

        // Save, untick, load: the ticks come back.
        s.button("cmdSaveOptions")->click();
        QCOMPARE(s.saved("Compile", "chk10") + "|" + s.saved("Compile", "txt4"),
                 QStringLiteral("1|out"));
        s.check("chkOPT_10")->click();
        QVERIFY(!s.commandLine().contains("-verbose"));
        s.button("cmdLoadOptions")->click();
        QCOMPARE(s.commandLine(),
                 "/other/javac  -d out -encoding Cp1252 -verbose -Xlint " + shellEscape(doc));

        // Dashes dropped and no blanks between options, through the panel.
        s.button("cmdCommandLineOptionsOkAbort")->click();
        QVERIFY(s.c<QWidget>("rtfCommandLineOptions")->isVisibleTo(d)
                && !s.c<QWidget>("rtfCommandLine")->isVisibleTo(d));
        s.check("chkIgnoreDashes")->click();
        s.check("chkLeaveSpaceBetweenOptions")->click();
        s.button("cmdCommandLineOptionsOkAbort")->click();
        QVERIFY(s.commandLine().startsWith("/other/javac d out")
                && s.commandLine().contains("encoding Cp1252verbose"));
        QCOMPARE(s.saved("Compile", "IgnoreDashes") + s.saved("Compile", "LeaveSpaces"),
                 QStringLiteral("10"));
        QVERIFY(s.prompter.asked().empty());

        // /other/javac does not exist: neither a run nor Options Help starts.
        s.prompter.answer(MsgAnswer::Ok);
        s.button("cmdJavaX")->click();
        s.prompter.answer(MsgAnswer::Ok);
        s.button("cmdOptionsHelp")->click();
        QCOMPARE(s.prompter.asked().size(), size_t(2));
        QCOMPARE(msg(s.prompter.asked()[0].message),
                 msg("Compiler file not found", "Make sure Compiler path is correct",
                     MsgIcon::Exclamation));
        QCOMPARE(msg(s.prompter.asked()[1].message),
                 msg("Options Help", "Please specify valid Compiler\r\nCompiler not found",
                     MsgIcon::Critical));
        QVERIFY(s.idle());

        // A missing input file, declined: no run either.
        s.type("txtJavaX", "/bin/true");
        s.type("txtInFIle", s.tmp.filePath("Missing.java"));
        s.prompter.answer(MsgAnswer::No);
        s.button("cmdJavaX")->click();
        QCOMPARE(s.prompter.asked().back().message.title, QStringLiteral("Input File not found"));
        QVERIFY(s.idle());
    }

    void codingBoxNormalisesValidatesAndBlinks()
    {
        Session s;
        QVERIFY(writeFile(s.tmp.filePath("Hello.class"), ""));
        frmJavaX *d = s.open("Run", s.tmp.filePath("Hello.java"), "/kit/bin/java");
        QPushButton *panel = s.button("cmdCommandLineOptionsOkAbort");
        panel->click();
        Surface &code = d->codingBox();

        // Typed in any case and with runs of blanks, it takes the canonical form.
        code.setText("TEXTBOX2.TEXT   &  \" -cp . \" & TEXTBOX1.FILENAME");
        QCOMPARE(code.text(), QStringLiteral("TextBox2.Text & \" -cp . \" & TextBox1.FileName"));
        QVERIFY(code.formatAt(0).color == kBlue && code.formatAt(0).bold); // coloured as typed
        panel->click();
        QCOMPARE(s.commandLine(), QStringLiteral("/kit/bin/java -cp . Hello"));
        QCOMPARE(s.saved("Run", "CommandLineOptions"), code.text());

        // TextBox3 is unknown outside Jar: invalid; declining the default blinks.
        panel->click();
        code.setText("textbox3.text");
        s.prompter.answer(MsgAnswer::No);
        panel->click();
        QCOMPARE(s.prompter.messages().size(), 1);
        QCOMPARE(s.prompter.asked()[0].message.title, QStringLiteral("Invalid Code"));
        QVERIFY(panel->text() == "O&K" && !s.button("cmdJavaX")->isEnabled()
                && code.selStart() == 0);
        auto *blink = d->findChild<QTimer *>("Timer1");
        QVERIFY(blink->isActive());
        QCOMPARE(s.commandLine(), QStringLiteral("/kit/bin/java -cp . Hello")); // kept
        QTRY_COMPARE_WITH_TIMEOUT(code.backColor(), BgrColor(255), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(code.backColor(), BgrColor(16777215), 5000);

        // Taking the default code instead ends the blinking.
        s.prompter.answer(MsgAnswer::Yes);
        panel->click();
        QVERIFY(!blink->isActive() && code.backColor() == BgrColor(16777215));
        QCOMPARE(code.text(),
                 QStringLiteral("TextBox2.Text & \" \" & Options & \" \" & TextBox1.FileName"));
        QCOMPARE(panel->text() + "|" + s.commandLine(),
                 QStringLiteral("Opt&ions...|/kit/bin/java   Hello"));

        // 256 characters: one message, 255 remain.
        s.prompter.clear();
        panel->click();
        s.prompter.answer(MsgAnswer::Ok);
        code.setText("\"" + QString(254, 'x') + "\"");
        QCOMPARE(s.prompter.asked().size(), size_t(1));
        QCOMPARE(msg(s.prompter.asked()[0].message),
                 msg("", "Maximum 255 characters allowed", MsgIcon::Exclamation));
        QCOMPARE(code.length(), 255);
    }

    void browseButtons()
    {
        Session s;
        const QString bin = s.tmp.filePath("kit/bin");
        QVERIFY(writeFile(bin + "/mytool", "#!/bin/sh\n", true));
        QVERIFY(writeFile(bin + "/notes", "text\n"));
        QVERIFY(writeFile(bin + "/javac", "#!/bin/sh\n", true));
        s.open("Compile", QString(), bin + "/javac");
        const auto &asked = s.prompter.asked();
        auto lastFile = [&] { return asked.back().file; };

        // The executable: applications without extension are offered.
        s.prompter.answerText(bin + "/mytool");
        s.button("cmdBrowseJavaX")->click();
        QCOMPARE(lastFile().startPath, bin + "/javac");
        const QString filter = lastFile().filter, apps = filter.section(";;", 0, 0);
        QVERIFY2(apps.startsWith("Applications(*.exe ") && apps.contains(" javac ")
                     && apps.contains(" mytool") && !apps.contains("notes")
                     && filter.section(";;", 1) == "All Files(*)",
                 qPrintable(filter));
        QCOMPARE(s.saved("Compile", "exe"), bin + "/mytool");

        // A cancelled dialog leaves the box as it was.
        s.type("txtInFIle", s.tmp.filePath("A.java"));
        s.prompter.cancel();
        s.button("cmdBrosweInFile")->click();
        QCOMPARE(lastFile().filter + "|" + lastFile().startPath,
                 "Java Files(*.java);;All Files(*)|" + s.tmp.filePath("A.java"));
        QCOMPARE(s.edit("txtInFIle")->text(), s.tmp.filePath("A.java"));

        // -d: the folder browser.
        s.check("chkOPT_4")->click();
        s.prompter.answerText(s.tmp.filePath("classes/"));
        s.button("CmdOPTBROWSE_4")->click();
        QVERIFY(asked.back().kind == ScriptedPrompter::Asked::Folder
                && asked.back().title == "Select \"-d\" directory");
        QVERIFY(s.commandLine().contains("-d " + s.tmp.filePath("classes/")));

        // Run's -classpath: folders, then an archive appended.
        s.choose("Run");
        s.check("chkOPT_0")->click();
        s.prompter.clear();
        s.prompter.answer(MsgAnswer::Yes);
        s.prompter.answerText(s.tmp.filePath("lib/"));
        s.button("CmdOPTBROWSE_0")->click();
        s.prompter.answer(MsgAnswer::No);
        s.prompter.answerText(s.tmp.filePath("x.jar"));
        s.prompter.answer(MsgAnswer::Yes);
        s.button("CmdOPTBROWSE_0")->click();
        QCOMPARE(s.edit("txtOPT_0")->text(),
                 s.tmp.filePath("lib/") + ":" + s.tmp.filePath("x.jar"));
        QCOMPARE(msg(asked[0].message),
                 msg("Browse for folders?", "Browse for folders? (no for files)", MsgIcon::Question,
                     MsgButtons::YesNo));
        QCOMPARE(asked[3].file.filter,
                 QStringLiteral("Jar Files(*.jar);;ZIP Files(*.zip);;All Files(*)"));
        QCOMPARE(msg(asked[4].message), msg("Append?", "Would you like to append to existing text?",
                                            MsgIcon::Question, MsgButtons::YesNo));

        // Jar: the archive is saved as a new file while -c is ticked.
        s.choose("Jar");
        s.prompter.answerText(s.tmp.filePath("new.jar"));
        s.button("cmdBrowse2")->click();
        QCOMPARE(lastFile().mode, FileDialogRequest::Open);
        s.check("chkOPT_0")->click();
        s.prompter.answerText(s.tmp.filePath("new.jar"));
        s.button("cmdBrowse2")->click();
        QVERIFY(lastFile().mode == FileDialogRequest::Save
                && lastFile().filter == "Java Archive Files(*.jar);;All Files(*)");
        QCOMPARE(s.saved("Jar", "Lasttxt2"), s.tmp.filePath("new.jar"));
    }

    void stoppingAToolThatNeverEnds()
    {
        Session s;
        frmJavaX *d =
            s.openOn("Compile", "A.java", "class A {}\n", "echo started\nexec sleep 1000\n");
        QVERIFY(d);
        QSignalSpy finished(d, &frmJavaX::runFinished);
        s.button("cmdJavaX")->click();
        QTRY_VERIFY_WITH_TIMEOUT(s.commandLine().contains("started"), kGenerous);
        // Everything but Stop waits; the owner stays disabled.
        QVERIFY(s.button("cmdStop")->isEnabled() && !s.button("cmdJavaX")->isEnabled()
                && !s.button("cmdClose")->isEnabled());
        QVERIFY(!s.c<QGroupBox>("fraOptions")->isEnabled() && s.owner.isEnabled());

        // Escape stops it; the dialog stays open.
        QTest::keyClick(d, Qt::Key_Escape);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kGenerous);
        QVERIFY2(s.dialog && s.commandLine().endsWith("started\r\n[Stopped]\r\n")
                     && !s.commandLine().contains("[Congrats"),
                 qPrintable(s.commandLine()));
        QVERIFY(markerStyled(d->commandLineBox(), "[Stopped]"));
        QVERIFY(s.button("cmdJavaX")->isEnabled() && s.button("cmdClose")->isEnabled()
                && !s.button("cmdStop")->isEnabled() && s.owner.isEnabled());

        // The Stop button does the same.
        s.button("cmdJavaX")->click();
        QTRY_VERIFY_WITH_TIMEOUT(s.commandLine().contains("started"), kGenerous);
        s.button("cmdStop")->click();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, kGenerous);
        QVERIFY(s.commandLine().endsWith("started\r\n[Stopped]\r\n"));
        QVERIFY(s.prompter.asked().empty());
    }

    // Options Help runs the tool without arguments and shows what it
    // prints, in a message and in the box. (How the box keeps a long
    // output is tst_frmdosx's.)
    void optionsHelp()
    {
        Session s;
        frmJavaX *d =
            s.openOn("Run", "A.class", "", "[ $# -eq 0 ] && echo 'Usage: tool <options>' 1>&2\n");
        QVERIFY(d);
        s.prompter.answer(MsgAnswer::Ok);
        s.button("cmdOptionsHelp")->click();
        QVERIFY(QTest::qWaitFor([&] { return !d->isRunning(); }, kGenerous));
        QCOMPARE(s.prompter.asked().size(), size_t(1));
        QCOMPARE(msg(s.prompter.asked()[0].message),
                 msg("Options Help", "Usage: tool <options>", MsgIcon::Information));
        QCOMPARE(s.commandLine(), QStringLiteral("Usage: tool <options>\r\n"));
        QCOMPARE(d->commandLineBox().formatAt(0).color, kOlive);
    }

    // "Launch in separate window": the tool runs in the terminal found
    // (here a stand-in xterm on PATH) in the input file's folder, nothing
    // is captured; with no terminal at all one message says so, naming the
    // packages, and the tool runs in the dialog.
    void separateWindow()
    {
        QTemporaryDir bin;
        test::ScopedVariable path("PATH", bin.path().toUtf8()), terminal("TERMINAL", QByteArray());
        QVERIFY(writeFile(bin.filePath("xterm"),
                          "#!/bin/sh\n[ \"$1\" = -e ] && shift\n\"$@\" > '"
                              + bin.filePath("window.txt").toUtf8() + "' 2>&1 < /dev/null\n",
                          true));
        Session s;
        s.store->save("JavaX-Run", "LaunchInSeparateWindow", "1");
        QVERIFY(s.openOn("Run", "A.class", "", "pwd > where.txt\necho 'in the dialog'\n"));
        QVERIFY(s.check("chkLaunchInSeparateWindow")->isChecked());
        s.button("cmdJavaX")->click();
        QVERIFY(s.idle() && !s.commandLine().contains("[Done]"));
        const QString where = s.tmp.filePath("where.txt"), window = bin.filePath("window.txt");
        QTRY_VERIFY_WITH_TIMEOUT(readFile(window).contains("Press Enter to close"), kGenerous);
        QCOMPARE(QDir(QString::fromUtf8(readFile(where).trimmed())).canonicalPath(),
                 QDir(s.tmp.path()).canonicalPath());
        QVERIFY(readFile(window).startsWith("in the dialog\n\n[Done]\n"));
        QVERIFY(s.prompter.asked().empty());

        QFile::remove(bin.filePath("xterm"));
        s.prompter.answer(MsgAnswer::Ok);
        QVERIFY(s.run());
        QCOMPARE(s.prompter.asked().size(), size_t(1));
        const MessageRequest &m = s.prompter.asked()[0].message;
        QCOMPARE(m.text, noTerminalMessage());
        QVERIFY(m.text.contains("xterm") && m.text.contains("gnome-terminal")
                && m.text.contains("konsole"));
        QVERIFY2(s.commandLine().endsWith("[Executing]\r\nin the dialog\r\n[Done]\r\n"),
                 qPrintable(s.commandLine()));
    }

    // Return runs the tool from any box: the run button is the default and
    // no Browse button is.
    void returnRuns()
    {
        Session s;
        frmJavaX *d = s.openOn("Compile", "A.java", "class A {}\n", "echo ran\n");
        QVERIFY(d);
        QVERIFY(s.button("cmdJavaX")->isDefault());
        for (QPushButton *b : d->findChildren<QPushButton *>())
            QVERIFY2(b == s.button("cmdJavaX") || (!b->isDefault() && !b->autoDefault()),
                     qPrintable(b->objectName()));
        QSignalSpy finished(d, &frmJavaX::runFinished);
        for (const char *box : {"txtInFIle", "txtJavaX", "txtother"}) {
            s.edit(box)->setFocus();
            QTest::keyClick(s.edit(box), Qt::Key_Return);
            QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kGenerous);
            finished.clear();
        }
        QVERIFY(s.commandLine().endsWith("[Executing]\r\nran\r\n[Done]\r\n"));
        QVERIFY(s.prompter.asked().empty());
    }

    // A document named relative to the current folder, as on the command
    // line ("quillon samples/Hello.java"): the dialog's input file is the
    // absolute path, so the tool, started in the file's folder, finds it.
    void relativeDocumentPathIsMadeAbsolute()
    {
        Session s;
        const QString source = s.tmp.filePath("samples/Hello.java"),
                      tool = s.tmp.filePath("kit/javac");
        QVERIFY(writeFile(source, kHello));
        QVERIFY(writeFile(tool,
                          "#!/bin/sh\n"
                          "[ -f \"$1\" ] || { echo \"file not found: $1\"; exit 2; }\n"
                          "echo \"compiled $1\"\n",
                          true));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(s.tmp.path()));
        s.open("Compile", "samples/Hello.java", tool);
        const QString absolute = QDir(s.tmp.path()).filePath("samples/Hello.java");
        QCOMPARE(s.dialog->documentPath(), absolute);
        QCOMPARE(s.edit("txtInFIle")->text(), absolute);
        const bool ran = s.run();
        QDir::setCurrent(before);
        QVERIFY(ran);
        QVERIFY2(s.commandLine().endsWith("[Executing]\r\ncompiled " + absolute + "\r\n[Done]\r\n"),
                 qPrintable(s.commandLine()));
        QVERIFY(s.prompter.asked().empty());
    }

    // Run mode: while the program runs, the input box sends each line with
    // Enter and "Close input" ends its input; other modes show no box and
    // give the tool no input.
    void runInput()
    {
        Session s;
        frmJavaX *d = s.openOn("Run", "A.class", "",
                               "read a; read b; echo \"got $a and $b\"; cat; echo 'input ended'\n");
        QVERIFY(d);
        QWidget *row = d->findChild<QWidget *>("picInput");
        QVERIFY(row && row->isHidden());
        s.button("cmdJavaX")->click();
        QVERIFY(row->isVisible() && d->focusWidget() == s.edit("txtInput")
                && s.edit("txtInput")->isEnabled());
        QTest::keyClicks(s.edit("txtInput"), "one");
        QTest::keyClick(s.edit("txtInput"), Qt::Key_Return);
        QCOMPARE(s.edit("txtInput")->text(), QString());
        QTest::keyClicks(s.edit("txtInput"), "two");
        QTest::keyClick(s.edit("txtInput"), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(s.commandLine().contains("got one and two"), kGenerous);
        QVERIFY(d->isRunning());
        s.button("cmdCloseInput")->click();
        QVERIFY(!s.edit("txtInput")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!d->isRunning(), kGenerous);
        QVERIFY2(s.commandLine().endsWith(
                     "[Executing]\r\none\r\ntwo\r\ngot one and two\r\ninput ended\r\n[Done]\r\n"),
                 qPrintable(s.commandLine()));
        QVERIFY(row->isHidden());

        // Compile: no box, and a tool that reads gets end of input at once.
        QVERIFY(writeFile(s.tmp.filePath("A.java"), "class A {}\n"));
        s.choose("Compile");
        s.type("txtInFIle", s.tmp.filePath("A.java"));
        s.type("txtJavaX", s.tmp.filePath("tool"));
        s.button("cmdJavaX")->click();
        QVERIFY(row->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(!d->isRunning(), kGenerous);
        QVERIFY2(s.commandLine().endsWith("got  and \r\ninput ended\r\n[Done]\r\n"),
                 qPrintable(s.commandLine()));
    }

    // Every value that names a file or folder reaches the tool as exactly
    // one argument, whatever the name holds, and nothing it spells runs:
    // the three file boxes and every browsable option, filled through the
    // Browse and "..." buttons. A stand-in tool records its arguments.
    void hostileNamesReachTheToolIntact_data()
    {
        QTest::addColumn<QString>("name");
        row("blank", "out dir");
        row("quotes", "it's \"q\"");
        row("command substitution", "$(touch pwned)");
        row("backticks", "`touch pwned`");
        row("semicolon", "a;touch pwned");
        row("ampersand and bar", "a&touch pwned|cat");
        row("line break", "new\nline");
        row("leading dash", "-rf");
        row("a star", "a*b");
    }
    void hostileNamesReachTheToolIntact()
    {
        QFETCH(QString, name);
        Session s;
        const QString root = s.tmp.path() + "/" + name; // every path below holds the name
        const QString argv = s.tmp.filePath("argv.txt");
        // Arguments end with NUL: a name may hold a line break.
        const QString tool = root + "/kit " + name + "/javac";
        QVERIFY(writeFile(
            tool, "#!/bin/sh\nprintf '%s\\0' \"$@\" > " + shellEscape(argv).toUtf8() + "\n", true));
        const QString source = root + "/src/" + name + ".java";
        QVERIFY(writeFile(source, "class A {}\n"));
        QStringList folders;
        for (int i = 0; i < 5; ++i) {
            folders << root + "/opt" + QString::number(i) + " " + name + "/";
            QDir().mkpath(folders.last());
        }
        auto recorded = [&] {
            QFile f(argv);
            if (!f.open(QIODevice::ReadOnly))
                return QStringList{"(no arguments recorded)"};
            QStringList args = QString::fromUtf8(f.readAll()).split(QChar(0));
            args.removeLast();
            f.remove();
            return args;
        };
        auto noMarker = [&] {
            for (const QString &where : {s.tmp.path(), root, root + "/src", QDir::currentPath()})
                if (QFileInfo::exists(where + "/pwned"))
                    return false;
            return true;
        };

        frmJavaX *d = s.open("Compile");
        s.prompter.answerText(tool);
        s.button("cmdBrowseJavaX")->click();
        s.prompter.answerText(source);
        s.button("cmdBrosweInFile")->click();
        for (int slot = 0; slot < 5; ++slot) { // -classpath -sourcepath -bootclasspath -extdirs -d
            s.check("chkOPT_" + QString::number(slot))->click();
            s.prompter.answerText(folders[slot]);
            s.button("CmdOPTBROWSE_" + QString::number(slot))->click();
        }
        QVERIFY(s.run());
        QCOMPARE(recorded(),
                 (QStringList{"-classpath", folders[0], "-sourcepath", folders[1], "-bootclasspath",
                              folders[2], "-extdirs", folders[3], "-d", folders[4], source}));
        QVERIFY(noMarker());
        QVERIFY(s.prompter.asked().size() == 7 && d->isEnabled());

        // Typed relative names that start with "-" stay names.
        s.type("txtOPT_4", "-out");
        QDir().mkpath(root + "/src/-out");
        QVERIFY(s.run());
        QCOMPARE(recorded().mid(8, 2), (QStringList{"-d", "./-out"}));

        // Run: -classpath chosen as a folder, the class by its name.
        s.choose("Run");
        QVERIFY(writeFile(root + "/src/" + name + ".class", ""));
        s.prompter.answerText(tool);
        s.button("cmdBrowseJavaX")->click();
        s.prompter.answerText(root + "/src/" + name + ".class");
        s.button("cmdBrosweInFile")->click();
        s.check("chkOPT_0")->click();
        s.prompter.answer(MsgAnswer::Yes);
        s.prompter.answerText(folders[0]);
        s.button("CmdOPTBROWSE_0")->click();
        QVERIFY(s.run());
        const QString className = name.startsWith('-') ? "./" + name : name;
        QCOMPARE(recorded(), (QStringList{"-classpath", folders[0], className}));
        QVERIFY(noMarker());

        // Jar: the archive, the manifest ("-m"), the input files.
        s.choose("Jar");
        s.prompter.answerText(tool);
        s.button("cmdBrowseJavaX")->click();
        const QString archive = root + "/" + name + ".jar", manifest = root + "/" + name + ".mf";
        QVERIFY(writeFile(archive, ""));
        QVERIFY(writeFile(manifest, ""));
        s.prompter.answerText(archive);
        s.button("cmdBrowse2")->click();
        s.check("chkOPT_3")->click();
        s.prompter.answerText(manifest);
        s.button("CmdOPTBROWSE_3")->click();
        s.prompter.answerText(source);
        s.button("cmdBrosweInFile")->click();
        QVERIFY(s.run());
        QCOMPARE(recorded(), (QStringList{"fm", archive, manifest, source}));
        QVERIFY(noMarker());
        QCOMPARE(s.prompter.pending(), 0);
    }

    // --- the installed kit -------------------------------------------------------

    // Blanks in the folder and the file name, through compile, run and jar.
    void kitRoundTripWithBlanks()
    {
        const QString bin = kitBin();
        QLN_REQUIRE_KIT(!bin.isEmpty(), "a Java development kit with javac, java and jar");
        Session s;
        const QString dir = s.tmp.filePath("My Project"), source = dir + "/My Class.java";
        QVERIFY(writeFile(source, kHello));
        s.store->save("JavaX-Run", "exe", bin + "java");
        s.store->save("JavaX-Jar", "exe", bin + "jar");
        frmJavaX *d = s.open("Compile", source, bin + "javac");
        QCOMPARE(s.edit("txtInFIle")->text(), source);
        QVERIFY(s.run());
        QString text = s.commandLine();
        const QString line = bin + "javac   " + shellEscape(source);
        QCOMPARE(text, line + "\r\n[Executing]\r\n[Congrats. Compiled Successfully]\r\n[Done]\r\n");
        const Surface &box = d->commandLineBox();
        QVERIFY(styled(box, 0, int(line.size()), 0, false));
        QVERIFY(styled(box, int(line.size()), int(text.size() - line.size()), kBlue, true));
        QVERIFY(QFile::exists(dir + "/Greeter.class"));
        QVERIFY(d->isEnabled() && s.button("cmdJavaX")->isEnabled() && s.owner.isEnabled());

        // A compile error: the compiler's words between the markers, no congratulations.
        QVERIFY(writeFile(dir + "/Bad.java", "public class Bad {\n    int x = ;\n}\n"));
        s.type("txtInFIle", dir + "/Bad.java");
        QVERIFY(s.run());
        text = s.commandLine();
        const qsizetype from = text.indexOf("[Executing]\r\n") + 13,
                        to = text.indexOf("[Done, exit code 1]");
        QVERIFY2(from > 13 && to > from, qPrintable(text));
        const QString between = text.mid(from, to - from);
        QVERIFY2(between.contains("Bad.java:2: error") && !text.contains("[Congrats"),
                 qPrintable(text));
        QVERIFY(styled(box, int(from), int(between.size()), kOlive, true));
        QVERIFY(markerStyled(box, "[Executing]") && markerStyled(box, "[Done, exit code 1]"));

        s.choose("Run");
        s.type("txtInFIle", dir + "/Greeter.class");
        QVERIFY(s.run());
        QVERIFY2(s.commandLine().endsWith("[Executing]\r\nHello from My Project\r\n[Done]\r\n"),
                 qPrintable(s.commandLine()));

        // An archive in the same folder, then its listing.
        s.choose("Jar");
        s.check("chkOPT_0")->click(); // -c
        s.type("txt2", dir + "/My Archive.jar");
        s.type("txtInFIle", "Greeter.class");
        QVERIFY(s.run());
        QVERIFY2(QFile::exists(dir + "/My Archive.jar"), qPrintable(s.commandLine()));
        s.check("chkOPT_0")->click();
        s.check("chkOPT_1")->click(); // -t
        s.type("txtInFIle", QString());
        QVERIFY(s.run());
        const QString listing = s.commandLine();
        QVERIFY2(listing.contains("Greeter.class\r\n") && listing.contains("META-INF/MANIFEST.MF"),
                 qPrintable(listing));
        QVERIFY(s.prompter.asked().empty() && d->isEnabled());
    }
};

QTEST_MAIN(TstFrmJavaX)
#include "tst_frmjavax.moc"
