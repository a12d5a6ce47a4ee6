#pragma once
// The watchdog of a tool: a small process of the program's own that ends
// the tool's whole process group when the program disappears, however it
// ends (kill -9 included), and then ends itself; it also ends once the
// group is empty. The tool's own process still dies with the program by
// the kernel's parent-death signal; the watchdog reaches what the tool
// started. A process that leaves the group on purpose (setsid) is not
// followed.
//
// The program holds the only write end of a pipe (close-on-exec, so no
// tool inherits it); the watchdog holds a read end and sees end of file
// when the program is gone. Where the kernel has process descriptors, the
// watchdog also watches one of the program itself. It starts from the
// tool's process between fork and exec, detached (its parent is init, not
// the tool or the program, so nobody waits for it), in a session of its
// own (the tool's signals to its group do not reach it), and runs as the
// small quillon-toolwatch program found next to the executable, started
// without copying the program's memory; without that program a copy of
// the process watches instead (slower to start, and sharing the program's
// pages until the program writes them).
//
// On the program's end: SIGTERM (and SIGCONT) to the group, up to half a
// second for it to go, then SIGKILL.

#include <QString>
#include <sys/types.h>

namespace qln::toolwatch {

// The helper program's file name, next to the executable.
inline constexpr char kHelperName[] = "quillon-toolwatch";

// In the program, before a tool is started: makes the pipe (once) and
// finds the helper. False when the pipe cannot be made; the tool then runs
// with the parent-death signal only.
bool prepare();

// Tests: the helper program to run ("" for none: a copy of the process
// watches). Until set, the one next to the executable.
void setHelper(const QString &path);

// In the tool's process, between fork and exec; async-signal-safe, and
// safe in a child that shares the program's memory until exec. Makes the
// process lead a process group of its own, asks for SIGKILL when the
// program dies, ends the process at once when the program is gone
// already, and starts the group's watchdog. `program` is the program's id.
void startInChild(pid_t program) noexcept;

} // namespace qln::toolwatch
