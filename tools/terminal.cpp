#include "tools/terminal.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace qln {

namespace {

const QString kTerminalVariable = QStringLiteral("$TERMINAL");

// How each terminal takes the program it runs: most with "-e" followed by
// the program and its arguments; gnome-terminal after "--";
// xfce4-terminal's "-e" wants one string, its "-x" takes the rest.
QStringList runOptions(const QString &terminalName)
{
    if (terminalName == QLatin1String("gnome-terminal"))
        return {QStringLiteral("--")};
    if (terminalName == QLatin1String("xfce4-terminal"))
        return {QStringLiteral("-x")};
    return {QStringLiteral("-e")};
}

} // namespace

const QStringList &terminalSearchOrder()
{
    static const QStringList order{QStringLiteral("x-terminal-emulator"), kTerminalVariable,
                                   QStringLiteral("gnome-terminal"),      QStringLiteral("konsole"),
                                   QStringLiteral("xfce4-terminal"),      QStringLiteral("xterm")};
    return order;
}

QString noTerminalMessage()
{
    return QStringLiteral("No terminal window program was found (x-terminal-emulator, $TERMINAL, "
                          "gnome-terminal, konsole, xfce4-terminal, xterm).\r\n"
                          "Install one of the packages xterm, gnome-terminal, konsole or "
                          "xfce4-terminal to run tools in a separate window.\r\n"
                          "The tool runs in this dialog instead.");
}

QString findOnPath(const QString &name)
{
    if (name.contains(QLatin1Char('/'))) {
        const QFileInfo info(name);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(name);
}

QStringList keepOpenCommand(const QString &commandLine, qint64 program)
{
    // The command line arrives as $1, so nothing in it is read twice. Most
    // terminals run it in a session of their own, where the tool's
    // watchdog cannot follow: a watcher in the background looks once a
    // second whether the program ($2) is still there and otherwise ends
    // everything in the window's process group. Ctrl+C in the window is for
    // the tool, not for the watcher, and the hangup of a closing window
    // does not end the watcher before what ignores the hangup.
    const QString script = QStringLiteral(
        "( trap '' INT QUIT HUP TERM; "
        "while kill -0 \"$2\"; do /bin/sleep 1 || exit; done; kill -KILL 0 ) >/dev/null 2>&1 & "
        "watcher=$!; "
        "/bin/sh -c \"$1\"; status=$?; echo; "
        "if [ \"$status\" -eq 0 ]; then echo '[Done]'; else echo \"[Done, exit code $status]\"; "
        "fi; "
        "printf '%s' 'Press Enter to close'; read answer; kill \"$watcher\" 2>/dev/null");
    return {QStringLiteral("/bin/sh"), QStringLiteral("-c"), script,
            QStringLiteral("sh"),      commandLine,          QString::number(program)};
}

std::optional<TerminalLaunch> terminalLaunch(const QString &commandLine,
                                             const QString &terminalVariable,
                                             const ExecutableLookup &find)
{
    for (const QString &candidate : terminalSearchOrder()) {
        QStringList words;
        if (candidate == kTerminalVariable) {
            words = QProcess::splitCommand(terminalVariable.trimmed());
            if (words.isEmpty())
                continue;
        } else {
            words = QStringList{candidate};
        }
        const QString program = find(words.first());
        if (program.isEmpty())
            continue;
        TerminalLaunch launch;
        launch.program = program;
        launch.arguments = words.mid(1);
        launch.arguments << runOptions(QFileInfo(words.first()).fileName())
                         << keepOpenCommand(commandLine, QCoreApplication::applicationPid());
        return launch;
    }
    return std::nullopt;
}

} // namespace qln
