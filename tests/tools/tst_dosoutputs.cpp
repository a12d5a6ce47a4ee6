// The command runner with real processes: output and its decoding, Stop,
// the closing markers, standard input, the terminal of a separate window,
// and tools ended with the program. Whole runs of the installed kit are
// tst_frmjavax's.
#include "support/datarow.h"
#include "support/files.h"
#include "support/requirekit.h"
#include "support/scriptedprompter.h"
#include "support/testenv.h"
#include "tools/commandlanguage.h"
#include "tools/dosoutputs.h"
#include "tools/processguard.h"
#include "tools/terminal.h"
#include "toolsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace qln;
using qln::test::kitBin;
using qln::test::readFile;
using qln::test::ScriptedPrompter;
using qln::test::writeFile;

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

// The process group of a process, or 0.
qint64 groupOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray s = stat.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 2 ? fields[2].toLongLong() : 0;
}

// The processes of a group that are alive and not zombies.
QList<qint64> groupMembers(qint64 group)
{
    QList<qint64> members;
    if (group <= 0)
        return members;
    for (const QString &name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const qint64 pid = name.toLongLong();
        if (pid > 0 && groupOf(pid) == group && processAlive(pid))
            members << pid;
    }
    return members;
}

qint64 readPid(const QString &path)
{
    return readFile(path).trimmed().toLongLong();
}

