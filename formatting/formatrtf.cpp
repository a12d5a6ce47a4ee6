#include "formatting/formatrtf.h"

#include "formatting/commandhost.h"
#include "surface/surface.h"

#include <QStringView>
#include <algorithm>
#include <cmath>
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

// Masking is off for an ignore string or placeholder that would split or
// join lines, and for an empty placeholder (nothing would mark the spot).
bool maskingOn(const QString &ignore, const QString &placeholder)
{
    auto hasBreak = [](const QString &s) {
        return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n'));
    };
    return !ignore.isEmpty() && !placeholder.isEmpty() && !hasBreak(ignore)
           && !hasBreak(placeholder);
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

struct Occurrence {
    int pos;    // in the original text
    int bufPos; // in the masked text
    int length; // of the ignore string as it stood
};

// One line while its strings are found: the text of [lo, hi) with every
// ignore string exchanged for the placeholder (a view of the surface's own
// text when the line has none), and which characters the string pass has
// coloured. Colours of untouched characters are read from the surface: a
// placeholder shows the format of the ignore string's first character.
struct MaskedLine {
    const Surface *surface = nullptr;
    int lo = 0;
    QStringView buf;
    const std::vector<Occurrence> *occurrences = nullptr;
    int placeholderLength = 0;
    std::vector<quint8> *coloured = nullptr; // 1: strings style written
    BgrColor stringsColor = 0;

    BgrColor baseColor(int j) const
    {
        // The last occurrence whose placeholder starts at or before j.
        const auto it = std::upper_bound(
            occurrences->begin(), occurrences->end(), j,
            [](int v, const Occurrence &o) { return v < o.bufPos; });
        if (it == occurrences->begin())
            return surface->formatAt(lo + j).color;
        const Occurrence &o = *(it - 1);
        if (j < o.bufPos + placeholderLength)
            return surface->formatAt(o.pos).color;
        return surface->formatAt(o.pos + o.length + (j - o.bufPos - placeholderLength)).color;
    }
    std::optional<BgrColor> colorOf(int pos, int n) const
    {
        std::optional<BgrColor> c;
        for (int j = pos - lo; j < pos - lo + n; ++j) {
            const BgrColor cj = (*coloured)[size_t(j)] ? stored(stringsColor) : baseColor(j);
            if (c && *c != cj)
                return std::nullopt;
            c = cj;
        }
        return c;
    }
    int find(const QString &needle, int from) const
    {
        const int p = findIn(buf, needle, std::max(from, 0) - lo);
        return p < 0 ? -1 : p + lo;
    }
};

// One string whose opening delimiter the caller found at p (the first
// occurrence after scan).
int stringSpan(MaskedLine &line, const QString &delimiter, BgrColor color, int p)
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
    std::vector<Occurrence> occurrences;
    QString masked;
    std::vector<quint8> coloured, marks;
    Ranges strings, comments;
};

} // namespace

