#include "dialogs/findreplace.h"

#include "base/editorstate.h"
#include "base/prompter.h"
#include "surface/surface.h"

#include <QStringMatcher>

#include <algorithm>
#include <optional>
#include <vector>

namespace qln {

namespace {

const QString kEnterValue = QStringLiteral("Please enter a value in Find field");
const QString kNotFound = QStringLiteral("The search string was not found.");
const QString kItemsReplaced = QStringLiteral(" items replaced");

bool hasLineBreak(const QString &s)
{
    return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n'));
}

bool isAsciiLetterOrDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z');
}

// Occurrences of a text lying wholly before a position, found going back.
// Qt's forward search is several times faster than its backward one without
// match case, so windows before the position are searched forwards, growing
// as they go back and overlapping by n - 1 characters so that no occurrence
// across their border is missed. Successive calls with falling positions
// (the whole-word retries) reuse what a window found.
class BackwardScanner {
public:
    BackwardScanner(QStringView text, const QString &needle, Qt::CaseSensitivity cs)
        : m_text(text), m_matcher(needle, cs), m_n(needle.size()), m_begin(text.size())
    {
    }
    // Start of the last occurrence ending at or before pos, or -1.
    qsizetype previous(qsizetype pos)
    {
        if (m_n == 0)
            return -1;
        for (;;) {
            while (!m_hits.empty() && m_hits.back() + m_n > pos)
                m_hits.pop_back();
            if (!m_hits.empty())
                return m_hits.back();
            if (m_begin == 0 || pos < m_n)
                return -1;
            const qsizetype end = std::min(pos, m_begin + m_n - 1);
            const qsizetype begin = std::max<qsizetype>(0, end - m_size);
            m_size *= 2;
            const QStringView window = m_text.mid(begin, end - begin);
            for (qsizetype at = m_matcher.indexIn(window, 0); at >= 0;
                 at = m_matcher.indexIn(window, at + 1))
                m_hits.push_back(begin + at);
            m_begin = begin;
        }
    }

private:
    QStringView m_text;
    QStringMatcher m_matcher;
    qsizetype m_n;
    qsizetype m_begin; // start of the last window searched
    qsizetype m_size = 256;
    std::vector<qsizetype> m_hits;
};

// Each occurrence found and replaced as its own edit, so the surface's
// change notification runs once per replacement. Also the path for texts
// with line breaks, where the surface may widen an edit to a whole CR LF
// and puts in more than the replace text holds (each lone CR or LF becomes
// a pair): the next search starts where the caret ends, after what was
// actually put in.
int replaceOneAtATime(Surface &surface, const QString &findText, const QString &replaceText,
                      int options, int protStart, int protEnd, int count)
{
    const int n = int(findText.size());
    int searchPos = 0;
    for (;;) {
        if (surface.selLength() == 0) {
            int p = surface.indexOf(findText, searchPos, -1, options);
            // Never search inside the text a replaced selection put in.
            while (p >= 0 && protStart >= 0 && p < protEnd && p + n > protStart)
                p = surface.indexOf(findText, protEnd, -1, options);
            if (p < 0)
                break;
            surface.setSelection(p, n);
        }
        if (surface.selText() != findText)
            break;
        const int at = surface.selStart();
        const int before = surface.length();
        // A refused edit (the text would grow past the surface's limit)
        // leaves the match selected: stop rather than try it forever.
        if (!surface.replace(at, surface.selLength(), replaceText))
            break;
        searchPos = surface.selStart();
        ++count;
        if (protStart >= 0 && at < protStart) {
            protStart += surface.length() - before;
            protEnd += surface.length() - before;
        }
    }
    return count;
}

// The same run computed over a snapshot of the text and applied as one
// edit. Matches are the candidates the surface's find would give in the
// text as edited so far: to the right of the last replacement that text is
// the snapshot, and only the whole-word test of a match right after a
// replacement looks at replaced text.
int replaceBatched(Surface &surface, const QString &findText, const QString &replaceText,
                   int options, int protStart, int protEnd, int count)
{
    // Read in place: nothing edits the surface until the pieces are put in.
    const QStringView text = surface.span(0, surface.length());
    const int len = int(text.size());
    const int n = int(findText.size());
    const int delta = int(replaceText.size()) - n;
    const Qt::CaseSensitivity cs =
        (options & FindMatchCase) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const bool wholeWord = options & FindWholeWord;
    const bool checkLeft = wholeWord && Surface::isWordCharacter(findText.front());
    const bool checkRight = wholeWord && Surface::isWordCharacter(findText.back());

    std::vector<Surface::Piece> pieces;
    int first = -1;   // start of the first replaced match
    int lastEnd = -1; // end of the last replaced match
    int replaced = 0;
    // The character before the text following the last replacement, as it
    // stands after that replacement; none at the start of the text.
    std::optional<QChar> lastOut;
    int stopAt = -1;

    auto leftOf = [&](int p) -> std::optional<QChar> {
        if (replaced > 0 && p == lastEnd)
            return lastOut;
        if (p > 0)
            return text.at(p - 1);
        return std::nullopt;
    };

    qsizetype from = 0;
    while (from <= len - n) {
        const qsizetype found = text.indexOf(findText, from, cs);
        if (found < 0)
            break;
        const int p = int(found);
        if (protStart >= 0 && p < protEnd && p + n > protStart) {
            from = protEnd;
            continue;
        }
        if (checkLeft) {
            const auto left = leftOf(p);
            if (left && Surface::isWordCharacter(*left)) {
                from = p + 1;
                continue;
            }
        }
        if (checkRight && p + n < len && Surface::isWordCharacter(text.at(p + n))) {
            from = p + 1;
            continue;
        }
        if (text.mid(p, n) != findText) {
            stopAt = p;
            break;
        }
        if (first < 0) {
            first = p;
            lastEnd = p;
        }
        if (p > lastEnd)
            pieces.push_back(Surface::Piece{lastEnd, p - lastEnd, QString(), -1});
        pieces.push_back(Surface::Piece{-1, 0, replaceText, p});
        lastOut = replaceText.isEmpty() ? leftOf(p) : std::optional<QChar>(replaceText.back());
        ++replaced;
        lastEnd = p + n;
        from = lastEnd;
    }

    if (replaced > 0) {
        surface.replacePieces(first, lastEnd - first, pieces);
        // The one-at-a-time run leaves the format for typed text at the
        // format of the last replacement.
        if (!replaceText.isEmpty())
            surface.setSelection(surface.selStart(), 0);
    }
    if (stopAt >= 0)
        surface.setSelection(stopAt + replaced * delta, n);
    return count + replaced;
}

} // namespace

