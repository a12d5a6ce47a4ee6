#include "tools/toollocations.h"

#include "tools/javaxmodel.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <iterator>

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
        loc.kind = m.capturedView(3) == QLatin1String("error") ? ToolLocation::Error
                                                               : ToolLocation::Warning;
        loc.file = m.captured(1);
        loc.line = m.capturedView(2).toInt();
        loc.message = line.sliced(m.capturedEnd(0)).trimmed().toString();
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
            const QString folder =
                inFolder(workingFolder.isEmpty() ? QDir::currentPath() : workingFolder, entry);
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
        dot < 0 ? QString()
                : location.className.left(dot).replace(QLatin1Char('.'), QLatin1Char('/'));
    QStringList roots{context.documentFolder, context.workingFolder};
    roots << context.searchFolders;
    for (const QString &root : roots) {
        if (root.isEmpty())
            continue;
        for (const QString &relative :
             {location.file, packageFolder.isEmpty()
                                 ? QString()
                                 : packageFolder + QLatin1Char('/') + location.file}) {
            if (relative.isEmpty())
                continue;
            const QString path = inFolder(root, relative);
            if (isFile(path))
                return path;
        }
    }
    return QString();
}

QString locationStatus(const ToolLocations &list, int index)
{
    const ToolLocation::Kind kind = list.at(index).kind;
    const bool warning = kind == ToolLocation::Warning;
    return (warning ? QStringLiteral("Warning %1 of %2") : QStringLiteral("Error %1 of %2"))
        .arg(list.ordinalOf(index) + 1)
        .arg(list.countOf(kind));
}

void ToolLocations::begin(const LocationContext &context)
{
    m_list.clear();
    m_context = context;
    m_current = -1;
    m_linesAfterMessage = -1;
    m_detailsOpen = false;
    m_resolved.clear();
    std::fill(std::begin(m_counts), std::end(m_counts), 0);
    std::fill(std::begin(m_dropped), std::end(m_dropped), 0);
}

int ToolLocations::ordinalOf(int i) const
{
    const ToolLocation &loc = at(i);
    return loc.ordinal - m_dropped[loc.kind];
}

void ToolLocations::addOtherLine(QStringView line)
{
    if (m_detailsOpen) {
        // "  symbol:   variable y" and the like, below the caret line.
        m_detailsOpen = line.startsWith(QLatin1String("  ")) && line.contains(QLatin1Char(':'))
                        && !m_list.empty();
        if (m_detailsOpen) {
            ToolLocation &last = m_list.back();
            last.message += QStringLiteral("; ") + line.toString().simplified();
        }
        return;
    }
    if (m_linesAfterMessage < 0 || ++m_linesAfterMessage < 2)
        return; // the message's source line comes first
    m_linesAfterMessage = -1;
    const QStringView code = line.trimmed();
    if (code == QLatin1String("^") && !m_list.empty()) {
        m_list.back().column = int(line.indexOf(QLatin1Char('^')));
        m_detailsOpen = true;
    }
}

void ToolLocations::add(ToolLocation location)
{
    // The same file named again shares its text with the last one.
    if (!m_list.empty() && m_list.back().file == location.file) {
        location.file = m_list.back().file;
        location.className = m_list.back().className == location.className ? m_list.back().className
                                                                           : location.className;
    }
    m_linesAfterMessage = location.kind == ToolLocation::Frame ? -1 : 0;
    m_detailsOpen = false;
    // Numbered from the start of the run; those dropped from the front are
    // subtracted when asked.
    location.ordinal = m_counts[location.kind] + m_dropped[location.kind];
    ++m_counts[location.kind];
    m_list.push_back(std::move(location));
    if (int(m_list.size()) > kMaxLocations) {
        const ToolLocation::Kind gone = m_list.front().kind;
        --m_counts[gone];
        ++m_dropped[gone];
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
    const QString key = loc.kind == ToolLocation::Frame
                            ? loc.className + QLatin1Char('/') + loc.file
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
