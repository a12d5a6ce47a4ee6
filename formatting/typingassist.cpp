#include "formatting/typingassist.h"

#include "base/editorstate.h"
#include "base/keytable.h"
#include "formatting/formatrtf.h"
#include "formatting/indentkeys.h"
#include "formatting/spellcorrect.h"
#include "settings/convert.h"
#include "settings/preferences.h"
#include "settings/prefmodel.h"
#include "surface/surface.h"

#include <QObject>
#include <QSet>

#include <algorithm>

namespace qln {

namespace {

// Follows a position through the edits a surface makes, the way a caret
// moves with text inserted or removed before it.
class PositionTracker {
public:
    PositionTracker(Surface &surface, int &pos) : m_pos(pos)
    {
        m_connection = QObject::connect(&surface, &Surface::textReplaced,
                                        [this](int at, int removed, int, int added, bool) {
                                            if (at + removed <= m_pos)
                                                m_pos += added - removed;
                                            else if (at < m_pos)
                                                m_pos = at + added; // the edit covered the position
                                        });
    }
    ~PositionTracker() { QObject::disconnect(m_connection); }

private:
    int &m_pos;
    QMetaObject::Connection m_connection;
};

} // namespace

TypingAssist::TypingAssist(TypingHost &host) : m_host(host)
{
    // One listener for every edit: it widens the span the next change event
    // recolours, moves the words kept after Undo and follows the line the
    // handler last treated.
    Surface &s = host.surface();
    m_connections = {
        QObject::connect(&s, &Surface::textAboutToBeReplaced,
                         [this](int at, int removed) { onTextAboutToBeReplaced(at, removed); }),
        QObject::connect(&s, &Surface::textReplaced,
                         [this](int at, int removed, int removedBreaks, int added, bool fromView) {
                             onTextReplaced(at, removed, removedBreaks, added, fromView);
                         }),
        QObject::connect(&s, &Surface::formatsChanged,
                         [this](int start, int length) { onFormatsChanged(start, length); }),
        QObject::connect(&s, &Surface::formatsAboutToChange,
                         [this](int start, int length) { onFormatsAboutToChange(start, length); })};
}

// The change event says only that something changed; which span did is
// collected here, from the edits made while the handler is not suppressed
// (its own masking and corrections are).
void TypingAssist::noteDirty(int at, int removed, int added)
{
    if (editorState().suppressChange)
        return;
    if (m_dirtyFrom < 0) {
        m_dirtyFrom = at;
        m_dirtyTo = at + added;
        return;
    }
    // The span so far moves with the edit, then takes it in.
    if (m_dirtyTo >= at + removed)
        m_dirtyTo += added - removed;
    else if (m_dirtyTo > at)
        m_dirtyTo = at + added;
    if (m_dirtyFrom > at + removed)
        m_dirtyFrom += added - removed;
    else if (m_dirtyFrom > at)
        m_dirtyFrom = at;
    m_dirtyFrom = std::min(m_dirtyFrom, at);
    m_dirtyTo = std::max(m_dirtyTo, at + added);
}

TypingAssist::~TypingAssist()
{
    for (const QMetaObject::Connection &c : m_connections)
        QObject::disconnect(c);
}

std::vector<std::pair<int, int>> TypingAssist::keptWords() const
{
    std::vector<std::pair<int, int>> out;
    for (const KeptWord &k : m_kept)
        out.emplace_back(k.start, int(k.text.size()));
    return out;
}

void TypingAssist::onTextReplaced(int at, int removed, int removedBreaks, int added, bool fromView)
{
    noteDirty(at, removed, added);
    trackEdit(at, removed, removedBreaks, added);
    const Surface &s = m_host.surface();
    if (!m_inHandler && !editorState().suppressChange) {
        ++m_editsSinceChange;
        m_typedAt = fromView && added == 1 && !s.isApplyingHistory() ? at : -1;
    }
    if (m_hint.open >= 0) {
        // The parentheses move with the text; an edit that takes either
        // away ends the hint.
        for (int *p : {&m_hint.open, &m_hint.close}) {
            if (at + removed <= *p)
                *p += added - removed;
            else if (at <= *p)
                m_hint = ParameterHint{};
            if (m_hint.open < 0)
                break;
        }
    }
    // Edits the handler makes itself (corrections, masking) and those of
    // Undo and Redo only move the kept words. Any other edit releases a
    // kept word it changes or extends (typing on it, deleting into it,
    // joining it to a neighbour); a blank typed after it does not.
    const bool own = m_inHandler || s.isApplyingHistory();
    const int delta = added - removed;
    auto isWord = [&s](int i) { return Surface::isWordCharacter(s.at(i)); };
    std::vector<KeptWord> kept;
    kept.reserve(m_kept.size());
    for (KeptWord &k : m_kept) {
        const int end = k.start + int(k.text.size());
        if (at < end && at + removed > k.start)
            continue; // the edit changed the word itself
        if (at + removed <= k.start)
            k.start += delta;
        const int newEnd = k.start + int(k.text.size());
        if (!own && (isWord(k.start - 1) || isWord(newEnd)))
            continue;
        kept.push_back(std::move(k));
    }
    m_kept = std::move(kept);
    if (s.isApplyingHistory() && !m_inHandler)
        keepWordsAround(at, at + added);
}

void TypingAssist::keepWordsAround(int from, int to)
{
    const Surface &s = m_host.surface();
    const Preferences &p = m_host.preferences();
    if (p.fromtocount <= 0)
        return;
    const Surface &text = s;
    const int len = s.length();
    while (from > 0 && Surface::isWordCharacter(text.at(from - 1)))
        --from;
    while (to < len && Surface::isWordCharacter(text.at(to)))
        ++to;
    // Only words that some pair would correct need keeping; a whole
    // document put back by Undo is scanned without copying words of other
    // lengths.
    QSet<QString> wrong;
    QSet<qsizetype> lengths;
    for (int i = 1; i <= p.fromtocount && i < p.arrsfrom.size(); ++i) {
        wrong.insert(p.arrsfrom.at(i).toCaseFolded());
        lengths.insert(p.arrsfrom.at(i).size());
    }
    std::vector<KeptWord> found;
    for (int i = from; i < to;) {
        if (!Surface::isWordCharacter(text.at(i))) {
            ++i;
            continue;
        }
        int j = i + 1;
        while (j < to && Surface::isWordCharacter(text.at(j)))
            ++j;
        if (lengths.contains(j - i)) {
            const QString word = text.mid(i, j - i);
            if (wrong.contains(word.toCaseFolded()))
                found.push_back(KeptWord{i, word});
        }
        i = j;
    }
    if (found.empty())
        return;
    m_kept.insert(m_kept.end(), found.begin(), found.end());
    std::sort(m_kept.begin(), m_kept.end(),
              [](const KeptWord &a, const KeptWord &b) { return a.start < b.start; });
}

// --- the line the handler last treated ---------------------------------------------
//
// Colouring a line whole costs time in proportion to its length. A very
// long line is coloured whole once; after that, while every edit stays
// within it, nothing else changes any formats and the edits bring in no
// syntax character, what colouring it whole would give differs from what it
// has only around the edits, provided colouring it whole changed nothing
// beyond it. (Corrections look at one word only, whatever the line.)

TypingAssist::SyntaxRules TypingAssist::currentRules() const
{
    const Preferences &p = m_host.preferences();
    SyntaxRules r;
    r.string1 = p.string1;
    r.string2 = p.string2;
    r.ignore = p.ignoreString;
    r.comment = p.singleLineComment;
    r.open = p.multiLineCommentStart;
    r.close = p.multiLineCommentEnd;
    r.keywords = p.arrckeyword;
    r.others = p.arrcother;
    r.more = p.arrcmore;
    r.keywordCount = p.ckeywordcount;
    r.otherCount = p.cothercount;
    r.moreCount = p.cmorecount;
    r.fontstyle = p.fontstyle;
    // The colours are kept as text: they are read again only when it changes.
    const std::array<QString, 6> texts = {p.ctextcolor, p.ckeywordcolor, p.cothercolor,
                                          p.cmorecolor, p.cstringscolor, p.ccommentscolor};
    if (texts != m_colourTexts) {
        m_colourTexts = texts;
        m_parsedColours = Colours{colourOr(texts[0]), colourOr(texts[1]), colourOr(texts[2]),
                                  colourOr(texts[3]), colourOr(texts[4]), colourOr(texts[5])};
    }
    r.colours = m_parsedColours;
    return r;
}

bool TypingAssist::windowable(const SyntaxRules &r)
{
    const Colours &c = r.colours;
    for (BgrColor other : {c.text, c.keyword, c.other, c.more}) {
        if (other == c.strings || other == c.comments)
            return false;
    }
    if (c.strings == c.comments)
        return false;
    auto blankFree = [](const QStringList &words, int count) {
        for (int i = 1; i <= count && i < words.size(); ++i)
            for (QChar ch : words.at(i))
                if (ch.isSpace())
                    return false;
        return true;
    };
    if (!blankFree(r.keywords, r.keywordCount) || !blankFree(r.others, r.otherCount)
        || !blankFree(r.more, r.moreCount))
        return false;
    // A blank bounds the span coloured around an edit, and the placeholder
    // of the ignore string must not form a delimiter.
    const QString syntax = r.string1 + r.string2 + r.ignore + r.comment + r.open + r.close;
    for (QChar ch : syntax)
        if (ch.isSpace() || kIgnorePlaceholder.contains(ch))
            return false;
    return true;
}

bool TypingAssist::isSyntaxChar(QChar c) const
{
    const SyntaxRules &r = m_line.rules;
    for (const QString *t : {&r.string1, &r.string2, &r.ignore, &r.comment, &r.open, &r.close})
        if (t->contains(c))
            return true;
    return false;
}

bool TypingAssist::isPlainSpan(int at, int length) const
{
    // Longer edits (a paste) are not read through: the line is treated whole.
    constexpr int kMostChecked = 4096;
    if (length > kMostChecked)
        return false;
    for (QChar c : m_host.surface().span(at, length))
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || isSyntaxChar(c))
            return false;
    return true;
}