int replaceEvery(Surface &surface, const QString &findText, const QString &replaceText, int options,
                 ReplaceMode mode)
{
    if (findText.isEmpty())
        return 0;
    int count = 0;
    int protStart = -1, protEnd = -1;
    if (surface.selLength() > 0) {
        if (surface.selText() != findText)
            return 0;
        // The selected occurrence goes first. Searching then restarts at the
        // top, but not inside what was just put in: a replacement containing
        // the find text must not be replaced again.
        surface.setSelText(replaceText);
        protEnd = surface.selStart();
        protStart = protEnd - int(Surface::normalizeLineBreaks(replaceText).size());
        ++count;
    }
    if (mode == ReplaceMode::OneAtATime || hasLineBreak(findText) || hasLineBreak(replaceText))
        return replaceOneAtATime(surface, findText, replaceText, options, protStart, protEnd,
                                 count);
    return replaceBatched(surface, findText, replaceText, options, protStart, protEnd, count);
}

QStringList refilledHistory(const QStringList &entries, const QString &findText,
                            const QString &replaceText)
{
    QStringList list = entries;
    if (!findText.isEmpty() && !list.contains(findText, Qt::CaseSensitive))
        list.append(findText);
    if (!replaceText.isEmpty() && !list.contains(replaceText, Qt::CaseSensitive))
        list.append(replaceText);
    QStringList refilled;
    for (auto it = list.crbegin(); it != list.crend(); ++it)
        if (!it->isEmpty())
            refilled.append(*it);
    return refilled;
}

FindReplace::FindReplace(Surface &surface, Prompter &prompter)
    : m_surface(surface), m_prompter(prompter)
{
}

void FindReplace::activate()
{
    m_retry = false;
    m_findText = m_lastFind.isEmpty() ? m_surface.selText() : m_lastFind;
    m_replaceText = m_lastReplace;
}

void FindReplace::deactivate()
{
    m_lastFind = m_findText;
    m_lastReplace = m_replaceText;
}

void FindReplace::updateHistories()
{
    m_history = refilledHistory(m_history, m_findText, m_replaceText);
}

int FindReplace::surfaceOptions() const
{
    return (m_wholeWord ? FindWholeWord : FindNone) | (m_matchCase ? FindMatchCase : FindNone);
}

