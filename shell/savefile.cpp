#include "shell/savefile.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qln {

bool mustSaveAsUtf8(const QString &crlfText, const TextFileFormat &format)
{
    return format.encoding == TextFileFormat::Latin1 && !latin1CanHold(crlfText);
}

bool confirmSaveAsUtf8(const QString &path, Prompter &prompter)
{
    return prompter.message(
               QStringLiteral("Save as UTF-8? Every non-ASCII character will be written in UTF-8."),
               QStringLiteral("Save [") + path + QLatin1Char(']'), MsgIcon::Question,
               MsgButtons::YesNo)
           == MsgAnswer::Yes;
}

bool folderIsWritable(const QString &folder)
{
    const QByteArray name = QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder);
    return ::access(name.constData(), W_OK | X_OK) == 0;
}

namespace {

// Gives the file at path the owner and group it had before it was replaced.
// Only root may give a file away, and a user may only pick a group of their
// own; where the system refuses, the file stays the saving user's.
void restoreOwner(const QString &path, const struct stat &before)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat now {};
    if (::fstat(fd, &now) == 0 && (now.st_uid != before.st_uid || now.st_gid != before.st_gid)) {
        if (::fchown(fd, before.st_uid, before.st_gid) != 0)
            (void)!::fchown(fd, uid_t(-1), before.st_gid);
        // Changing the owner clears set-id bits; give back the old mode.
        ::fchmod(fd, before.st_mode & 07777);
    }
    ::close(fd);
}

bool writeInPlace(const QString &path, const QString &crlfText, const TextFileFormat &format)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = encodeText(crlfText, format);
    return file.write(bytes) == bytes.size() && file.flush();
}

} // namespace

SaveFileResult saveDocumentFile(const QString &path, const QString &crlfText,
                                const TextFileFormat &format, Prompter &prompter,
                                bool folderWritable)
{
    const QFileInfo info(path);
    const QByteArray name = QFile::encodeName(path);
    struct stat before {};
    const bool existed = ::stat(name.constData(), &before) == 0;

    if (!folderWritable && existed && info.isWritable()) {
        // No replacement can be made here, but the file itself may be written.
        const MsgAnswer answer = prompter.message(
            QStringLiteral("The folder of this file cannot be written to, so the file cannot be "
                           "replaced safely.\r\nWould you like to write over the file itself? If "
                           "writing fails part way, the file may be left incomplete."),
            QStringLiteral("Save [") + path + QLatin1Char(']'), MsgIcon::Question,
            MsgButtons::YesNo);
        if (answer != MsgAnswer::Yes)
            return SaveFileResult::Declined;
        return writeInPlace(path, crlfText, format) ? SaveFileResult::Saved
                                                    : SaveFileResult::Failed;
    }

    if (!writeTextFile(path, crlfText, format))
        return SaveFileResult::Failed;
    if (existed)
        restoreOwner(path, before);
    return SaveFileResult::Saved;
}

} // namespace qln