void TypingAssist::onTextAboutToBeReplaced(int at, int removed)
{
    if (m_inHandler || m_line.first < 0 || !m_line.plainEdits || removed == 0)
        return;
    // Only removals within the line are followed; the others end the
    // tracking when they are done.
    if (!isPlainSpan(at, removed))
        m_line.plainEdits = false;
}

void TypingAssist::trackEdit(int at, int removed, int removedBreaks, int added)
{
    if (m_line.first < 0)
        return;
    const Surface &s = m_host.surface();
    const bool own = m_inHandler;
    const bool inside = at >= m_line.first && at + removed <= m_line.end && removedBreaks == 0;
    if (!inside || (!own && (editorState().suppressChange || s.isApplyingHistory()))) {
        m_line = TrackedLine{};
        return;
    }
    m_line.end += added - removed;
    if (own) {
        // A correction: the line is no longer what colouring it whole gave.
        m_line.coloured = false;
        return;
    }
    if (!m_line.plainEdits)
        return;
    bool plain = isPlainSpan(at, added);
    // Two syntax characters brought together (or kept apart) by the edit
    // may make (or break) a marker of two characters.
    if (plain && at > 0 && at + added < s.length() && isSyntaxChar(s.at(at - 1))
        && isSyntaxChar(s.at(at + added)))
        plain = false;
    m_line.plainEdits = plain;
}

