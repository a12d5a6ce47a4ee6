#include "shell/recovery.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QUrl>

#include <sys/resource.h>
#include <unistd.h>

namespace qln {

namespace {

const QByteArray kMagic = QByteArrayLiteral("QLN recovery 1\n");
const QString kSuffix = QStringLiteral(".qrec");
// Anything larger is not a file this program wrote.
constexpr qint64 kLargestFile = qint64(1) << 30;

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

} // namespace

QByteArray encodeRecovery(const RecoveryRecord &record)
{
    const QByteArray body = record.text.toUtf8();
    QByteArray out = kMagic;
    out += "path " + QUrl::toPercentEncoding(record.path, "/") + '\n';
    out += "format " + formatText(record.format) + '\n';
    out += "stamp " + record.stamp.toText().toLatin1() + '\n';
    out += "length " + QByteArray::number(body.size()) + '\n';
    out += "sha1 " + QCryptographicHash::hash(body, QCryptographicHash::Sha1).toHex() + '\n';
    out += '\n';
    out += body;
    return out;
}

std::optional<RecoveryRecord> decodeRecovery(const QByteArray &bytes)
{
    if (!bytes.startsWith(kMagic))
        return std::nullopt;
    const qsizetype headerEnd = bytes.indexOf("\n\n", kMagic.size() - 1);
    if (headerEnd < 0)
        return std::nullopt;
    const QByteArray header = bytes.mid(kMagic.size(), headerEnd + 1 - kMagic.size());
    const QByteArrayView body = QByteArrayView(bytes).sliced(headerEnd + 2);

    RecoveryRecord record;
    std::optional<QByteArray> path, sha1;
    bool haveFormat = false;
    std::optional<qint64> length;
    for (const QByteArray &line : header.split('\n')) {
        if (line.isEmpty())
            continue;
        const qsizetype space = line.indexOf(' ');
        if (space < 0)
            return std::nullopt;
        const QByteArray key = line.left(space), value = line.mid(space + 1);
        if (key == "path") {
            path = QByteArray::fromPercentEncoding(value);
        } else if (key == "format") {
            const auto format = parseFormat(value);
            if (!format)
                return std::nullopt;
            record.format = *format;
            haveFormat = true;
        } else if (key == "stamp") {
            record.stamp = FileStamp::fromText(QString::fromLatin1(value));
        } else if (key == "length") {
            bool ok = false;
            length = value.toLongLong(&ok);
            if (!ok)
                return std::nullopt;
        } else if (key == "sha1") {
            sha1 = value;
        }
        // Other keys belong to a later version and are skipped.
    }
    if (!path || !haveFormat || !length || !sha1)
        return std::nullopt;
    // A write cut short (full disk, power loss) leaves a shorter body.
    if (body.size() != *length
        || QCryptographicHash::hash(body, QCryptographicHash::Sha1).toHex() != *sha1
        || body.contains('\0'))
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    record.text = utf8.decode(body);
    if (utf8.hasError())
        return std::nullopt;
    QStringDecoder pathDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    record.path = pathDecoder.decode(*path);
    if (pathDecoder.hasError())
        return std::nullopt;
    return record;
}

std::optional<RecoveryRecord> readRecoveryFile(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kLargestFile)
        return std::nullopt;
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return std::nullopt;
    return decodeRecovery(bytes);
}

bool writeRecoveryFile(const QString &file, const RecoveryRecord &record, QString *error)
{
    QSaveFile out(file);
    out.setDirectWriteFallback(false);
    const QByteArray bytes = encodeRecovery(record);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        if (error)
            *error = out.errorString();
        out.cancelWriting();
        return false;
    }
    return true;
}

QString defaultRecoveryFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(base + QStringLiteral("/QLN/recovery"));
}

// --- DocumentRecovery ----------------------------------------------------------

DocumentRecovery::DocumentRecovery(const QString &folder, QObject *parent)
    : QObject(parent), m_folder(folder)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(2000);
    connect(&m_timer, &QTimer::timeout, this, &DocumentRecovery::snapshotAndWrite);
    m_worker.setMaxThreadCount(1);
    m_worker.setExpiryTimeout(-1);
}

DocumentRecovery::~DocumentRecovery()
{
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
    QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                        | QFileDevice::ExeOwner);
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
    return true;
}

void DocumentRecovery::noteEdit()
{
    if (!m_enabled)
        return;
    m_discarded = false;
    m_timer.start();
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
    m_again = false;
    m_writtenRevision.reset();
    if (!m_fileMayExist)
        return;
    m_fileMayExist = false;
    // Queued behind any write in progress, so that write cannot bring the
    // file back afterwards.
    const QString file = sessionFile();
    m_worker.start([file] { QFile::remove(file); });
}

void DocumentRecovery::writeNow()
{
    m_timer.stop();
    snapshotAndWrite();
}

