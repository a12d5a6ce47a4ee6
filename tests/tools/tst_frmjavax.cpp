// The tool dialog driven as a user drives it, offscreen, up to whole runs
// of the installed Java kit.
#include "settings/prefloader.h"
#include "settings/schema.h"
#include "settings/settingsstore.h"
#include "support/scriptedprompter.h"
#include "surface/surface.h"
#include "tools/dosoutputs.h"
#include "tools/frmjavax.h"

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
using qln::test::ScriptedPrompter;

namespace {

constexpr int kGenerous = 120000; // ms; slow machines and CI runners alike
constexpr BgrColor kBlue = 16711680;
constexpr BgrColor kOlive = 356435;

std::unique_ptr<SettingsStore> factoryStore()
{
    auto store = std::make_unique<SettingsStore>(std::make_unique<MemorySettingsBackend>());
    for (const schema::Entry &e : schema::entries())
        if (e.section.startsWith(QLatin1String("JavaX-")) && e.origin == schema::Origin::Factory)
            store->save(e.section, e.key, e.def);
    return store;
}

// The kit's bin folder as the program finds it.
QString kitBin()
{
    QString kit = kitOfJavacOnPath();
    if (kit.isEmpty())
        for (const QString &k : defaultProbePlaces().kitFolders)
            if (QFile::exists(k + "/bin/javac"))
                kit = k;
    if (kit.isEmpty() || !QFile::exists(kit + "/bin/javac") || !QFile::exists(kit + "/bin/java") ||
        !QFile::exists(kit + "/bin/jar"))
        return QString();
    return kit + "/bin/";
}

void writeFile(const QString &path, const QByteArray &bytes, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFile::ExeOwner | QFile::ExeUser);
}

// One open dialog with its owner, prompter and store; closed at the end.
struct Session {
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
    for (int i = start; i < start + length; ++i) {
        const CharFormat &f = box.formatAt(i);
        if (f.color != colour || f.bold != bold)
            return false;
    }
    return true;
}

bool markerStyled(const Surface &box, const QString &marker)
{
    const int at = int(box.text().indexOf(marker));
    return at >= 0 && styled(box, at, int(marker.size()), kBlue, true);
}

const char *const kHello = "public class Hello {\n"
                           "    public static void main(String[] args) {\n"
                           "        System.out.println(\"Hello, Quillon\");\n"
                           "    }\n"
                           "}\n";

} // namespace

class TstFrmJavaX : public QObject {
    Q_OBJECT
private slots:
    void openingDisablesTheOwnerAndRemembersTheGrid()
    {
        Session s;
        frmJavaX *d = s.open("Compile");
        QCOMPARE(frmJavaX::instance(), d);
        QVERIFY(!s.owner.isEnabled() && d->isEnabled());
        QCOMPARE(d->windowTitle(), QStringLiteral("Compile"));

        // Hiding the grid is remembered for the mode's next opening.
        QWidget *grid = d->findChild<QWidget *>("optionGrid");
        QVERIFY(grid->isVisibleTo(d));
        QCOMPARE(s.button("cmdshowoptions")->text(), QStringLiteral("^"));
        s.button("cmdshowoptions")->click();
        QVERIFY(!grid->isVisibleTo(d));
        QCOMPARE(s.button("cmdshowoptions")->text(), QStringLiteral("v"));
        QCOMPARE(s.store->get("Javax-Compile", "showOptions"), QStringLiteral("0"));
        s.choose("Run");
        QVERIFY(grid->isVisibleTo(d));
        s.choose("Compile");
        QVERIFY(!grid->isVisibleTo(d));
        s.button("cmdshowoptions")->click();
        QCOMPARE(s.store->get("JavaX-Compile", "showOptions"), QStringLiteral("1"));

        s.button("cmdClose")->click();
        QVERIFY(s.owner.isEnabled());
        QTRY_VERIFY(!s.dialog);
        QCOMPARE(frmJavaX::instance(), nullptr);
    }

