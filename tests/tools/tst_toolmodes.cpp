// Tool modes: the mode list, the option string, loading a mode from the
// store, the default input file and the checks before a run.
#include "settings/schema.h"
#include "settings/settingsstore.h"
#include "support/datarow.h"
#include "support/files.h"
#include "support/scriptedprompter.h"
#include "tools/toolmodes.h"
#include "toolsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using namespace qln;
using qln::test::factoryStore;
using qln::test::kitBin;
using qln::test::ScriptedPrompter;
using qln::test::stateFor;

namespace {

// Ticks each "switch=argument"; returns false for a switch the mode lacks.
bool tick(JavaXState &s, const QStringList &ticks)
{
    for (const QString &t : ticks) {
        const qsizetype eq = t.indexOf('=');
        auto it = std::find_if(s.options.begin(), s.options.end(),
                               [&](const OptionSlot &o) { return o.def.switchText == t.left(eq); });
        if (it == s.options.end())
            return false;
        it->ticked = true;
        it->argument = t.mid(eq + 1);
    }
    return true;
}

void touch(const QString &path)
{
    QVERIFY(test::writeFile(path, ""));
}

QString under(const QString &dir, const QString &rel)
{
    QString r = rel;
    return r.replace(QLatin1String("@/"), dir + QLatin1Char('/'));
}

} // namespace

class TstToolModes : public QObject {
    Q_OBJECT
private slots:
    void modeListAndOptionString()
    {
        QStringList names;
        for (const ModeDef &m : toolModes())
            names << m.name;
        QCOMPARE(names, schema::modes());
        QCOMPARE(FillModeList("Compile"),
                 (QStringList{"Run", "Appletviewer", "Jar", "Native2Ascii"}));
        QCOMPARE(FillModeList("Native2Ascii"),
                 (QStringList{"Compile", "Run", "Appletviewer", "Jar"}));
        QCOMPARE(FillModeList("run"), names); // exact comparison

        // "switch=argument" ticks, dashes dropped, blanks kept, archive, other options.
        const struct {
            const char *mode;
            QStringList ticks;
            bool dropDashes, spaces;
            QString archive, other, want;
        } rows[] = {
            {"Compile", {"-d=/out", "-verbose="}, false, true, "", "", " -d /out -verbose "},
            {"Jar", {"-c=", "-v="}, true, false, "/w/a.jar", "", "fcv"},
            {"Compile", {"-classpath=/lib"}, true, true, "", "", " classpath /lib "},
            {"Jar", {"-c="}, false, true, "/w/a.jar", "", "-f  -c "},
            {"Jar", {"-c=", "-m=/w/manifest.mf"}, true, false, "/w/a.jar", "", "fcm"},
            {"Jar", {"-t="}, true, false, "", "", "t"},
            {"Compile", {"-O="}, false, false, "", "-Xlint", "-O-Xlint"},
            {"Run", {"-D=a=b"}, false, true, "", "", " -D a=b "},
        };
        for (const auto &r : rows) {
            JavaXState s = stateFor(r.mode);
            s.ignoreDashes = r.dropDashes;
            s.leaveSpaces = r.spaces;
            s.boxes.archive = r.archive;
            s.other = r.other;
            QVERIFY(tick(s, r.ticks));
            QCOMPARE(BuildOptionString(s), r.want);
        }
    }