void DocumentRecovery::snapshotAndWrite()
{
    if (!m_enabled || m_finished || !m_source.snapshot)
        return;
    if (!m_source.modified()) {
        // Back to the saved text (undo): nothing to keep.
        removeCopy();
        return;
    }
    if (m_discarded)
        return;
    if (m_busy) {
        // One write at a time; the latest text follows when it is done.
        m_again = true;
        return;
    }
    const quint64 revision = m_source.revision();
    if (m_fileMayExist && m_writtenRevision == revision)
        return;
    m_busy = true;
    m_fileMayExist = true;
    m_writtenRevision = revision;
    // A copy of its own, made now, in the pause after typing: were the text
    // still shared with the document, the next key would pay for copying
    // it, while the worker competes for the processor.
    RecoveryRecord record = m_source.snapshot();
    record.text.detach();
    const QString file = sessionFile();
    m_worker.start([this, file, record = std::move(record)] {
        yieldToTheWindow();
        QString error;
        const bool ok = writeRecoveryFile(file, record, &error);
        QMetaObject::invokeMethod(
            this, [this, ok, error] { writeDone(ok, error); }, Qt::QueuedConnection);
    });
}

void DocumentRecovery::writeDone(bool ok, const QString &error)
{
    m_busy = false;
    ++m_writesDone;
    if (!ok) {
        // Tried again at the next edit.
        m_writtenRevision.reset();
        report(QStringLiteral("Crash recovery could not write %1: %2").arg(sessionFile(), error));
    }
    if (m_again) {
        m_again = false;
        snapshotAndWrite();
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

void DocumentRecovery::finish()
{
    if (!m_enabled || m_finished)
        return;
    m_timer.stop();
    m_worker.waitForDone();
    m_finished = true;
    const bool keep = !m_discarded && m_source.modified && m_source.modified();
    if (keep) {
        // Ended without the question being answered (or a save failing):
        // the latest text is kept and offered at the next start.
        if (!(m_fileMayExist && m_writtenRevision == m_source.revision()))
            writeRecoveryFile(sessionFile(), m_source.snapshot());
    } else {
        QFile::remove(sessionFile());
    }
    m_lock->unlock();
    m_enabled = false;
}

std::vector<DocumentRecovery::Orphan> DocumentRecovery::claimOrphans()
{
    std::vector<Orphan> found;
    if (!m_enabled)
        return found;
    QDir dir(m_folder);
    const QFileInfoList files =
        dir.entryInfoList({QLatin1Char('*') + kSuffix}, QDir::Files, QDir::Time | QDir::Reversed);
    for (const QFileInfo &info : files) {
        const QString id = info.fileName().chopped(kSuffix.size());
        if (id == m_id)
            continue;
        std::shared_ptr<QLockFile> lock = makeLock(m_folder + QLatin1Char('/') + id + QStringLiteral(".lock"));
        // A lock that cannot be taken belongs to an editor that is running.
        if (!lock->tryLock(0))
            continue;
        // Half-written copies of that editor are of no use.
        for (const QString &temp : dir.entryList({info.fileName() + QStringLiteral(".*")}, QDir::Files))
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

void DocumentRecovery::adopt(Orphan &orphan)
{
    if (!m_enabled) {
        release(orphan, false);
        return;
    }
    m_worker.waitForDone();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    const QString own = sessionFile();
    QFile::remove(own);
    if (QFile::rename(orphan.file, own)) {
        m_fileMayExist = true;
        m_discarded = false;
        m_writtenRevision = m_source.revision ? std::optional<quint64>(m_source.revision())
                                              : std::nullopt;
        release(orphan, false);
        return;
    }
    // Could not be moved: write this session's copy, and let the old file go
    // only once that copy is on disk.
    m_discarded = false;
    writeNow();
    waitForWrites();
    release(orphan, m_fileMayExist && m_writtenRevision.has_value());
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
    std::vector<DocumentRecovery::Orphan> orphans = recovery.claimOrphans();
    QStringList unreadable;
    bool opened = false;
    for (DocumentRecovery::Orphan &orphan : orphans) {
        const std::optional<RecoveryRecord> record = readRecoveryFile(orphan.file);
        if (!record) {
            unreadable << QDir::toNativeSeparators(orphan.file);
            recovery.release(orphan, false);
            continue;
        }
        if (opened) {
            recovery.release(orphan, false);
            continue;
        }
        const QString name = record->path.isEmpty() ? QStringLiteral("a new document")
                                                    : record->path;
        const MsgAnswer answer = prompter.message(
            QStringLiteral("Unsaved changes to %1 were found from a session that did not end "
                           "normally. Recover them?")
                .arg(name),
            QStringLiteral("Recover Document"), MsgIcon::Question, MsgButtons::YesNo);
        if (answer == MsgAnswer::Yes) {
            open(*record);
            opened = true;
            recovery.adopt(orphan);
        } else {
            recovery.release(orphan, true);
        }
    }
    if (!unreadable.isEmpty())
        prompter.message(
            QStringLiteral("Unsaved changes from a session that did not end normally could not be "
                           "read, because their recovery file is damaged or incomplete. The file "
                           "was left where it is:\r\n")
                + unreadable.join(QStringLiteral("\r\n")),
            QStringLiteral("Recover Document"), MsgIcon::Exclamation, MsgButtons::Ok);
}

} // namespace qln
