// The command runner with real processes, and whole runs of the installed
// Java kit driven through the dialog's model.
#include "settings/prefloader.h"
#include "settings/schema.h"
#include "settings/settingsstore.h"
#include "support/scriptedprompter.h"
#include "toolsupport.h"
#include "tools/commandlanguage.h"
#include "tools/dosoutputs.h"
#include "tools/toolmodes.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace qln;
using qln::test::ScriptedPrompter;
using qln::test::factoryStore;
using qln::test::kitBin;
using qln::test::stateFor;

namespace {

constexpr int kGenerous = 60000; // ms; slow machines and CI runners alike

struct Captured {
    QStringList chunks;
    RunEnd end;
    bool ended = false;
};

// Starts the command and waits (in the event loop) until finished().
Captured run(DOSOutputs &dos, const QString &command)
{
    Captured c;
    QObject guard;
    QObject::connect(&dos, &DOSOutputs::ReceiveOutputs, &guard,
                     [&](const QString &chunk) { c.chunks << chunk; });
    QObject::connect(&dos, &DOSOutputs::finished, &guard, [&](const RunEnd &end) {
        c.end = end;
        c.ended = true;
    });
    if (dos.ExecuteCommand(command) || dos.isRunning())
        if (!QTest::qWaitFor([&] { return c.ended; }, kGenerous))
            qWarning("the command did not end in time: %s", qPrintable(command));
    return c;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Alive and not a zombie.
bool processAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray s = stat.readAll();
    const qsizetype close = s.lastIndexOf(')');
    return close > 0 && close + 2 < s.size() && s.at(close + 2) != 'Z';
}

} // namespace

// Checks the mode's run, then runs its command line in the working folder.
Captured runMode(JavaXState &s, DOSOutputs &dos, Prompter &p)
{
    const RunPlan plan = prepareRun(s, p);
    if (!plan.proceed || BuildCommandLine(s, p) != BuildOutcome::Built)
        return Captured();
    dos.setWorkingDirectory(plan.workingFolder);
    return run(dos, s.commandLine);
}

class TstDosOutputs : public QObject {
    Q_OBJECT
private slots:
    void mergedOutputClosedInputAndWorkingFolder()
    {
        QTemporaryDir dir;
        ScriptedPrompter p;
        DOSOutputs dos(p);
        dos.setWorkingDirectory(dir.path());
        Captured c = run(dos, "echo out; echo err 1>&2; cat; pwd");
        QVERIFY(c.ended && c.end.started && !c.end.stopped);
        QVERIFY(dos.Outputs().startsWith("out\nerr\n"));
        QCOMPARE(QDir(dos.Outputs().mid(8).trimmed()).canonicalPath(),
                 QDir(dir.path()).canonicalPath());
        QCOMPARE(c.chunks.join(QString()), dos.Outputs());
        QCOMPARE(c.end.exitCode, 0);
        QCOMPARE(dos.CommandLine(), QStringLiteral("echo out; echo err 1>&2; cat; pwd"));
    }

    // A read is at most 256 bytes; a character split between two reads is
    // completed in the second.
    void chunksAndDecoding()
    {
        ScriptedPrompter p;
        DOSOutputs dos(p);
        Captured c = run(dos, "printf '%255s\\303\\251tail' ''");
        QCOMPARE(dos.Outputs(), QString(255, ' ') + QString::fromUtf8("\xc3\xa9tail"));
        QCOMPARE(c.chunks.join(QString()), dos.Outputs());

        QTemporaryDir dir;
        QByteArray all;
        while (all.size() < 10 * 1024 * 1024)
            all += "€uro ünïcödé — line of the tool's output\n";
        writeFile(dir.filePath("big.txt"), all);
        c = run(dos, "cat " + shellEscape(dir.filePath("big.txt")));
        QVERIFY(c.ended);
        QVERIFY(c.chunks.size() >= all.size() / DOSOutputs::kChunkBytes);
        for (const QString &chunk : c.chunks) {
            QVERIFY(chunk.toUtf8().size() <= DOSOutputs::kChunkBytes + 3);
            QVERIFY(!chunk.contains(QChar::ReplacementCharacter));
        }
        const QString expected = QString::fromUtf8(all);
        QVERIFY(dos.Outputs() == expected);
        QVERIFY(c.chunks.join(QString()) == expected);
    }

