#include "shell/diskchange.h"

#include <QFile>
#include <QStringList>

#include <sys/stat.h>

namespace qln {

FileStamp FileStamp::of(const QString &path)
{
    FileStamp stamp;
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0
        || !S_ISREG(st.st_mode))
        return stamp;
    stamp.exists = true;
    stamp.size = qint64(st.st_size);
    stamp.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.inode = quint64(st.st_ino);
    stamp.device = quint64(st.st_dev);
    return stamp;
}

QString FileStamp::toText() const
{
    if (!exists)
        return QStringLiteral("none");
    return QStringLiteral("%1 %2 %3 %4").arg(size).arg(modifiedNs).arg(inode).arg(device);
}

FileStamp FileStamp::fromText(const QString &text)
{
    FileStamp stamp;
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 4)
        return stamp;
    bool ok[4] = {};
    stamp.size = parts[0].toLongLong(&ok[0]);
    stamp.modifiedNs = parts[1].toLongLong(&ok[1]);
    stamp.inode = parts[2].toULongLong(&ok[2]);
    stamp.device = parts[3].toULongLong(&ok[3]);
    stamp.exists = ok[0] && ok[1] && ok[2] && ok[3];
    return stamp.exists ? stamp : FileStamp{};
}

void DiskChangeCheck::remember(const QString &path)
{
    remember(path, FileStamp::of(path));
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

bool DiskChangeCheck::confirmOverwrite(const QString &path, Prompter &prompter) const
{
    // Only the file the document came from is compared; a file the user
    // has never opened here was already confirmed by Save As.
    if (path != m_path || !m_known.exists)
        return true;
    const FileStamp now = FileStamp::of(path);
    if (!now.exists || now == m_known)
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
    const FileStamp now = FileStamp::of(m_path);
    if (now == m_seen)
        return Outcome::Nothing;
    // Recorded before asking: the question's own window activates the main
    // window again when it closes, and that must not ask a second time.
    m_seen = now;

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