void TypingAssist::onFormatsChanged(int, int)
{
    // Formats changed anywhere may change what colouring the line whole
    // gives: the block comment search reads colours beyond the line.
    if (!m_inHandler)
        m_line.coloured = false;
}

void TypingAssist::onFormatsAboutToChange(int start, int length)
{
    Outside &o = m_outside;
    if (!o.on)
        return;
    const Surface &s = m_host.surface();
    for (; o.leftFrom > start; --o.leftFrom)
        o.left.push_back(&s.formatAt(o.leftFrom - 1));
    for (; o.rightTo < start + length; ++o.rightTo)
        o.right.push_back(&s.formatAt(o.rightTo));
}

bool TypingAssist::outsideUnchanged() const
{
    // Equal formats are one palette entry: comparing addresses suffices.
    const Outside &o = m_outside;
    const Surface &s = m_host.surface();
    for (size_t i = 0; i < o.left.size(); ++i)
        if (&s.formatAt(m_line.first - 1 - int(i)) != o.left[i])
            return false;
    for (size_t i = 0; i < o.right.size(); ++i)
        if (&s.formatAt(m_line.end + int(i)) != o.right[i])
            return false;
    return true;
}

void TypingAssist::correctFinishedWord(int at)
{
    Surface &s = m_host.surface();
    const Preferences &p = m_host.preferences();
    // Only a character that cannot go on a Java name finishes a word; a
    // line break leaves the word standing at its line's end as it is.
    const QChar typed = s.at(at);
    if (Surface::isWordCharacter(typed) || typed == QLatin1Char('\r') || typed == QLatin1Char('\n'))
        return;
    const int start = FinishedWordStart(s, at);
    if (start < 0)
        return;
    // A word Undo or Redo put back stays as it is.
    for (const KeptWord &k : m_kept)
        if (k.start == start && k.start + int(k.text.size()) == at)
            return;
    int lengthChange = 0;
    int from = start;
    SpellCorrectRange(p.arrsfrom, p.arrsto, p.fromtocount, lengthChange, from, at, s, nullptr);
}

bool TypingAssist::boxReady() const
{
    return !m_box.items.empty() && m_host.switches().autoTreeSearch && m_box.visible;
}

void TypingAssist::clearBox()
{
    m_box.items.clear();
    m_box.selected = 0;
    m_box.visible = false;
    m_arrmatch = QStringList{QString()};
    m_host.syncBox(m_box);
}

