#include "base/pathutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace qln {

QString SplitPath(const QString &path, int part)
{
    if (path.isEmpty())
        return QString();
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    switch (part) {
    case 2: {
        QString folder = slash < 0 ? QString() : path.left(slash + 1);
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        return folder;
    }
    case 3: return name;
    case 4: return dot < 0 ? QString() : name.mid(dot);
    case 5: return dot < 0 ? name : name.left(dot);
    default: return QString();
    }
}

QString ShortPath(const QString &path)
{
    return path;
}

QString ShortFolderPath(const QString &path)
{
    if (path.isEmpty())
        return QString();
    return ShortPath(SplitPath(path, 2)) + SplitPath(path, 3);
}

bool wildcardMatch(QStringView name, QStringView pattern)
{
    qsizetype n = 0, p = 0, starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size()
            && (pattern[p] == QLatin1Char('?')
                || (pattern[p] != QLatin1Char('*') && pattern[p] == name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starP = p++;
            starN = n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

bool FileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QString name = SplitPath(path, 3);
    if (!name.contains(QLatin1Char('*')) && !name.contains(QLatin1Char('?')))
        return QFileInfo::exists(path);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QStringLiteral(".") : path.left(slash + 1);
    const QDir dir(folder);
    if (!dir.exists())
        return false;
    const QStringList all =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : all)
        if (wildcardMatch(entry, name))
            return true;
    return false;
}

bool namesNoFile(const QString &path)
{
    return path.isEmpty() || (path.contains(QLatin1Char('*')) && !QFileInfo::exists(path));
}

QString absolutePath(const QString &path)
{
    if (path.isEmpty())
        return path;
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

QString specialFileKind(unsigned mode)
{
    if (S_ISREG(mode))
        return QString();
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe (FIFO)");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    return QStringLiteral("a special file");
}

QString specialFileKind(const QString &path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QString();
    return specialFileKind(unsigned(st.st_mode));
}

bool isReadOnlyFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    // Root may write anything, so the permission bits decide as well: a
    // file nobody has write permission for counts as read-only for root too.
    // (WriteUser is not a mode bit: Qt answers it from access(), which
    // root always passes.)
    constexpr QFile::Permissions anyWrite =
        QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return !info.isWritable() || !(info.permissions() & anyWrite);
}

QString programFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // Without an application object (a tool or an early start-up path) the
    // kernel still knows the executable.
    return QFileInfo(QStringLiteral("/proc/self/exe"))
        .canonicalFilePath()
        .section(QLatin1Char('/'), 0, -2);
}

QString manifestPath()
{
    QString exe = QCoreApplication::instance()
                      ? QCoreApplication::applicationFilePath()
                      : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return programFolder() + QLatin1Char('/') + QFileInfo(exe).completeBaseName()
           + QStringLiteral(".exe.manifest");
}

} // namespace qln
