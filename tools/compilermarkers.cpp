#include "tools/compilermarkers.h"

#include "surface/surface.h"

#include <QFileInfo>
#include <QHash>
#include <algorithm>

namespace qln {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$');
}

bool isOperatorChar(QChar c)
{
    return QStringView(u"=<>!&|+-*/%^~?:").contains(c);
}

// The end of a literal opened by the quote at `from`: after its closing
// quote (a backslash escapes the next character), or the line's end.
int literalEnd(const QString &text, int from)
{
    const QChar quote = text[from];
    for (int i = from + 1; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\'))
            ++i;
        else if (text[i] == quote)
            return i + 1;
    }
    return int(text.size());
}

} // namespace

CompilerMarkers::CompilerMarkers(Surface &surface) : m_surface(surface) {}

std::pair<int, int> CompilerMarkers::tokenRange(const Surface &surface, int line, int column)
{
    line = std::clamp(line, 0, surface.lineCount() - 1);
    const int start = surface.lineIndex(line);
    const QString text = surface.lineText(line);
    const int length = int(text.size());
    if (column < 0) {
        // The line's code, without the blanks around it.
        int from = 0, to = length;
        while (from < to && text[from].isSpace())
            ++from;
        while (to > from && text[to - 1].isSpace())
            --to;
        return {start + from, start + to};
    }
    int at = std::min(column, length);
    if (at == length) // after the last token (a missing ";"): the character before
        return at > 0 ? std::pair{start + at - 1, start + at} : std::pair{start, start};
    const QChar c = text[at];
    int end = at + 1;
    if (c == QLatin1Char('.') && end < length && isWordChar(text[end]))
        ++end; // a member not found: the compiler points at its dot
    if (isWordChar(text[end - 1])) {
        while (end < length && isWordChar(text[end]))
            ++end;
    } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
        end = literalEnd(text, at);
    } else if (isOperatorChar(c)) {
        while (end < length && isOperatorChar(text[end]))
            ++end;
    }
    return {start + at, start + end};
}

MarkStyle CompilerMarkers::styleFor(ToolLocation::Kind kind, const QString &message)
{
    const bool warning = kind == ToolLocation::Warning;
    MarkStyle style;
    style.underline = MarkStyle::Underline::Wave;
    style.underlineColor = warning ? QColor(0xe6, 0x9a, 0x00) : QColor(0xe0, 0x28, 0x28);
    style.sign = warning ? MarkStyle::Sign::Warning : MarkStyle::Sign::Error;
    style.note = (warning ? QStringLiteral("warning: ") : QStringLiteral("error: ")) + message;
    style.layer = 1;
    return style;
}

int CompilerMarkers::place(ToolLocations &locations, const QString &documentPath)
{
    clear();
    const QString wanted = QFileInfo(documentPath).canonicalFilePath();
    if (wanted.isEmpty() || m_surface.lineCount() == 0)
        return 0;
    // Thousands of messages name a handful of files: each is looked up once.
    QHash<QString, bool> isDocument;
    for (int i = 0; i < locations.count(); ++i) {
        const ToolLocation &loc = locations.at(i);
        if (loc.kind == ToolLocation::Frame)
            continue;
        const QString path = locations.resolve(i);
        auto it = isDocument.constFind(path);
        if (it == isDocument.constEnd())
            it = isDocument.insert(path, !path.isEmpty()
                                             && QFileInfo(path).canonicalFilePath() == wanted);
        if (!*it || loc.line > m_surface.lineCount())
            continue;
        const auto [from, to] = tokenRange(m_surface, loc.line - 1, loc.column);
        m_ids.push_back(m_surface.marks().add(from, to - from, styleFor(loc.kind, loc.message)));
    }
    return int(m_ids.size());
}

void CompilerMarkers::clear()
{
    if (m_ids.empty())
        return;
    m_surface.marks().remove(std::move(m_ids));
    m_ids.clear();
}

int CompilerMarkers::count() const
{
    return int(std::count_if(m_ids.begin(), m_ids.end(),
                             [this](MarkId id) { return m_surface.marks().find(id) != nullptr; }));
}

bool CompilerMarkers::isOurs(MarkId id) const
{
    return std::binary_search(m_ids.begin(), m_ids.end(), id);
}

QString CompilerMarkers::noteAt(int pos) const
{
    if (m_ids.empty())
        return QString();
    for (int at : {pos, pos - 1}) {
        if (at < 0)
            continue;
        for (const Mark *m : m_surface.marks().at(at))
            if (isOurs(m->id))
                return m->style.note;
    }
    return QString();
}

} // namespace qln