namespace {

// The line feed before the line of pos, or 0 on the first line.
int lineFeedBefore(const Surface &s, int pos)
{
    const int start = s.lineIndex(s.lineFromChar(pos));
    return start > 0 ? start - 1 : 0;
}

// The line feed that ends the line of pos, or the length of the text on the
// last line.
int lineFeedAfter(const Surface &s, int pos)
{
    const int line = s.lineFromChar(pos);
    return line + 1 < s.lineCount() ? s.lineIndex(line + 1) - 1 : s.length();
}

Surface::TextStyle categoryStyle(const Preferences &p, int category, BgrColor color)
{
    return Surface::TextStyle{color, p.fontstyle[size_t(category)][1],
                              p.fontstyle[size_t(category)][2], p.fontstyle[size_t(category)][3]};
}

} // namespace

void TypingAssist::colourWords(int from, int to)
{
    Surface &s = m_host.surface();
    const Preferences &p = m_host.preferences();
    const Colours &c = m_colours;
    s.setStyleRanges({{from, to - from}}, Surface::TextStyle{c.text, false, false, false});
    // The engine takes its positions by reference: give it copies.
    int start = from;
    ColorWordList(p.arrckeyword, p.ckeywordcount, p.fontstyle, CatKeyword, start, to, s, c.keyword,
                  nullptr, 0, 0);
    start = from;
    ColorWordList(p.arrcother, p.cothercount, p.fontstyle, CatOther, start, to, s, c.other, nullptr,
                  0, 0);
    start = from;
    ColorWordList(p.arrcmore, p.cmorecount, p.fontstyle, CatMore, start, to, s, c.more, nullptr, 0,
                  0);
}

void TypingAssist::colourLines(int from, int to)
{
    Surface &s = m_host.surface();
    const Preferences &p = m_host.preferences();
    const int length = s.length();
    from = std::clamp(from, 0, length);
    to = std::clamp(to, from, length);
    const Colours &c = m_colours;
    colourWords(from, to);
    // Strings and single-line comments line by line; the last line of the
    // text ends at the text's end.
    int lineStart = from;
    for (;;) {
        const int lineEnd = lineFeedAfter(s, lineStart == 0 ? 0 : lineStart + 1);
        const bool last = lineEnd >= s.length();
        int a = lineStart, b = lineEnd;
        ColorLine(a, b, s, p.string1, p.string2, p.ignoreString, kIgnorePlaceholder,
                  p.singleLineComment, c.strings, c.comments, p.fontstyle, CatString, CatComment);
        if (last || lineEnd >= to)
            break;
        lineStart = lineEnd;
    }
}

bool TypingAssist::colourAroundEdit(int from, int to)
{
    Surface &s = m_host.surface();
    const Preferences &p = m_host.preferences();
    const Colours &c = m_colours;
    const int first = m_line.first, end = m_line.end;
    auto colourAt = [&s](int i) { return s.formatAt(i).color; };

    // Within a string or a comment both neighbours wear its colour: the new
    // characters join it. (Two strings or two comments side by side would
    // have syntax characters between them, which the edits did not touch.)
    if (from > first && to < end) {
        const BgrColor left = colourAt(from - 1);
        if (colourAt(to) == left && (left == c.comments || left == c.strings)) {
            if (to > from)
                s.setStyleRanges(
                    {{from, to - from}},
                    categoryStyle(p, left == c.comments ? CatComment : CatString, left));
            return true;
        }
    }

    // Otherwise from the nearest blank outside strings and comments on
    // either side (it keeps the text colour whatever the edit did), or the
    // line's ends.
    auto bound = [&](int i) {
        const QChar ch = s.at(i);
        return (ch == QLatin1Char(' ') || ch == QLatin1Char('\t')) && colourAt(i) == c.text;
    };
    int a = from - 1;
    while (a >= first && !bound(a))
        --a;
    const bool blankBefore = a >= first;
    if (!blankBefore) {
        // From the line's start, which must not lie in a block comment.
        if (first > 0 && colourAt(first - 1) == c.comments)
            return false;
        a = first > 0 ? first - 1 : 0; // as the line is coloured whole
    }
    int b = to;
    while (b < end && !bound(b))
        ++b;
    const bool blankAfter = b < end;
    if (blankAfter)
        ++b;
    // Block comment markers in the span: the comments are found whole.
    const QStringView span = s.span(a, b - a);
    if ((!p.multiLineCommentStart.isEmpty() && span.contains(p.multiLineCommentStart))
        || (!p.multiLineCommentEnd.isEmpty() && span.contains(p.multiLineCommentEnd)))
        return false;

    colourWords(a, b);
    int lo = a, hi = b;
    ColorLine(lo, hi, s, p.string1, p.string2, p.ignoreString, kIgnorePlaceholder,
              p.singleLineComment, c.strings, c.comments, p.fontstyle, CatString, CatComment);
    // The blanks stay outside strings and comments; if one did not, the
    // reasoning failed and the line is coloured whole.
    return (!blankBefore || colourAt(a) == c.text) && (!blankAfter || colourAt(b - 1) == c.text);
}