    void loadMode_readsTheStore()
    {
        auto store = factoryStore();
        ScriptedPrompter p;
        const QString sec = "JavaX-Compile";
        for (const auto &[key, value] : {std::pair{"exe", "/jdk/bin/javac"},
                                         {"chk4", "1"},
                                         {"txt4", "/out"},
                                         {"chk10", "True"},
                                         {"txt6", "SJIS"},
                                         {"otherOPT", "-Xlint"}})
            store->save(sec, key, value);
        JavaXState s;
        QCOMPARE(LoadJavaXMode(s, "Compile", *store, p, QString()), BuildOutcome::Built);
        QVERIFY(p.asked().empty() && s.ready && !s.archiveShown && s.encodingVisible);
        QCOMPARE((QStringList{s.executableCaption, s.encodingText}),
                 (QStringList{"Compiler", "SJIS"}));
        QVERIFY(s.options[4].ticked && s.options[4].argumentEnabled
                && !s.options[5].argumentEnabled);
        QVERIFY(s.leaveSpaces && !s.ignoreDashes);
        QCOMPARE(s.commandLine, QStringLiteral("/jdk/bin/javac  -d /out -verbose -Xlint *.java"));
        // A missing showOptions reads as shown and is stored back.
        QVERIFY(s.showOptions);
        QCOMPARE(store->get(sec, "showOptions"), QStringLiteral("1"));

        // Another mode rebuilds the grid; a stale tick of a slot Run does not use stays clear.
        store->save("Javax-Run", "chk5", "1");
        store->save("JAVAX-RUN", "showOptions", "0");
        resetDialog(s, *store);
        QCOMPARE(store->get(sec, "exe"), QStringLiteral("/jdk/bin/javac"));
        LoadJavaXMode(s, "Run", *store, p, QString());
        QVERIFY(!s.options[5].ticked && !s.options[5].used() && !s.showOptions
                && !s.encodingVisible);

        // Native2Ascii has no catalogue.
        p.answer(MsgAnswer::Ok);
        resetDialog(s, *store);
        LoadJavaXMode(s, "Native2Ascii", *store, p, QString());
        QCOMPARE(p.messages(), QStringList{"Option not supported"});
        QCOMPARE(p.asked()[0].message.icon, MsgIcon::None);
        QVERIFY(s.archiveShown && s.boxes.archiveInUse);
        QCOMPARE(s.runCaption, QString());
        for (const OptionSlot &o : s.options)
            QVERIFY(!o.used());
    }

    void loadMode_invalidStoredCode()
    {
        auto store = factoryStore();
        store->save("JavaX-Run", "CommandLineOptions", "textbox1.text&textbox2.text");
        ScriptedPrompter p;
        p.answer(MsgAnswer::No);
        JavaXState s;
        QCOMPARE(LoadJavaXMode(s, "Run", *store, p, QString()), BuildOutcome::InvalidBlink);
        QCOMPARE(p.asked()[0].message.title, QStringLiteral("Invalid Code"));
        QVERIFY(s.panelOpen && !s.runEnabled && s.commandLine.isEmpty());

        // Closing the panel with a good code saves the panel's keys.
        codeChanged(s, "\"java -version\"", p);
        s.launchInSeparateWindow = true;
        QVERIFY(closeCodePanel(s, *store, p));
        QVERIFY(!s.panelOpen && s.runEnabled);
        QCOMPARE(s.commandLine, QStringLiteral("java -version"));
        QStringList saved;
        for (const char *key :
             {"CommandLineOptions", "LaunchInSeparateWindow", "LeaveSpaces", "IgnoreDashes"})
            saved << store->get("JavaX-Run", key);
        QCOMPARE(saved, (QStringList{"\"java -version\"", "1", "1", "0"}));
        QCOMPARE(p.asked().size(), size_t(1));
    }

    void optionsAndFileBoxesGoToTheStore()
    {
        auto store = factoryStore();
        ScriptedPrompter p;
        JavaXState s = stateFor("Jar");
        s.code = NormaliseCode(defaultCode("Jar"), true);
        // The boxes are trimmed and stored as they change.
        fileBoxChanged(s, FileBox::Input, "  /w/A.class", *store, p);
        fileBoxChanged(s, FileBox::Archive, " /w/a.jar", *store, p);
        fileBoxChanged(s, FileBox::Executable, "/jdk/bin/jar", *store, p);
        QCOMPARE((QStringList{store->get("JavaX-Jar", "LastInFile"),
                              store->get("JavaX-Jar", "Lasttxt2"), store->get("JavaX-Jar", "exe")}),
                 (QStringList{"/w/A.class", "/w/a.jar", "/jdk/bin/jar"}));
        QCOMPARE(s.commandLine, QStringLiteral("/jdk/bin/jar -f   /w/a.jar  /w/A.class"));

        QVERIFY(tick(s, {"-m=/w/m.mf"}));
        s.other = "-J-Xmx64m";
        saveOptions(s, *store);
        QCOMPARE((QStringList{store->get("JavaX-Jar", "chk3"), store->get("JavaX-Jar", "chk0")}),
                 (QStringList{"1", "0"}));
        JavaXState t = stateFor("Jar");
        loadOptions(t, *store);
        QVERIFY(t.options[3].ticked && !t.options[0].ticked);
        QCOMPARE(t.options[3].argument, QStringLiteral("/w/m.mf"));
        QCOMPARE(t.other, QStringLiteral("-J-Xmx64m"));
    }

