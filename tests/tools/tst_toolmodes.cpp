// Tool modes: the mode list, the option string, loading a mode from the
// store, the default input file and the checks before a run.
#include "settings/schema.h"
#include "settings/settingsstore.h"
#include "support/scriptedprompter.h"
#include "tools/toolmodes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using namespace qln;
using qln::test::ScriptedPrompter;

namespace {

std::unique_ptr<SettingsStore> factoryStore()
{
    auto store = std::make_unique<SettingsStore>(std::make_unique<MemorySettingsBackend>());
    for (const schema::Entry &e : schema::entries())
        if (e.section.startsWith(QLatin1String("JavaX-")) && e.origin == schema::Origin::Factory)
            store->save(e.section, e.key, e.def);
    return store;
}

JavaXState stateFor(const QString &mode)
{
    JavaXState s;
    s.mode = mode;
    if (const ModeDef *def = findMode(mode)) {
        for (const OptionDef &o : def->options)
            s.options[size_t(o.slot)].def = o;
        s.boxes.archiveInUse = def->archiveInUse;
    }
    s.ready = true;
    return s;
}

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
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
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
    void fillModeList_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("Compile") << "Compile" << QStringList{"Run", "Appletviewer", "Jar", "Native2Ascii"};
        QTest::newRow("Native2Ascii") << "Native2Ascii" << QStringList{"Compile", "Run", "Appletviewer", "Jar"};
        QTest::newRow("exact comparison: run")
            << "run" << QStringList{"Compile", "Run", "Appletviewer", "Jar", "Native2Ascii"};
    }
    void fillModeList()
    {
        QFETCH(QString, current);
        QFETCH(QStringList, items);
        QCOMPARE(FillModeList(current), items);
        QStringList names;
        for (const ModeDef &m : toolModes())
            names << m.name;
        QCOMPARE(names, schema::modes());
    }

    void optionString_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("ticks"); // "switch=argument"
        QTest::addColumn<bool>("dropDashes");
        QTest::addColumn<bool>("spaces");
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("other");
        QTest::addColumn<QString>("expected");
        QTest::newRow("compile -d and -verbose, blanks, dashes kept")
            << "Compile" << QStringList{"-d=/out", "-verbose="} << false << true << "" << ""
            << " -d /out -verbose ";
        QTest::newRow("jar -c -v, archive, dashes dropped, no blanks")
            << "Jar" << QStringList{"-c=", "-v="} << true << false << "/w/a.jar" << "" << "fcv";
        QTest::newRow("dash dropping of -classpath")
            << "Compile" << QStringList{"-classpath=/lib"} << true << true << "" << ""
            << " classpath /lib ";
        QTest::newRow("jar -f keeps its dash with blanks")
            << "Jar" << QStringList{"-c="} << false << true << "/w/a.jar" << "" << "-f  -c ";
        QTest::newRow("jar -m keeps its manifest out")
            << "Jar" << QStringList{"-c=", "-m=/w/manifest.mf"} << true << false << "/w/a.jar" << ""
            << "fcm";
        QTest::newRow("jar without archive has no f")
            << "Jar" << QStringList{"-t="} << true << false << "" << "" << "t";
        QTest::newRow("other options follow, no blanks")
            << "Compile" << QStringList{"-O="} << false << false << "" << "-Xlint" << "-O-Xlint";
        QTest::newRow("argument holding =, nothing else")
            << "Run" << QStringList{"-D=a=b"} << false << true << "" << "" << " -D a=b ";
    }
    void optionString()
    {
        QFETCH(QString, mode);
        QFETCH(QStringList, ticks);
        QFETCH(bool, dropDashes);
        QFETCH(bool, spaces);
        QFETCH(QString, archive);
        QFETCH(QString, other);
        QFETCH(QString, expected);
        JavaXState s = stateFor(mode);
        s.ignoreDashes = dropDashes;
        s.leaveSpaces = spaces;
        s.boxes.archive = archive;
        s.other = other;
        QVERIFY(tick(s, ticks));
        QCOMPARE(BuildOptionString(s), expected);
    }

    void loadMode_readsTheStore()
    {
        auto store = factoryStore();
        ScriptedPrompter p;
        const QString sec = "JavaX-Compile";
        store->save(sec, "exe", "/jdk/bin/javac");
        store->save(sec, "chk4", "1");
        store->save(sec, "txt4", "/out");
        store->save(sec, "chk10", "True");
        store->save(sec, "txt6", "SJIS");
        store->save(sec, "otherOPT", "-Xlint");
        JavaXState s;
        QCOMPARE(LoadJavaXMode(s, "Compile", *store, p, QString()), BuildOutcome::Built);
        QVERIFY(p.asked().empty());
        QVERIFY(s.ready);
        QCOMPARE(s.executableCaption, QStringLiteral("Compiler"));
        QVERIFY(!s.archiveShown);
        QVERIFY(s.encodingVisible);
        QCOMPARE(s.encodingText, QStringLiteral("SJIS"));
        QVERIFY(s.options[4].ticked && s.options[4].argumentEnabled);
        QVERIFY(!s.options[5].argumentEnabled);
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
        QVERIFY(!s.options[5].ticked && !s.options[5].used());
        QVERIFY(!s.showOptions);
        QVERIFY(!s.encodingVisible);

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
        QVERIFY(s.panelOpen && !s.runEnabled);
        QVERIFY(s.commandLine.isEmpty());

        // Closing the panel with a good code saves the panel's keys.
        codeChanged(s, "\"java -version\"", p);
        s.launchInSeparateWindow = true;
        QVERIFY(closeCodePanel(s, *store, p));
        QVERIFY(!s.panelOpen && s.runEnabled);
        QCOMPARE(s.commandLine, QStringLiteral("java -version"));
        QCOMPARE(store->get("JavaX-Run", "CommandLineOptions"), QStringLiteral("\"java -version\""));
        QCOMPARE(store->get("JavaX-Run", "LaunchInSeparateWindow"), QStringLiteral("1"));
        QCOMPARE(store->get("JavaX-Run", "LeaveSpaces"), QStringLiteral("1"));
        QCOMPARE(store->get("JavaX-Run", "IgnoreDashes"), QStringLiteral("0"));
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
        QCOMPARE(store->get("JavaX-Jar", "LastInFile"), QStringLiteral("/w/A.class"));
        QCOMPARE(store->get("JavaX-Jar", "Lasttxt2"), QStringLiteral("/w/a.jar"));
        QCOMPARE(store->get("JavaX-Jar", "exe"), QStringLiteral("/jdk/bin/jar"));
        QCOMPARE(s.commandLine, QStringLiteral("/jdk/bin/jar -f   /w/a.jar  /w/A.class"));

        QVERIFY(tick(s, {"-m=/w/m.mf"}));
        s.other = "-J-Xmx64m";
        saveOptions(s, *store);
        QCOMPARE(store->get("JavaX-Jar", "chk3"), QStringLiteral("1"));
        QCOMPARE(store->get("JavaX-Jar", "chk0"), QStringLiteral("0"));
        JavaXState t = stateFor("Jar");
        loadOptions(t, *store);
        QVERIFY(t.options[3].ticked && !t.options[0].ticked);
        QCOMPARE(t.options[3].argument, QStringLiteral("/w/m.mf"));
        QCOMPARE(t.other, QStringLiteral("-J-Xmx64m"));
    }

    // Paths start with "@/", the test's own folder.
    void pickDefaultInput_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("document");
        QTest::addColumn<QString>("lastIn");
        QTest::addColumn<QString>("lastArchive");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("archive");
        const QStringList javaAndClass{"@/src/A.java", "@/src/A.class", "@/src/B.java"};
        const QStringList aJava{"@/w/A.java"};
        QTest::newRow("compile: the document")
            << "Compile" << javaAndClass << "@/src/A.java" << "" << "" << "@/src/A.java" << "";
        QTest::newRow("compile: no source of that name")
            << "Compile" << QStringList{"@/src/Notes.txt", "@/src/B.java"}
            << "@/src/Notes.txt" << "" << "" << "@/src/*.java" << "";
        QTest::newRow("compile: no document, last input")
            << "Compile" << javaAndClass << "" << "@/src/B.java" << "" << "@/src/B.java" << "";
        QTest::newRow("compile: last input with a wildcard is not a base")
            << "Compile" << javaAndClass << "" << "@/src/*.java" << "" << "*.java" << "";
        QTest::newRow("run: the class")
            << "Run" << javaAndClass << "@/src/A.java" << "" << "" << "@/src/A.class" << "";
        QTest::newRow("run: no class yet")
            << "Run" << aJava << "@/w/A.java" << "" << "" << "@/w/*.class" << "";
        QTest::newRow("appletviewer: htm before html") << "Appletviewer"
            << QStringList{"@/w/A.java", "@/w/A.htm", "@/w/A.html"} << "@/w/A.java" << "" << ""
            << "@/w/A.htm" << "";
        QTest::newRow("appletviewer: another page of that name") << "Appletviewer"
            << QStringList{"@/w/A.java", "@/w/A.htmx"} << "@/w/A.java" << "" << "" << "@/w/A.ht*" << "";
        QTest::newRow("appletviewer: no page, the last one") << "Appletviewer"
            << QStringList{"@/w/A.java", "@/p/page.html"} << "@/w/A.java" << "@/p/page.html" << ""
            << "@/p/page.html" << "";
        QTest::newRow("appletviewer: no page at all")
            << "Appletviewer" << aJava << "@/w/A.java" << "" << "" << "@/w/*.ht*" << "";
        QTest::newRow("jar: document and stored archive") << "Jar" << QStringList{"@/w/A.java", "@/w/a.jar"}
            << "@/w/A.java" << "" << "@/w/a.jar" << "@/w/A.java" << "@/w/a.jar";
        QTest::newRow("jar: stored archive gone")
            << "Jar" << aJava << "@/w/A.java" << "" << "@/w/a.jar" << "@/w/A.java" << "";
        QTest::newRow("jar: no document") << "Jar" << aJava << "" << "" << "" << "" << "";
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
        const QString d = dir.path();
        for (const QString &f : files)
            touch(under(d, f));
        auto store = factoryStore();
        const QString sec = "JavaX-" + mode;
        if (!lastIn.isEmpty())
            store->save(sec, "LastInFile", under(d, lastIn));
        if (!lastArchive.isEmpty())
            store->save(sec, "Lasttxt2", under(d, lastArchive));
        JavaXState s = stateFor(mode);
        s.boxes.archive = "previous";
        PickDefaultInput(s, under(d, document), *store);
        QCOMPARE(s.boxes.inFile, under(d, input));
        if (mode == "Jar")
            QCOMPARE(s.boxes.archive, under(d, archive));
        QCOMPARE(store->get(sec, "LastInFile"), under(d, input));
    }

    // The folder "@/" holds A.java, A.class, a.jar, javac, java, jar and out/.
    // Answers are letters: Y(es), N(o), O(k). Questions are "title|text".
    void runChecks_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("inFile");
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("exe");
        QTest::addColumn<QStringList>("ticks");
        QTest::addColumn<QString>("answers");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<bool>("proceed");
        const QString notFound = "Input File not found|Input File path is not correct\r\n"
                                 "Do you wish to continue execution?";
        const QString noArchive = "Archive file not found|Make sure Archive path is correct";
        const QStringList none;
        QTest::newRow("compile: missing input, no")
            << "Compile" << "@/Gone.java" << "" << "@/javac" << none << "N" << QStringList{notFound} << false;
        QTest::newRow("compile: missing input, yes, then the compiler is missing")
            << "Compile" << "@/Gone.java" << "" << "@/nojavac" << none << "YO"
            << QStringList{notFound, "Compiler file not found|Make sure Compiler path is correct"} << false;
        QTest::newRow("compile: several files, go on")
            << "Compile" << "@/*.java" << "" << "@/javac" << none << "Y"
            << QStringList{"Continue?|The Input File references to multiple files in folder\r\n@/"} << true;
        QTest::newRow("compile: -d without a folder, go on")
            << "Compile" << "@/A.java" << "" << "@/javac" << QStringList{"-d="} << "Y"
            << QStringList{"Output path not found|Output path does not exist\r\nDo you wish to continue execution?"}
            << true;
        QTest::newRow("compile: -d to an existing folder")
            << "Compile" << "@/A.java" << "" << "@/javac" << QStringList{"-d=out"} << "" << none << true;
        QTest::newRow("compile: -encoding empty, stop")
            << "Compile" << "@/A.java" << "" << "@/javac" << QStringList{"-encoding="} << "N"
            << QStringList{"Error|Encoding is not correct\r\nDo you wish to continue execution?"} << false;
        QTest::newRow("run: interpreter missing")
            << "Run" << "@/A.class" << "" << "@/nojava" << none << "O"
            << QStringList{"Interpreter file not found|Make sure Interpreter path is correct"} << false;
        QTest::newRow("jar: archive missing")
            << "Jar" << "@/A.class" << "@/new.jar" << "@/jar" << none << "O" << QStringList{noArchive} << false;
        QTest::newRow("jar: a new archive with -c")
            << "Jar" << "@/A.class" << "@/new.jar" << "@/jar" << QStringList{"-c="} << "" << none << true;
        QTest::newRow("jar: a new archive in a missing folder")
            << "Jar" << "@/A.class" << "@/nowhere/new.jar" << "@/jar" << QStringList{"-c="} << "O"
            << QStringList{noArchive} << false;
        QTest::newRow("jar: executable missing")
            << "Jar" << "@/A.class" << "@/a.jar" << "@/nojar" << none << "O"
            << QStringList{"Java Archive Tool file not found|Make sure Java Archive Tool path is correct"}
            << false;
        QTest::newRow("native2ascii runs nothing")
            << "Native2Ascii" << "@/A.java" << "" << "@/javac" << none << "" << none << false;
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
        for (QChar a : answers)
            p.answer(a == 'Y' ? MsgAnswer::Yes : a == 'N' ? MsgAnswer::No : MsgAnswer::Ok);
        const RunPlan plan = prepareRun(s, p);
        QStringList got;
        for (const auto &a : p.asked())
            got << a.message.title + "|" + a.message.text;
        QStringList want;
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
};

QTEST_GUILESS_MAIN(TstToolModes)
#include "tst_toolmodes.moc"
