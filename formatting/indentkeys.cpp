#include "formatting/indentkeys.h"

#include "formatting/formatrtf.h"
#include "settings/preferences.h"
#include "surface/surface.h"

#include <vector>

namespace qln {

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

int leadingBlanks(QStringView text)
{
    int i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return i;
}

bool allBlank(QStringView text)
{
    return leadingBlanks(text) == text.size();
}

// Reads Java text as code, comments and literals with the reserved strings
// of the preferences, and hands on every code character that is not blank.
// It keeps whether a comment or a text block is open across calls, so text
// may be read in parts. Literals end at their line's end.
class CodeReader {
public:
    explicit CodeReader(const IndentSyntax &syntax)
        : m_syntax(syntax), m_escape(EscapeOf(syntax.ignore, syntax.string1, syntax.string2)),
          m_textBlock(syntax.string1.repeated(3))
    {
    }

    template <class F> void read(QStringView text, F &&code)
    {
        const int n = int(text.size());
        int i = 0;
        while (i < n) {
            if (m_in == In::Comment) {
                const int end = find(text, m_syntax.commentEnd, i);
                if (end < 0)
                    return;
                i = end + int(m_syntax.commentEnd.size());
                m_in = In::Code;
                continue;
            }
            if (m_in == In::TextBlock) {
                i = literalEnd(text, i, m_textBlock, false);
                continue;
            }
            const QChar c = text[i];
            if (isBlank(c) || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
                ++i;
            } else if (at(text, i, m_syntax.lineComment)) {
                const int feed = int(text.indexOf(QLatin1Char('\n'), i));
                i = feed < 0 ? n : feed;
            } else if (at(text, i, m_syntax.commentStart)) {
                m_in = In::Comment;
                i += int(m_syntax.commentStart.size());
            } else if (at(text, i, m_textBlock)) {
                m_in = In::TextBlock;
                i = literalEnd(text, i + int(m_textBlock.size()), m_textBlock, false);
            } else if (at(text, i, m_syntax.string1)) {
                i = literalEnd(text, i + int(m_syntax.string1.size()), m_syntax.string1, true);
            } else if (at(text, i, m_syntax.string2)) {
                i = literalEnd(text, i + int(m_syntax.string2.size()), m_syntax.string2, true);
            } else {
                code(i);
                ++i;
            }
        }
    }

private:
    enum class In { Code, Comment, TextBlock };

    static bool at(QStringView text, int i, const QString &what)
    {
        return !what.isEmpty() && text[i] == what[0] && text.mid(i).startsWith(what);
    }
    static int find(QStringView text, const QString &what, int from)
    {
        return what.isEmpty() ? -1 : int(text.indexOf(what, from));
    }
    // Past the delimiter that closes a literal, skipping escapes; a literal
    // that stays open ends at its line's end (oneLine) or the text's end
    // (a text block, which then stays open).
    int literalEnd(QStringView text, int i, const QString &delimiter, bool oneLine)
    {
        const int n = int(text.size());
        while (i < n) {
            const QChar c = text[i];
            if (oneLine && (c == QLatin1Char('\r') || c == QLatin1Char('\n')))
                return i;
            if (at(text, i, m_escape)) {
                i += int(m_escape.size()) + 1;
                continue;
            }
            if (at(text, i, delimiter)) {
                m_in = In::Code;
                return i + int(delimiter.size());
            }
            ++i;
        }
        return n;
    }

    const IndentSyntax &m_syntax;
    QString m_escape;
    QString m_textBlock;
    In m_in = In::Code;
};

// Where reading back from `pos` starts: a line start at most `window`
// characters before it (or pos's own line start when its line is longer).
int windowStart(const Surface &surface, int pos, int window)
{
    if (pos <= window)
        return 0;
    const int line = surface.lineFromChar(pos - window);
    const int start = surface.lineIndex(line);
    if (start >= pos - window)
        return start;
    const int next = surface.lineIndex(line + 1);
    return next >= 0 && next <= pos ? next : surface.lineIndex(surface.lineFromChar(pos));
}

// The characters Shift+Tab takes from the start of a line.
int blanksToRemove(QStringView line, const QString &unit)
{
    if (line.startsWith(unit))
        return int(unit.size());
    int width = 0;
    for (QChar c : unit)
        width += c == QLatin1Char('\t') ? 8 : 1;
    int i = 0, taken = 0;
    while (i < line.size() && isBlank(line[i]) && taken < width) {
        if (line[i] == QLatin1Char('\t')) {
            ++i;
            break;
        }
        ++taken;
        ++i;
    }
    return i;
}

} // namespace

QString keptIndent(const Surface &surface, int pos, const IndentSyntax &syntax)
{
    pos = std::clamp(pos, 0, surface.length());
    const int lineStart = surface.lineIndex(surface.lineFromChar(pos));
    const int from = windowStart(surface, lineStart, kEnterWindow);
    const QStringView text = surface.span(from, pos - from);
    const QStringView line = text.mid(lineStart - from);
    QString indent = line.left(leadingBlanks(line)).toString();

    CodeReader reader(syntax);
    reader.read(text.left(lineStart - from), [](int) {});
    int last = -1;
    reader.read(line, [&last](int i) { last = i; });
    if (last >= 0 && !syntax.blockBegin.isEmpty()
        && line.left(last + 1).endsWith(syntax.blockBegin))
        indent += syntax.unit;
    return indent;
}

void newLineKeepingIndent(Surface &surface, const IndentSyntax &syntax)
{
    const int start = surface.selStart();
    const QString indent = keptIndent(surface, start, syntax);
    int end = start + surface.selLength();
    while (end < surface.length() && isBlank(surface.at(end)))
        ++end;
    surface.replace(start, end - start, QStringLiteral("\r\n") + indent);
}

