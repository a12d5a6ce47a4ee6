#pragma once
// Files that are not regular files, for the tests of what the program
// refuses to read: a named pipe, a socket and a device. A program that opens a named
// pipe for reading waits for a writer for ever; PipeUnblocker turns such a
// hang into a failed test.

#include <QByteArray>
#include <QString>
#include <atomic>
#include <thread>

namespace qln::test {

bool makeFifo(const QString &path);
// A socket file at path (bound, then closed; the file stays).
bool makeSocketFile(const QString &path);
// A character device node at path, a twin of /dev/null (only root may make
// one). Tests never point at the system's own devices: a program that
// wrongly replaced such a file with its own would damage the machine.
bool makeDeviceNode(const QString &path);

// While it lives, whoever opens the named pipe at path for reading and
// waits there is let go after about a second (and reads an empty file);
// blocked() tells whether that happened.
class PipeUnblocker {
public:
    explicit PipeUnblocker(const QString &path);
    ~PipeUnblocker();
    bool blocked() const { return m_blocked; }

private:
    QByteArray m_path;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_blocked{false};
    std::thread m_thread;
};

} // namespace qln::test
