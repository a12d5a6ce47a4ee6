// Tools that understand Java packages: the package a source declares and a
// class file names, the arguments the dialog derives from them (never
// stored), archive entries relative to their folder, the message of a kit
// without an applet viewer, and the main window that goes on taking edits
// while the tool dialog is open. The package project is compiled, run and
// archived with the installed kit through the main window.
#include "shell/documentfiles.h"
#include "support/datarow.h"
#include "support/requirekit.h"
#include "support/windowtest.h"
#include "surface/ui/surfaceview.h"
#include "tools/commandlanguage.h"
#include "tools/javapackage.h"
#include "tools/toolmodes.h"
#include "tools/ui/frmjavax.h"
#include "toolsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace qln;
using qln::test::readFile;
using qln::test::writeFile;

namespace {

constexpr int kGenerous = 120000;

// A class file as the compiler lays one out, reduced to what names the
// class: a Long first (it takes two pool entries), the name, the class.
QByteArray classBytes(const QByteArray &binaryName, qsizetype *nameReadableFrom = nullptr)
{
    QByteArray b;
    auto u2 = [&](int v) {
        b.append(char(v >> 8));
        b.append(char(v & 0xff));
    };
    b.append("\xCA\xFE\xBA\xBE", 4);
    u2(0);
    u2(61);
    u2(6);
    b.append(char(5)); // #1 and #2: a Long
    b.append(QByteArray(8, '\0'));
    b.append(char(1)); // #3: the name
    u2(int(binaryName.size()));
    b.append(binaryName);
    b.append(char(7)); // #4: the class
    u2(3);
    b.append(char(12)); // #5: a name and type
    u2(3);
    u2(3);
    u2(0x21); // access
    u2(4);    // this class
    if (nameReadableFrom)
        *nameReadableFrom = b.size();
    u2(0);
    for (int k = 0; k < 4; ++k)
        u2(0);
    return b;
}

QStringList runProcess(const QString &program, const QStringList &args, const QString &folder)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(kGenerous))
        return {QStringLiteral("(did not finish)")};
    return QString::fromUtf8(p.readAll()).split('\n', Qt::SkipEmptyParts);
}

// The dialog model of a mode loaded from the factory settings, on a document.
struct Model {
    std::unique_ptr<SettingsStore> store = test::factoryStore();
    test::ScriptedPrompter prompter;
    JavaXState state;
    Model(const QString &mode, const QString &document, const QString &exe = "tool")
    {
        store->save(toolSectionOf(mode), toolkeys::kExe, exe);
        LoadJavaXMode(state, mode, *store, prompter, document);
    }
    void tick(int slot, const QString &argument = QString())
    {
        state.options[size_t(slot)].ticked = true;
        state.options[size_t(slot)].argument = argument;
    }
    QString line()
    {
        BuildCommandLine(state, prompter);
        return state.commandLine;
    }
};

const char *const kFoo = "/* Licence text\n * package not.this;\n */\n"
                         "package a.b;\n\n"
                         "public class Foo {\n"
                         "    public static void main(String[] args) {\n"
                         "        System.out.println(new Bar().greeting());\n"
                         "    }\n"
                         "}\n";
const char *const kBar =
    "package a.b;\n\n"
    "class Bar {\n"
    "    String greeting() { return \"Hello from \" + getClass().getName(); }\n"
    "}\n";

// Stands in for a compiler: records its arguments and the source it was
// given as it was on disk; holds on while a file "hold" is there.
const char *const kStandIn = "#!/bin/sh\n"
                             "for last; do :; done\n"
                             "printf '%s\\n' \"$@\" > \"$RECORD/argv.txt\"\n"
                             "cat \"$last\" > \"$RECORD/seen.txt\"\n"
                             "while [ -e \"$RECORD/hold\" ]; do sleep 0.05; done\n";

} // namespace

class TstToolPackages : public QObject, test::WindowTest {
    Q_OBJECT