int openingBlockFor(const Surface &surface, int pos, const IndentSyntax &syntax)
{
    if (syntax.blockBegin.isEmpty() || syntax.blockEnd.isEmpty())
        return -1;
    pos = std::clamp(pos, 0, surface.length());
    const int from = windowStart(surface, pos, kBraceWindow);
    const QStringView text = surface.span(from, pos - from);
    std::vector<int> open;
    int skipTo = 0; // inside a block string of several characters
    CodeReader reader(syntax);
    reader.read(text, [&](int i) {
        if (i < skipTo)
            return;
        const QStringView rest = text.mid(i);
        if (rest.startsWith(syntax.blockBegin)) {
            open.push_back(i);
            skipTo = i + int(syntax.blockBegin.size());
        } else if (rest.startsWith(syntax.blockEnd)) {
            if (!open.empty())
                open.pop_back();
            skipTo = i + int(syntax.blockEnd.size());
        }
    });
    return open.empty() ? -1 : from + open.back();
}

bool typeAlignedBlockEnd(Surface &surface, const IndentSyntax &syntax)
{
    const int start = surface.selStart();
    const int end = start + surface.selLength();
    const int line = surface.lineFromChar(start);
    if (surface.lineFromChar(end) != line)
        return false;
    const int lineStart = surface.lineIndex(line);
    const int lineEnd = lineStart + surface.lineLength(line);
    const QString before = surface.mid(lineStart, start - lineStart);
    if (!allBlank(before) || !allBlank(surface.span(end, lineEnd - end)))
        return false;
    const int open = openingBlockFor(surface, lineStart, syntax);
    if (open < 0)
        return false;
    const int openLine = surface.lineFromChar(open);
    const QStringView openText =
        surface.span(surface.lineIndex(openLine), surface.lineLength(openLine));
    const QString indent = openText.left(leadingBlanks(openText)).toString();
    if (indent == before)
        return false;
    surface.replace(lineStart, end - lineStart, indent + syntax.blockEnd);
    return true;
}

bool selectionSpansLines(const Surface &surface)
{
    const int start = surface.selStart();
    return surface.lineFromChar(start + surface.selLength()) > surface.lineFromChar(start);
}

void shiftLines(Surface &surface, const QString &unit, bool outward)
{
    const QString u = unit.isEmpty() ? QStringLiteral("\t") : unit;
    const int selStart = surface.selStart(), selEnd = selStart + surface.selLength();
    const int first = surface.lineFromChar(selStart);
    int last = surface.lineFromChar(selEnd);
    const bool lines = last > first;
    if (lines && selEnd == surface.lineIndex(last))
        --last;
    const int from = surface.lineIndex(first);
    const int to = surface.lineIndex(last) + surface.lineLength(last);

    // Each line's start and what it gains (negative: loses) at that start.
    std::vector<std::pair<int, int>> shifts;
    std::vector<Surface::Piece> pieces;
    bool changes = false;
    for (int l = first; l <= last; ++l) {
        const int start = surface.lineIndex(l);
        const int next = l < last ? surface.lineIndex(l + 1) : to;
        int delta = int(u.size());
        if (outward)
            delta = -blanksToRemove(surface.span(start, surface.lineLength(l)), u);
        else
            pieces.push_back({-1, 0, u, start});
        changes = changes || delta != 0;
        shifts.emplace_back(start, delta);
        const int kept = start + std::max(0, -delta);
        pieces.push_back({kept, next - kept, QString(), -1});
    }
    // Where a position of the old text ends up: one within blanks that go
    // stays at its line's start.
    auto moved = [&shifts](int pos) {
        int shift = 0;
        for (const auto &[start, delta] : shifts) {
            if (pos < start)
                break;
            if (delta < 0 && pos < start - delta)
                return start + shift;
            shift += delta;
        }
        return pos + shift;
    };
    if (changes)
        surface.replacePieces(from, to - from, pieces);
    if (lines) {
        surface.setSelection(from, moved(to) - from);
    } else {
        const int a = moved(selStart);
        surface.setSelection(a, moved(selEnd) - a);
    }
}

QString indentedTemplate(const QString &text, const QString &indent)
{
    const QString crlf = QStringLiteral("\r\n");
    QStringList lines = Surface::normalizeLineBreaks(text).split(crlf);
    for (qsizetype i = 1; i < lines.size(); ++i)
        if (!allBlank(lines[i]))
            lines[i].prepend(indent);
    return lines.join(crlf);
}

bool runIndentKey(Surface &surface, const Preferences &prefs, KeyCommand command, int key,
                  Qt::KeyboardModifiers modifiers)
{
    // Some senders give Shift+Tab as Tab with Shift.
    if (command == KeyCommand::InsertTab && (modifiers & Qt::ShiftModifier))
        command = KeyCommand::Backtab;
    switch (command) {
    case KeyCommand::NewLine:
        if (!prefs.keepindent)
            return false;
        newLineKeepingIndent(surface, IndentSyntax::fromPreferences(prefs));
        return true;
    case KeyCommand::InsertTab:
        if (!selectionSpansLines(surface))
            return false;
        shiftLines(surface, prefs.indentstring, false);
        return true;
    case KeyCommand::Backtab: shiftLines(surface, prefs.indentstring, true); return true;
    default: break;
    }
    // A typed closing brace (AltGr may arrive as Ctrl+Alt).
    const bool ctrl = modifiers & Qt::ControlModifier, alt = modifiers & Qt::AltModifier;
    if (key != Qt::Key_BraceRight || ctrl != alt || !prefs.keepindent
        || prefs.blockEnding != QLatin1String("}"))
        return false;
    return typeAlignedBlockEnd(surface, IndentSyntax::fromPreferences(prefs));
}

} // namespace qln
