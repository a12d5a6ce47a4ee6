#pragma once
// The watching half of a tool's watchdog (see toolwatch.h), without Qt: the
// quillon-toolwatch helper is built from it alone, and the program runs it
// in a copy of itself when the helper is missing. Only async-signal-safe
// calls: it may run in a copy of a process whose other threads held locks.

#include <sys/types.h>

namespace qln::groupwatch {

// Detaches (a child of its own that init adopts, in a session of its own)
// and watches `group` from there until the group is empty or the program
// is gone; this process ends at once. programGone: a pipe's read end whose
// write end only the program holds; programHandle: a process descriptor of
// the program, or -1.
[[noreturn]] void detachAndWatch(pid_t group, int programGone, int programHandle) noexcept;

// The watch itself, in the process that calls it: returns never.
[[noreturn]] void watch(pid_t group, int programGone, int programHandle) noexcept;

// A process created with the raw system call: no fork handlers run, so it
// is safe in a copy of a process with other threads. exitSignal: the
// signal the parent gets at its end (0: none; wait with __WALL). Returns 0
// in the child, as fork() does.
pid_t rawFork(int exitSignal) noexcept;

// Writes n in decimal to out (room for 24 characters); returns out.
char *decimal(long n, char *out) noexcept;

// How often the watchdog looks whether the group is still there, and how
// long the group has between SIGTERM and SIGKILL, in milliseconds.
inline constexpr int kGroupCheckMs = 500;
inline constexpr int kTermGraceMs = 500;

} // namespace qln::groupwatch