void TypingAssist::colourChange()
{
    Surface &s = m_host.surface();
    const Preferences &p = m_host.preferences();
    const int length = s.length();
    // The lines the change touched, and the caret's line.
    int a = m_savedCaret, b = m_savedCaret;
    if (m_dirtyFrom >= 0) {
        a = std::min(a, m_dirtyFrom);
        b = std::max(b, m_dirtyTo);
    }
    m_dirtyFrom = m_dirtyTo = -1;
    a = std::clamp(a, 0, length);
    b = std::clamp(b, 0, length);
    const int from = lineFeedBefore(s, a);
    const int to = lineFeedAfter(s, b);

    const QString &open = p.multiLineCommentStart;
    const QString &close = p.multiLineCommentEnd;
    if (open.isEmpty() || close.isEmpty()) {
        colourLines(from, to);
        return;
    }
    // A line feed inside a block comment carries the comments colour; one
    // after a single-line comment does not (that comment ends before it).
    // With comments in the text colour that tells nothing (every line feed
    // would read as inside a comment): the changed lines are coloured, and
    // whole comments only where they hold a marker.
    const BgrColor comments = m_colours.comments;
    const bool telling = comments != m_colours.text;
    auto commentFeed = [&](int pos) {
        return telling && pos > 0 && pos < length && s.at(pos) == QLatin1Char('\n')
               && s.formatAt(pos).color == comments;
    };
    const bool insideBefore = commentFeed(from);
    const bool insideAfter = commentFeed(to);
    const QStringView lines = s.span(from, to - from);
    const bool markers = lines.contains(open) || lines.contains(close);
    if (!insideBefore && !insideAfter && !markers) {
        colourLines(from, to);
    } else if (insideBefore && insideAfter && !markers) {
        // Within a comment that neither starts nor ends here: it keeps its
        // extent, and these lines are part of it.
        s.setStyleRanges({{from, to + 1 - from}}, categoryStyle(p, CatComment, comments));
    } else {
        colourBlockComment(from, to, insideBefore, insideAfter);
    }
}

void TypingAssist::colourBlockComment(int from, int to, bool insideBefore, bool insideAfter)
{
    Surface &s = m_host.surface();
    const Preferences &p = m_host.preferences();
    const BgrColor comments = m_colours.comments;
    const BgrColor strings = m_colours.strings;
    const QString &open = p.multiLineCommentStart;
    const QString &close = p.multiLineCommentEnd;
    const int length = s.length();

    // From the start of the comment the change lies in, to the end it had.
    int regionFrom = from;
    if (insideBefore) {
        int q = from;
        while (q > 0 && s.formatAt(q - 1).color == comments)
            --q;
        regionFrom = lineFeedBefore(s, q);
    }
    if (!insideBefore && s.span(from, to - from).contains(close)) {
        // An end marker here may close a comment opened further up that had
        // no end so far (and so no colour): the first start marker that
        // wears no colour, back to the nearest coloured comment.
        int pos = from;
        while (pos > 0) {
            // The text up to where a marker starting before pos can end.
            const int p0 = int(s.span(0, pos - 1 + int(open.size())).lastIndexOf(open, pos - 1));
            if (p0 < 0)
                break;
            const BgrColor c = s.formatAt(p0).color;
            if (c == comments)
                break;
            if (c != strings)
                regionFrom = lineFeedBefore(s, p0);
            pos = p0;
        }
    }
    int regionTo = to;
    if (insideAfter) {
        int q = to;
        while (q < length && s.formatAt(q).color == comments)
            ++q;
        regionTo = lineFeedAfter(s, std::min(q, length));
    }
    colourLines(regionFrom, regionTo);

    // Where the comments of the region end now: the block pass below takes
    // the first end marker after each start marker that is neither string
    // nor comment coloured, so the region grows over each such end marker
    // and its line gets fresh line colours first (an end marker beyond the
    // region may still wear an old comment's colour).
    auto coloured = [&](int pos, int n) {
        const BgrColor c = s.formatAt(pos).color;
        if (c != strings && c != comments)
            return false;
        for (int i = pos + 1; i < pos + n; ++i)
            if (s.formatAt(i).color != c)
                return false;
        return true;
    };
    int scan = regionFrom;
    for (;;) {
        const int p0 = s.indexOf(open, scan);
        if (p0 < 0 || p0 >= regionTo)
            break;
        scan = p0 + 1;
        if (coloured(p0, int(open.size())))
            continue;
        int q = s.indexOf(close, p0 + 2);
        while (q >= 0) {
            const int markerEnd = q + int(close.size());
            if (markerEnd > regionTo) {
                const int grown = lineFeedAfter(s, markerEnd - 1);
                colourLines(regionTo, grown);
                regionTo = grown;
            }
            if (!coloured(q, int(close.size())))
                break;
            q = s.indexOf(close, q + 2);
        }
        if (q < 0)
            break;
        scan = q + 1;
    }

    int start = regionFrom, end = regionTo;
    ColorBlockComments(start, end, s, p.fontstyle, CatComment, strings, comments, open, close);
}

