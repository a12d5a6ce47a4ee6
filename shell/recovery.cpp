#include "shell/recovery.h"

#include "surface/surface.h"
#include "tools/processguard.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QStringDecoder>
#include <QThread>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qln {

namespace {

// Full copies of the first version, with no records after them, are still
// read.
const QByteArray kMagicV1 = QByteArrayLiteral("QLN recovery 1\n");
const QByteArray kMagic = QByteArrayLiteral("QLN recovery 2\n");
const QString kSuffix = QStringLiteral(".qrec");
// Anything larger is not a file this program wrote.
constexpr qint64 kLargestFile = qint64(1) << 30;

// A record: its kind, two numbers, the payload's length and a checksum of
// all that and the payload, little-endian, then the payload.
constexpr char kEditRecord = 'E';    // position, removed length, inserted text
constexpr char kDetailsRecord = 'D'; // 0, 0, the path, format and stamp lines
constexpr qsizetype kRecordHead = 17;

// --- checksums and text ----------------------------------------------------

constexpr std::array<quint32, 256> makeCrcTable()
{
    std::array<quint32, 256> table{};
    for (quint32 i = 0; i < 256; ++i) {
        quint32 c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}
constexpr std::array<quint32, 256> kCrcTable = makeCrcTable();

// CRC-32 (the one of zip and PNG), continued from crc.
quint32 crc32(QByteArrayView bytes, quint32 crc = 0)
{
    crc = ~crc;
    for (const char b : bytes)
        crc = kCrcTable[(crc ^ quint8(b)) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

// UTF-8, except that a surrogate without its partner is written as the
// three bytes of its own value (which strict UTF-8 has no room for), so
// that any QString comes back exactly.
QByteArray encodeTextKeepingAll(QStringView text)
{
    const char16_t *c = text.utf16();
    const qsizetype n = text.size();
    auto pair = [&](qsizetype i) {
        return QChar::isHighSurrogate(c[i]) && i + 1 < n && QChar::isLowSurrogate(c[i + 1]);
    };
    qsizetype size = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = c[i];
        if (u < 0x80)
            size += 1;
        else if (u < 0x800)
            size += 2;
        else if (pair(i))
            size += 4, ++i;
        else
            size += 3;
    }
    QByteArray out(size, Qt::Uninitialized);
    auto *p = reinterpret_cast<unsigned char *>(out.data());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = c[i];
        if (u < 0x80) {
            *p++ = static_cast<unsigned char>(u);
        } else if (u < 0x800) {
            *p++ = static_cast<unsigned char>(0xC0 | (u >> 6));
            *p++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
        } else if (pair(i)) {
            const char32_t cp = QChar::surrogateToUcs4(u, c[i + 1]);
            ++i;
            *p++ = static_cast<unsigned char>(0xF0 | (cp >> 18));
            *p++ = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
            *p++ = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            *p++ = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        } else {
            *p++ = static_cast<unsigned char>(0xE0 | (u >> 12));
            *p++ = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
            *p++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

// The reverse, strictly: only what encodeTextKeepingAll writes is accepted
// (no overlong forms, no pair written as two lone halves).
std::optional<QString> decodeTextKeepingAll(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    auto *d = reinterpret_cast<char16_t *>(out.data());
    const auto *b = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    bool loneHigh = false; // the last character was a high surrogate written alone
    auto cont = [&](qsizetype i) { return i < n && (b[i] & 0xC0) == 0x80; };
    for (qsizetype i = 0; i < n;) {
        const unsigned char x = b[i];
        if (x < 0x80) {
            *d++ = x;
            ++i;
            loneHigh = false;
        } else if (x >= 0xC2 && x <= 0xDF) {
            if (!cont(i + 1))
                return std::nullopt;
            *d++ = char16_t(((x & 0x1F) << 6) | (b[i + 1] & 0x3F));
            i += 2;
            loneHigh = false;
        } else if (x >= 0xE0 && x <= 0xEF) {
            if (!cont(i + 1) || !cont(i + 2) || (x == 0xE0 && b[i + 1] < 0xA0))
                return std::nullopt;
            const char16_t u =
                char16_t(((x & 0x0F) << 12) | ((b[i + 1] & 0x3F) << 6) | (b[i + 2] & 0x3F));
            if (QChar::isLowSurrogate(u) && loneHigh)
                return std::nullopt; // a pair is written as one four-byte sequence
            loneHigh = QChar::isHighSurrogate(u);
            *d++ = u;
            i += 3;
        } else if (x >= 0xF0 && x <= 0xF4) {
            if (!cont(i + 1) || !cont(i + 2) || !cont(i + 3) || (x == 0xF0 && b[i + 1] < 0x90)
                || (x == 0xF4 && b[i + 1] > 0x8F))
                return std::nullopt;
            const char32_t cp = (char32_t(x & 0x07) << 18) | (char32_t(b[i + 1] & 0x3F) << 12)
                                | (char32_t(b[i + 2] & 0x3F) << 6) | char32_t(b[i + 3] & 0x3F);
            *d++ = QChar::highSurrogate(cp);
            *d++ = QChar::lowSurrogate(cp);
            i += 4;
            loneHigh = false;
        } else {
            return std::nullopt;
        }
    }
    out.truncate(d - reinterpret_cast<const char16_t *>(out.constData()));
    return out;
}

void putU32(QByteArray &out, qsizetype at, quint32 value)
{
    for (int k = 0; k < 4; ++k)
        out[at + k] = char((value >> (8 * k)) & 0xFF);
}

quint32 getU32(const char *p)
{
    quint32 value = 0;
    for (int k = 3; k >= 0; --k)
        value = (value << 8) | quint8(p[k]);
    return value;
}

QByteArray record(char kind, quint32 a, quint32 b, const QByteArray &payload)
{
    QByteArray out(kRecordHead, '\0');
    out[0] = kind;
    putU32(out, 1, a);
    putU32(out, 5, b);
    putU32(out, 9, quint32(payload.size()));
    putU32(out, 13, crc32(payload, crc32(QByteArrayView(out).first(13))));
    return out + payload;
}

// --- headers -----------------------------------------------------------------

QByteArray formatText(const std::optional<TextFileFormat> &format)
{
    if (!format)
        return QByteArrayLiteral("none");
    QByteArray out = format->encoding == TextFileFormat::Latin1 ? "Latin-1" : "UTF-8";
    out += format->byteOrderMark ? " bom " : " nobom ";
    switch (format->lineBreak) {
    case TextFileFormat::CrLf: out += "CRLF"; break;
    case TextFileFormat::Lf: out += "LF"; break;
    case TextFileFormat::Cr: out += "CR"; break;
    }
    return out;
}

// Nothing inside the optional for "none"; an empty outer optional for
// anything unknown.
std::optional<std::optional<TextFileFormat>> parseFormat(const QByteArray &text)
{
    if (text == "none")
        return std::optional<TextFileFormat>{};
    const QList<QByteArray> parts = text.split(' ');
    if (parts.size() != 3)
        return std::nullopt;
    TextFileFormat f;
    if (parts[0] == "UTF-8")
        f.encoding = TextFileFormat::Utf8;
    else if (parts[0] == "Latin-1")
        f.encoding = TextFileFormat::Latin1;
    else
        return std::nullopt;
    if (parts[1] != "bom" && parts[1] != "nobom")
        return std::nullopt;
    f.byteOrderMark = parts[1] == "bom";
    if (parts[2] == "CRLF")
        f.lineBreak = TextFileFormat::CrLf;
    else if (parts[2] == "LF")
        f.lineBreak = TextFileFormat::Lf;
    else if (parts[2] == "CR")
        f.lineBreak = TextFileFormat::Cr;
    else
        return std::nullopt;
    return std::optional<TextFileFormat>{f};
}

QByteArray detailLines(const RecoveryRecord &record)
{
    QByteArray out;
    out += "path " + encodeTextKeepingAll(record.path).toPercentEncoding("/") + '\n';
    out += "format " + formatText(record.format) + '\n';
    out += "stamp " + record.stamp.toText().toLatin1() + '\n';
    return out;
}

// The header lines of a full copy or a details record: path, format and
// stamp into details, the rest by name into fields. False when a line is
// malformed or the path or format is missing.
bool parseDetailLines(QByteArrayView text, RecoveryRecord &details,
                      QHash<QByteArray, QByteArray> *fields = nullptr)
{
    std::optional<QByteArray> path;
    bool haveFormat = false;
    for (const QByteArray &line : text.toByteArray().split('\n')) {
        if (line.isEmpty())
            continue;
        const qsizetype space = line.indexOf(' ');
        if (space < 0)
            return false;
        const QByteArray key = line.left(space), value = line.mid(space + 1);
        if (key == "path") {
            path = QByteArray::fromPercentEncoding(value);
        } else if (key == "format") {
            const auto format = parseFormat(value);
            if (!format)
                return false;
            details.format = *format;
            haveFormat = true;
        } else if (key == "stamp") {
            details.stamp = FileStamp::fromText(QString::fromLatin1(value));
        } else if (fields) {
            fields->insert(key, value);
        }
        // Other keys belong to a later version and are skipped.
    }
    if (!path || !haveFormat)
        return false;
    std::optional<QString> decoded = decodeTextKeepingAll(*path);
    if (!decoded)
        return false;
    details.path = std::move(*decoded);
    return true;
}

// A full copy of the first version: SHA-1, strict UTF-8.
std::optional<RecoveryReading> readVersion1(QByteArrayView bytes)
{
    const qsizetype headerEnd = bytes.indexOf(QByteArrayView("\n\n"), kMagicV1.size() - 1);
    if (headerEnd < 0)
        return std::nullopt;
    RecoveryReading reading;
    QHash<QByteArray, QByteArray> fields;
    if (!parseDetailLines(bytes.sliced(kMagicV1.size(), headerEnd + 1 - kMagicV1.size()),
                          reading.record, &fields))
        return std::nullopt;
    const QByteArrayView body = bytes.sliced(headerEnd + 2);
    bool ok = false;
    const qint64 length = fields.value("length").toLongLong(&ok);
    if (!ok || !fields.contains("sha1") || body.size() != length
        || QCryptographicHash::hash(body, QCryptographicHash::Sha1).toHex() != fields.value("sha1")
        || body.contains('\0'))
        return std::nullopt;
    // Every character, a leading U+FEFF included.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    reading.record.text = utf8.decode(body);
    if (utf8.hasError())
        return std::nullopt;
    reading.complete = true;
    reading.intactBytes = bytes.size();
    return reading;
}

// The text being rebuilt from a journal, with a gap at the last edit, so
// that a run of edits in one place costs what they insert.
class ReplayText {
public:
    explicit ReplayText(QStringView text)
        : m_buf(size_t(text.size()) + kGap), m_gapStart(text.size()),
          m_gapEnd(qsizetype(m_buf.size()))
    {
        if (!text.isEmpty())
            std::memcpy(m_buf.data(), text.utf16(), size_t(text.size()) * sizeof(char16_t));
    }
    qsizetype size() const { return qsizetype(m_buf.size()) - (m_gapEnd - m_gapStart); }
    void replace(qsizetype pos, qsizetype removed, QStringView text)
    {
        moveGap(pos);
        m_gapEnd += removed;
        if (text.size() > m_gapEnd - m_gapStart)
            grow(text.size());
        if (!text.isEmpty())
            std::memcpy(m_buf.data() + m_gapStart, text.utf16(),
                        size_t(text.size()) * sizeof(char16_t));
        m_gapStart += text.size();
    }
    QString text() const
    {
        QString out(size(), Qt::Uninitialized);
        auto *d = reinterpret_cast<char16_t *>(out.data());
        if (m_gapStart > 0)
            std::memcpy(d, m_buf.data(), size_t(m_gapStart) * sizeof(char16_t));
        const qsizetype tail = qsizetype(m_buf.size()) - m_gapEnd;
        if (tail > 0)
            std::memcpy(d + m_gapStart, m_buf.data() + m_gapEnd, size_t(tail) * sizeof(char16_t));
        return out;
    }

private:
    static constexpr qsizetype kGap = 4096;
    void moveGap(qsizetype pos)
    {
        if (pos < m_gapStart) {
            const qsizetype n = m_gapStart - pos;
            std::memmove(m_buf.data() + m_gapEnd - n, m_buf.data() + pos,
                         size_t(n) * sizeof(char16_t));
            m_gapStart = pos;
            m_gapEnd -= n;
        } else if (pos > m_gapStart) {
            const qsizetype n = pos - m_gapStart;
            std::memmove(m_buf.data() + m_gapStart, m_buf.data() + m_gapEnd,
                         size_t(n) * sizeof(char16_t));
            m_gapStart = pos;
            m_gapEnd += n;
        }
    }
    void grow(qsizetype need)
    {
        const qsizetype tail = qsizetype(m_buf.size()) - m_gapEnd;
        const qsizetype capacity = qMax(qsizetype(m_buf.size()) * 2, size() + need + kGap);
        std::vector<char16_t> bigger(size_t(capacity), 0);
        std::memcpy(bigger.data(), m_buf.data(), size_t(m_gapStart) * sizeof(char16_t));
        std::memcpy(bigger.data() + capacity - tail, m_buf.data() + m_gapEnd,
                    size_t(tail) * sizeof(char16_t));
        m_buf.swap(bigger);
        m_gapEnd = capacity - tail;
    }

    std::vector<char16_t> m_buf;
    qsizetype m_gapStart;
    qsizetype m_gapEnd;
};

// --- files -------------------------------------------------------------------

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool writeAll(int fd, const char *data, qint64 size, int *error)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(qMin<qint64>(size, qint64(1) << 30)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

bool isRegular(const QString &path)
{
    struct stat st = {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// --- sessions and the end of the program -------------------------------------

QString sessionId()
{
    // The process id alone could come back after a reboot; the start time
    // and a counter (for several windows in one process) keep ids apart.
    static QAtomicInt counter;
    return QStringLiteral("%1-%2-%3")
        .arg(QCoreApplication::applicationPid())
        .arg(QDateTime::currentMSecsSinceEpoch())
        .arg(counter.fetchAndAddRelaxed(1));
}

// The worker runs at a lower priority than the window thread, so that on a
// busy machine typing goes first and the copy waits.
void yieldToTheWindow()
{
    thread_local bool lowered = false;
    if (!lowered) {
        ::setpriority(PRIO_PROCESS, ::gettid(), 10);
        lowered = true;
    }
}

std::unique_ptr<QLockFile> makeLock(const QString &path)
{
    auto lock = std::make_unique<QLockFile>(path);
    // A lock is held for a whole editing session: never treat one as stale
    // because of its age, only because its editor is gone.
    lock->setStaleLockTime(0);
    return lock;
}

bool sameDetails(const RecoveryRecord &a, const RecoveryRecord &b)
{
    return a.format == b.format && a.path == b.path && a.stamp == b.stamp;
}

// The recoveries of this process, for the end handlers. Never destroyed:
// exit() runs the handlers after static objects may have gone.
std::vector<DocumentRecovery *> &liveRecoveries()
{
    static auto *live = new std::vector<DocumentRecovery *>;
    return *live;
}

void writeEveryCopy()
{
    static bool running = false;
    if (running)
        return;
    running = true;
    // Ended as the editor ends normally: the copy of an unsaved document
    // is kept, and the lock goes, so that no lock file is left behind for
    // each session a logout ends.
    const std::vector<DocumentRecovery *> live = liveRecoveries();
    for (DocumentRecovery *recovery : live)
        recovery->finish();
    running = false;
}

QtMessageHandler g_previousHandler = nullptr;

void onMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // Qt ends the program after a fatal message (the display's connection
    // lost, on some platforms): the copy first.
    if (type == QtFatalMsg)
        writeEveryCopy();
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

} // namespace

// --- the journal's bytes ---------------------------------------------------------

QByteArray encodeRecovery(const RecoveryRecord &record)
{
    const QByteArray body = encodeTextKeepingAll(record.text);
    QByteArray out = kMagic;
    out += detailLines(record);
    out += "length " + QByteArray::number(body.size()) + '\n';
    out += "crc32 " + QByteArray::number(crc32(body), 16).rightJustified(8, '0') + '\n';
    out += '\n';
    out += body;
    return out;
}

QByteArray encodeRecoveryEdit(const RecoveryEdit &edit)
{
    return record(kEditRecord, quint32(edit.pos), quint32(edit.removed),
                  encodeTextKeepingAll(edit.text));
}

QByteArray encodeRecoveryDetails(const RecoveryRecord &details)
{
    return record(kDetailsRecord, 0, 0, detailLines(details));
}

std::optional<RecoveryReading> readRecovery(QByteArrayView bytes)
{
    if (bytes.startsWith(kMagicV1))
        return readVersion1(bytes);
    if (!bytes.startsWith(kMagic))
        return std::nullopt;
    const qsizetype headerEnd = bytes.indexOf(QByteArrayView("\n\n"), kMagic.size() - 1);
    if (headerEnd < 0)
        return std::nullopt;
    RecoveryReading reading;
    RecoveryRecord &record = reading.record;
    QHash<QByteArray, QByteArray> fields;
    if (!parseDetailLines(bytes.sliced(kMagic.size(), headerEnd + 1 - kMagic.size()), record,
                          &fields))
        return std::nullopt;
    bool lengthOk = false, crcOk = false;
    const qint64 length = fields.value("length").toLongLong(&lengthOk);
    const quint32 crc = fields.value("crc32").toUInt(&crcOk, 16);
    const qsizetype bodyStart = headerEnd + 2;
    // The full copy must be whole: without it there is nothing to go on.
    if (!lengthOk || !crcOk || length < 0 || length > bytes.size() - bodyStart)
        return std::nullopt;
    const QByteArrayView body = bytes.sliced(bodyStart, length);
    if (crc32(body) != crc)
        return std::nullopt;
    const std::optional<QString> base = decodeTextKeepingAll(body);
    if (!base)
        return std::nullopt;

    // The records, up to the first one that is not intact or does not fit.
    ReplayText text(*base);
    qsizetype at = bodyStart + length;
    while (at < bytes.size()) {
        if (bytes.size() - at < kRecordHead)
            break;
        const char *head = bytes.data() + at;
        const quint32 a = getU32(head + 1), b = getU32(head + 5), size = getU32(head + 9);
        if (size > quint64(bytes.size() - at - kRecordHead))
            break;
        const QByteArrayView payload = bytes.sliced(at + kRecordHead, size);
        if (crc32(payload, crc32(QByteArrayView(head, 13))) != getU32(head + 13))
            break;
        if (head[0] == kEditRecord) {
            if (a > quint64(text.size()) || b > quint64(text.size()) - a)
                break;
            const std::optional<QString> inserted = decodeTextKeepingAll(payload);
            if (!inserted || text.size() - b + inserted->size() > Surface::kMaxLength)
                break;
            text.replace(a, b, *inserted);
        } else if (head[0] == kDetailsRecord) {
            RecoveryRecord details;
            if (!parseDetailLines(payload, details))
                break;
            record.path = details.path;
            record.format = details.format;
            record.stamp = details.stamp;
        } else {
            break;
        }
        at += kRecordHead + size;
    }
    record.text = text.text();
    reading.intactBytes = at;
    reading.complete = at == bytes.size();
    return reading;
}

std::optional<RecoveryRecord> decodeRecovery(QByteArrayView bytes)
{
    std::optional<RecoveryReading> reading = readRecovery(bytes);
    if (!reading || !reading->complete)
        return std::nullopt;
    return std::move(reading->record);
}

// --- files -------------------------------------------------------------------

std::optional<RecoveryReading> readRecoveryFile(const QString &file, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    // Not through a symbolic link, and without waiting on a pipe or device.
    const int fd =
        ::open(QFile::encodeName(file).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(errno == ELOOP ? QStringLiteral("it is a symbolic link") : errnoText(errno));
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(QStringLiteral("it is not a regular file"));
    }
    if (st.st_size > kLargestFile) {
        ::close(fd);
        return fail(QStringLiteral("it is too large"));
    }
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    ::close(fd);
    bytes.truncate(got);
    std::optional<RecoveryReading> reading = readRecovery(bytes);
    if (!reading)
        return fail(QStringLiteral("it is damaged or incomplete"));
    return reading;
}

bool writeRecoveryFile(const QString &file, const RecoveryRecord &record, QString *error)
{
    const QByteArray bytes = encodeRecovery(record);
    QByteArray temp = QFile::encodeName(file) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    int failure = 0;
    if (fd < 0) {
        failure = errno;
    } else {
        if (!writeAll(fd, bytes.constData(), bytes.size(), &failure) || ::fdatasync(fd) != 0) {
            if (!failure)
                failure = errno;
        }
        if (::close(fd) != 0 && !failure)
            failure = errno;
        // The new file takes the name: a symbolic link of that name is
        // replaced, not followed.
        if (!failure && ::rename(temp.constData(), QFile::encodeName(file).constData()) != 0)
            failure = errno;
        if (failure)
            ::unlink(temp.constData());
    }
    if (failure && error)
        *error = errnoText(failure);
    return !failure;
}

bool appendRecoveryFile(const QString &file, const QByteArray &records, QString *error)
{
    const int fd = ::open(QFile::encodeName(file).constData(),
                          O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = errno == ELOOP ? QStringLiteral("it is a symbolic link") : errnoText(errno);
        return false;
    }
    int failure = 0;
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (error)
            *error = QStringLiteral("it is not a regular file");
        return false;
    }
    if (!writeAll(fd, records.constData(), records.size(), &failure) || ::fdatasync(fd) != 0) {
        if (!failure)
            failure = errno;
        // Half a record would hide every record after it.
        if (::ftruncate(fd, st.st_size) != 0) {
            // The reader stops at the damage; the next copy is a full one.
        }
    }
    ::close(fd);
    if (failure && error)
        *error = errnoText(failure);
    return !failure;
}

QString defaultRecoveryFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(base + QStringLiteral("/QLN/recovery"));
}

// --- DocumentRecovery ----------------------------------------------------------

// What the worker left on disk. Written by the worker's tasks; read on the
// window thread only when the worker is idle.
struct DocumentRecovery::Disk {
    // The session file is a journal that further records may follow.
    std::atomic<bool> journalOk{false};
};

DocumentRecovery::DocumentRecovery(const QString &folder, QObject *parent)
    : QObject(parent), m_folder(folder), m_disk(std::make_shared<Disk>())
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &DocumentRecovery::writePending);
    m_worker.setMaxThreadCount(1);
    m_worker.setExpiryTimeout(-1);
}

DocumentRecovery::~DocumentRecovery()
{
    std::erase(liveRecoveries(), this);
    m_worker.waitForDone();
}

QString DocumentRecovery::sessionFile() const
{
    return m_id.isEmpty() ? QString() : m_folder + QLatin1Char('/') + m_id + kSuffix;
}

void DocumentRecovery::report(const QString &message)
{
    if (m_reported)
        return;
    m_reported = true;
    emit problem(message);
}

bool DocumentRecovery::start()
{
    if (m_enabled)
        return true;
    if (!QDir().mkpath(m_folder) || !QFileInfo(m_folder).isDir()) {
        report(QStringLiteral("Crash recovery is off: the folder %1 could not be created.")
                   .arg(m_folder));
        return false;
    }
    // The copies hold the user's text: the folder is the user's alone.
    QFile::setPermissions(m_folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    m_id = sessionId();
    m_lock = makeLock(m_folder + QLatin1Char('/') + m_id + QStringLiteral(".lock"));
    if (!m_lock->tryLock(0)) {
        m_lock.reset();
        m_id.clear();
        report(QStringLiteral("Crash recovery is off: the folder %1 cannot be written.")
                   .arg(m_folder));
        return false;
    }
    m_enabled = true;
    liveRecoveries().push_back(this);
    return true;
}

void DocumentRecovery::follow(Surface &surface)
{
    m_surface = &surface;
    connect(
        &surface, &Surface::textReplaced, this,
        [this](int pos, int removed, int, int added, bool) { onReplaced(pos, removed, added); });
    connect(&surface, &Surface::changed, this, &DocumentRecovery::noteEdit);
}

void DocumentRecovery::onReplaced(int pos, int removed, int added)
{
    // Without a full copy to follow on from, the next copy is a full one.
    if (!m_enabled || m_finished || !m_haveBase)
        return;
    QString text = m_surface->mid(pos, added);
    if (!m_pending.empty()) {
        RecoveryEdit &last = m_pending.back();
        const qsizetype lastEnd = last.pos + last.text.size();
        // Typing: each character goes on from the one before.
        if (removed == 0 && pos == lastEnd) {
            last.text += text;
            m_pendingChars += added;
            return;
        }
        // Backspace over what was just typed.
        if (added == 0 && pos >= last.pos && pos + removed == lastEnd) {
            last.text.chop(removed);
            return;
        }
    }
    m_pending.push_back(RecoveryEdit{pos, removed, std::move(text)});
    m_pendingChars += added + 1;
    // Edits as large as the document itself: a full copy costs no more, and
    // the edits need not be kept.
    if (m_pendingChars > m_surface->length()) {
        m_haveBase = false;
        m_pending.clear();
        m_pendingChars = 0;
    }
}

void DocumentRecovery::noteEdit()
{
    if (!m_enabled)
        return;
    m_discarded = false;
    schedule();
}

void DocumentRecovery::schedule()
{
    // A pause of delay() after the last edit, but never more than
    // maxDelay() after the first edit the copy does not hold.
    if (!m_firstUncopied.isValid())
        m_firstUncopied.start();
    const qint64 left = qMax<qint64>(0, m_maxDelay - m_firstUncopied.elapsed());
    m_timer.start(int(qMin<qint64>(m_delay, left)));
}

void DocumentRecovery::discard()
{
    if (!m_enabled)
        return;
    m_discarded = true;
    removeCopy();
}

void DocumentRecovery::removeCopy()
{
    m_timer.stop();
    m_firstUncopied.invalidate();
    m_again = false;
    m_writtenRevision.reset();
    m_haveBase = false;
    m_pending.clear();
    m_pendingChars = 0;
    if (!m_fileMayExist)
        return;
    m_fileMayExist = false;
    // Queued behind any write in progress, so that write cannot bring the
    // file back afterwards.
    const QString file = sessionFile();
    m_worker.start([file, disk = m_disk] {
        disk->journalOk = false;
        ::unlink(QFile::encodeName(file).constData());
    });
}

void DocumentRecovery::writeNow()
{
    m_timer.stop();
    writePending();
}

bool DocumentRecovery::upToDate() const
{
    return m_fileMayExist && m_surface && m_writtenRevision == m_surface->revision()
           && sameDetails(m_source.details(), m_writtenDetails);
}

QByteArray DocumentRecovery::pendingRecords(const RecoveryRecord &details) const
{
    QByteArray records;
    if (!sameDetails(details, m_writtenDetails))
        records += encodeRecoveryDetails(details);
    for (const RecoveryEdit &edit : m_pending)
        records += encodeRecoveryEdit(edit);
    return records;
}

void DocumentRecovery::writePending()
{
    if (!m_enabled || m_finished || !m_surface || !m_source.modified || !m_source.details)
        return;
    if (!m_source.modified()) {
        // Back to the saved text (undo): nothing to keep.
        removeCopy();
        return;
    }
    if (m_discarded)
        return;
    if (upToDate()) {
        m_firstUncopied.invalidate();
        return;
    }
    if (m_busy) {
        // One write at a time; the latest text follows when it is done.
        m_again = true;
        return;
    }
    const RecoveryRecord details = m_source.details();
    QByteArray records;
    const bool full = !m_haveBase;
    // Compacted once the records outgrow the text they change.
    bool compact = false;
    if (!full) {
        records = pendingRecords(details);
        compact = m_journalBytes + records.size() > m_surface->length();
    }
    m_pending.clear();
    m_pendingChars = 0;
    m_firstUncopied.invalidate();
    m_busy = true;
    m_fileMayExist = true;
    m_writtenRevision = m_surface->revision();
    m_writtenDetails = details;
    const QString file = sessionFile();
    if (full) {
        m_haveBase = true;
        m_journalBytes = 0;
        RecoveryRecord record = details;
        record.text = m_surface->text();
        m_worker.start([this, file, disk = m_disk, record = std::move(record)] {
            yieldToTheWindow();
            QString error;
            const bool ok = writeRecoveryFile(file, record, &error);
            disk->journalOk = ok;
            QMetaObject::invokeMethod(
                this, [this, ok, error] { writeDone(ok, true, error); }, Qt::QueuedConnection);
        });
        return;
    }
    m_journalBytes = compact ? 0 : m_journalBytes + records.size();
    m_worker.start([this, file, compact, disk = m_disk, records = std::move(records)] {
        yieldToTheWindow();
        QString error = QStringLiteral("the copy it adds to is missing");
        bool ok = disk->journalOk && appendRecoveryFile(file, records, &error);
        // The journal read back is the text as it is now: the new full copy
        // comes from it, on this thread, and the window thread never copies
        // the text for it.
        if (ok && compact) {
            std::optional<RecoveryReading> reading = readRecoveryFile(file, &error);
            ok = reading && reading->complete && writeRecoveryFile(file, reading->record, &error);
            if (reading && !reading->complete)
                error = QStringLiteral("it is damaged or incomplete");
        }
        disk->journalOk = ok;
        QMetaObject::invokeMethod(
            this, [this, ok, compact, error] { writeDone(ok, compact, error); },
            Qt::QueuedConnection);
    });
}

void DocumentRecovery::writeDone(bool ok, bool full, const QString &error)
{
    m_busy = false;
    ++m_writesDone;
    if (ok && full)
        ++m_fullCopiesDone;
    if (!ok) {
        // The next copy is a full one, at the next edit.
        m_haveBase = false;
        m_pending.clear();
        m_pendingChars = 0;
        m_writtenRevision.reset();
        // The reason first: the path is long, and the status bar short.
        report(QStringLiteral("Crash recovery could not write its copy (%1): %2")
                   .arg(error, sessionFile()));
    }
    if (m_again) {
        m_again = false;
        writePending();
    }
}

void DocumentRecovery::waitForWrites()
{
    // A write that finishes may start the next one from its report.
    do {
        m_worker.waitForDone();
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    } while (m_busy);
}

void DocumentRecovery::writeBeforeEnd()
{
    // Only the window thread knows the document; from any other thread
    // (the worker's own included) nothing can be written safely.
    if (!m_enabled || m_finished || QThread::currentThread() != thread())
        return;
    m_timer.stop();
    m_worker.waitForDone();
    if (!m_source.modified || !m_source.details || !m_surface)
        return;
    const QString file = sessionFile();
    if (!m_source.modified()) {
        if (m_fileMayExist)
            ::unlink(QFile::encodeName(file).constData());
        m_disk->journalOk = false;
        m_fileMayExist = false;
        m_haveBase = false;
        return;
    }
    if (m_discarded || (m_disk->journalOk && upToDate()))
        return;
    const RecoveryRecord details = m_source.details();
    bool done = false;
    if (m_haveBase && m_disk->journalOk) {
        const QByteArray records = pendingRecords(details);
        done = m_journalBytes + records.size() <= m_surface->length()
               && appendRecoveryFile(file, records);
        if (done)
            m_journalBytes += records.size();
    }
    if (!done) {
        RecoveryRecord record = details;
        record.text = m_surface->text();
        done = writeRecoveryFile(file, record);
        m_journalBytes = 0;
    }
    m_disk->journalOk = done;
    m_haveBase = done;
    m_pending.clear();
    m_pendingChars = 0;
    m_firstUncopied.invalidate();
    m_fileMayExist = true;
    m_writtenRevision = done ? std::optional<quint64>(m_surface->revision()) : std::nullopt;
    m_writtenDetails = details;
}

void DocumentRecovery::finish()
{
    if (!m_enabled || m_finished)
        return;
    m_timer.stop();
    m_worker.waitForDone();
    const bool keep = !m_discarded && m_source.modified && m_source.modified();
    if (keep) {
        // Ended without the question being answered (or a save failing):
        // the latest text is kept and offered at the next start.
        writeBeforeEnd();
    } else {
        ::unlink(QFile::encodeName(sessionFile()).constData());
    }
    m_finished = true;
    std::erase(liveRecoveries(), this);
    m_lock->unlock();
    m_enabled = false;
}

void DocumentRecovery::installEndHandlers()
{
    static bool installed = false;
    if (installed || !QCoreApplication::instance())
        return;
    installed = true;
    // A file size limit fails the write (EFBIG) instead of ending the
    // program.
    ::signal(SIGXFSZ, SIG_IGN);
    processguard::install();
    processguard::setBeforeEnd(writeEveryCopy);
    g_previousHandler = qInstallMessageHandler(onMessage);
    // Qt ends the program with exit() when the display's connection breaks.
    std::atexit(writeEveryCopy);
}

std::vector<DocumentRecovery::Orphan> DocumentRecovery::claimOrphans(QStringList *skipped)
{
    std::vector<Orphan> found;
    if (!m_enabled)
        return found;
    QDir dir(m_folder);
    const QFileInfoList files =
        dir.entryInfoList({QLatin1Char('*') + kSuffix},
                          QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                          QDir::Time | QDir::Reversed);
    for (const QFileInfo &info : files) {
        const QString id = info.fileName().chopped(kSuffix.size());
        if (id == m_id)
            continue;
        // A symbolic link could lead anywhere, and a pipe or device would
        // block: neither is read, claimed or removed.
        if (!isRegular(info.absoluteFilePath())) {
            if (skipped)
                *skipped << info.absoluteFilePath();
            continue;
        }
        std::shared_ptr<QLockFile> lock =
            makeLock(m_folder + QLatin1Char('/') + id + QStringLiteral(".lock"));
        // A lock that cannot be taken belongs to an editor that is running.
        if (!lock->tryLock(0))
            continue;
        // Half-written copies of that editor are of no use.
        for (const QString &temp :
             dir.entryList({info.fileName() + QStringLiteral(".*")}, QDir::Files))
            dir.remove(temp);
        found.push_back(Orphan{info.absoluteFilePath(), lock});
    }
    // Locks of editors that ended before writing any copy.
    for (const QString &name : dir.entryList({QStringLiteral("*.lock")}, QDir::Files)) {
        const QString id = name.chopped(5);
        if (id == m_id || QFileInfo::exists(dir.filePath(id + kSuffix)))
            continue;
        std::unique_ptr<QLockFile> lock = makeLock(dir.filePath(name));
        if (lock->tryLock(0))
            lock->unlock();
    }
    return found;
}

void DocumentRecovery::adopt(Orphan &orphan, bool removeFile)
{
    if (!m_enabled) {
        release(orphan, false);
        return;
    }
    // A copy of its own, of the text as it was opened; the old file goes
    // only once that copy is on disk.
    waitForWrites();
    m_discarded = false;
    m_haveBase = false;
    writeNow();
    waitForWrites();
    release(orphan, removeFile && m_fileMayExist && m_writtenRevision.has_value());
}

void DocumentRecovery::release(Orphan &orphan, bool removeFile)
{
    if (removeFile)
        QFile::remove(orphan.file);
    if (orphan.lock)
        orphan.lock->unlock();
    orphan.lock.reset();
}

void offerRecovery(DocumentRecovery &recovery, Prompter &prompter,
                   const std::function<void(const RecoveryRecord &)> &open)
{
    QStringList skipped;
    std::vector<DocumentRecovery::Orphan> orphans = recovery.claimOrphans(&skipped);
    QStringList unreadable;
    bool opened = false;
    for (DocumentRecovery::Orphan &orphan : orphans) {
        const std::optional<RecoveryReading> reading = readRecoveryFile(orphan.file);
        if (!reading) {
            unreadable << QDir::toNativeSeparators(orphan.file);
            recovery.release(orphan, false);
            continue;
        }
        if (opened) {
            recovery.release(orphan, false);
            continue;
        }
        const RecoveryRecord &record = reading->record;
        const QString name = record.path.isEmpty() ? QStringLiteral("a new document") : record.path;
        QString question;
        if (reading->complete)
            question =
                QStringLiteral("Unsaved changes to %1 were found from a session that did not "
                               "end normally. Recover them?")
                    .arg(name);
        else
            question =
                QStringLiteral("Unsaved changes to %1 were found from a session that did not "
                               "end normally, but their recovery file is damaged: only the "
                               "changes made before the damage can be recovered. The file is "
                               "left where it is:\r\n%2\r\n\r\nRecover what is intact?")
                    .arg(name, QDir::toNativeSeparators(orphan.file));
        const MsgAnswer answer = prompter.message(question, QStringLiteral("Recover Document"),
                                                  MsgIcon::Question, MsgButtons::YesNo);
        // A damaged file stays where it is, whatever the answer.
        if (answer == MsgAnswer::Yes) {
            open(record);
            opened = true;
            recovery.adopt(orphan, reading->complete);
        } else {
            recovery.release(orphan, reading->complete);
        }
    }
    // Names the files left where they are, one a line.
    auto tell = [&prompter](const QString &why, const QStringList &files) {
        if (!files.isEmpty())
            prompter.message(why + files.join(QStringLiteral("\r\n")),
                             QStringLiteral("Recover Document"), MsgIcon::Exclamation,
                             MsgButtons::Ok);
    };
    tell(QStringLiteral("Unsaved changes from a session that did not end normally could not be "
                        "read, because their recovery file is damaged or incomplete. The file "
                        "was left where it is:\r\n"),
         unreadable);
    tell(QStringLiteral("These entries of the recovery folder are not regular files (a symbolic "
                        "link, a folder, a pipe or a device), so they were neither read nor "
                        "written. They were left where they are:\r\n"),
         skipped);
}

// --- the window destroyed from outside --------------------------------------------

WindowDestroyedWatch::WindowDestroyedWatch(std::function<quintptr()> windowId,
                                           std::function<void()> gone)
    : m_windowId(std::move(windowId)), m_gone(std::move(gone))
{
}

bool WindowDestroyedWatch::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    // X11 through xcb: a DestroyNotify event (17) is laid out as response
    // type, a pad byte, a 16-bit sequence number, then the 32-bit ids of
    // the window the event was reported on and of the window destroyed.
    constexpr quint8 kDestroyNotify = 17;
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    const auto *bytes = static_cast<const unsigned char *>(message);
    if ((bytes[0] & 0x7F) != kDestroyNotify)
        return false;
    quint32 window = 0;
    std::memcpy(&window, bytes + 8, sizeof window);
    const quintptr watched = m_windowId();
    // The program destroying its own window (closing it, or making it anew)
    // changes or drops the id first, so only another program's destroying
    // it matches here.
    if (watched != 0 && window == watched)
        m_gone();
    return false;
}

} // namespace qln