    void stopEndsTheToolAndWhatItStarted()
    {
        QTemporaryDir dir;
        const QString pidFile = dir.filePath("child.pid");
        ScriptedPrompter p;
        DOSOutputs dos(p);
        QSignalSpy finished(&dos, &DOSOutputs::finished);
        QVERIFY(dos.ExecuteCommand("sleep 100 & echo $! > " + shellEscape(pidFile) + "; sleep 100"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile(pidFile).size() > 0, kGenerous);
        QFile f(pidFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const qint64 child = f.readAll().trimmed().toLongLong();
        QVERIFY(child > 0 && processAlive(child));
        QVERIFY(dos.isRunning());

        dos.stop();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kGenerous);
        const RunEnd end = finished.at(0).at(0).value<RunEnd>();
        QVERIFY(end.started && end.stopped);
        QVERIFY(!dos.isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(child), kGenerous);
        // A stopped compiler did not compile anything.
        QCOMPARE(closingMarkers("Compile", QString(), end), QStringList{kDoneMarker});
    }

    void failuresAndClosingMarkers()
    {
        ScriptedPrompter p;
        p.answer(MsgAnswer::Ok);
        p.answer(MsgAnswer::Ok);
        DOSOutputs dos(p);
        QSignalSpy finished(&dos, &DOSOutputs::finished);
        QVERIFY(!dos.ExecuteCommand("   "));
        QCOMPARE(finished.count(), 0);
        QVERIFY(dos.Outputs().isEmpty());

        dos.setShell("/nonexistent/quillon-sh");
        Captured c = run(dos, "echo hi");
        QVERIFY(c.ended && !c.end.started);
        QCOMPARE(p.messages(), (QStringList{"Command Line empty", "File or command not found"}));
        QCOMPARE(p.asked()[0].message.icon, MsgIcon::Critical);
        QCOMPARE(p.asked()[1].message.icon, MsgIcon::Critical);
        // Nothing ran, so nothing compiled.
        QCOMPARE(closingMarkers("compile", dos.Outputs(), c.end), QStringList{kDoneMarker});

        RunEnd ok;
        ok.started = true;
        QCOMPARE(closingMarkers("Compile", " \r\n", ok), (QStringList{kCompiledMarker, kDoneMarker}));
        QCOMPARE(closingMarkers("Compile", "A.java:1: error", ok), QStringList{kDoneMarker});
        QCOMPARE(closingMarkers("Run", QString(), ok), QStringList{kDoneMarker});
    }

    void separateWindowWithoutTerminal()
    {
        QTemporaryDir dir;
        const QString made = dir.filePath("made by detached");
        QVERIFY(!DOSOutputs::launchDetached(QString(), QString()));
        QVERIFY(DOSOutputs::launchDetached("touch " + shellEscape(made), QString()));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(made), kGenerous);
    }

    // The kit's tools run from the models exactly as the dialog runs them,
    // in a folder whose name has a blank.
    void kitCompileErrorRunAndArchive()
    {
        const QString bin = kitBin();
        if (bin.isEmpty())
            QSKIP("no Java development kit with javac and jar on this machine");
        QTemporaryDir tmp;
        const QString dir = tmp.filePath("My Project");
        const QString hello = dir + "/Hello.java", bad = dir + "/Bad.java";
        writeFile(hello, "public class Hello {\n"
                         "    public static void main(String[] args) {\n"
                         "        System.out.println(\"Hello, Quillon\");\n"
                         "    }\n"
                         "}\n");
        writeFile(bad, "public class Bad {\n    int x = ;\n}\n");
        auto store = factoryStore();
        store->save("JavaX-Compile", "exe", bin + "javac");
        store->save("JavaX-Run", "exe", bin + "java");
        store->save("JavaX-Jar", "exe", bin + "jar");
        ScriptedPrompter p;
        DOSOutputs dos(p);

        // A compile error: the compiler's words, no congratulations, no class.
        JavaXState s;
        LoadJavaXMode(s, "Compile", *store, p, bad);
        Captured c = runMode(s, dos, p);
        QVERIFY2(c.ended && dos.Outputs().contains("Bad.java:2: error"), qPrintable(dos.Outputs()));
        QVERIFY(c.end.exitCode != 0);
        QCOMPARE(closingMarkers(s.mode, dos.Outputs(), c.end), QStringList{kDoneMarker});
        QVERIFY(!QFile::exists(dir + "/Bad.class"));

        // Compile: nothing printed, so it compiled.
        resetDialog(s, *store);
        QCOMPARE(LoadJavaXMode(s, "Compile", *store, p, hello), BuildOutcome::Built);
        QCOMPARE(s.boxes.inFile, hello);
        c = runMode(s, dos, p);
        QVERIFY2(c.ended && dos.Outputs().trimmed().isEmpty(), qPrintable(dos.Outputs()));
        QCOMPARE(closingMarkers(s.mode, dos.Outputs(), c.end), (QStringList{kCompiledMarker, kDoneMarker}));
        QVERIFY(QFile::exists(dir + "/Hello.class"));

        // Run the class.
        resetDialog(s, *store);
        LoadJavaXMode(s, "Run", *store, p, hello);
        QCOMPARE(s.boxes.inFile, dir + "/Hello.class");
        c = runMode(s, dos, p);
        QCOMPARE(dos.Outputs().trimmed(), QStringLiteral("Hello, Quillon"));
        QCOMPARE(closingMarkers(s.mode, dos.Outputs(), c.end), QStringList{kDoneMarker});

        // Create an archive, then list it.
        resetDialog(s, *store);
        LoadJavaXMode(s, "Jar", *store, p, hello);
        s.options[0].ticked = true; // -c
        chkOPT_Click(s, 0, p);
        fileBoxChanged(s, FileBox::Archive, dir + "/out.jar", *store, p);
        fileBoxChanged(s, FileBox::Input, "Hello.class", *store, p);
        c = runMode(s, dos, p);
        QVERIFY2(c.ended && QFile::exists(dir + "/out.jar"), qPrintable(s.commandLine + "\n" + dos.Outputs()));

        s.options[0].ticked = false;
        s.options[1].ticked = true; // -t
        fileBoxChanged(s, FileBox::Input, QString(), *store, p);
        c = runMode(s, dos, p);
        QVERIFY2(c.ended && dos.Outputs().contains("Hello.class"),
                 qPrintable(s.commandLine + "\n" + dos.Outputs()));
        QVERIFY(dos.Outputs().contains("META-INF/MANIFEST.MF"));
        QVERIFY(p.asked().empty());
    }
};

QTEST_GUILESS_MAIN(TstDosOutputs)
#include "tst_dosoutputs.moc"