    void modeSwitchRelabelsTheDialog()
    {
        Session s;
        frmJavaX *d = s.open("Compile");
        QCOMPARE(s.button("cmdJavaX")->text(), QStringLiteral("Compile"));
        QCOMPARE(s.c<QGroupBox>("FraJavaX")->title(), QStringLiteral("Compiler"));
        QVERIFY(s.c<QGroupBox>("fra2")->isHidden());
        auto *modes = s.c<QComboBox>("cboJavaX");
        QCOMPARE(modes->count(), 4); // every mode but the current one
        QCOMPARE(modes->currentIndex(), -1);
        QCOMPARE(modes->placeholderText(), QStringLiteral("<Select>"));

        s.choose("Jar");
        QCOMPARE(d->windowTitle(), QStringLiteral("Jar"));
        QCOMPARE(s.button("cmdJavaX")->text(), QStringLiteral("Jar"));
        QCOMPARE(s.c<QGroupBox>("FraJavaX")->title(), QStringLiteral("JAR (Java Archive Tool)"));
        QCOMPARE(s.c<QGroupBox>("fra2")->title(), QStringLiteral("Archive"));
        QVERIFY(!s.c<QGroupBox>("fra2")->isHidden());
        QVERIFY(s.button("CmdOPTBROWSE_3")->isVisibleTo(d)); // -m browses for a file
        QVERIFY(!s.button("CmdOPTBROWSE_0")->isVisibleTo(d));
        QTRY_COMPARE(modes->currentIndex(), -1);

        // Run keeps the slots of its VM switches; 5 and 6 stay hidden.
        s.choose("Run");
        QCOMPARE(s.check("chkOPT_7")->text(), QStringLiteral("-classic"));
        QVERIFY(s.check("chkOPT_5")->isHidden() && s.check("chkOPT_6")->isHidden());
        QVERIFY(s.c<QComboBox>("CboEncoding")->isHidden());

        // Native2Ascii has no catalogue, and running it does nothing.
        s.prompter.answer(MsgAnswer::Ok);
        s.choose("Native2Ascii");
        QCOMPARE(s.prompter.messages(), QStringList{"Option not supported"});
        QCOMPARE(s.button("cmdJavaX")->text(), QString());
        for (int i = 0; i < kOptionSlots; ++i)
            QVERIFY(s.check(QStringLiteral("chkOPT_%1").arg(i))->isHidden());
        d->cmdJavaX_Click();
        QVERIFY(!d->isRunning());
        QVERIFY(!s.commandLine().contains("[Executing]"));

        // "Compile" from the list goes through the main window's command.
        int compiles = 0;
        d->setCompileCommand([&] { ++compiles; });
        s.choose("Compile");
        QCOMPARE(compiles, 1);
    }

    void optionsRebuildTheCommandLine()
    {
        Session s;
        QTemporaryDir tmp;
        const QString doc = tmp.filePath("A.java");
        writeFile(doc, "class A {}\n");
        frmJavaX *d = s.open("Compile", doc, "/kit/bin/javac");
        QCOMPARE(s.edit("txtInFIle")->text(), doc);
        QCOMPARE(s.commandLine(), "/kit/bin/javac   " + shellEscape(doc));
        QVERIFY(styled(d->commandLineBox(), 0, int(s.commandLine().size()), 0, false));

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

        // The executable box: leading blanks go, the path is saved.
        s.type("txtJavaX", "  /other/javac");
        QCOMPARE(s.edit("txtJavaX")->text(), QStringLiteral("/other/javac"));
        QCOMPARE(s.store->get("JavaX-Compile", "exe"), QStringLiteral("/other/javac"));

        // Save, untick, load: the ticks come back.
        s.button("cmdSaveOptions")->click();
        QCOMPARE(s.store->get("JavaX-Compile", "chk10"), QStringLiteral("1"));
        QCOMPARE(s.store->get("JavaX-Compile", "txt4"), QStringLiteral("out"));
        s.check("chkOPT_10")->click();
        QVERIFY(!s.commandLine().contains("-verbose"));
        s.button("cmdLoadOptions")->click();
        QVERIFY(s.check("chkOPT_10")->isChecked());
        QCOMPARE(enc->currentText(), QStringLiteral("Cp1252"));
        QCOMPARE(s.commandLine(),
                 "/other/javac  -d out -encoding Cp1252 -verbose -Xlint " + shellEscape(doc));

        // Dashes dropped and no blanks between options, through the panel.
        s.button("cmdCommandLineOptionsOkAbort")->click();
        QCOMPARE(s.button("cmdCommandLineOptionsOkAbort")->text(), QStringLiteral("OK"));
        QVERIFY(!s.button("cmdJavaX")->isEnabled());
        QVERIFY(s.c<QWidget>("rtfCommandLineOptions")->isVisibleTo(d));
        QVERIFY(!s.c<QWidget>("rtfCommandLine")->isVisibleTo(d));
        s.check("chkIgnoreDashes")->click();
        s.check("chkLeaveSpaceBetweenOptions")->click();
        s.button("cmdCommandLineOptionsOkAbort")->click();
        QCOMPARE(s.button("cmdCommandLineOptionsOkAbort")->text(), QStringLiteral("Options..."));
        QVERIFY(s.button("cmdJavaX")->isEnabled());
        QVERIFY(s.c<QWidget>("rtfCommandLine")->isVisibleTo(d));
        QVERIFY(!s.check("chkIgnoreDashes")->isVisibleTo(d));
        QVERIFY(s.commandLine().startsWith("/other/javac d out"));
        QVERIFY(s.commandLine().contains("encoding Cp1252verbose"));
        QCOMPARE(s.store->get("JavaX-Compile", "IgnoreDashes"), QStringLiteral("1"));
        QCOMPARE(s.store->get("JavaX-Compile", "LeaveSpaces"), QStringLiteral("0"));
        QVERIFY(s.prompter.asked().empty());
    }

