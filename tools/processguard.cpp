#include "tools/processguard.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

namespace qln::processguard {

namespace {

// A fixed table, so the signal handler reads it without locks or memory
// allocation. Far more slots than tools run at once.
constexpr int kSlots = 64;
std::atomic<pid_t> g_groups[kSlots];

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};
constexpr int kSignalCount = int(sizeof kSignals / sizeof kSignals[0]);
struct sigaction g_previous[kSignalCount];

int g_pipe[2] = {-1, -1};
std::atomic<bool> g_installed{false};
QSocketNotifier *g_notifier = nullptr;
void (*g_beforeEnd)() = nullptr;

void killGroups() noexcept
{
    for (std::atomic<pid_t> &g : g_groups) {
        const pid_t group = g.load();
        if (group > 0)
            ::kill(-group, SIGKILL);
    }
}

int signalIndex(int sig) noexcept
{
    for (int i = 0; i < kSignalCount; ++i)
        if (kSignals[i] == sig)
            return i;
    return -1;
}

extern "C" void onSignal(int sig, siginfo_t *info, void *context)
{
    const int savedErrno = errno;
    killGroups();
    const int i = signalIndex(sig);
    const struct sigaction &before = g_previous[i];
    if ((before.sa_flags & SA_SIGINFO) && before.sa_sigaction) {
        before.sa_sigaction(sig, info, context);
    } else if (!(before.sa_flags & SA_SIGINFO) && before.sa_handler != SIG_DFL
               && before.sa_handler != SIG_IGN) {
        before.sa_handler(sig);
    } else {
        // The default action, in two steps: a second signal ends the
        // program at once; the first ends it from the event loop, after
        // this handler has returned.
        struct sigaction dfl = {};
        dfl.sa_handler = SIG_DFL;
        ::sigaction(sig, &dfl, nullptr);
        const unsigned char byte = static_cast<unsigned char>(sig);
        if (::write(g_pipe[1], &byte, 1) < 0) {
            // The pipe is full or gone: end now.
            ::raise(sig);
        }
    }
    errno = savedErrno;
}

void onPipe()
{
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1) {
        if (g_beforeEnd)
            g_beforeEnd();
        ::raise(int(byte)); // its default action now: the program ends
    }
}

} // namespace

void install()
{
    if (!QCoreApplication::instance() || g_installed.exchange(true))
        return;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_installed = false;
        return;
    }
    g_notifier =
        new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(g_notifier, &QSocketNotifier::activated, g_notifier, [] { onPipe(); });

    for (int i = 0; i < kSignalCount; ++i) {
        struct sigaction before = {};
        if (::sigaction(kSignals[i], nullptr, &before) != 0)
            continue;
        // Started with the signal ignored (nohup): it stays ignored.
        if (!(before.sa_flags & SA_SIGINFO) && before.sa_handler == SIG_IGN)
            continue;
        g_previous[i] = before;
        struct sigaction ours = {};
        ours.sa_sigaction = onSignal;
        ours.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&ours.sa_mask);
        ::sigaction(kSignals[i], &ours, nullptr);
    }
    // The normal ends: the application object goes, or exit() is called.
    qAddPostRoutine(endAll);
    std::atexit(endAll);
}

void add(qint64 group)
{
    if (group <= 0)
        return;
    for (std::atomic<pid_t> &g : g_groups) {
        pid_t empty = 0;
        if (g.compare_exchange_strong(empty, pid_t(group)))
            return;
    }
}

void remove(qint64 group)
{
    for (std::atomic<pid_t> &g : g_groups) {
        pid_t known = pid_t(group);
        if (g.compare_exchange_strong(known, 0))
            return;
    }
}

void setBeforeEnd(void (*hook)())
{
    g_beforeEnd = hook;
}

void endAll()
{
    killGroups();
}

int count()
{
    int n = 0;
    for (const std::atomic<pid_t> &g : g_groups)
        if (g.load() > 0)
            ++n;
    return n;
}

} // namespace qln::processguard