    // Paths start with "@/", the test's own folder.
    void pickDefaultInput_data()
    {
        columns<QString, QStringList, QString, QString>("mode", "files", "document", "lastIn");
        columns<QString, QString, QString>("lastArchive", "input", "archive");
        const QStringList javaAndClass{"@/src/A.java", "@/src/A.class", "@/src/B.java"},
            aJava{"@/w/A.java"};
        row("compile doc", "Compile", javaAndClass, "@/src/A.java", "", "", "@/src/A.java", "");
        row("compile no such source", "Compile", QStringList{"@/src/Notes.txt", "@/src/B.java"},
            "@/src/Notes.txt", "", "", "@/src/*.java", "");
        row("compile last input", "Compile", javaAndClass, "", "@/src/B.java", "", "@/src/B.java",
            "");
        row("compile last wildcard", "Compile", javaAndClass, "", "@/src/*.java", "", "*.java", "");
        row("run class", "Run", javaAndClass, "@/src/A.java", "", "", "@/src/A.class", "");
        row("run no class", "Run", aJava, "@/w/A.java", "", "", "@/w/*.class", "");
        row("applet htm first", "Appletviewer",
            QStringList{"@/w/A.java", "@/w/A.htm", "@/w/A.html"}, "@/w/A.java", "", "", "@/w/A.htm",
            "");
        row("applet other page", "Appletviewer", QStringList{"@/w/A.java", "@/w/A.htmx"},
            "@/w/A.java", "", "", "@/w/A.ht*", "");
        row("applet last page", "Appletviewer", QStringList{"@/w/A.java", "@/p/page.html"},
            "@/w/A.java", "@/p/page.html", "", "@/p/page.html", "");
        row("applet no page", "Appletviewer", aJava, "@/w/A.java", "", "", "@/w/*.ht*", "");
        row("jar archive", "Jar", QStringList{"@/w/A.java", "@/w/a.jar"}, "@/w/A.java", "",
            "@/w/a.jar", "@/w/A.java", "@/w/a.jar");
        row("jar archive gone", "Jar", aJava, "@/w/A.java", "", "@/w/a.jar", "@/w/A.java", "");
        row("jar no doc", "Jar", aJava, "", "", "", "", "");
    }
    void pickDefaultInput()
    {
        QFETCH(QString, mode);
        QFETCH(QStringList, files);
        QFETCH(QString, document);
        QFETCH(QString, lastIn);
        QFETCH(QString, lastArchive);
        QFETCH(QString, input);
        QFETCH(QString, archive);
        QTemporaryDir dir;
        const QString d = dir.path(), sec = QStringLiteral("JavaX-") + mode;
        for (const QString &f : files)
            touch(under(d, f));
        auto store = factoryStore();
        if (!lastIn.isEmpty())
            store->save(sec, "LastInFile", under(d, lastIn));
        if (!lastArchive.isEmpty())
            store->save(sec, "Lasttxt2", under(d, lastArchive));
        JavaXState s = stateFor(mode);
        s.boxes.archive = "previous";
        PickDefaultInput(s, under(d, document), *store);
        const QString shown = sec == "JavaX-Jar" ? s.boxes.archive : under(d, archive);
        QCOMPARE((QStringList{s.boxes.inFile, shown, store->get(sec, "LastInFile")}),
                 (QStringList{under(d, input), under(d, archive), under(d, input)}));
    }