    void codingBoxNormalisesValidatesAndBlinks()
    {
        QTemporaryDir tmp;
        writeFile(tmp.filePath("Hello.class"), "");
        Session s;
        frmJavaX *d = s.open("Run", tmp.filePath("Hello.java"), "/kit/bin/java");
        QPushButton *panel = s.button("cmdCommandLineOptionsOkAbort");
        panel->click();
        Surface &code = d->codingBox();

        // Typed in any case and with runs of blanks, it takes the canonical form.
        code.setText("TEXTBOX2.TEXT   &  \" -cp . \" & TEXTBOX1.FILENAME");
        QCOMPARE(code.text(), QStringLiteral("TextBox2.Text & \" -cp . \" & TextBox1.FileName"));
        QCOMPARE(code.formatAt(0).color, kBlue);
        QVERIFY(code.formatAt(0).bold);
        QCOMPARE(code.formatAt(int(code.text().indexOf('&'))).color, BgrColor(16711935));
        QCOMPARE(code.formatAt(int(code.text().indexOf("-cp"))).color, kOlive);
        panel->click();
        QCOMPARE(s.commandLine(), QStringLiteral("/kit/bin/java -cp . Hello"));
        QCOMPARE(s.store->get("JavaX-Run", "CommandLineOptions"), code.text());

        // TextBox3 is unknown outside Jar: invalid; declining the default blinks.
        panel->click();
        code.setText("textbox3.text");
        s.prompter.answer(MsgAnswer::No);
        panel->click();
        QCOMPARE(s.prompter.asked().size(), size_t(1));
        QCOMPARE(s.prompter.asked()[0].message.title, QStringLiteral("Invalid Code"));
        QCOMPARE(s.prompter.asked()[0].message.buttons, MsgButtons::YesNo);
        QCOMPARE(panel->text(), QStringLiteral("OK"));
        QVERIFY(!s.button("cmdJavaX")->isEnabled());
        auto *blink = d->findChild<QTimer *>("Timer1");
        QVERIFY(blink->isActive());
        QCOMPARE(code.selStart(), 0);
        QCOMPARE(s.commandLine(), QStringLiteral("/kit/bin/java -cp . Hello")); // kept
        QTRY_COMPARE_WITH_TIMEOUT(code.backColor(), BgrColor(255), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(code.backColor(), BgrColor(16777215), 5000);

        // Taking the default code instead ends the blinking.
        s.prompter.answer(MsgAnswer::Yes);
        panel->click();
        QVERIFY(!blink->isActive());
        QCOMPARE(code.backColor(), BgrColor(16777215));
        QCOMPARE(code.text(), QStringLiteral("TextBox2.Text & \" \" & Options & \" \" & TextBox1.FileName"));
        QCOMPARE(panel->text(), QStringLiteral("Options..."));
        QCOMPARE(s.commandLine(), QStringLiteral("/kit/bin/java   Hello"));

        // 256 characters: one message, 255 remain.
        s.prompter.clear();
        panel->click();
        s.prompter.answer(MsgAnswer::Ok);
        code.setText("\"" + QString(254, 'x') + "\"");
        QCOMPARE(s.prompter.messages(), QStringList{"Maximum 255 characters allowed"});
        QCOMPARE(s.prompter.asked()[0].message.icon, MsgIcon::Exclamation);
        QCOMPARE(code.length(), 255);
    }

    void browseButtons()
    {
        Session s;
        QTemporaryDir tmp;
        const QString bin = tmp.filePath("kit/bin");
        writeFile(bin + "/mytool", "#!/bin/sh\n", true);
        writeFile(bin + "/notes", "text\n");
        writeFile(bin + "/javac", "#!/bin/sh\n", true);
        s.open("Compile", QString(), bin + "/javac");
        const auto &asked = s.prompter.asked();

        // The executable: applications without extension are offered.
        s.prompter.answerText(bin + "/mytool");
        s.button("cmdBrowseJavaX")->click();
        const FileDialogRequest exe = asked.back().file;
        QCOMPARE(exe.startPath, bin + "/javac");
        const QString appFilter = exe.filter.section(";;", 0, 0);
        QVERIFY2(appFilter.startsWith("Applications(*.exe ") && appFilter.contains(" javac ") &&
                     appFilter.contains(" mytool") && !appFilter.contains("notes"),
                 qPrintable(exe.filter));
        QCOMPARE(exe.filter.section(";;", 1), QStringLiteral("All Files(*)"));
        QCOMPARE(s.store->get("JavaX-Compile", "exe"), bin + "/mytool");

        // A cancelled dialog leaves the box as it was.
        s.type("txtInFIle", tmp.filePath("A.java"));
        s.prompter.cancel();
        s.button("cmdBrosweInFile")->click();
        QCOMPARE(asked.back().file.filter, QStringLiteral("Java Files(*.java);;All Files(*)"));
        QCOMPARE(asked.back().file.startPath, tmp.filePath("A.java"));
        QCOMPARE(s.edit("txtInFIle")->text(), tmp.filePath("A.java"));

        // -d: the folder browser.
        s.check("chkOPT_4")->click();
        s.prompter.answerText(tmp.filePath("classes/"));
        s.button("CmdOPTBROWSE_4")->click();
        QCOMPARE(asked.back().kind, ScriptedPrompter::Asked::Folder);
        QCOMPARE(asked.back().title, QStringLiteral("Select \"-d\" directory"));
        QVERIFY(s.commandLine().contains("-d " + tmp.filePath("classes/")));

        s.choose("Appletviewer");
        s.prompter.cancel();
        s.button("cmdBrosweInFile")->click();
        QCOMPARE(asked.back().file.filter, QStringLiteral("HTML Files(*.htm *.html);;All Files(*)"));

        // Run's -classpath: folders, then an archive appended.
        s.choose("Run");
        s.check("chkOPT_0")->click();
        s.prompter.clear();
        s.prompter.answer(MsgAnswer::Yes);
        s.prompter.answerText(tmp.filePath("lib/"));
        s.button("CmdOPTBROWSE_0")->click();
        s.prompter.answer(MsgAnswer::No);
        s.prompter.answerText(tmp.filePath("x.jar"));
        s.prompter.answer(MsgAnswer::Yes);
        s.button("CmdOPTBROWSE_0")->click();
        QCOMPARE(s.edit("txtOPT_0")->text(), tmp.filePath("lib/") + ":" + tmp.filePath("x.jar"));
        QCOMPARE(asked[0].message.text, QStringLiteral("Browse for folders? (no for files)"));
        QCOMPARE(asked[0].message.title, QStringLiteral("Browse for folders?"));
        QCOMPARE(asked[1].title, QStringLiteral("Select \"-classpath\" directory"));
        QCOMPARE(asked[3].file.filter, QStringLiteral("Jar Files(*.jar);;ZIP Files(*.zip);;All Files(*)"));
        QCOMPARE(asked[4].message.text, QStringLiteral("Would you like to append to existing text?"));
        QCOMPARE(asked[4].message.title, QStringLiteral("Append?"));

        // Jar: the archive is saved as a new file while -c is ticked.
        s.choose("Jar");
        s.prompter.answerText(tmp.filePath("new.jar"));
        s.button("cmdBrowse2")->click();
        QCOMPARE(asked.back().file.mode, FileDialogRequest::Open);
        s.check("chkOPT_0")->click();
        s.prompter.answerText(tmp.filePath("new.jar"));
        s.button("cmdBrowse2")->click();
        QCOMPARE(asked.back().file.mode, FileDialogRequest::Save);
        QCOMPARE(asked.back().file.filter, QStringLiteral("Java Archive Files(*.jar);;All Files(*)"));
        QCOMPARE(s.store->get("JavaX-Jar", "Lasttxt2"), tmp.filePath("new.jar"));
    }

    void missingFilesStartNothing()
    {
        QTemporaryDir tmp;
        const QString doc = tmp.filePath("A.java");
        writeFile(doc, "class A {}\n");
        {
            Session s;
            frmJavaX *d = s.open("Compile", doc, tmp.filePath("no/javac"));
            s.prompter.answer(MsgAnswer::Ok);
            s.button("cmdJavaX")->click();
            QCOMPARE(s.prompter.asked().size(), size_t(1));
            const MessageRequest &m = s.prompter.asked()[0].message;
            QCOMPARE(m.text, QStringLiteral("Make sure Compiler path is correct"));
            QCOMPARE(m.title, QStringLiteral("Compiler file not found"));
            QCOMPARE(m.icon, MsgIcon::Exclamation);
            QCOMPARE(m.buttons, MsgButtons::Ok);
            QVERIFY(!d->isRunning());
            QVERIFY(!s.commandLine().contains("[Executing]"));

            // Options Help with no executable either.
            s.prompter.answer(MsgAnswer::Ok);
            s.button("cmdOptionsHelp")->click();
            const MessageRequest &h = s.prompter.asked().back().message;
            QCOMPARE(h.text, QStringLiteral("Please specify valid Compiler\r\nCompiler not found"));
            QCOMPARE(h.title, QStringLiteral("Options Help"));
            QCOMPARE(h.icon, MsgIcon::Critical);
            QVERIFY(!d->isRunning());
        }
        {   // No input file; declining stops the run.
            Session s;
            s.open("Compile", doc, "/bin/true");
            s.type("txtInFIle", tmp.filePath("Missing.java"));
            s.prompter.answer(MsgAnswer::No);
            s.button("cmdJavaX")->click();
            const MessageRequest &m = s.prompter.asked().at(0).message;
            QCOMPARE(m.title, QStringLiteral("Input File not found"));
            QCOMPARE(m.icon, MsgIcon::Question);
            QCOMPARE(m.buttons, MsgButtons::YesNo);
            QVERIFY(!s.dialog->isRunning());
            QVERIFY(!s.commandLine().contains("[Executing]"));
        }
    }

    void stoppingAToolThatNeverEnds()
    {
        QTemporaryDir tmp;
        const QString doc = tmp.filePath("A.java");
        writeFile(doc, "class A {}\n");
        const QString tool = tmp.filePath("forever");
        writeFile(tool, "#!/bin/sh\necho started\nexec sleep 1000\n", true);
        Session s;
        frmJavaX *d = s.open("Compile", doc, tool);
        QSignalSpy finished(d, &frmJavaX::runFinished);
        s.button("cmdJavaX")->click();
        QVERIFY(d->isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(s.commandLine().contains("started"), kGenerous);
        // Everything but Stop waits; the owner stays disabled.
        QVERIFY(s.button("cmdStop")->isEnabled());
        QVERIFY(!s.button("cmdJavaX")->isEnabled() && !s.button("cmdClose")->isEnabled());
        QVERIFY(!s.c<QGroupBox>("fraOptions")->isEnabled());
        QVERIFY(!s.owner.isEnabled());

        // Escape stops it; the dialog stays open.
        QTest::keyClick(d, Qt::Key_Escape);
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kGenerous);
        QVERIFY(s.dialog);
        const QString text = s.commandLine();
        QVERIFY2(text.endsWith("started\r\n[Done]\r\n"), qPrintable(text));
        QVERIFY(!text.contains("[Congrats"));
        QVERIFY(markerStyled(d->commandLineBox(), "[Done]"));
        QVERIFY(s.button("cmdJavaX")->isEnabled() && s.button("cmdClose")->isEnabled());
        QVERIFY(!s.button("cmdStop")->isEnabled());
        QVERIFY(!s.owner.isEnabled());

        // The Stop button does the same.
        s.button("cmdJavaX")->click();
        QTRY_VERIFY_WITH_TIMEOUT(s.commandLine().contains("started"), kGenerous);
        s.button("cmdStop")->click();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, kGenerous);
        QVERIFY(s.commandLine().endsWith("started\r\n[Done]\r\n"));
        QVERIFY(s.prompter.asked().empty());
    }

