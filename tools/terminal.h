#pragma once
// "Launch in separate window": the terminal emulator a tool runs in, and the
// command that keeps its window open after the tool ends. Plain functions,
// so that the search order and every terminal's way of taking a command are
// tested without opening a window.

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace qln {

// The terminals looked for, in order; "$TERMINAL" stands for the program
// that variable names.
const QStringList &terminalSearchOrder();

// What the user is told when no terminal is found; the tool then runs in
// the dialog.
QString noTerminalMessage();

struct TerminalLaunch {
    QString program;       // the terminal's executable
    QStringList arguments; // its options, then the program to run and its arguments
};

// Finds the executable of a name on PATH (an absolute path is taken as it
// is when it is executable); "" when there is none. Tests replace it.
using ExecutableLookup = std::function<QString(const QString &name)>;
QString findOnPath(const QString &name);

// The first terminal found in terminalSearchOrder(), running commandLine
// through /bin/sh and then waiting for Enter ("Press Enter to close"),
// watched on behalf of this program (see keepOpenCommand).
// terminalVariable is the value of $TERMINAL ("" when unset; it may hold
// options after the program). Nothing when no terminal is installed.
std::optional<TerminalLaunch> terminalLaunch(const QString &commandLine,
                                             const QString &terminalVariable,
                                             const ExecutableLookup &find = findOnPath);

// The program and arguments a terminal runs: sh running the command line
// (passed as an argument, never pasted into other shell text), then the end
// marker of the run and "Press Enter to close". Meanwhile a watcher ends
// everything in the window's process group once the process `program`
// (the editor) has gone, within about a second.
QStringList keepOpenCommand(const QString &commandLine, qint64 program);

} // namespace qln
