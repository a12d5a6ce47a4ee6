#include "shell/diskchange.h"

#include "base/pathutil.h"

#include <QFile>
#include <QStringList>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qln {

namespace {

FileStamp stampOf(const struct stat &st)
{
    FileStamp stamp;
    stamp.exists = true;
    stamp.size = qint64(st.st_size);
    stamp.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.inode = quint64(st.st_ino);
    stamp.device = quint64(st.st_dev);
    stamp.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return stamp;
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// XXH64: 32-byte stripes through four lanes, then the tail, then the
// avalanche.
constexpr quint64 kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr quint64 kPrime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr quint64 kPrime3 = 0x165667B19E3779F9ULL;
constexpr quint64 kPrime4 = 0x85EBCA77C2B2AE63ULL;
constexpr quint64 kPrime5 = 0x27D4EB2F165667C5ULL;

constexpr quint64 rotl(quint64 x, int r)
{
    return (x << r) | (x >> (64 - r));
}

constexpr quint64 mix(quint64 acc, quint64 input)
{
    return rotl(acc + input * kPrime2, 31) * kPrime1;
}

constexpr quint64 mergeRound(quint64 acc, quint64 lane)
{
    return (acc ^ mix(0, lane)) * kPrime1 + kPrime4;
}

} // namespace

quint64 contentDigest(QByteArrayView bytes)
{
    const uchar *p = reinterpret_cast<const uchar *>(bytes.data());
    const uchar *const end = p + bytes.size();
    quint64 h;
    if (bytes.size() >= 32) {
        quint64 v1 = kPrime1 + kPrime2, v2 = kPrime2, v3 = 0, v4 = 0 - kPrime1;
        for (const uchar *limit = end - 32; p <= limit; p += 32) {
            v1 = mix(v1, qFromLittleEndian<quint64>(p));
            v2 = mix(v2, qFromLittleEndian<quint64>(p + 8));
            v3 = mix(v3, qFromLittleEndian<quint64>(p + 16));
            v4 = mix(v4, qFromLittleEndian<quint64>(p + 24));
        }
        h = rotl(v1, 1) + rotl(v2, 7) + rotl(v3, 12) + rotl(v4, 18);
        h = mergeRound(mergeRound(mergeRound(mergeRound(h, v1), v2), v3), v4);
    } else {
        h = kPrime5;
    }
    h += quint64(bytes.size());
    for (; end - p >= 8; p += 8)
        h = rotl(h ^ mix(0, qFromLittleEndian<quint64>(p)), 27) * kPrime1 + kPrime4;
    if (end - p >= 4) {
        h = rotl(h ^ (quint64(qFromLittleEndian<quint32>(p)) * kPrime1), 23) * kPrime2 + kPrime3;
        p += 4;
    }
    for (; p < end; ++p)
        h = rotl(h ^ (*p * kPrime5), 11) * kPrime1;
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    h *= kPrime3;
    h ^= h >> 32;
    return h;
}

FileRead readRegularFile(const QString &path, const ReadProgress &progress)
{
    FileRead out;
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (path.isEmpty() || ::stat(name.constData(), &st) != 0) {
        const int error = path.isEmpty() ? ENOENT : errno;
        out.result = error == ENOENT || error == ENOTDIR ? FileRead::Missing : FileRead::Failed;
        out.detail = systemReason(error);
        return out;
    }
    if (!S_ISREG(st.st_mode)) {
        out.result = FileRead::Special;
        out.detail = specialFileKind(unsigned(st.st_mode));
        return out;
    }
    // Opening a named pipe would wait for a writer, a device may act on
    // being opened: O_NONBLOCK and the second look through the descriptor
    // refuse whatever was put in the file's place since the look above.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        out.result = errno == ENOENT ? FileRead::Missing : FileRead::Failed;
        out.detail = systemReason(errno);
        return out;
    }
    if (::fstat(fd, &st) != 0) {
        out.detail = systemReason(errno);
        ::close(fd);
        return out;
    }
    if (!S_ISREG(st.st_mode)) {
        out.result = FileRead::Special;
        out.detail = specialFileKind(unsigned(st.st_mode));
        ::close(fd);
        return out;
    }
    // Stamped before reading: a write while we read leaves a newer time on
    // the file than the stamp, so the change is noticed later.
    out.stamp = stampOf(st);
    // One byte more than the size, so that a file that stays as it is ends
    // with one short read and no reallocation.
    QByteArray bytes(qMax<qint64>(st.st_size, 0) + 1, Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        if (used == bytes.size())
            bytes.resize(bytes.size() * 2);
        const qsizetype want =
            progress ? std::min<qsizetype>(bytes.size() - used, kReadPiece) : bytes.size() - used;
        const ssize_t n = ::read(fd, bytes.data() + used, size_t(want));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            out.result = FileRead::Failed;
            out.detail = systemReason(errno);
            ::close(fd);
            return out;
        }
        if (n == 0)
            break;
        used += n;
        if (progress && !progress(used, out.stamp.size)) {
            out.result = FileRead::Cancelled;
            ::close(fd);
            return out;
        }
    }
    ::close(fd);
    bytes.truncate(used);
    out.stamp.digest = contentDigest(bytes);
    out.bytes = std::move(bytes);
    out.result = FileRead::Read;
    return out;
}