    void optionsHelpShowsTheUsage()
    {
        QTemporaryDir tmp;
        const QString tool = tmp.filePath("tool");
        writeFile(tool, "#!/bin/sh\necho 'Usage: tool <options>' 1>&2\n", true);
        Session s;
        frmJavaX *d = s.open("Run", QString(), tool);
        s.prompter.answer(MsgAnswer::Ok);
        s.button("cmdOptionsHelp")->click();
        QVERIFY(QTest::qWaitFor([&] { return !d->isRunning(); }, kGenerous));
        QCOMPARE(s.prompter.asked().size(), size_t(1));
        const MessageRequest &m = s.prompter.asked()[0].message;
        QCOMPARE(m.text, QStringLiteral("Usage: tool <options>"));
        QCOMPARE(m.title, QStringLiteral("Options Help"));
        QCOMPARE(m.icon, MsgIcon::Information);
        QCOMPARE(s.commandLine(), QStringLiteral("Usage: tool <options>\r\n"));
        QCOMPARE(d->commandLineBox().formatAt(0).color, kOlive);
    }

    void tenMegabytesOfOutput()
    {
        QTemporaryDir tmp;
        const QString doc = tmp.filePath("A.class");
        writeFile(doc, "");
        QByteArray all;
        while (all.size() < 10 * 1024 * 1024)
            all += "€uro ünïcödé — a line of a tool's output, 64 bytes or so ....\n";
        writeFile(tmp.filePath("big.txt"), all);
        const QString tool = tmp.filePath("chatty");
        writeFile(tool, "#!/bin/sh\ncat " + shellEscape(tmp.filePath("big.txt")).toUtf8() + "\n", true);
        Session s;
        frmJavaX *d = s.open("Run", doc, tool);
        QVERIFY(s.run());

        const QString text = s.commandLine();
        const QString expected = QString::fromUtf8(all).replace("\n", "\r\n");
        const qsizetype at = text.indexOf("[Executing]\r\n") + 13;
        QVERIFY(at > 13);
        QCOMPARE(text.size() - at, expected.size() + kDoneMarker.size());
        QVERIFY(text.mid(at, expected.size()) == expected);
        QVERIFY(text.endsWith(kDoneMarker));
        const Surface &box = d->commandLineBox();
        QVERIFY(styled(box, int(at), 200, kOlive, true));
        QVERIFY(styled(box, int(at + expected.size()) - 200, 200, kOlive, true));
        QVERIFY(markerStyled(box, "[Done]"));
    }