    frmJavaX *runTool(frmedit &w, const char *command)
    {
        w.menuItem(QLatin1String(command))->trigger();
        return frmJavaX::instance();
    }
    static bool runAndWait(frmJavaX *d)
    {
        d->findChild<QPushButton *>("cmdJavaX")->click();
        return QTest::qWaitFor([&] { return !d->isRunning(); }, kGenerous);
    }
    static void type(frmJavaX *d, const char *box, const QString &text)
    {
        auto *e = d->findChild<QLineEdit *>(QLatin1String(box));
        e->setText(text);
        emit e->textEdited(text);
    }
    static void closeDialog(frmJavaX *d)
    {
        QPointer<frmJavaX> gone = d;
        d->close();
        QTRY_VERIFY(!gone);
    }
    static QString firstLine(frmJavaX *d)
    {
        return d->commandLineBox().text().section(QStringLiteral("\r\n"), 0, 0);
    }

private slots:
    void init() { initWindowTest(); }
    void cleanup()
    {
        // A test that failed half-way leaves no dialog behind for the next.
        if (frmJavaX *d = frmJavaX::instance())
            closeDialog(d);
        cleanupWindowTest();
    }

    void declaredPackages_data()
    {
        columns<QString, QString>("source", "package");
        row("plain", "package a.b;\nclass A {}", "a.b");
        row("comments and blanks everywhere",
            "\xEF\xBB\xBF// x\n/* package no; */ package /* c */ a . b\n.c // d\n;", "a.b.c");
        row("annotations", "@Deprecated @a.B(x = \")\", y = (1)) package p;", "p");
        row("letters of any script, _ and $", "package été._x.$y2;", "été._x.$y2");
        row("none", "import java.util.List;\nclass A {}", "");
        row("only in a comment", "// package a;\nclass A {}", "");
        row("not the keyword", "packages a;", "");
        row("empty part", "package a..b;", "");
        row("no semicolon", "package a.b", "");
        row("part is a number", "package a.1b;", "");
        row("unterminated comment", "/* package a;", "");
        row("empty", "", "");
        QStringList fifty;
        for (int i = 0; i < 50; ++i)
            fifty << QStringLiteral("p%1").arg(i);
        row("fifty parts", "package " + fifty.join('.') + ";", fifty.join('.'));
    }
    void declaredPackages()
    {
        QFETCH(QString, source);
        QFETCH(QString, package);
        QCOMPARE(declaredPackage(source), package);
    }

    // The class file's own name, and no read past the end of a cut file.
    void classFileNames()
    {
        qsizetype readable = 0;
        const QByteArray bytes = classBytes("a/b/Foo", &readable);
        QCOMPARE(classFileName(bytes), QStringLiteral("a/b/Foo"));
        for (qsizetype n = 0; n < bytes.size(); ++n)
            QCOMPARE(classFileName(bytes.left(n)),
                     n >= readable ? QStringLiteral("a/b/Foo") : QString());
        QByteArray notClass = bytes;
        notClass[0] = 'X';
        QCOMPARE(classFileName(notClass), QString());
        QByteArray badTag = bytes;
        badTag[10] = char(99);
        QCOMPARE(classFileName(badTag), QString());
        QByteArray badIndex = bytes;
        badIndex[readable - 1] = char(40); // this class beyond the pool
        QCOMPARE(classFileName(badIndex), QString());
    }