bool FindReplace::askFindText()
{
    if (!m_findText.isEmpty())
        return true;
    m_prompter.message(kEnterValue, QString(), MsgIcon::None, MsgButtons::Ok);
    return false;
}

void FindReplace::paintSurface(bool painted)
{
    if (m_paintSurface)
        m_paintSurface(painted);
}

void FindReplace::notFound()
{
    // The user sees where the search stood while the message is up.
    paintSurface(true);
    m_prompter.message(kNotFound, QString(), MsgIcon::None, MsgButtons::Ok);
}

bool FindReplace::find()
{
    if (!askFindText())
        return false;
    paintSurface(false);
    updateHistories();
    if (m_up)
        searchBackward();
    else
        searchForward();
    paintSurface(true);
    if (m_focusSurface)
        m_focusSurface();
    return true;
}

bool FindReplace::searchForward()
{
    // Past the start of a current match, so it is not found again. No wrap.
    const int start = m_surface.selLength() > 0 ? m_surface.selStart() + 1 : m_surface.selStart();
    if (m_surface.find(m_findText, start, -1, surfaceOptions()) >= 0)
        return true;
    notFound();
    return false;
}

bool FindReplace::isWholeWordBackward(int index) const
{
    // Any character but an ASCII letter or digit bounds a word here, so "_"
    // and "." do too (unlike the forward search).
    const int end = index + int(m_findText.size());
    const bool leftOk = index == 0 || !isAsciiLetterOrDigit(m_surface.at(index - 1));
    const bool rightOk = end >= m_surface.length() || !isAsciiLetterOrDigit(m_surface.at(end));
    return leftOk && rightOk;
}

bool FindReplace::searchBackward()
{
    const int n = int(m_findText.size());
    // Read in place: the scanner is done with before any message shows.
    BackwardScanner scanner(m_surface.span(0, m_surface.length()), m_findText,
                            m_matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
    if (!m_wholeWord) {
        const qsizetype p = scanner.previous(m_surface.selStart());
        if (p >= 0) {
            m_surface.setSelection(int(p), n);
            return true;
        }
        notFound();
        return false;
    }

    // Whole word: occurrences that are not whole words are passed over,
    // each retry searching before the one just looked at. When none is
    // left the selection goes back to where it was.
    if (!m_retry) {
        m_savedStart = m_surface.selStart();
        m_savedLength = m_surface.selLength();
    }
    bool hit = false;
    qsizetype pos = m_surface.selStart();
    for (;;) {
        const qsizetype p = scanner.previous(pos);
        if (p < 0) {
            notFound();
            break;
        }
        if (isWholeWordBackward(int(p))) {
            m_savedStart = int(p);
            m_savedLength = n;
            hit = true;
            break;
        }
        m_retry = true;
        // The next candidate is the nearest occurrence starting before this
        // one, overlapping it or not, so that Up passes over no occurrence
        // the forward direction would consider.
        pos = p + n - 1;
    }
    m_surface.setSelection(m_savedStart, m_savedLength);
    m_retry = false;
    return hit;
}

bool FindReplace::replace()
{
    if (m_surface.selLength() == 0)
        return find();
    m_surface.setSelText(m_replaceText);
    // Going up, the next search starts before the text just put in, which
    // holds a CR LF pair for each lone CR or LF of the replace text.
    const int caret =
        m_up ? m_surface.selStart() - int(Surface::normalizeLineBreaks(m_replaceText).size())
             : m_surface.selStart();
    m_surface.setSelStart(caret);
    return find();
}

int FindReplace::replaceAll()
{
    if (!askFindText())
        return -1;
    updateHistories();
    EditorState &state = editorState();
    state.suppressChange = m_suspendOffer ? m_suspendOffer() : true;
    state.suppressSelChange = true;
    paintSurface(false);
    // While the change handler is live it must see every replacement, so the
    // single-edit path is taken only when it is suspended. Either way the
    // whole run, corrections made while it ran included, is one undo step.
    int count = 0;
    {
        Surface::UndoGroup step(m_surface);
        count = replaceEvery(m_surface, m_findText, m_replaceText, surfaceOptions(),
                             state.suppressChange ? ReplaceMode::Batched : ReplaceMode::OneAtATime);
    }
    paintSurface(true);
    state.suppressChange = false;
    state.suppressSelChange = false;
    m_prompter.message(QString::number(count) + kItemsReplaced, QString(), MsgIcon::None,
                       MsgButtons::Ok);
    return count;
}

} // namespace qln
