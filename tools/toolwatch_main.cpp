// quillon-toolwatch: the watchdog of one tool's process group (see
// toolwatch.h). The program starts it from the tool's process with the
// group, the read end of the pipe whose write end only the program holds,
// and a process descriptor of the program (-1 when there is none).
//
//   quillon-toolwatch GROUP PIPE HANDLE
#include "tools/groupwatch.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

bool number(const char *text, long &value)
{
    char *end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= -1 && value <= INT_MAX;
}

} // namespace

int main(int argc, char **argv)
{
    long group = 0, gone = 0, handle = 0;
    if (argc != 4 || !number(argv[1], group) || !number(argv[2], gone) || !number(argv[3], handle)
        || group <= 0 || gone < 0)
        return 2;
    qln::groupwatch::detachAndWatch(pid_t(group), int(gone), int(handle));
}