    // What the dialog adds when it builds a command line, for every mode,
    // and what it leaves alone.
    void derivedArguments()
    {
        const QString src = path("src/"), foo = src + "a/b/Foo.java";
        QVERIFY(writeFile(foo, kFoo));
        QVERIFY(writeFile(src + "a/b/Bar.java", kBar));
        QVERIFY(writeFile(src + "a/b/Foo.class", classBytes("a/b/Foo")));
        QVERIFY(writeFile(src + "a/b/Bar.class", classBytes("a/b/Bar")));

        Model compile("Compile", foo, "javac");
        const QString storedCode = compile.state.code;
        QCOMPARE(compile.line(), "javac  -sourcepath " + src + " -d " + src + "  " + foo);
        QCOMPARE(compile.state.code, storedCode);
        QVERIFY(!compile.state.options[1].ticked && !compile.state.options[4].ticked);
        // The user's own lists and output folder come first; the root is
        // added once.
        compile.tick(1, "lib");
        compile.tick(4, "out/");
        QCOMPARE(compile.line(), "javac  -sourcepath lib:" + src + " -d out/  " + foo);
        compile.tick(1, src + ":lib");
        QCOMPARE(compile.line(), "javac  -sourcepath " + src + ":lib -d out/  " + foo);
        // A pattern: the package of the files it names.
        compile.state.boxes.inFile = src + "a/b/*.java";
        QCOMPARE(compile.line(),
                 "javac  -sourcepath " + src + ":lib -d out/  " + src + "a/b/*.java");
        QCOMPARE(compile.store->get("JavaX-Compile", "chk1")
                     + compile.store->get("JavaX-Compile", "txt1"),
                 QString()); // nothing of it stored

        Model run("Run", foo, "java");
        QCOMPARE(run.state.boxes.inFile, src + "a/b/Foo.class");
        QCOMPARE(run.line(), "java  -classpath " + src + "  a.b.Foo");
        run.tick(0, "lib.jar");
        QCOMPARE(run.line(), "java  -classpath lib.jar:" + src + "  a.b.Foo");
        QCOMPARE(run.state.code,
                 NormaliseCode(defaultCode("Run"), false)); // still TextBox1.FileName
        // A code edited by hand to name the package is not given it twice.
        codeChanged(run.state, R"(TextBox2.Text & " " & Options & " a.b." & TextBox1.FileName)",
                    run.prompter);
        QCOMPARE(run.line(), "java  -classpath lib.jar:" + src + "  a.b.Foo");

        // Outside a package everything stays as typed.
        const QString plain = path("w/Echo.java");
        QVERIFY(writeFile(plain, "public class Echo {}\n"));
        QVERIFY(writeFile(path("w/Echo.class"), classBytes("Echo")));
        QVERIFY(writeFile(path("w/Two.class"), classBytes("Two")));
        QCOMPARE(Model("Compile", plain, "javac").line(), "javac   " + plain);
        QCOMPARE(Model("Run", plain, "java").line(), "java   Echo");

        // The archive tool: each input relative to its folder, or to its
        // package's root; only while creating or updating.
        Model jar("Jar", plain, "jar");
        jar.state.boxes.archive = path("app.jar");
        jar.state.boxes.inFile = path("w/*.class");
        QCOMPARE(jar.line(), "jar f " + path("app.jar") + "  " + path("w/*.class"));
        jar.tick(0); // -c
        const QString w = path("w/");
        QCOMPARE(jar.line(),
                 "jar fc " + path("app.jar") + "  -C " + w + " Echo.class -C " + w + " Two.class");
        jar.state.boxes.inFile = src + "a/b/*.class";
        QCOMPARE(jar.line(), "jar fc " + path("app.jar") + "  -C " + src + " a/b/Bar.class -C "
                                 + src + " a/b/Foo.class");
        jar.state.boxes.inFile = w;
        QCOMPARE(jar.line(), "jar fc " + path("app.jar") + "  -C " + w + " .");
        jar.state.boxes.inFile = "Echo.class"; // already relative to where jar runs
        QCOMPARE(jar.line(), "jar fc " + path("app.jar") + "  Echo.class");
        jar.state.boxes.inFile = path("w/*.none"); // jar says what is missing
        QCOMPARE(jar.line(), "jar fc " + path("app.jar") + "  " + path("w/*.none"));
        jar.state.options[0].ticked = false;
        jar.tick(5); // -u
        jar.state.boxes.inFile = path("w/Echo.class");
        QCOMPARE(jar.line(), "jar fu " + path("app.jar") + "  -C " + w + " Echo.class");
        QCOMPARE(compile.prompter.pending() + run.prompter.pending(), 0);
    }