void TypingAssist::onChange()
{
    EditorState &state = editorState();
    if (state.suppressChange)
        return;
    // The caption's modified marker follows the surface's own state.

    Surface &s = m_host.surface();
    // Undo and Redo put text back as it was: it is coloured, but neither
    // corrected again nor offered for completion.
    const bool history = s.isApplyingHistory();
    // Edits from here on (masking, corrections) are the handler's own.
    m_inHandler = true;
    m_savedCaret = s.selStart();
    m_host.setSurfacePainted(false);
    state.suppressSelChange = true;
    state.suppressChange = true;

    // The line of the caret, from the line feed before it (or the start of
    // the text) to the line feed after it (-1 on a last line without one).
    const int line = s.lineFromChar(m_savedCaret);
    const int lineFirst = s.lineIndex(line);
    const int nextBreak = line + 1 < s.lineCount() ? s.lineIndex(line + 1) - 1 : -1;
    const int lineEnd = nextBreak < 0 ? s.length() : nextBreak;
    const int lineStart = lineFirst > 0 ? lineFirst - 1 : 0;
    s.setSelStart(lineStart);
    s.setSelLength(nextBreak - lineStart); // refused on a last line: nothing selected

    // A long line the handler has treated whole, edited only within since,
    // is treated around the edits.
    const int dirtyFrom = m_dirtyFrom, dirtyTo = m_dirtyTo;
    if (m_line.first != lineFirst || m_line.end != lineEnd) {
        m_line = TrackedLine{};
        m_line.first = lineFirst;
        m_line.end = lineEnd;
    }
    const bool windowed = lineEnd - lineFirst >= m_windowedLength && dirtyFrom >= lineFirst
                          && dirtyTo <= lineEnd && dirtyFrom <= dirtyTo;

    const AutoFeatureSwitches sw = m_host.switches();
    if (sw.autoSyntaxColor) {
        SyntaxRules rules = currentRules();
        m_colours = rules.colours;
        const bool around = windowed && m_line.coloured && m_line.plainEdits
                            && m_line.rules == rules && windowable(rules);
        // Whichever way the line is coloured, colouring it whole again
        // would give what it has now, around later edits, only if nothing
        // beyond the line changed: what colouring does there depends on
        // what it finds there (and on the line breaks on either side).
        if (windowed)
            m_outside = Outside{true, lineFirst, lineEnd, {}, {}};
        if (around && colourAroundEdit(dirtyFrom, dirtyTo) && outsideUnchanged()) {
            ++m_colouredAround;
        } else {
            colourChange();
        }
        m_line.coloured = windowed && outsideUnchanged();
        m_outside = Outside{};
        m_line.rules = std::move(rules);
    } else {
        s.setSelColor(colourOr(m_host.preferences().ctextcolor)); // the selected line
        m_line.coloured = false;
    }
    m_line.plainEdits = true;
    m_dirtyFrom = m_dirtyTo = -1;

    // A word is corrected once the character typed right after it finishes
    // it, never while it is still being typed.
    const int typedAt = m_editsSinceChange == 1 ? m_typedAt : -1;
    m_editsSinceChange = 0;
    m_typedAt = -1;
    if (sw.autoSpellCorrect && !history && typedAt >= 0 && typedAt < s.length()) {
        // The caret follows the correction made before it. The corrections
        // of one change are one undo step of their own, after the edit
        // that caused them.
        PositionTracker track(s, m_savedCaret);
        Surface::UndoGroup step(s);
        correctFinishedWord(typedAt);
    }

    const bool justInserted = m_justInserted;
    m_justInserted = false;
    if (history && m_box.visible) {
        m_box.visible = false;
        m_host.syncBox(m_box);
    } else if (sw.autoTreeSearch && m_host.objectTree().treecount >= 1 && !history) {
        m_box.visible = false;
        m_host.syncBox(m_box);
        // The keys come from the text before the caret on its line: the
        // names before its last dot and what follows that dot.
        const int keyFrom = TreeKeyStart([&s](int i) { return s.at(i); },
                                         s.lineIndex(s.lineFromChar(m_savedCaret)), m_savedCaret);
        const QString before = s.mid(keyFrom, m_savedCaret - keyFrom);
        runCompletion(justInserted ? QString() : before);
        if (m_box.visible && m_host.preferences().setfocusontreebox) {
            m_inHandler = false;
            state.suppressSelChange = false;
            state.suppressChange = false;
            m_host.setSurfacePainted(true);
            s.setSelStart(m_savedCaret);
            m_host.focusBox();
            return;
        }
    }

    m_inHandler = false;
    state.suppressSelChange = false;
    state.suppressChange = false;
    m_host.setSurfacePainted(true);
    s.setSelStart(m_savedCaret);
    m_host.focusSurface();
}