    void separateWindowCapturesNothing()
    {
        if (!QStandardPaths::findExecutable("x-terminal-emulator").isEmpty())
            QSKIP("a terminal emulator would open a window here");
        QTemporaryDir tmp;
        const QString doc = tmp.filePath("A.class");
        writeFile(doc, "");
        const QString tool = tmp.filePath("tool");
        writeFile(tool, "#!/bin/sh\npwd > where.txt\n", true);
        Session s;
        s.store->save("JavaX-Run", "LaunchInSeparateWindow", "1");
        frmJavaX *d = s.open("Run", doc, tool);
        QVERIFY(s.check("chkLaunchInSeparateWindow")->isChecked());
        s.button("cmdJavaX")->click();
        QVERIFY(!d->isRunning());
        QVERIFY(!s.commandLine().contains("[Executing]"));
        // It starts in the input file's folder, as a captured run does.
        QTRY_VERIFY_WITH_TIMEOUT(QFile(tmp.filePath("where.txt")).size() > 0, kGenerous);
        QFile where(tmp.filePath("where.txt"));
        QVERIFY(where.open(QIODevice::ReadOnly));
        QCOMPARE(QDir(QString::fromUtf8(where.readAll().trimmed())).canonicalPath(),
                 QDir(tmp.path()).canonicalPath());
    }