    // A folder that does not match the package, and a root that cannot be
    // read: said before the run, naming both; nothing is derived from a
    // mismatch, and No stops the run.
    void packagePlaceMessages()
    {
        const QString wrong = path("src/x/Foo.java");
        QVERIFY(writeFile(wrong, kFoo));
        Model m("Compile", wrong, path("javac"));
        QVERIFY(writeFile(path("javac"), "#!/bin/sh\n", true));
        QCOMPARE(m.line(), path("javac") + "   " + wrong);
        const QString text = "Foo.java is in package a.b, but its folder " + path("src/x/")
                             + " does not end with a/b/\r\nDo you wish to continue execution?";
        m.prompter.answer(MsgAnswer::No);
        QVERIFY(!prepareRun(m.state, m.prompter).proceed);
        m.prompter.answer(MsgAnswer::Yes);
        QVERIFY(prepareRun(m.state, m.prompter).proceed);
        QCOMPARE(m.prompter.messages(), (QStringList{text, text}));
        QCOMPARE(m.prompter.asked().back().message.title, kPackageMessageTitle);

        // Fifty parts: a clear message where the folders do not match, the
        // derived arguments where they do.
        QStringList parts;
        for (int i = 0; i < 50; ++i)
            parts << QStringLiteral("p%1").arg(i);
        const QString source = "package " + parts.join('.') + ";\nclass Deep {}\n";
        QVERIFY(writeFile(path("flat/Deep.java"), source.toUtf8()));
        QVERIFY(writeFile(path("deep/") + parts.join('/') + "/Deep.java", source.toUtf8()));
        const PackagePlace flat = locatePackage(path("flat/Deep.java"));
        QCOMPARE(int(flat.kind), int(PackagePlace::Kind::Mismatch));
        QVERIFY(packagePlaceMessage(flat).contains(parts.join('.'))
                && packagePlaceMessage(flat).contains(path("flat/")));
        const PackagePlace deep = locatePackage(path("deep/") + parts.join('/') + "/Deep.java");
        QCOMPARE(int(deep.kind), int(PackagePlace::Kind::Matches));
        QCOMPARE(deep.root, path("deep/"));

        // A root that can be passed through but not read. As root, every
        // folder reads: the check then runs as nobody.
        const QString root = path("locked/"), inside = root + "a/b/Foo.java";
        QVERIFY(writeFile(inside, kFoo));
        QFile::setPermissions(m_dir->path(), QFile::Permissions(0x7755));
        QFile::setPermissions(root, QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther
                                        | QFile::WriteOwner);
        const bool asRoot = ::geteuid() == 0;
        QVERIFY(!asRoot || ::setresuid(65534, 65534, 0) == 0);
        const PackagePlace locked = locatePackage(inside);
        QVERIFY(!asRoot || ::setresuid(0, 0, 0) == 0);
        QFile::setPermissions(root, QFile::Permissions(0x7700));
        QCOMPARE(int(locked.kind), int(PackagePlace::Kind::Unreadable));
        QCOMPARE(packagePlaceMessage(locked),
                 "The folder " + root + " that holds package a.b cannot be read");
        QCOMPARE(m.prompter.pending(), 0);
    }

    // A kit without an applet viewer says so; a path that is simply wrong
    // gets the usual message.
    void appletviewerOfAKitWithoutOne()
    {
        const QString kit = path("kit/bin/");
        QVERIFY(writeFile(kit + "java", "#!/bin/sh\n", true));
        QVERIFY(writeFile(path("page.html"), "<applet code=A></applet>\n"));
        auto messageFor = [&](const QString &exe) {
            Model m("Appletviewer", path("page.html"), exe);
            m.prompter.answer(MsgAnswer::Ok);
            const bool ran = prepareRun(m.state, m.prompter).proceed;
            return QStringList{ran ? "ran" : "stopped", m.prompter.asked().front().message.title,
                               m.prompter.messages().join('|')};
        };
        const QStringList none{"stopped", "Appletviewer file not found", kNoAppletviewerMessage};
        QCOMPARE(messageFor(kit + "appletviewer"), none);
        QCOMPARE(messageFor(QString()), none);
        QCOMPARE(messageFor(path("elsewhere/appletviewer")),
                 (QStringList{"stopped", "Appletviewer file not found",
                              "Make sure Appletviewer path is correct"}));
    }

