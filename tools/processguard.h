#pragma once
// Every tool the program starts leads a process group of its own. The guard
// knows these groups and ends them when the program ends, however it ends:
// normally (when the application object goes, or at exit()), or by SIGTERM,
// SIGHUP, SIGINT or SIGQUIT. The signal handler kills the groups at once
// (kill() is safe there) and tells the event loop through a pipe, which
// then lets the signal end the program as it would have without the
// handler; a second signal ends it even when the event loop is stuck.
// A signal that was ignored, or that had a handler of its own, when the
// guard was installed keeps that behaviour (the groups are still killed
// before a handler of its own runs).

#include <QtGlobal>

namespace qln::processguard {

// Installs the handlers and the end-of-program routines; safe to call again.
// The pipe's notifier needs the application object to exist.
void install();

// A group started (its leader's id) and a group that has ended.
void add(qint64 group);
void remove(qint64 group);

// Runs on the event loop when a signal is about to end the program, just
// before the signal's default action: the program's last chance to keep
// what it holds. A second signal meanwhile ends the program at once.
void setBeforeEnd(void (*hook)());

// Kills every known group with SIGKILL; they stay known until removed.
void endAll();

// How many groups are known (for tests).
int count();

} // namespace qln::processguard