    // --- the installed kit -------------------------------------------------------

    void kitCompileSucceedsOrFails()
    {
        const QString bin = kitBin();
        if (bin.isEmpty())
            QSKIP("no Java development kit with javac, java and jar on this machine");
        QTemporaryDir tmp;
        const QString hello = tmp.filePath("Hello.java");
        writeFile(hello, kHello);
        Session s;
        frmJavaX *d = s.open("Compile", hello, bin + "javac");
        QVERIFY(s.run());
        QString text = s.commandLine();
        const QString line = bin + "javac   " + shellEscape(hello);
        QCOMPARE(text, line + "\r\n[Executing]\r\n[Congrats. Compiled Successfully]\r\n[Done]\r\n");
        const Surface &box = d->commandLineBox();
        QVERIFY(styled(box, 0, int(line.size()), 0, false));
        QVERIFY(styled(box, int(line.size()), int(text.size() - line.size()), kBlue, true));
        QVERIFY(QFile::exists(tmp.filePath("Hello.class")));
        QVERIFY(d->isEnabled() && s.button("cmdJavaX")->isEnabled());
        QVERIFY(!s.owner.isEnabled());

        // A compile error: the compiler's words between the markers, no congratulations.
        const QString bad = tmp.filePath("Bad.java");
        writeFile(bad, "public class Bad {\n    int x = ;\n}\n");
        s.type("txtInFIle", bad);
        QVERIFY(s.run());
        text = s.commandLine();
        const qsizetype from = text.indexOf("[Executing]\r\n") + 13;
        const qsizetype to = text.indexOf("[Done]");
        QVERIFY2(from > 13 && to > from, qPrintable(text));
        const QString between = text.mid(from, to - from);
        QVERIFY2(between.contains("Bad.java:2: error"), qPrintable(text));
        QVERIFY(!text.contains("[Congrats"));
        QVERIFY(styled(box, int(from), int(between.size()), kOlive, true));
        QVERIFY(markerStyled(box, "[Executing]"));
        QVERIFY(markerStyled(box, "[Done]"));
        QVERIFY(s.prompter.asked().empty());
    }

    // Blanks in the folder and the file name, through compile, run and jar.
    void kitRoundTripWithBlanks()
    {
        const QString bin = kitBin();
        if (bin.isEmpty())
            QSKIP("no Java development kit on this machine");
        QTemporaryDir tmp;
        const QString dir = tmp.filePath("My Project");
        const QString source = dir + "/My Class.java";
        writeFile(source, QByteArray(kHello).replace("public class Hello", "class Greeter")
                              .replace("Hello, Quillon", "Hello from My Project"));
        Session s;
        s.store->save("JavaX-Run", "exe", bin + "java");
        s.store->save("JavaX-Jar", "exe", bin + "jar");
        frmJavaX *d = s.open("Compile", source, bin + "javac");
        QCOMPARE(s.edit("txtInFIle")->text(), source);
        QVERIFY(s.run());
        QVERIFY2(s.commandLine().contains("[Congrats. Compiled Successfully]"), qPrintable(s.commandLine()));
        QVERIFY(QFile::exists(dir + "/Greeter.class"));

        // Run the class: its output between the markers.
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
        QVERIFY(s.prompter.asked().empty());
        QVERIFY(d->isEnabled());
    }
};

QTEST_MAIN(TstFrmJavaX)
#include "tst_frmjavax.moc"