FileStamp FileStamp::of(const QString &path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0
        || !S_ISREG(st.st_mode))
        return FileStamp{};
    return stampOf(st);
}

bool FileStamp::sameVersion(const FileStamp &other) const
{
    return exists == other.exists && size == other.size && modifiedNs == other.modifiedNs
           && inode == other.inode && device == other.device;
}

QString FileStamp::toText() const
{
    if (!exists)
        return QStringLiteral("none");
    return QStringLiteral("%1 %2 %3 %4 %5 %6")
        .arg(size)
        .arg(modifiedNs)
        .arg(inode)
        .arg(device)
        .arg(changedNs)
        .arg(digest ? QString::number(*digest, 16) : QStringLiteral("-"));
}

FileStamp FileStamp::fromText(const QString &text)
{
    FileStamp stamp;
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 4 && parts.size() != 6)
        return stamp;
    bool ok[6] = {true, true, true, true, true, true};
    stamp.size = parts[0].toLongLong(&ok[0]);
    stamp.modifiedNs = parts[1].toLongLong(&ok[1]);
    stamp.inode = parts[2].toULongLong(&ok[2]);
    stamp.device = parts[3].toULongLong(&ok[3]);
    if (parts.size() == 6) {
        stamp.changedNs = parts[4].toLongLong(&ok[4]);
        if (parts[5] != QLatin1String("-"))
            stamp.digest = parts[5].toULongLong(&ok[5], 16);
    }
    stamp.exists = std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; });
    return stamp.exists ? stamp : FileStamp{};
}

void DiskChangeCheck::remember(const QString &path)
{
    const FileRead read = readRegularFile(path);
    remember(path, read.result == FileRead::Read ? read.stamp : FileStamp::of(path));
}

void DiskChangeCheck::remember(const QString &path, const FileStamp &stamp)
{
    m_path = path;
    m_known = stamp;
    m_seen = stamp;
}

void DiskChangeCheck::forget()
{
    m_path.clear();
    m_known = FileStamp{};
    m_seen = FileStamp{};
}

bool DiskChangeCheck::bytesDiffer(const FileStamp &now, const FileStamp &than,
                                  std::optional<quint64> *digest) const
{
    if (!now.sameVersion(than))
        return true;
    if (!than.digest)
        return false; // nothing to compare the bytes with
    const FileRead read = readRegularFile(m_path);
    if (read.result != FileRead::Read)
        return false; // unreadable now: the status is all there is to go by
    if (digest)
        *digest = read.stamp.digest;
    return !read.stamp.sameVersion(than) || read.stamp.digest != than.digest;
}

bool DiskChangeCheck::confirmOverwrite(const QString &path, Prompter &prompter) const
{
    // Only the file the document came from is compared; a file the user
    // has never opened here was already confirmed by Save As.
    if (path != m_path || !m_known.exists)
        return true;
    const FileStamp now = FileStamp::of(path);
    // The bytes are compared even when the status agrees: Save is the last
    // moment another program's change can be kept.
    if (!now.exists || !bytesDiffer(now, m_known))
        return true;
    return prompter.message(QStringLiteral("The file %1 was changed by another program since it "
                                           "was opened or last saved here.\r\n"
                                           "Do you wish to overwrite it with this document?")
                                .arg(path),
                            QStringLiteral("File changed on disk"), MsgIcon::Exclamation,
                            MsgButtons::YesNo)
           == MsgAnswer::Yes;
}

DiskChangeCheck::Outcome DiskChangeCheck::checkOnActivation(bool documentModified,
                                                            Prompter &prompter)
{
    if (m_path.isEmpty() || !m_known.exists)
        return Outcome::Nothing;
    FileStamp now = FileStamp::of(m_path);
    if (now.untouchedSince(m_seen))
        return Outcome::Nothing;
    // Something was done to the file. Its bytes are read only when the
    // status alone cannot tell (same size, time and identity).
    std::optional<quint64> digest;
    const bool changed = !now.exists || bytesDiffer(now, m_seen, &digest);
    now.digest = digest;
    // Recorded before asking: the question's own window activates the main
    // window again when it closes, and that must not ask a second time.
    m_seen = now;
    if (!changed)
        return Outcome::Nothing; // its mode or times only

    if (!now.exists) {
        prompter.message(QStringLiteral("The file %1 was deleted or moved by another program.\r\n"
                                        "The text stays open here as an unsaved document; save "
                                        "it to keep it.")
                             .arg(m_path),
                         QStringLiteral("File deleted"), MsgIcon::Exclamation, MsgButtons::Ok);
        return Outcome::KeepModified;
    }
    if (documentModified) {
        prompter.message(QStringLiteral("The file %1 was changed by another program.\r\n"
                                        "Your unsaved changes are kept. Saving them will replace "
                                        "the other program's changes.")
                             .arg(m_path),
                         QStringLiteral("File changed on disk"), MsgIcon::Exclamation,
                         MsgButtons::Ok);
        return Outcome::Nothing;
    }
    const MsgAnswer answer = prompter.message(
        QStringLiteral("The file %1 was changed by another program.\r\n"
                       "Do you wish to reload it?")
            .arg(m_path),
        QStringLiteral("File changed on disk"), MsgIcon::Question, MsgButtons::YesNo);
    return answer == MsgAnswer::Yes ? Outcome::Reload : Outcome::Nothing;
}

} // namespace qln