// A stand-in terminal emulator named `name` in `folder`: it writes how it
// was called (one argument per line) to called.txt and what the program it
// runs prints to window.txt, both in `folder`; its standard input is empty,
// so "Press Enter to close" is answered at once.
QString stubTerminal(const QString &folder, const QString &name)
{
    const QString path = folder + "/" + name;
    return writeFile(path,
                     QStringLiteral("#!/bin/sh\n"
                                    "printf '%s\\n' \"$@\" > '%1/called.txt'\n"
                                    "[ \"$1\" = -e ] && shift\n"
                                    "\"$@\" > '%1/window.txt' 2>&1 < /dev/null\n")
                         .arg(folder)
                         .toUtf8(),
                     true)
               ? path
               : QString();
}

} // namespace

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

    // The editor ignores SIGXFSZ so that its own writes fail politely at a
    // file size limit; a tool gets the signal's usual action back, since a
    // shell cannot undo a signal ignored when it starts.
    void toolsGetTheUsualFileSizeSignal()
    {
        QTemporaryDir dir;
        struct sigaction ignore = {}, before = {};
        ignore.sa_handler = SIG_IGN;
        QVERIFY(::sigaction(SIGXFSZ, &ignore, &before) == 0);
        ScriptedPrompter p;
        DOSOutputs dos(p);
        dos.setWorkingDirectory(dir.path());
        const Captured c = run(dos, "ulimit -f 1; head -c 5000 /dev/zero > big; echo $?");
        ::sigaction(SIGXFSZ, &before, nullptr);
        QVERIFY(c.ended && c.end.started);
        // The shell reports the signal that ended head, not a write error.
        QCOMPARE(dos.Outputs().trimmed().split(QLatin1Char('\n')).last(),
                 QString::number(128 + SIGXFSZ));
    }

    // A read is at most 256 bytes; a character split between two reads is
    // completed in the second. A byte that is not UTF-8 (a Latin-1 "é")
    // at the end of a read is one U+FFFD and takes nothing of the next
    // read with it; an unfinished character at the very end is one too.
    void chunksAndDecoding()
    {
        ScriptedPrompter p;
        DOSOutputs dos(p);
        Captured c = run(dos, "printf '%255s\\303\\251tail' ''");
        QCOMPARE(dos.Outputs(), QString(255, ' ') + QString::fromUtf8("\xc3\xa9tail"));
        QCOMPARE(c.chunks.join(QString()), dos.Outputs());
        // The bad bytes end the first read, as printf escapes.
        const std::pair<QString, int> badBytes[] = {
            {"\\351", 1}, {"\\342\\202", 2}, {"\\360\\237\\230", 3}};
        for (const auto &[escaped, count] : badBytes) {
            c = run(dos, QStringLiteral("printf '%%1s%2 ok, caf\\303\\251\\342\\202' ''")
                             .arg(256 - count)
                             .arg(escaped));
            const QString expected =
                QString(256 - count, ' ') + QString(count, QChar::ReplacementCharacter)
                + QString::fromUtf8(" ok, caf\xc3\xa9\xef\xbf\xbd\xef\xbf\xbd");
            QCOMPARE(dos.Outputs(), expected);
            QCOMPARE(c.chunks.join(QString()), expected);
        }

        QTemporaryDir dir;
        QByteArray all;
        while (all.size() < 10 * 1024 * 1024)
            all += "€uro ünïcödé — line of the tool's output\n";
        QVERIFY(writeFile(dir.filePath("big.txt"), all));
        c = run(dos, "cat " + shellEscape(dir.filePath("big.txt")));
        QVERIFY(c.ended);
        QVERIFY(c.chunks.size() >= all.size() / DOSOutputs::kChunkBytes);
        for (const QString &chunk : c.chunks) {
            QVERIFY(chunk.toUtf8().size() <= DOSOutputs::kChunkBytes + 3);
            QVERIFY(!chunk.contains(QChar::ReplacementCharacter));
        }
        const QString expected = QString::fromUtf8(all);
        QVERIFY(c.chunks.join(QString()) == expected);
        // Of 10 MB only the last 4 MB (and at most half a megabyte more) are kept.
        const QString kept = dos.Outputs();
        QVERIFY2(kept.size() >= DOSOutputs::kKeptOutput
                     && kept.size() <= DOSOutputs::kKeptOutput + 512 * 1024,
                 qPrintable(QString::number(kept.size())));
        QVERIFY(expected.endsWith(kept));
    }

    void stopEndsTheToolAndWhatItStarted()
    {
        QTemporaryDir dir;
        const QString pidFile = dir.filePath("child.pid");
        ScriptedPrompter p;
        DOSOutputs dos(p);
        QSignalSpy finished(&dos, &DOSOutputs::finished);
        QVERIFY(
            dos.ExecuteCommand("sleep 100 & echo $! > " + shellEscape(pidFile) + "; sleep 100"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile(pidFile).size() > 0, kGenerous);
        const qint64 child = readPid(pidFile);
        QVERIFY(child > 0 && processAlive(child));
        QVERIFY(dos.isRunning());

        dos.stop();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, kGenerous);
        const RunEnd end = finished.at(0).at(0).value<RunEnd>();
        QVERIFY(end.started && end.stopped);
        QVERIFY(!dos.isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!processAlive(child), kGenerous);
        // A stopped compiler did not compile anything.
        QCOMPARE(closingMarkers("Compile", end), QStringList{kStoppedMarker});
    }

    void failuresToStart()
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
        QCOMPARE(closingMarkers("compile", c.end), QStringList{kDoneMarker});
    }

    // How a real run ends decides its markers.
    void endsAndClosingMarkers_data()
    {
        columns<QString, QString, int, QStringList>("mode", "command", "exitCode", "markers");
        const QStringList compiled{kCompiledMarker, kDoneMarker};
        row("compile, silent", "Compile", "true", 0, compiled);
        row("compile, only blanks", "compile", "printf ' \n\t\n'", 0, compiled);
        row("compile, warnings", "Compile", "echo 'A.java:1: warning: x'", 0,
            QStringList{kDoneMarker});
        row("compile, silent failure", "Compile", "exit 2", 2, QStringList{exitCodeMarker(2)});
        row("compile, errors", "Compile", "echo 'A.java:1: error: x'; exit 1", 1,
            QStringList{"[Done, exit code 1]\r\n"});
        row("run, silent", "Run", "true", 0, QStringList{kDoneMarker});
        row("run, exit 3", "Run", "echo out; exit 3", 3, QStringList{exitCodeMarker(3)});
        row("run, killed by a signal", "Run", "kill -9 $$", 137, QStringList{exitCodeMarker(137)});
    }
    void endsAndClosingMarkers()
    {
        QFETCH(QString, mode);
        QFETCH(QString, command);
        QFETCH(int, exitCode);
        QFETCH(QStringList, markers);
        ScriptedPrompter p;
        DOSOutputs dos(p);
        const Captured c = run(dos, command);
        QVERIFY(c.ended && c.end.started && !c.end.stopped);
        QCOMPARE(c.end.exitCode, exitCode);
        QCOMPARE(closingMarkers(mode, c.end), markers);
    }

    // Standard input: closed unless asked for; then lines go to the tool
    // and "Close input" is its end of file.
    void standardInput()
    {
        ScriptedPrompter p;
        DOSOutputs dos(p);
        Captured c = run(dos, "cat; echo end");
        QCOMPARE(dos.Outputs(), QStringLiteral("end\n"));
        QVERIFY(!dos.writeInput("late\n"));

        dos.setInputOpen(true);
        bool ended = false;
        QObject guard;
        QObject::connect(&dos, &DOSOutputs::finished, &guard, [&] { ended = true; });
        QVERIFY(dos.ExecuteCommand("read a; read b; echo \"$b-$a\"; cat; echo end"));
        QVERIFY(dos.isInputOpen());
        QVERIFY(dos.writeInput("one\n") && dos.writeInput(QString::fromUtf8("tw\xc3\xb6\n")));
        QTRY_VERIFY_WITH_TIMEOUT(dos.Outputs().contains(QString::fromUtf8("tw\xc3\xb6-one\n")),
                                 kGenerous);
        QVERIFY(dos.writeInput("copied\n"));
        QTRY_VERIFY_WITH_TIMEOUT(dos.Outputs().endsWith("copied\n"), kGenerous);
        dos.closeInput();
        QVERIFY(!dos.isInputOpen() && !dos.writeInput("after the end\n"));
        QTRY_VERIFY_WITH_TIMEOUT(ended, kGenerous);
        QCOMPARE(dos.Outputs(), QString::fromUtf8("tw\xc3\xb6-one\ncopied\nend\n"));
    }

    // The terminal for "Launch in separate window": the first found in a
    // fixed order, each given the program the way it takes one.
    void terminalSearch_data()
    {
        columns<QStringList, QString, QString, QStringList>("installed", "terminalVariable",
                                                            "program", "options");
        const QStringList e{"-e"};
        row("none", QStringList{}, "", "", QStringList{});
        row("$TERMINAL set but not installed", QStringList{}, "alacritty", "", QStringList{});
        row("xterm alone", QStringList{"xterm"}, "", "/usr/bin/xterm", e);
        row("the system's choice first",
            QStringList{"xterm", "konsole", "x-terminal-emulator", "gnome-terminal"}, "alacritty",
            "/usr/bin/x-terminal-emulator", e);
        row("$TERMINAL before the desktops'", QStringList{"xterm", "gnome-terminal", "alacritty"},
            "alacritty", "/usr/bin/alacritty", e);
        row("$TERMINAL with a path and options", QStringList{"xterm", "/opt/term/bin/myterm"},
            "/opt/term/bin/myterm --hold-off -T \"a b\"", "/opt/term/bin/myterm",
            QStringList{"--hold-off", "-T", "a b", "-e"});
        row("$TERMINAL naming gnome-terminal", QStringList{"gnome-terminal"}, "gnome-terminal",
            "/usr/bin/gnome-terminal", QStringList{"--"});
        row("gnome-terminal takes --", QStringList{"xterm", "gnome-terminal", "konsole"}, "",
            "/usr/bin/gnome-terminal", QStringList{"--"});
        row("konsole before xfce4-terminal", QStringList{"xterm", "xfce4-terminal", "konsole"}, "",
            "/usr/bin/konsole", e);
        row("xfce4-terminal takes -x", QStringList{"xterm", "xfce4-terminal"}, "",
            "/usr/bin/xfce4-terminal", QStringList{"-x"});
    }
    void terminalSearch()
    {
        QFETCH(QStringList, installed);
        QFETCH(QString, terminalVariable);
        QFETCH(QString, program);
        QFETCH(QStringList, options);
        const auto find = [&](const QString &name) {
            if (!installed.contains(name))
                return QString();
            return name.startsWith('/') ? name : "/usr/bin/" + name;
        };
        const QString command = "javac 'My Class.java'; echo $HOME";
        const std::optional<TerminalLaunch> launch =
            terminalLaunch(command, terminalVariable, find);
        if (program.isEmpty()) {
            QVERIFY(!launch);
            return;
        }
        QVERIFY(launch);
        QCOMPARE(launch->program, program);
        QCOMPARE(launch->arguments,
                 options + keepOpenCommand(command, QCoreApplication::applicationPid()));
    }

    // A real terminal stand-in on PATH runs the tool in the folder given,
    // visibly ends it and waits for Enter; with none on PATH nothing starts.
    void terminalRunsTheToolAndWaits()
    {
        QTemporaryDir bin, work;
        const QString folder = work.filePath("my dir");
        QDir().mkpath(folder);
        test::ScopedVariable path("PATH", bin.path().toUtf8());
        test::ScopedVariable terminal("TERMINAL", QByteArray());
        QVERIFY(!DOSOutputs::launchInTerminal("echo never"));

        QVERIFY(!stubTerminal(bin.path(), "xterm").isEmpty());
        const int groups = processguard::count();
        QVERIFY(DOSOutputs::launchInTerminal("echo \"from the tool\"; pwd; exit 4", folder));
        const QString window = bin.filePath("window.txt");
        QTRY_VERIFY_WITH_TIMEOUT(readFile(window).endsWith("Press Enter to close"), kGenerous);
        QCOMPARE(QString::fromUtf8(readFile(window)),
                 "from the tool\n" + QDir(folder).canonicalPath()
                     + "\n\n[Done, exit code 4]\nPress Enter to close");
        QVERIFY(readFile(bin.filePath("called.txt")).startsWith("-e\n/bin/sh\n-c\n"));
        // The terminal ended after Enter: the guard forgets its group.
        QTRY_COMPARE_WITH_TIMEOUT(processguard::count(), groups, kGenerous);
    }

    // However the program ends, the tools it started end with it, and all
    // they started: its own end (the runner never deleted), SIGTERM,
    // SIGHUP, SIGINT, and SIGKILL (then the tool's watchdog ends the
    // group: the helper program, or a copy of the editor without it). The
    // tool starts five processes, two of them deaf to SIGTERM and SIGHUP.
    // In a terminal the same, also for a terminal that runs the tool in a
    // session of its own and hangs it up at its end (as most do), and for
    // one that hands it to a server and ends at once (a watcher in the
    // window's script ends those). And a Java program with nine children.
    void toolsEndWithTheProgram_data()
    {
        columns<QString, int>("how", "sig");
        QTest::addColumn<QString>("terminal"); // how the stand-in terminal runs the tool
        row("captured, returns from main", "captured", 0, "");
        row("captured, SIGTERM", "captured", int(SIGTERM), "");
        row("captured, SIGHUP", "captured", int(SIGHUP), "");
        row("captured, SIGINT", "captured", int(SIGINT), "");
        row("captured, SIGKILL", "captured", int(SIGKILL), "");
        row("captured, SIGKILL, watched by a copy", "copy", int(SIGKILL), "");
        row("Java program, SIGKILL", "java", int(SIGKILL), "");
        row("terminal, returns from main", "terminal", 0, "child");
        row("terminal, SIGTERM", "terminal", int(SIGTERM), "child");
        row("terminal, SIGKILL", "terminal", int(SIGKILL), "child");
        row("terminal with a session of its own, SIGKILL", "terminal", int(SIGKILL), "session");
        row("terminal server, SIGKILL", "terminal", int(SIGKILL), "server");
    }
    void toolsEndWithTheProgram()
    {
        QFETCH(QString, how);
        QFETCH(int, sig);
        QFETCH(QString, terminal);
        QTemporaryDir dir;
        const QString pidFile = dir.filePath("tool.pid"),
                      started = shellEscape(dir.filePath("started"));
        // The tool and the children it started itself are noted before it
        // says it runs: when the editor ends at once, they are known.
        const QString note = " & echo $! >> " + started + "; ";
        QString command =
            "/bin/sleep 1000" + note
            + "/bin/sh -c 'trap \"\" TERM HUP; /bin/sleep 1000 & exec /bin/sleep 1000'" + note
            + "(/bin/sleep 1000 & /bin/sleep 1000)" + note + "echo $$ >> " + started
            + "; echo $$ > " + shellEscape(pidFile) + "; wait";
        int members = 6;
        if (how == "java") {
            const QString bin = kitBin();
            QLN_REQUIRE_KIT(!bin.isEmpty(), "a Java development kit with javac, java and jar");
            QVERIFY(writeFile(dir.filePath("Spawner.java"),
                              "import java.nio.file.*;\n"
                              "public class Spawner {\n"
                              "    public static void main(String[] args) throws Exception {\n"
                              "        for (int i = 0; i < 9; ++i)\n"
                              "            new ProcessBuilder(\"/bin/sleep\", \"1000\").start();\n"
                              "        long pid = ProcessHandle.current().pid();\n"
                              "        Files.writeString(Path.of(args[0]), pid + \"\\n\");\n"
                              "        Thread.sleep(1000000);\n"
                              "    }\n"
                              "}\n"));
            command = "exec " + shellEscape(bin + "java") + " "
                      + shellEscape(dir.filePath("Spawner.java")) + " " + shellEscape(pidFile);
            how = "captured";
            members = 10;
        }
        if (terminal == "child") {
            QVERIFY(!stubTerminal(dir.path(), "xterm").isEmpty());
        } else if (terminal == "session") {
            // A pseudo-terminal of its own, in a session of its own (the
            // program script makes both), which the kernel hangs up when
            // the stand-in ends, as when a terminal window goes. The
            // arguments are "/bin/sh -c SCRIPT sh COMMAND EDITOR".
            QVERIFY(writeFile(
                dir.filePath("xterm"),
                "#!/bin/sh\n[ \"$1\" = -e ] && shift\n"
                "export SHELL=/bin/sh SCRIPT=\"$3\" COMMAND=\"$5\" EDITOR=\"$6\"\n"
                "exec /usr/bin/script -qec '/bin/sh -c \"$SCRIPT\" sh \"$COMMAND\" \"$EDITOR\"' "
                "/dev/null > /dev/null 2>&1\n",
                true));
        } else if (terminal == "server") { // runs the tool elsewhere and ends at once
            QVERIFY(writeFile(dir.filePath("xterm"),
                              "#!/bin/sh\n[ \"$1\" = -e ] && shift\n"
                              "/usr/bin/setsid \"$@\" > /dev/null 2>&1 < /dev/null &\n",
                              true));
        }
        QProcess editor;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PATH", dir.path()); // the stand-in terminal only
        env.remove("TERMINAL");
        editor.setProcessEnvironment(env);
        QStringList args{how, command};
        if (sig == 0)
            args << pidFile; // returns from main once the tool runs
        editor.start(QCoreApplication::applicationDirPath() + "/tst_toolchild", args);
        QVERIFY(editor.waitForStarted(kGenerous));
        QTRY_VERIFY_WITH_TIMEOUT(readPid(pidFile) > 0, kGenerous);
        QList<qint64> tools;
        for (const QByteArray &line : readFile(dir.filePath("started")).split('\n'))
            if (line.toLongLong() > 0)
                tools << line.toLongLong();
        qint64 group = 0;
        if (sig != 0) {
            group = groupOf(readPid(pidFile));
            QVERIFY(group > 0);
            QList<qint64> running;
            QTRY_VERIFY_WITH_TIMEOUT((running = groupMembers(group)).size() >= members, kGenerous);
            tools << running;
            ::kill(pid_t(editor.processId()), sig);
        }
        QVERIFY(tools.size() >= 4);
        QVERIFY(editor.state() == QProcess::NotRunning || editor.waitForFinished(kGenerous));
        if (sig != 0)
            QCOMPARE(editor.exitStatus(), QProcess::CrashExit); // the signal ended it
        else
            QCOMPARE(editor.exitCode(), 0);
        for (const qint64 tool : tools)
            QTRY_VERIFY2_WITH_TIMEOUT(!processAlive(tool), qPrintable(QString::number(tool)),
                                      kGenerous);
        QTRY_VERIFY_WITH_TIMEOUT(groupMembers(group).isEmpty(), kGenerous);
    }
};

QTEST_GUILESS_MAIN(TstDosOutputs)
#include "tst_dosoutputs.moc"