void TypingAssist::runCompletion(const QString &textBeforeCaret)
{
    if (textBeforeCaret.isNull())
        return; // right after an insertion: keep the box closed
    m_key1 = GetTreeKey(textBeforeCaret, 1);
    m_key2 = GetTreeKey(textBeforeCaret, 2);
    // The box opens only while a name is being typed after the dot: never
    // after a ";", ")" or a blank.
    if (!IsNameBeingTyped(m_key2))
        m_key1.clear();
    const QString typedKey1 = m_key1;
    if (!m_key1.isEmpty())
        m_key1 = resolveKey(m_key1, m_savedCaret - int(m_key2.size()) - int(m_key1.size()));
    // After a value ("sb.", "System.out.") a constructor never compiles.
    const bool value = KeyNamesValue(typedKey1, m_key1);
    const bool changed = m_key1 != m_previousKey1 || value != m_previousValue;
    if (changed || m_box.items.empty()) {
        SearchTree(m_box, m_resolver.searchTree(m_host.objectTree().arrtree), m_key1, m_arrmatch,
                   m_host.surfaceWidthTwips());
        if (value)
            DropConstructors(m_box, m_arrmatch, m_key1);
    }
    m_previousKey1 = m_key1;
    m_previousValue = value;
    if (m_box.items.empty()) {
        m_host.syncBox(m_box);
        return;
    }
    if (m_host.preferences().autocbopos) {
        if (changed) {
            m_host.syncBox(m_box); // new items and width (still hidden) before it is placed
            m_host.placeBoxAtCaret(textBeforeCaret, m_savedCaret);
        }
    } else if (changed) {
        m_host.placeBoxFixed();
    }
    m_host.setDefaultPointer();
    m_box.visible = true;
    if (!m_key2.contains(QLatin1Char('(')))
        SelectTreeItem(m_box, m_arrmatch, m_key2);
    m_host.syncBox(m_box);
    if (m_host.dropDownOnShow() && changed)
        m_host.dropDownBox();
}

QString TypingAssist::resolveKey(const QString &key1, int keyStart)
{
    // Typing after the dot keeps the name before it: resolve it once.
    const TreeEntries &arrtree = m_host.objectTree().arrtree;
    if (key1 == m_rawKey1 && keyStart == m_rawKeyStart && arrtree.size() == m_rawTreeSize)
        return m_resolvedKey1;
    m_rawKey1 = key1;
    m_rawKeyStart = keyStart;
    m_rawTreeSize = arrtree.size();
    m_resolvedKey1 = m_resolver.resolve(m_host.surface(), keyStart, key1, arrtree);
    return m_resolvedKey1;
}

bool TypingAssist::insertChoice()
{
    // The inserted completion is one undo step, whatever it takes.
    const int chosen = m_box.selected;
    TreeChoiceText choice;
    bool inserted = false;
    {
        Surface::UndoGroup step(m_host.surface());
        inserted =
            InsertTreeChoice(m_host.surface(), chosen, m_arrmatch, m_key2, m_savedCaret, &choice);
    }
    m_host.setSurfacePainted(true);
    m_box.visible = false;
    m_host.syncBox(m_box);
    if (inserted && !choice.parameters.isEmpty()) {
        // The caret stands between the parentheses: the status bar shows
        // the parameters until it leaves them.
        const int caret = m_host.surface().selStart();
        m_hint = ParameterHint{caret - 1, caret, m_box.items[size_t(chosen - 1)].text};
    } else if (inserted) {
        m_hint = ParameterHint{};
    }
    return inserted;
}

QString TypingAssist::parameterHint() const
{
    const Surface &s = m_host.surface();
    const int caret = s.selStart();
    if (m_hint.open < 0 || s.selLength() != 0 || caret <= m_hint.open || caret > m_hint.close)
        return QString();
    return m_hint.text;
}