    // The main window takes edits while the dialog is open; the run button
    // offers to save first, and the tool reads what was saved: an edit
    // made after the save is neither lost nor written.
    void mainWindowEditableWhileTheDialogIsOpen()
    {
        const QString doc = path("Hello.java"), compiler = path("kit/javac");
        QVERIFY(writeFile(doc, "class Hello {}\n"));
        QVERIFY(writeFile(compiler, kStandIn, true));
        qputenv("RECORD", m_dir->path().toUtf8());
        settingsStore().save("JavaX-Compile", "exe", compiler);
        frmedit w(doc, &m_prompter, ProbePlaces{});
        w.show();
        frmJavaX *d = runTool(w, "compile");
        QVERIFY(d && d->isVisible() && w.isEnabled() && w.rtfedit()->isEnabled());

        w.surface()->setSelStart(0);
        QTest::keyClicks(w.rtfedit(), "// one");
        QTest::keyClick(w.rtfedit(), Qt::Key_Return);
        QCOMPARE(w.surface()->text(), QStringLiteral("// one\r\nclass Hello {}\r\n"));
        QVERIFY(marked(w));

        m_prompter.answer(MsgAnswer::Yes);
        QVERIFY(runAndWait(d));
        QCOMPARE(m_prompter.messages(),
                 QStringList{"Do you wish to save the file before compiling?"});
        QCOMPARE(readFile(path("seen.txt")), QByteArray("// one\nclass Hello {}\n"));
        QVERIFY(!marked(w));

        // Typed after the save: kept in the window, not on disk; a run
        // without saving reads the file as saved.
        QTest::keyClicks(w.rtfedit(), "// two");
        m_prompter.answer(MsgAnswer::No);
        QVERIFY(runAndWait(d));
        QCOMPARE(readFile(path("seen.txt")), QByteArray("// one\nclass Hello {}\n"));
        QCOMPARE(readFile(doc), QByteArray("// one\nclass Hello {}\n"));
        QCOMPARE(w.surface()->text(), QStringLiteral("// one\r\n// twoclass Hello {}\r\n"));
        QVERIFY(marked(w) && frmJavaX::instance() == d);

        // A tool command of the main window while a tool runs leaves the run alone.
        QVERIFY(writeFile(path("hold")));
        m_prompter.answer(MsgAnswer::No);
        d->findChild<QPushButton *>("cmdJavaX")->click();
        QTRY_VERIFY(d->isRunning());
        runTool(w, "run");
        QVERIFY(d->isRunning() && d->windowTitle() == "Compile");
        // Busy is the dialog, not the window being typed in.
        QVERIFY(!QApplication::overrideCursor() && d->cursor().shape() == Qt::BusyCursor);
        QTest::keyClicks(w.rtfedit(), "!");
        QVERIFY(w.surface()->text().startsWith("// one\r\n// two!"));
        QFile::remove(path("hold"));
        QTRY_VERIFY_WITH_TIMEOUT(!d->isRunning(), kGenerous);
        QCOMPARE(d->cursor().shape(), Qt::ArrowCursor);
        closeDialog(d);
        QVERIFY(w.isEnabled());
    }

    // A document without a name, saved by the run button: the dialog then
    // compiles that file.
    void firstSaveFromTheRunButton()
    {
        const QString compiler = path("kit/javac"), doc = path("New.java");
        QVERIFY(writeFile(compiler, kStandIn, true));
        qputenv("RECORD", m_dir->path().toUtf8());
        settingsStore().save("JavaX-Compile", "exe", compiler);
        std::unique_ptr<frmedit> w = open();
        w->show();
        QTest::keyClicks(w->rtfedit(), "class New {}");
        m_prompter.answer(MsgAnswer::No);
        frmJavaX *d = runTool(*w, "compile");
        QVERIFY(d);
        m_prompter.answer(MsgAnswer::Yes);
        m_prompter.answerText(doc);
        QVERIFY(runAndWait(d));
        QCOMPARE(w->documents().path(), doc);
        QCOMPARE(d->findChild<QLineEdit *>("txtInFIle")->text(), doc);
        QCOMPARE(readFile(path("seen.txt")), QByteArray("class New {}"));
        QCOMPARE(readFile(path("argv.txt")), doc.toUtf8() + "\n");
        closeDialog(d);
    }