void ColorLine(int &start, int &end, Surface &surface, const QString &delimiter1,
               const QString &delimiter2, const QString &ignore, const QString &placeholder,
               const QString &comment, BgrColor stringsColor, BgrColor commentsColor,
               const FontStyleTable &fontstyle, int stringsCategory, int commentsCategory)
{
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
    auto &occurrences = sc.occurrences;
    occurrences.clear();
    const int pl = int(placeholder.size());

    // The masked copy of the line.
    if (maskingOn(ignore, placeholder)) {
        int cur = lo;
        for (int m; (m = findIn(window, ignore, cur)) != -1; cur = m + int(ignore.size()))
            occurrences.push_back(Occurrence{m, 0, int(ignore.size())});
    }
    MaskedLine line;
    line.surface = &surface;
    line.lo = lo;
    line.occurrences = &occurrences;
    line.placeholderLength = pl;
    line.coloured = &sc.coloured;
    line.stringsColor = stringsColor;
    if (occurrences.empty()) {
        line.buf = window.mid(lo);
    } else {
        QString &m = sc.masked;
        m.resize(0);
        int i = lo;
        for (Occurrence &o : occurrences) {
            m.append(window.mid(i, o.pos - i));
            o.bufPos = int(m.size());
            m.append(placeholder);
            i = o.pos + o.length;
        }
        m.append(window.mid(i, hi - i));
        line.buf = m;
    }
    sc.coloured.assign(size_t(line.buf.size()), 0);
    const int maskedEnd = end + int(occurrences.size()) * (pl - int(ignore.size()));

    // Strings, in masked positions. The scan only moves forward, so the
    // next occurrence of a delimiter found earlier stays valid until the
    // scan passes it, and a delimiter that is not on the rest of the line
    // is never searched again: the line is read a bounded number of times.
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
        if (scan + 1 > maskedEnd)
            break;
    }

    // Back to the original text: each ignore string takes the format its
    // placeholder's first character had.
    auto &marks = sc.marks;
    if (occurrences.empty()) {
        marks.swap(sc.coloured);
    } else {
        marks.assign(size_t(hi - lo), 0);
        int i = lo, j = 0;
        auto copyPlain = [&](int upTo) {
            for (; i < upTo; ++i, ++j)
                marks[size_t(i - lo)] = sc.coloured[size_t(j)];
        };
        for (const Occurrence &o : occurrences) {
            copyPlain(o.pos);
            std::fill_n(marks.begin() + (o.pos - lo), o.length, sc.coloured[size_t(o.bufPos)]);
            i = o.pos + o.length;
            j = o.bufPos + pl;
        }
        copyPlain(hi);
    }

    // Single-line comments, on the original text. After the masking is
    // undone each ignore string carries the format its placeholder's first
    // character had; the comment pass reads and overwrites that.
    auto originalColor = [&](int i) {
        const auto it = std::upper_bound(occurrences.begin(), occurrences.end(), i,
                                         [](int v, const Occurrence &o) { return v < o.pos; });
        if (it != occurrences.begin() && i < (it - 1)->pos + (it - 1)->length)
            return surface.formatAt((it - 1)->pos).color;
        return surface.formatAt(i).color;
    };
    auto colorOf = [&](int pos, int n) -> std::optional<BgrColor> {
        std::optional<BgrColor> c;
        for (int i = pos; i < pos + n; ++i) {
            const quint8 m = marks[size_t(i - lo)];
            const BgrColor ci = m == 1 ? stored(stringsColor) : originalColor(i);
            if (c && *c != ci)
                return std::nullopt;
            c = ci;
        }
        return c;
    };
    // The first marker taken colours to the line's end; every later marker
    // lies in that comment and would colour the same characters again.
    bool commented = false;
    for (int m = findIn(window, comment, start); m != -1; m = findIn(window, comment, m + 1)) {
        const auto c = colorOf(m, int(comment.size()));
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
    for (const Occurrence &o : occurrences) {
        // Equal formats are one palette entry: comparing addresses suffices.
        const CharFormat *first = &surface.formatAt(o.pos);
        for (int k = 1; k < o.length; ++k) {
            if (&surface.formatAt(o.pos + k) != first) {
                surface.setFormat(o.pos + 1, o.length - 1, CharFormat(*first));
                break;
            }
        }
    }
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

void ColorBlockComments(int &start, int &end, Surface &surface, const FontStyleTable &fontstyle,
                        int category, BgrColor stringsColor, BgrColor commentsColor,
                        const QString &startMarker, const QString &endMarker)
{
    Q_UNUSED(end);
    const int len = surface.length();
    if (startMarker.isEmpty() || endMarker.isEmpty() || len == 0)
        return;
    // Which characters this call has coloured already; they read as the
    // comments colour from then on.
    std::vector<quint8> written;
    const BgrColor writtenColor = stored(commentsColor);
    auto colorOf = [&](int pos, int n) -> std::optional<BgrColor> {
        std::optional<BgrColor> c;
        for (int i = pos; i < pos + n; ++i) {
            const BgrColor ci = !written.empty() && written[size_t(i)] ? writtenColor
                                                                        : surface.formatAt(i).color;
            if (c && *c != ci)
                return std::nullopt;
            c = ci;
        }
        return c;
    };
    auto isColoured = [&](int pos, int n) {
        const auto c = colorOf(pos, n);
        return c && (*c == stringsColor || *c == commentsColor);
    };
    const int ns = int(startMarker.size()), ne = int(endMarker.size());
    const QStringView all = surface.span(0, len);
    Ranges ranges;
    // start - 1 + 1 without overflow for very small starts.
    qint64 scan = qint64(start) - 1;
    for (;;) {
        const int p = findIn(all, startMarker, int(std::max<qint64>(scan + 1, 0)));
        if (p == -1)
            break;
        scan = p;
        if (isColoured(p, ns))
            continue;
        int q = findIn(all, endMarker, p + 2);
        if (q == -1)
            break;
        while (isColoured(q, ne)) {
            q = findIn(all, endMarker, q + 2);
            if (q == -1)
                break;
        }
        if (q == -1)
            break;
        scan = q;
        if (written.empty())
            written.assign(size_t(len), 0);
        std::fill(written.begin() + p, written.begin() + q + ne, quint8(1));
        ranges.emplace_back(p, q + ne - p);
    }
    if (!ranges.empty())
        surface.setStyleRanges(ranges, styleOf(fontstyle, category, commentsColor));
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
