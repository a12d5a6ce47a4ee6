#include "tools/toolwatch.h"

#include "tools/groupwatch.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qln::toolwatch {

namespace {

// Written before a tool starts, only read in the child.
int g_pipe[2] = {-1, -1};
char g_helper[PATH_MAX] = {};
std::atomic<bool> g_helperChosen{false};
std::mutex g_lock;

// A descriptor at 3 or above: 0, 1 and 2 become the tool's standard
// channels in the child before the watchdog starts.
int aboveStandard(int fd)
{
    if (fd < 0 || fd > 2)
        return fd;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

void storeHelper(const QString &path)
{
    const QByteArray bytes = path.isEmpty() ? QByteArray() : QFile::encodeName(path);
    if (bytes.size() >= qsizetype(sizeof g_helper)) {
        g_helper[0] = '\0';
        return;
    }
    std::memcpy(g_helper, bytes.constData(), size_t(bytes.size()));
    g_helper[bytes.size()] = '\0';
}

void closeFrom(int first, int last) noexcept
{
    if (first > last)
        return;
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, unsigned(first), unsigned(last), 0U) == 0)
        return;
#endif
    rlimit limit{};
    int end = last;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
        && rlim_t(end) >= limit.rlim_cur)
        end = int(limit.rlim_cur) - 1;
    if (end > 65535)
        end = 65535;
    for (int fd = first; fd <= end; ++fd)
        ::close(fd);
}

// Keeps only a and b (either may be -1) and /dev/null as 0, 1 and 2.
void keepOnly(int a, int b) noexcept
{
    if (a > b && b >= 0) {
        const int t = a;
        a = b;
        b = t;
    }
    if (a < 0) {
        a = b;
        b = -1;
    }
    if (a < 0) {
        closeFrom(0, INT_MAX);
    } else {
        closeFrom(0, a - 1);
        if (b < 0) {
            closeFrom(a + 1, INT_MAX);
        } else {
            closeFrom(a + 1, b - 1);
            closeFrom(b + 1, INT_MAX);
        }
    }
    const int null = ::open("/dev/null", O_RDWR); // the lowest free number: 0
    if (null == 0) {
        ::dup2(0, 1);
        ::dup2(0, 2);
    }
}

// What the watchdog's process keeps of the program: its own folder, the
// two descriptors (also across exec), default signal handling.
void becomeWatchdog(int programGone, int programHandle) noexcept
{
    if (::chdir("/") != 0) {
        // The watchdog then keeps the tool's folder; it still watches.
    }
    keepOnly(programGone, programHandle);
    struct sigaction dfl = {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig)
        if (sig != SIGKILL && sig != SIGSTOP)
            ::sigaction(sig, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::fcntl(programGone, F_SETFD, 0);
    if (programHandle >= 0)
        ::fcntl(programHandle, F_SETFD, 0);
}

struct Watch {
    pid_t group;
    int programGone;
    int programHandle;
};

// The helper's first process, which shares the program's memory (on a
// stack of its own) until it replaces itself with the helper. The helper
// makes the watchdog and ends.
int execHelper(void *request) noexcept
{
    const Watch &w = *static_cast<const Watch *>(request);
    becomeWatchdog(w.programGone, w.programHandle);
    char groupText[24], goneText[24], handleText[24];
    char *argv[] = {g_helper, groupwatch::decimal(w.group, groupText),
                    groupwatch::decimal(w.programGone, goneText),
                    groupwatch::decimal(w.programHandle, handleText), nullptr};
    char *envp[] = {nullptr};
    ::execve(g_helper, argv, envp);
    return 127;
}

// Starts the helper and waits for its first process to end; false when
// the helper did not make the watchdog.
bool startHelper(const Watch &w) noexcept
{
    if (g_helper[0] == '\0')
        return false;
    // Sharing the memory and pausing this process until the exec, as
    // vfork() does: nothing of the program's memory is copied, however
    // large it is.
    constexpr size_t stackSize = 64 * 1024;
    void *stack = ::mmap(nullptr, stackSize, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (stack == MAP_FAILED)
        return false;
    Watch request = w;
    // No signal at its end: waited for with __WALL.
    const pid_t first = ::clone(execHelper, static_cast<char *>(stack) + stackSize,
                                CLONE_VM | CLONE_VFORK, &request);
    ::munmap(stack, stackSize);
    if (first <= 0)
        return false;
    int status = 0;
    while (::waitpid(first, &status, __WALL) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Without the helper: a copy of this process makes the watchdog and ends;
// the watchdog is then a copy of the program too.
void startCopy(const Watch &w) noexcept
{
    const pid_t first = groupwatch::rawFork(0); // no signal at its end
    if (first == 0) {
        becomeWatchdog(w.programGone, w.programHandle);
        groupwatch::detachAndWatch(w.group, w.programGone, w.programHandle);
    }
    if (first > 0) {
        int status = 0;
        while (::waitpid(first, &status, __WALL) < 0 && errno == EINTR) {
        }
    }
}

} // namespace

bool prepare()
{
    const std::lock_guard<std::mutex> lock(g_lock);
    if (!g_helperChosen.exchange(true)) {
        QString helper;
        if (QCoreApplication::instance()) {
            const QFileInfo next(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                                 + QLatin1String(kHelperName));
            if (next.isFile() && next.isExecutable())
                helper = next.absoluteFilePath();
        }
        storeHelper(helper);
    }
    if (g_pipe[0] >= 0)
        return true;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    fds[0] = aboveStandard(fds[0]);
    fds[1] = aboveStandard(fds[1]);
    if (fds[0] < 0 || fds[1] < 0) {
        if (fds[0] >= 0)
            ::close(fds[0]);
        if (fds[1] >= 0)
            ::close(fds[1]);
        return false;
    }
    g_pipe[0] = fds[0];
    g_pipe[1] = fds[1];
    return true;
}

void setHelper(const QString &path)
{
    const std::lock_guard<std::mutex> lock(g_lock);
    g_helperChosen = true;
    storeHelper(path);
}

void startInChild(pid_t program) noexcept
{
    // The editor ignores SIGXFSZ so that a file size limit fails its own
    // writes politely; a tool gets the signal's usual action back.
    struct sigaction usual = {};
    usual.sa_handler = SIG_DFL;
    ::sigaction(SIGXFSZ, &usual, nullptr);
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != program) // the program ended already
        ::_exit(127);
    const int programGone = g_pipe[0];
    if (programGone < 0)
        return;
    const pid_t group = ::getpid();
    int programHandle = -1;
#ifdef SYS_pidfd_open
    programHandle = int(::syscall(SYS_pidfd_open, program, 0U));
    if (programHandle < 0)
        programHandle = -1;
#endif
    // The watchdog's first process ends as soon as the watchdog is made,
    // and is collected here, so the tool never has a child it did not make.
    const Watch watch{group, programGone, programHandle};
    if (!startHelper(watch))
        startCopy(watch);
    if (programHandle >= 0)
        ::close(programHandle);
}

} // namespace qln::toolwatch