    // The package project with the real kit, through the main window and
    // the dialog, with no hand edits: compile, run, archive, and the
    // archive run by the kit.
    void packageProjectWithTheKit()
    {
        const QString bin = test::kitBin();
        QLN_REQUIRE_KIT(!bin.isEmpty(), "a Java development kit with javac, java and jar");
        settingsStore().save("JavaX-Compile", "exe", bin + "javac");
        settingsStore().save("JavaX-Run", "exe", bin + "java");
        settingsStore().save("JavaX-Jar", "exe", bin + "jar");
        const QString src = path("My Project/src/"), foo = src + "a/b/Foo.java";
        QVERIFY(writeFile(foo, kFoo));
        QVERIFY(writeFile(src + "a/b/Bar.java", kBar));
        const QString runCode = settingsStore().get("JavaX-Run", "CommandLineOptions");

        frmedit w(foo, &m_prompter, ProbePlaces{});
        w.show();
        frmJavaX *d = runTool(w, "compile");
        QVERIFY(d && runAndWait(d));
        const QString root = shellEscape(src);
        QCOMPARE(d->commandLineBox().text(),
                 bin + "javac  -sourcepath " + root + " -d " + root + "  " + shellEscape(foo)
                     + "\r\n[Executing]\r\n[Congrats. Compiled Successfully]\r\n[Done]\r\n");
        QVERIFY(QFile::exists(src + "a/b/Foo.class") && QFile::exists(src + "a/b/Bar.class"));

        runTool(w, "run");
        QCOMPARE(d->findChild<QLineEdit *>("txtInFIle")->text(), src + "a/b/Foo.class");
        QVERIFY(runAndWait(d));
        QCOMPARE(firstLine(d), bin + "java  -classpath " + root + "  a.b.Foo");
        QVERIFY2(
            d->commandLineBox().text().endsWith("[Executing]\r\nHello from a.b.Bar\r\n[Done]\r\n"),
            qPrintable(d->commandLineBox().text()));
        QCOMPARE(settingsStore().get("JavaX-Run", "CommandLineOptions"), runCode);
        QCOMPARE(settingsStore().get("JavaX-Run", "chk0"), QString());

        runTool(w, "jar");
        d->findChild<QCheckBox *>("chkOPT_0")->click(); // -c
        const QString archive = path("app.jar");
        type(d, "txt2", archive);
        type(d, "txtInFIle", src + "a/b/*.class");
        QVERIFY(runAndWait(d));
        QVERIFY2(d->commandLineBox().text().contains("[Done]\r\n"),
                 qPrintable(d->commandLineBox().text()));
        QCOMPARE(
            runProcess(bin + "jar", {"tf", archive}, m_dir->path()),
            (QStringList{"META-INF/", "META-INF/MANIFEST.MF", "a/b/Bar.class", "a/b/Foo.class"}));
        QCOMPARE(runProcess(bin + "java", {"-cp", archive, "a.b.Foo"}, QDir::rootPath()),
                 QStringList{"Hello from a.b.Bar"});

        // Classes outside a package: entries by their own names.
        const QString echo = path("w/Echo.java");
        QVERIFY(writeFile(echo, "public class Echo {\n    public static void main(String[] a) {\n"
                                "        System.out.println(\"echo\");\n    }\n}\n"));
        QCOMPARE(runProcess(bin + "javac", {echo}, m_dir->path()), QStringList{});
        type(d, "txt2", path("echo.jar"));
        type(d, "txtInFIle", path("w/*.class"));
        QVERIFY(runAndWait(d));
        QCOMPARE(runProcess(bin + "jar", {"tf", path("echo.jar")}, m_dir->path()),
                 (QStringList{"META-INF/", "META-INF/MANIFEST.MF", "Echo.class"}));
        QCOMPARE(runProcess(bin + "java", {"-cp", path("echo.jar"), "Echo"}, QDir::rootPath()),
                 QStringList{"echo"});
        closeDialog(d);
        QVERIFY(m_prompter.asked().empty());
    }
};

QTEST_MAIN(TstToolPackages)
#include "tst_toolpackages.moc"
