#include "tools/toollocations.h"

#include "tools/javaxmodel.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace qln {

namespace {

// "path/File.java:12: error: ..." — the path may hold blanks and colons.
const QRegularExpression &messagePattern()
{
    static const QRegularExpression re(QStringLiteral("^(.*\\.java):(\\d+): (error|warning):"));
    return re;
}

// "\tat java.base/pkg.Class$Inner.method(File.java:12)": a module or class
// loader may stand before the class, ending with "/".
const QRegularExpression &framePattern()
{
    static const QRegularExpression re(QStringLiteral(
        "^(\\s*)(at\\s+(?:\\S*/)?([\\w$.]+)\\.[\\w$<>]+\\(([^():/]+\\.java):(\\d+)\\))\\s*$"));
    return re;
}

bool isFile(const QString &path)
{
    return QFileInfo(path).isFile();
}

QString inFolder(const QString &folder, const QString &relative)
{
    return QDir::cleanPath(QDir(folder).absoluteFilePath(relative));
}

} // namespace

std::optional<ToolLocation> parseToolLocation(QStringView line)
{
    // Most lines of a long output name nothing: a cheap test first.
    if (!line.contains(QLatin1String(".java:")))
        return std::nullopt;
    ToolLocation loc;
    QRegularExpressionMatch m = messagePattern().match(line);
    if (m.hasMatch()) {
        loc.kind = m.capturedView(3) == QLatin1String("error") ? ToolLocation::Error : ToolLocation::Warning;
        loc.file = m.captured(1);
        loc.line = m.capturedView(2).toInt();
        loc.linkStart = 0;
        loc.linkLength = int(line.size());
    } else {
        m = framePattern().match(line);
        if (!m.hasMatch())
            return std::nullopt;
        loc.kind = ToolLocation::Frame;
        loc.className = m.captured(3);
        loc.file = m.captured(4);
        loc.line = m.capturedView(5).toInt();
        loc.linkStart = int(m.capturedStart(2));
        loc.linkLength = int(m.capturedLength(2));
    }
    if (loc.line <= 0)
        return std::nullopt;
    return loc;
}

QStringList searchFoldersOf(const JavaXState &state, const QString &workingFolder)
{
    QStringList sourcepath, classpath;
    for (const OptionSlot &s : state.options) {
        if (!s.ticked || s.argument.trimmed().isEmpty())
            continue;
        const QString &sw = s.def.switchText;
        QStringList *into = nullptr;
        if (sw == QLatin1String("-sourcepath"))
            into = &sourcepath;
        else if (sw == QLatin1String("-classpath") || sw == QLatin1String("-cp"))
            into = &classpath;
        if (!into)
            continue;
        static const QRegularExpression separators(QStringLiteral("[:;]"));
        for (const QString &entry : s.argument.trimmed().split(separators, Qt::SkipEmptyParts)) {
            const QString folder = inFolder(workingFolder.isEmpty() ? QDir::currentPath() : workingFolder, entry);
            if (QFileInfo(folder).isDir())
                *into << folder;
        }
    }
    return sourcepath + classpath;
}

QString resolveLocation(const ToolLocation &location, const LocationContext &context)
{
    if (location.file.isEmpty())
        return QString();
    if (location.kind != ToolLocation::Frame) {
        if (QDir::isAbsolutePath(location.file))
            return isFile(location.file) ? QDir::cleanPath(location.file) : QString();
        for (const QString &folder : {context.workingFolder, context.documentFolder}) {
            if (folder.isEmpty())
                continue;
            const QString path = inFolder(folder, location.file);
            if (isFile(path))
                return path;
        }
        return QString();
    }
    // A frame names the file only; its class's package says which folders
    // below a source root hold it.
    const qsizetype dot = location.className.lastIndexOf(QLatin1Char('.'));
    const QString packageFolder =
        dot < 0 ? QString() : location.className.left(dot).replace(QLatin1Char('.'), QLatin1Char('/'));
    QStringList roots{context.documentFolder, context.workingFolder};
    roots << context.searchFolders;
    for (const QString &root : roots) {
        if (root.isEmpty())
            continue;
        for (const QString &relative :
             {location.file, packageFolder.isEmpty() ? QString() : packageFolder + QLatin1Char('/') + location.file}) {
            if (relative.isEmpty())
                continue;
            const QString path = inFolder(root, relative);
            if (isFile(path))
                return path;
        }
    }
    return QString();
}

QString locationStatus(int index, int count)
{
    return QStringLiteral("Error %1 of %2").arg(index + 1).arg(count);
}

void ToolLocations::begin(const LocationContext &context)
{
    m_list.clear();
    m_context = context;
    m_current = -1;
    m_resolved.clear();
}

void ToolLocations::add(ToolLocation location)
{
    // The same file named again shares its text with the last one.
    if (!m_list.empty() && m_list.back().file == location.file) {
        location.file = m_list.back().file;
        location.className = m_list.back().className == location.className ? m_list.back().className
                                                                            : location.className;
    }
    m_list.push_back(std::move(location));
    if (int(m_list.size()) > kMaxLocations) {
        m_list.pop_front();
        if (m_current >= 0)
            --m_current;
    }
}

int ToolLocations::indexOf(const ToolLocation &location) const
{
    for (size_t i = 0; i < m_list.size(); ++i)
        if (m_list[i].sameSpot(location))
            return int(i);
    return -1;
}

QString ToolLocations::resolve(int i)
{
    if (i < 0 || i >= count())
        return QString();
    const ToolLocation &loc = m_list[size_t(i)];
    const QString key = loc.kind == ToolLocation::Frame ? loc.className + QLatin1Char('/') + loc.file
                                                        : QLatin1Char(':') + loc.file;
    auto it = m_resolved.constFind(key);
    if (it != m_resolved.constEnd())
        return *it;
    const QString path = resolveLocation(loc, m_context);
    m_resolved.insert(key, path);
    return path;
}

int ToolLocations::step(int direction)
{
    const int n = count();
    if (n == 0)
        return -1;
    const int d = direction < 0 ? -1 : 1;
    int i = m_current;
    if (i < 0 || i >= n)
        i = d > 0 ? -1 : n;
    for (int k = 0; k < n; ++k) {
        i = ((i + d) % n + n) % n;
        if (!resolve(i).isEmpty()) {
            m_current = i;
            return i;
        }
    }
    return -1;
}

} // namespace qln
