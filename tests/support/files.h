#pragma once
// Whole files for tests: read, written (with their folders), and writes
// held under a file size limit.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/resource.h>

namespace qln::test {

// The file's bytes, or "<unreadable>" when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Writes the bytes, making the folder first; `executable` for a script.
inline bool writeFile(const QString &path, const QByteArray &bytes = {}, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size()
           && (!executable || f.setPermissions(f.permissions() | QFile::ExeOwner | QFile::ExeUser));
}

// While it lives, a write beyond `bytes` fails. The signal the kernel
// sends with it (SIGXFSZ) ends the program unless the program ignores it,
// as the editor does from its first main window on.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_ok = ::getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        const rlimit low = {bytes, m_old.rlim_max};
        m_ok = m_ok && ::setrlimit(RLIMIT_FSIZE, &low) == 0;
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &m_old); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool ok() const { return m_ok; }

private:
    rlimit m_old = {};
    bool m_ok = false;
};

} // namespace qln::test
