#include "support/specialfiles.h"

#include <QFile>

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace qln::test {

bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

bool makeSocketFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    if (size_t(name.size()) >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    const bool bound =
        ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

bool makeDeviceNode(const QString &path)
{
    return ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0;
}

PipeUnblocker::PipeUnblocker(const QString &path) : m_path(QFile::encodeName(path))
{
    m_thread = std::thread([this] {
        using namespace std::chrono_literals;
        int waited = 0;
        while (!m_stop) {
            std::this_thread::sleep_for(20ms);
            if (++waited < 50)
                continue;
            // Opening the writing end without blocking succeeds only while
            // a reader has the pipe open; closing it gives that reader the
            // end of the file.
            const int fd = ::open(m_path.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                m_blocked = true;
                ::close(fd);
            }
        }
    });
}

PipeUnblocker::~PipeUnblocker()
{
    m_stop = true;
    m_thread.join();
}

} // namespace qln::test
