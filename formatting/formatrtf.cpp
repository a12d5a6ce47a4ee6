#include "formatting/formatrtf.h"

#include "formatting/commandhost.h"
#include "surface/surface.h"

#include <QStringView>
#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

// Each routine gives the result of colouring by find-and-select: search,
// select the match, read or set the selection's colour and styles. Doing
// that literally costs a selection change, five format writes and their
// signals per match, and (for strings) two text edits per escaped quote.
// Here the same searches run over the text (or a private copy of one line),
// colour reads look at the formats as the earlier steps of the same call
// left them, and the writes of one call go to the surface in one bulk write.

namespace qln {

namespace {

using Ranges = std::vector<std::pair<int, int>>;

Surface::TextStyle styleOf(const FontStyleTable &fontstyle, int category, BgrColor color)
{
    Surface::TextStyle style;
    style.color = color;
    if (category >= 1 && category <= 5) {
        style.bold = fontstyle[size_t(category)][1];
        style.italic = fontstyle[size_t(category)][2];
        style.underline = fontstyle[size_t(category)][3];
    }
    return style;
}

bool wholeWordOf(const FontStyleTable &fontstyle, int category)
{
    return category >= 1 && category <= 5 && fontstyle[size_t(category)][4];
}

// The surface's whole-word rule, with a table for ASCII.
struct WordTable {
    bool ascii[128];
    WordTable()
    {
        for (int c = 0; c < 128; ++c)
            ascii[c] = Surface::isWordCharacter(QChar(c));
    }
};
inline bool isWordChar(QChar c)
{
    static const WordTable table;
    return c.unicode() < 128 ? table.ascii[c.unicode()] : Surface::isWordCharacter(c);
}

// The colour a character shows once written: the surface keeps 24 bits.
BgrColor stored(BgrColor c)
{
    return c & 0xFFFFFF;
}

// The colours a pass will have written before it writes them: characters
// marked as comment or string read as that colour, the rest as the
// surface holds them.
class PendingColours {
public:
    enum Mark : quint8 { None, Comment, String };
    // Marks are only ever set within [base, end).
    PendingColours(const Surface &surface, BgrColor strings, BgrColor comments, int base, int end)
        : m_surface(surface), m_strings(strings), m_comments(comments), m_base(base), m_end(end)
    {
    }
    // The one colour of [pos, pos + n), or none when it is mixed.
    std::optional<BgrColor> colorOf(int pos, int n) const
    {
        std::optional<BgrColor> c;
        for (int i = pos; i < pos + n; ++i) {
            const quint8 w = m_marks.empty() || i < m_base || i >= m_end
                                 ? quint8(None)
                                 : m_marks[size_t(i - m_base)];
            const BgrColor ci = w == Comment  ? stored(m_comments)
                                : w == String ? stored(m_strings)
                                              : m_surface.formatAt(i).color;
            if (c && *c != ci)
                return std::nullopt;
            c = ci;
        }
        return c;
    }
    // Inside a string or comment already.
    bool isColoured(int pos, int n) const
    {
        const auto c = colorOf(pos, n);
        return c && (*c == m_strings || *c == m_comments);
    }
    void mark(int from, int to, Mark value)
    {
        if (m_marks.empty())
            m_marks.assign(size_t(m_end - m_base), None);
        std::fill(m_marks.begin() + (from - m_base), m_marks.begin() + (to - m_base), value);
    }

private:
    const Surface &m_surface;
    BgrColor m_strings, m_comments;
    int m_base, m_end;
    std::vector<quint8> m_marks;
};

// Search with the surface's rules (no options: letter case ignored) in a
// window: a match must lie wholly in [from, window.size()).
int findIn(QStringView window, const QString &needle, int from)
{
    if (needle.isEmpty())
        return -1;
    from = std::max(from, 0);
    if (from > int(window.size()) - int(needle.size()))
        return -1;
    // Letter case only matters for letters: a needle of ASCII punctuation
    // (quotes, slashes, stars) matches the same places either way, and the
    // exact search is many times faster.
    bool caseless = true;
    for (QChar c : needle)
        caseless = caseless && c.unicode() < 128 && !c.isLetter();
    if (caseless && needle.size() == 1)
        return int(window.indexOf(needle.front(), from, Qt::CaseSensitive));
    return int(window.indexOf(needle, from, caseless ? Qt::CaseSensitive : Qt::CaseInsensitive));
}

// Appends [from, to) of a 0/1 mark array (offset by base) as ranges.
void collectRuns(const std::vector<quint8> &marks, quint8 value, int base, Ranges &out)
{
    const int n = int(marks.size());
    for (int i = 0; i < n;) {
        if (marks[size_t(i)] != value) {
            ++i;
            continue;
        }
        int j = i + 1;
        while (j < n && marks[size_t(j)] == value)
            ++j;
        out.emplace_back(base + i, j - i);
        i = j;
    }
}

} // namespace

// --- word lists -----------------------------------------------------------------

int ColorWordList(const QStringList &words, int count, const FontStyleTable &fontstyle,
                  int category, int &start, int end, Surface &surface, BgrColor color,
                  ProgressSink *progress, double progressFactor, int wordsDoneBefore)
{
    if (end < 0)
        return 0;
    if (start == -1)
        start = 0;
    count = std::clamp(count, 0, int(words.size()) - 1);

    const int len = surface.length();
    const int from = std::clamp(start, 0, len);
    const int to = std::min(end, len);
    const bool wholeWord = wholeWordOf(fontstyle, category);

    if (progress && progress->isVisible())
        for (int i = 1; i <= count; ++i)
            progress->setValue(int(std::lrint((i + wordsDoneBefore) * progressFactor)));

    // All words of one list share one style, and nothing is read back, so
    // the result is the union of every word's matches.
    Ranges ranges;
    // The range with one character on either side is all that is read (a
    // word running past the end cannot match): a line while typing, the
    // whole text for the commands. d is indexed by surface position.
    const int readFrom = std::max(0, from - 1);
    const int readTo = std::min(len, std::max(from, to) + 1);
    const QChar *d = surface.span(readFrom, readTo - readFrom).data() - readFrom;

    // In whole-word mode a word made of word characters only matches a
    // whole run of word characters: walk the runs and look each up.
    struct ViewHash {
        size_t operator()(QStringView v) const { return qHash(v); }
    };
    std::unordered_set<QStringView, ViewHash> identifiers;
    quint64 lengths = 0; // bit n: some identifier word has n characters (n < 64)
    bool longIdentifier = false;
    std::vector<int> general; // the words searched for at every position
    for (int i = 1; i <= count; ++i) {
        const QString &w = words.at(i);
        if (w.isEmpty())
            continue;
        const bool identifier =
            wholeWord && std::all_of(w.begin(), w.end(), [](QChar c) { return isWordChar(c); });
        if (!identifier) {
            general.push_back(i);
            continue;
        }
        identifiers.insert(QStringView(w));
        if (w.size() < 64)
            lengths |= quint64(1) << w.size();
        else
            longIdentifier = true;
    }
    if (!identifiers.empty()) {
        int p = from;
        if (p > 0 && p < to && isWordChar(d[p - 1]))
            while (p < to && isWordChar(d[p])) // a run that starts before the range
                ++p;
        while (p < to) {
            if (!isWordChar(d[p])) {
                ++p;
                continue;
            }
            int q = p + 1;
            while (q < readTo && isWordChar(d[q]))
                ++q;
            const int n = q - p;
            if (q <= to && (n < 64 ? (lengths >> n) & 1 : longIdentifier)
                && identifiers.count(QStringView(d + p, n)))
                ranges.emplace_back(p, n);
            p = q;
        }
    }

    // The other words: at each position only those that start with its
    // character are tried.
    std::vector<std::vector<int>> groups;
    int asciiGroup[128];
    std::fill(std::begin(asciiGroup), std::end(asciiGroup), -1);
    std::unordered_map<char16_t, int> otherGroup;
    for (int i : general) {
        const QString &w = words.at(i);
        const char16_t c = w.front().unicode();
        int *slot = nullptr;
        int g;
        if (c < 128) {
            slot = &asciiGroup[c];
            g = *slot;
        } else {
            auto it = otherGroup.find(c);
            g = it == otherGroup.end() ? -1 : it->second;
        }
        if (g < 0) {
            g = int(groups.size());
            groups.emplace_back();
            if (slot)
                *slot = g;
            else
                otherGroup.emplace(c, g);
        }
        groups[size_t(g)].push_back(i);
    }
    // In whole-word mode a word that starts with a word character cannot
    // match right after another one.
    std::vector<char> startsWord(groups.size(), 0);
    for (size_t g = 0; g < groups.size(); ++g)
        startsWord[g] = wholeWord && isWordChar(words.at(groups[g].front()).front());

    int runStart = -1, runEnd = -1;
    for (int p = from; p < to && !groups.empty(); ++p) {
        const char16_t c = d[p].unicode();
        int g;
        if (c < 128) {
            g = asciiGroup[c];
        } else if (otherGroup.empty()) {
            continue;
        } else {
            auto it = otherGroup.find(c);
            g = it == otherGroup.end() ? -1 : it->second;
        }
        if (g < 0)
            continue;
        if (startsWord[size_t(g)] && p > 0 && isWordChar(d[p - 1]))
            continue;
        int longest = 0;
        for (int i : groups[size_t(g)]) {
            const QString &w = words.at(i);
            const int n = int(w.size());
            if (n <= longest || p + n > to)
                continue;
            if (QStringView(d + p, n) != QStringView(w))
                continue;
            if (wholeWord) {
                if (isWordChar(w.front()) && p > 0 && isWordChar(d[p - 1]))
                    continue;
                if (isWordChar(w.back()) && p + n < len && isWordChar(d[p + n]))
                    continue;
            }
            longest = n;
        }
        if (longest == 0)
            continue;
        if (p <= runEnd) {
            runEnd = std::max(runEnd, p + longest);
        } else {
            if (runEnd > runStart)
                ranges.emplace_back(runStart, runEnd - runStart);
            runStart = p;
            runEnd = p + longest;
        }
    }
    if (runEnd > runStart)
        ranges.emplace_back(runStart, runEnd - runStart);
    if (!ranges.empty())
        surface.setStyleRanges(ranges, styleOf(fontstyle, category, color));
    return count;
}

// --- one line: strings and single-line comments ------------------------------

namespace {

// A run of characters that neither opens nor closes a string: an ignore
// string, or the escape with the character it takes along.
struct Inert {
    int pos;
    int length;
};

bool usableIgnore(const QString &ignore)
{
    return !ignore.isEmpty() && !ignore.contains(QLatin1Char('\r'))
           && !ignore.contains(QLatin1Char('\n'));
}

// Searching for characters without letter case (a backslash) need not
// fold case, and is many times faster.
Qt::CaseSensitivity caseOf(QChar a, QChar b)
{
    auto caseless = [](QChar c) { return c.toLower() == c && c.toUpper() == c; };
    return caseless(a) && caseless(b) ? Qt::CaseSensitive : Qt::CaseInsensitive;
}

bool startsAt(QStringView text, int pos, const QString &needle)
{
    return QStringView(text).mid(pos, needle.size()).compare(needle, Qt::CaseInsensitive) == 0;
}

// The inert runs of [from, to), found left to right: at each position the
// ignore string first, then the escape and the character after it. Letter
// case is ignored, as the ignore string was searched for.
void findInert(QStringView text, int from, int to, const QString &ignore, const QString &escape,
               std::vector<Inert> &out)
{
    out.clear();
    const bool withIgnore = usableIgnore(ignore);
    const bool withEscape = !escape.isEmpty();
    if (!withIgnore && !withEscape)
        return;
    const QChar a = withIgnore ? ignore.front() : escape.front();
    const QChar b = withEscape ? escape.front() : a;
    const Qt::CaseSensitivity cs = caseOf(a, b);
    const QStringView window = text.left(to);
    for (int i = from; i < to;) {
        qsizetype next = window.indexOf(a, i, cs);
        if (b != a) {
            const qsizetype other = window.indexOf(b, i, cs);
            if (other >= 0 && (next < 0 || other < next))
                next = other;
        }
        if (next < 0)
            break;
        i = int(next);
        if (withIgnore && i + int(ignore.size()) <= to && startsAt(window, i, ignore)) {
            out.push_back(Inert{i, int(ignore.size())});
            i += int(ignore.size());
        } else if (withEscape && i + int(escape.size()) < to && startsAt(window, i, escape)) {
            out.push_back(Inert{i, int(escape.size()) + 1});
            i += int(escape.size()) + 1;
        } else {
            ++i;
        }
    }
}

// One line while its strings are found: which characters the string pass
// has coloured, the colours of the others read from the surface.
struct LineStrings {
    const Surface *surface = nullptr;
    QStringView window; // surface positions, up to the line's end
    int lo = 0;
    const std::vector<Inert> *inert = nullptr;
    std::vector<quint8> *coloured = nullptr; // 1: strings style written
    BgrColor stringsColor = 0;