    // The folder "@/" holds A.java, A.class, a.jar, javac, java, jar and out/.
    // Answers are letters: Y(es), N(o), O(k). Questions are "title|text".
    void runChecks_data()
    {
        columns<QString, QString, QString, QString>("mode", "inFile", "archive", "exe");
        columns<QStringList, QString, QStringList, bool>("ticks", "answers", "asked", "proceed");
        const QString notFound = "Input File not found|Input File path is not correct\r\n"
                                 "Do you wish to continue execution?";
        const QStringList noArchive{"Archive file not found|Make sure Archive path is correct"};
        const QStringList none;
        row("missing input, no", "Compile", "@/Gone.java", "", "@/javac", none, "N",
            QStringList{notFound}, false);
        row("missing input, yes, no compiler", "Compile", "@/Gone.java", "", "@/nojavac", none,
            "YO",
            QStringList{notFound, "Compiler file not found|Make sure Compiler path is correct"},
            false);
        row("several files", "Compile", "@/*.java", "", "@/javac", none, "Y",
            QStringList{"Continue?|The Input File references to multiple files in folder\r\n@/"},
            true);
        row("-d without folder", "Compile", "@/A.java", "", "@/javac", QStringList{"-d="}, "Y",
            QStringList{"Output path not found|Output path does not exist\r\nDo you wish to "
                        "continue execution?"},
            true);
        row("-d to a folder", "Compile", "@/A.java", "", "@/javac", QStringList{"-d=out"}, "", none,
            true);
        row("-encoding empty", "Compile", "@/A.java", "", "@/javac", QStringList{"-encoding="}, "N",
            QStringList{"Error|Encoding is not correct\r\nDo you wish to continue execution?"},
            false);
        row("no interpreter", "Run", "@/A.class", "", "@/nojava", none, "O",
            QStringList{"Interpreter file not found|Make sure Interpreter path is correct"}, false);
        row("archive missing", "Jar", "@/A.class", "@/new.jar", "@/jar", none, "O", noArchive,
            false);
        row("new archive -c", "Jar", "@/A.class", "@/new.jar", "@/jar", QStringList{"-c="}, "",
            none, true);
        row("new archive, no folder", "Jar", "@/A.class", "@/nowhere/new.jar", "@/jar",
            QStringList{"-c="}, "O", noArchive, false);
        row("no jar tool", "Jar", "@/A.class", "@/a.jar", "@/nojar", none, "O",
            QStringList{"Java Archive Tool file not found|Make sure Java Archive Tool path is "
                        "correct"},
            false);
        row("native2ascii", "Native2Ascii", "@/A.java", "", "@/javac", none, "", none, false);
    }
    void runChecks()
    {
        QFETCH(QString, mode);
        QFETCH(QString, inFile);
        QFETCH(QString, archive);
        QFETCH(QString, exe);
        QFETCH(QStringList, ticks);
        QFETCH(QString, answers);
        QFETCH(QStringList, asked);
        QFETCH(bool, proceed);
        QTemporaryDir dir;
        const QString d = dir.path();
        for (const char *f : {"A.java", "A.class", "a.jar", "javac", "java", "jar"})
            touch(d + "/" + f);
        QDir(d).mkdir("out");
        JavaXState s = stateFor(mode);
        s.boxes.inFile = " " + under(d, inFile) + " ";
        s.boxes.archive = under(d, archive);
        s.boxes.executable = under(d, exe);
        QVERIFY(tick(s, ticks));
        ScriptedPrompter p;
        for (const QChar a : answers)
            p.answer(a == 'Y' ? MsgAnswer::Yes : a == 'N' ? MsgAnswer::No : MsgAnswer::Ok);
        const RunPlan plan = prepareRun(s, p);
        QStringList got, want;
        for (const auto &a : p.asked())
            got << a.message.title + "|" + a.message.text;
        for (const QString &a : asked)
            want << under(d, a);
        QCOMPARE(got, want);
        QCOMPARE(plan.proceed, proceed);
        QCOMPARE(s.boxes.inFile, under(d, inFile)); // trimmed
        if (proceed)
            QCOMPARE(QDir(plan.workingFolder).canonicalPath(), QDir(d).canonicalPath());
        if (ticks == QStringList{"-d="}) // going on without the folder writes to the working one
            QCOMPARE(s.options[4].argument, QStringLiteral("./"));
    }

    // A file named without a folder runs in the current folder, not "/".
    void bareFileRunsInTheCurrentFolder()
    {
        JavaXState bare = stateFor("Compile");
        bare.boxes.inFile = QStringLiteral("A.java");
        QCOMPARE(runFolderOf(bare), QString());
    }
};

QTEST_GUILESS_MAIN(TstToolModes)
#include "tst_toolmodes.moc"
