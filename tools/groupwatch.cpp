#include "tools/groupwatch.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qln::groupwatch {

namespace {

// The state letter and process group of process `name` (its number as
// text) from its stat file under /proc (proc: the folder's descriptor).
bool readStat(int proc, const char *name, char &state, long &group) noexcept
{
    char path[40];
    size_t n = 0;
    while (name[n] != '\0' && n < 20) {
        path[n] = name[n];
        ++n;
    }
    const char tail[] = "/stat";
    for (size_t i = 0; i < sizeof tail; ++i)
        path[n + i] = tail[i];
    const int fd = ::openat(proc, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[512];
    const ssize_t got = ::read(fd, buffer, sizeof buffer - 1);
    ::close(fd);
    if (got <= 0)
        return false;
    buffer[got] = '\0';
    // "pid (name) state ppid pgrp ...": the name may hold anything, so the
    // fields are counted from its last ")".
    const char *p = nullptr;
    for (ssize_t i = got - 1; i >= 0 && !p; --i)
        if (buffer[i] == ')')
            p = buffer + i;
    if (!p || p[1] != ' ' || p[2] == '\0')
        return false;
    state = p[2];
    p += 3;
    for (int field = 0; field < 2; ++field) { // past ppid to pgrp
        while (*p == ' ')
            ++p;
        if (field == 1)
            break;
        while (*p && *p != ' ')
            ++p;
    }
    long value = 0;
    bool digits = false;
    for (; *p >= '0' && *p <= '9'; ++p, digits = true)
        value = value * 10 + (*p - '0');
    group = value;
    return digits;
}

bool ended(char state) noexcept
{
    return state == 'Z' || state == 'X' || state == 'x';
}

struct Dirent64 {
    unsigned long long ino;
    long long off;
    unsigned short reclen;
    unsigned char type;
    char name[1];
};

// Some process of the group still runs (members that have ended but that
// no one has collected yet do not count).
bool memberRunning(pid_t group) noexcept
{
    const int proc = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (proc < 0)
        return true; // cannot tell: still there
    char state = 0;
    long memberGroup = 0;
    char leader[24];
    bool running = readStat(proc, decimal(group, leader), state, memberGroup) && !ended(state);
    alignas(8) char buffer[4096];
    while (!running) {
        const long got = ::syscall(SYS_getdents64, proc, buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (long at = 0; at < got && !running;) {
            const auto *entry = reinterpret_cast<const Dirent64 *>(buffer + at);
            at += entry->reclen;
            if (entry->name[0] < '1' || entry->name[0] > '9')
                continue;
            running = readStat(proc, entry->name, state, memberGroup) && memberGroup == group
                      && !ended(state);
        }
    }
    ::close(proc);
    return running;
}

// Nothing in the group runs any more. A group whose members only refuse
// our signals (EPERM) is still there.
bool groupGone(pid_t group) noexcept
{
    if (::kill(-group, 0) != 0)
        return errno == ESRCH;
    return !memberRunning(group);
}

void sleepMs(int ms) noexcept
{
    timespec t{ms / 1000, long(ms % 1000) * 1000000L};
    while (::nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

// The program is gone: the group ends, asked first, then forced.
[[noreturn]] void endGroup(pid_t group) noexcept
{
    ::kill(-group, SIGTERM);
    ::kill(-group, SIGCONT); // a stopped member sees its SIGTERM too
    constexpr int step = 20;
    for (int waited = 0; waited < kTermGraceMs; waited += step) {
        if (groupGone(group))
            ::_exit(0);
        sleepMs(step);
    }
    ::kill(-group, SIGKILL);
    ::_exit(0);
}

} // namespace

char *decimal(long n, char *out) noexcept
{
    char digits[24];
    int count = 0;
    const bool negative = n < 0;
    unsigned long u =
        negative ? 0UL - static_cast<unsigned long>(n) : static_cast<unsigned long>(n);
    do {
        digits[count++] = char('0' + u % 10);
        u /= 10;
    } while (u != 0);
    char *p = out;
    if (negative)
        *p++ = '-';
    while (count > 0)
        *p++ = digits[--count];
    *p = '\0';
    return out;
}

pid_t rawFork(int exitSignal) noexcept
{
    // No stack given: the child goes on with a copy of this one, as after
    // fork(). The argument order after the flags differs between
    // architectures; all of them are zero here.
    return pid_t(::syscall(SYS_clone, long(exitSignal), 0L, 0L, 0L, 0L));
}

void watch(pid_t group, int programGone, int programHandle) noexcept
{
    pollfd fds[2] = {{programGone, POLLIN, 0}, {programHandle, POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds, 2, kGroupCheckMs);
        if (ready < 0) {
            if (errno != EINTR)
                sleepMs(kGroupCheckMs);
        } else if (ready > 0) {
            for (pollfd &p : fds) {
                // A descriptor that is not open watches nothing.
                if (p.revents & POLLNVAL)
                    p.fd = -1;
                // Nobody writes into the pipe: any other event on it is
                // its end; the descriptor of a process becomes readable
                // when the process ends.
                else if (p.revents)
                    endGroup(group);
            }
        }
        if (ready <= 0 && groupGone(group))
            ::_exit(0); // the run is over
    }
}

void detachAndWatch(pid_t group, int programGone, int programHandle) noexcept
{
    // This process ends at once (its parent waits for that); the watching
    // child is then adopted by init, which also collects it at its end.
    if (rawFork(SIGCHLD) != 0)
        ::_exit(0);
    ::setsid();
    watch(group, programGone, programHandle);
}

} // namespace qln::groupwatch