    std::optional<BgrColor> colorOf(int pos, int n) const
    {
        std::optional<BgrColor> c;
        for (int i = pos; i < pos + n; ++i) {
            const BgrColor ci =
                (*coloured)[size_t(i - lo)] ? stored(stringsColor) : surface->formatAt(i).color;
            if (c && *c != ci)
                return std::nullopt;
            c = ci;
        }
        return c;
    }
    // The first occurrence of needle from `from` that overlaps no inert run.
    int find(const QString &needle, int from) const
    {
        const int n = int(needle.size());
        // The runs are sorted and disjoint; the search only moves forward.
        auto it = inert->begin();
        for (int p = findIn(window, needle, std::max(from, lo)); p != -1;) {
            it = std::upper_bound(it, inert->end(), p,
                                  [](int v, const Inert &r) { return v < r.pos + r.length; });
            if (it == inert->end() || it->pos >= p + n)
                return p;
            // Any occurrence that starts before this run's end overlaps it.
            p = findIn(window, needle, std::max(p + 1, it->pos + it->length));
        }
        return -1;
    }
};

// One string whose opening delimiter the caller found at p (the first
// occurrence after scan).
int stringSpan(LineStrings &line, const QString &delimiter, BgrColor color, int p)
{
    const int n = int(delimiter.size());
    const auto c = line.colorOf(p, n);
    if (c && *c == color)
        return p;
    const int q = line.find(delimiter, p + 1);
    if (q == -1)
        return p;
    // A delimiter of several characters may close overlapping its opening
    // one (three apostrophes with a two-apostrophe delimiter): then nothing
    // lies between them.
    if (q > p + n)
        std::fill(line.coloured->begin() + (p + n - line.lo),
                  line.coloured->begin() + (q - line.lo), quint8(1));
    return q;
}

// Buffers reused from line to line: colourize-all calls ColorLine once per
// line of the document.
struct LineScratch {
    std::vector<Inert> inert;
    std::vector<quint8> marks;
    Ranges strings, comments;
};

} // namespace

QString EscapeOf(const QString &ignore, const QString &delimiter1, const QString &delimiter2)
{
    if (!usableIgnore(ignore) || ignore.size() < 2)
        return QString();
    const QString escape = ignore.chopped(1);
    for (QChar c : escape)
        if (delimiter1.contains(c, Qt::CaseInsensitive)
            || delimiter2.contains(c, Qt::CaseInsensitive))
            return QString();
    return escape;
}

void ColorLine(int &start, int &end, Surface &surface, const QString &delimiter1,
               const QString &delimiter2, const QString &ignore, const QString &placeholder,
               const QString &comment, BgrColor stringsColor, BgrColor commentsColor,
               const FontStyleTable &fontstyle, int stringsCategory, int commentsCategory)
{
    Q_UNUSED(placeholder);
    if (end < 0)
        return;
    if (start == -1)
        start = 0;
    const int len = surface.length();
    const int lo = std::clamp(start, 0, len);
    const int hi = std::min(end, len);
    if (lo >= hi)
        return;
    // Positions in window are surface positions; only [lo, hi) is read.
    const QStringView window = surface.span(0, hi);
    thread_local LineScratch scratch;
    LineScratch &sc = scratch;
    findInert(window, lo, hi, ignore, EscapeOf(ignore, delimiter1, delimiter2), sc.inert);
    auto &marks = sc.marks;
    marks.assign(size_t(hi - lo), 0);
    LineStrings line;
    line.surface = &surface;
    line.window = window;
    line.lo = lo;
    line.inert = &sc.inert;
    line.coloured = &marks;
    line.stringsColor = stringsColor;

    // Strings. The scan only moves forward, so the next occurrence of a
    // delimiter found earlier stays valid until the scan passes it, and a
    // delimiter that is not on the rest of the line is never searched
    // again: the line is read a bounded number of times.
    int scan = start == 0 ? -1 : start;
    int a = line.find(delimiter1, start);
    int b = line.find(delimiter2, start);
    while (a != -1 || b != -1) {
        const bool first = a != -1 && (b == -1 || a < b);
        const QString &delimiter = first ? delimiter1 : delimiter2;
        scan = stringSpan(line, delimiter, stringsColor, first ? a : b);
        if (a != -1 && a < scan + 1)
            a = line.find(delimiter1, scan + 1);
        if (b != -1 && b < scan + 1)
            b = line.find(delimiter2, scan + 1);
        if (scan + 1 > end)
            break;
    }

    // Single-line comments: a marker counts unless the string pass (or an
    // earlier colouring) left it in the strings colour.
    // The first marker taken colours to the line's end; every later marker
    // lies in that comment and would colour the same characters again.
    bool commented = false;
    for (int m = findIn(window, comment, start); m != -1; m = findIn(window, comment, m + 1)) {
        const auto c = line.colorOf(m, int(comment.size()));
        if (c && *c != stringsColor) {
            std::fill(marks.begin() + (m - lo), marks.end(), quint8(2));
            commented = true;
            break;
        }
    }

    sc.strings.clear();
    sc.comments.clear();
    collectRuns(marks, 1, lo, sc.strings);
    if (commented)
        collectRuns(marks, 2, lo, sc.comments);
    if (!sc.strings.empty())
        surface.setStyleRanges(sc.strings, styleOf(fontstyle, stringsCategory, stringsColor));
    if (!sc.comments.empty())
        surface.setStyleRanges(sc.comments, styleOf(fontstyle, commentsCategory, commentsColor));
}

int ColorStringSpan(const FontStyleTable &fontstyle, int category, const QString &delimiter,
                    BgrColor color, int &scan, int end, Surface &surface)
{
    const int p = surface.indexOf(delimiter, scan + 1, end);
    if (p == -1)
        return scan;
    const int n = int(delimiter.size());
    std::optional<BgrColor> c;
    for (int i = p; i < p + n; ++i) {
        const BgrColor ci = surface.formatAt(i).color;
        if (c && *c != ci) {
            c.reset();
            break;
        }
        c = ci;
    }
    if (c && *c == color)
        return p;
    const int q = surface.indexOf(delimiter, p + 1, end);
    if (q == -1)
        return p;
    if (q - (p + n) > 0)
        surface.setStyleRanges({{p + n, q - (p + n)}}, styleOf(fontstyle, category, color));
    return q;
}

// --- multi-line comments ----------------------------------------------------------

bool ColorBlockComments(int &start, int &end, Surface &surface, const FontStyleTable &fontstyle,
                        int category, BgrColor stringsColor, BgrColor commentsColor,
                        const QString &startMarker, const QString &endMarker, int limit)
{
    Q_UNUSED(end);
    const int whole = surface.length();
    const int len = limit < 0 ? whole : std::min(limit, whole);
    if (startMarker.isEmpty() || endMarker.isEmpty() || len == 0)
        return false;
    const bool bounded = len < whole;
    // Which characters this call has coloured already; they read as the
    // comments colour from then on.
    PendingColours written(surface, stringsColor, commentsColor, std::clamp(start, 0, len), len);
    const int ns = int(startMarker.size()), ne = int(endMarker.size());
    const QStringView all = surface.span(0, len);
    bool open = false;
    Ranges ranges;
    // start - 1 + 1 without overflow for very small starts.
    qint64 scan = qint64(start) - 1;
    for (;;) {
        const int p = findIn(all, startMarker, int(std::max<qint64>(scan + 1, 0)));
        if (p == -1)
            break;
        scan = p;
        if (written.isColoured(p, ns))
            continue;
        int q = findIn(all, endMarker, p + 2);
        while (q != -1 && written.isColoured(q, ne))
            q = findIn(all, endMarker, q + 2);
        if (q == -1) {
            open = bounded;
            break;
        }
        scan = q;
        written.mark(p, q + ne, PendingColours::Comment);
        ranges.emplace_back(p, q + ne - p);
    }
    if (!ranges.empty())
        surface.setStyleRanges(ranges, styleOf(fontstyle, category, commentsColor));
    return open;
}

// --- text blocks ---------------------------------------------------------------------

namespace {

// The inert run (ignore string, or escape and the character after it) that
// starts at i, or 0 characters when none does.
int inertAt(QStringView text, int i, const QString &ignore, const QString &escape)
{
    const int n = int(text.size());
    if (usableIgnore(ignore) && i + int(ignore.size()) <= n && startsAt(text, i, ignore))
        return int(ignore.size());
    if (!escape.isEmpty() && i + int(escape.size()) < n && startsAt(text, i, escape))
        return int(escape.size()) + 1;
    return 0;
}

// The first occurrence of needle from `from` that overlaps none of the
// inert runs found left to right from `from`; -1 when there is none.
int findOutsideInert(QStringView text, const QString &needle, int from, const QString &ignore,
                     const QString &escape)
{
    const bool withIgnore = usableIgnore(ignore);
    const QChar a = withIgnore ? ignore.front() : escape.isEmpty() ? QChar() : escape.front();
    const QChar b = escape.isEmpty() ? a : escape.front();
    const int n = int(needle.size());
    int i = from;
    int t = findIn(text, needle, i);
    while (t >= 0) {
        // The next place an inert run may start.
        qsizetype c = -1;
        if (withIgnore || !escape.isEmpty()) {
            const QStringView head = text.left(std::min<qsizetype>(text.size(), t + n));
            c = head.indexOf(a, i, caseOf(a, b));
            if (b != a) {
                const qsizetype other = head.indexOf(b, i, caseOf(a, b));
                if (other >= 0 && (c < 0 || other < c))
                    c = other;
            }
        }
        if (c < 0)
            return t;
        const int run = inertAt(text, int(c), ignore, escape);
        i = int(c) + std::max(run, 1);
        if (t < i && run > 0)
            t = findIn(text, needle, i);
    }
    return -1;
}

// The first opening run of a text block from `from`: as javac has it,
// only blanks (spaces, tabs, form feeds, a carriage return) may follow it
// on its line, so a line holds at most one, at its end, and at most one
// text block closes on any line.
int nextOpener(QStringView all, const QString &block, int from)
{
    const int n = int(all.size()), nb = int(block.size());
    auto blank = [](QChar c) {
        return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\f')
               || c == QLatin1Char('\r');
    };
    for (int start = std::max(from, 0); start <= n;) {
        const qsizetype feed = all.indexOf(QLatin1Char('\n'), start);
        const int end = feed < 0 ? n : int(feed);
        int k = end;
        while (k > start && blank(all[k - 1]))
            --k;
        if (k - nb >= start && startsAt(all, k - nb, block))
            return k - nb;
        if (feed < 0)
            return -1;
        start = end + 1;
    }
    return -1;
}

} // namespace

bool ColorTextBlocks(Surface &surface, const QString &delimiter1, const QString &delimiter2,
                     const QString &ignore, const FontStyleTable &fontstyle, int category,
                     BgrColor stringsColor, BgrColor commentsColor, const QString &startMarker,
                     const QString &endMarker, const std::function<void(int, int)> &recolourLine,
                     int from, int limit)
{
    if (delimiter1.isEmpty())
        return false;
    const int whole = surface.length();
    const int len = limit < 0 ? whole : std::min(limit, whole);
    const bool bounded = len < whole;
    from = std::clamp(from, 0, len);
    const QString block = delimiter1.repeated(3);
    const QString escape = EscapeOf(ignore, delimiter1, delimiter2);
    const bool comments = !startMarker.isEmpty() && !endMarker.isEmpty();
    const int nb = int(block.size());
    const int ns = int(startMarker.size()), ne = int(endMarker.size());
    // Comments and text blocks passed so far, as ColorBlockComments will
    // colour the comments.
    PendingColours written(surface, stringsColor, commentsColor, from, len);

    // The next opening run and start marker are kept until the scan passes
    // them, so the text is read about once whatever it holds.
    int t = -2, p = comments ? -2 : -1;
    for (int scan = from - 1;;) {
        // The text changes only in format: a fresh view after each recolouring.
        const QStringView all = surface.span(0, len);
        if (t == -2 || (t >= 0 && t < scan + 1))
            t = nextOpener(all, block, scan + 1);
        if (p == -2 || (p >= 0 && p < scan + 1))
            p = findIn(all, startMarker, scan + 1);
        if (t == -1) // no text block further on: the comments no longer matter
            return false;
        if (p != -1 && (t == -1 || p <= t)) {
            // A multi-line comment, found as ColorBlockComments finds it.
            scan = p;
            if (written.isColoured(p, ns))
                continue;
            int q = findIn(all, endMarker, p + 2);
            while (q != -1 && written.isColoured(q, ne))
                q = findIn(all, endMarker, q + 2);
            if (q == -1)
                return bounded;
            scan = q;
            written.mark(p, q + ne, PendingColours::Comment);
            continue;
        }
        scan = t;
        if (written.isColoured(t, nb))
            continue;
        const int close = findOutsideInert(all, block, t + nb, ignore, escape);
        if (close == -1)
            return bounded;
        if (close > t + nb) {
            surface.setStyleRanges({{t + nb, close - (t + nb)}},
                                   styleOf(fontstyle, category, stringsColor));
            written.mark(t + nb, close, PendingColours::String);
        }
        scan = close + nb - 1;
        const int rest = close + nb;
        const int feed = int(all.indexOf(QLatin1Char('\n'), rest));
        if (recolourLine && rest < (feed < 0 ? int(all.size()) : feed))
            recolourLine(rest, feed);
    }
}

// --- masking -----------------------------------------------------------------------

namespace {

// The exchanges edit the text without recording undo, so the undo history
// only stays true when the pair gives back exactly the text it started
// from. Masking remembers a copy of that text;
// unmasking compares, and when the text differs (a placeholder was in the
// text before, letters of another case were masked, an unmask without its
// mask) the history no longer describes the text and is dropped.
struct MaskJournal {
    const Surface *surface = nullptr;
    QString textBefore;
};
thread_local MaskJournal journal;

int exchange(int start, int end, Surface &surface, const QString &from, const QString &to)
{
    if (from.isEmpty())
        return end;
    const bool wasRecording = surface.setUndoRecording(false);
    const int delta = int(to.size()) - int(from.size());
    int cur = start;
    for (int m; (m = surface.find(from, cur, end)) != -1;) {
        surface.setSelText(to);
        end += delta;
        cur = m + int(to.size());
    }
    surface.setUndoRecording(wasRecording);
    return end;
}

} // namespace

int MaskIgnoreText(int start, int end, Surface &surface, const QString &ignore,
                   const QString &placeholder)
{
    journal.surface = &surface;
    journal.textBefore = surface.text();
    return exchange(start, end, surface, ignore, placeholder);
}

int UnmaskIgnoreText(int start, int end, Surface &surface, const QString &ignore,
                     const QString &placeholder)
{
    const quint64 revision = surface.revision();
    end = exchange(start, end, surface, placeholder, ignore);
    const bool paired = journal.surface == &surface;
    const bool restored = paired && journal.textBefore == surface.span(0, surface.length());
    const bool changed = paired ? !restored : surface.revision() != revision;
    if (paired) {
        journal.surface = nullptr;
        journal.textBefore.clear();
    }
    if (changed)
        surface.clearUndo();
    return end;
}

} // namespace qln