bool TypingAssist::onKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    EditorState &state = editorState();
    state.suppressSelChange = true;
    Surface &s = m_host.surface();
    bool consumed = false;
    const QKeyCombination pressed(modifiers, Qt::Key(key));
    const KeyCommandDef *inBox =
        boxReady() ? keyCommandFor(pressed, KeyScope::CompletionShown) : nullptr;
    const KeyCommandDef *inText = keyCommandFor(pressed, KeyScope::Text);

    switch (inBox ? inBox->id : KeyCommand::None) {
    case KeyCommand::InsertCompletion:
        m_host.setSurfacePainted(false);
        m_justInserted = true;
        consumed = insertChoice();
        if (!consumed)
            m_justInserted = false;
        m_host.setSurfacePainted(true);
        break;
    case KeyCommand::NextCompletion:
    case KeyCommand::PreviousCompletion: {
        const int count = int(m_box.items.size());
        int sel = m_box.selected;
        if (inBox->id == KeyCommand::NextCompletion)
            sel = sel == 0 ? 1 : sel + 1;
        else
            sel = sel == 0 ? count : sel - 1;
        if (sel >= 1 && sel <= count)
            m_box.selected = sel; // past either end the selection stays
        m_host.syncBox(m_box);
        consumed = true;
        break;
    }
    default: break;
    }

    const KeyCommand command = inText ? inText->id : KeyCommand::None;
    switch (command) {
    case KeyCommand::ClearCompletion:
        clearBox(); // the key goes on
        break;
    case KeyCommand::LowerCase:
    case KeyCommand::UpperCase:
    case KeyCommand::InvertCase:
    case KeyCommand::Capitalize:
        m_host.runCaseCommand(command == KeyCommand::LowerCase    ? 'L'
                              : command == KeyCommand::UpperCase  ? 'U'
                              : command == KeyCommand::InvertCase ? 'I'
                                                                  : 'C');
        consumed = true;
        break;
    case KeyCommand::Bold:
    case KeyCommand::Italic:
    case KeyCommand::Underline:
        // The change handler does not run for a style.
        state.suppressChange = true;
        if (command == KeyCommand::Bold)
            s.setSelBold(!s.selBold().value_or(false));
        else if (command == KeyCommand::Italic)
            s.setSelItalic(!s.selItalic().value_or(false));
        else
            s.setSelUnderline(!s.selUnderline().value_or(false));
        state.suppressChange = false;
        consumed = true;
        break;
    default: break;
    }
    state.suppressSelChange = false;
    // Enter, Tab, Shift+Tab and a closing brace as the indentation wants them.
    if (!consumed && runIndentKey(s, m_host.preferences(), command, key, modifiers))
        return true;
    // The style buttons follow the new style; the status bar the inserted
    // completion.
    if (consumed
        && ((modifiers & ~Qt::KeypadModifier) == Qt::ControlModifier
            || (inBox && inBox->id == KeyCommand::InsertCompletion)))
        onSelChange();
    return consumed;
}

void TypingAssist::onClick()
{
    editorState().suppressSelChange = false;
    m_box.visible = false;
    m_host.syncBox(m_box);
}

void TypingAssist::onSelChange()
{
    if (editorState().suppressSelChange)
        return;
    m_host.updateStatusBar();
    // The hint ends for good once the caret leaves the parentheses.
    const QString hint = parameterHint();
    if (hint.isEmpty())
        m_hint = ParameterHint{};
    else
        m_host.showParameterHint(hint);
    Surface &s = m_host.surface();
    if (s.selLength() == 0)
        return;
    m_host.showSelectionFormat(s.selFontName(), s.selFontSize(), s.selBold().value_or(false),
                               s.selItalic().value_or(false), s.selUnderline().value_or(false));
}

void TypingAssist::boxKeyDown(int key)
{
    const KeyCommandDef *command =
        keyCommandFor(QKeyCombination(Qt::Key(key)), KeyScope::CompletionBox);
    m_arrowFlag = key == Qt::Key_Up || key == Qt::Key_Down;
    switch (command ? command->id : KeyCommand::None) {
    case KeyCommand::ChooseInBox:
        m_justInserted = true;
        if (!insertChoice())
            m_justInserted = false;
        m_host.setDefaultPointer();
        m_host.focusSurface();
        onSelChange();
        break;
    case KeyCommand::CloseBox:
        clearBox();
        m_host.focusSurface();
        break;
    default: break;
    }
}

void TypingAssist::boxActivated(int item)
{
    if (!m_arrowFlag && item >= 1 && item <= int(m_box.items.size())) {
        m_box.selected = item;
        m_justInserted = true;
        if (!insertChoice())
            m_justInserted = false;
        m_host.setDefaultPointer();
        m_host.focusSurface();
        onSelChange();
    }
    m_arrowFlag = false;
}

void TypingAssist::boxKeyPress(const QString &text)
{
    SelectTreeItem(m_box, m_arrmatch, text);
    m_host.syncBox(m_box);
}

} // namespace qln
