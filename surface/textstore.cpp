#include "surface/textstore.h"

#include "surface/textscan.h"

namespace qln {

TextStore::TextStore()
{
    m_palette.push_back(CharFormat{});
    m_paletteIndex.insert(CharFormat{}, 0);
}

QString TextStore::normalizeLineBreaks(QString text)
{
    return toCrLf(std::move(text));
}

// --- text ---------------------------------------------------------------------

QStringView TextStore::span(int pos, int length) const
{
    clampRange(pos, length);
    return QStringView(m_text.contiguous(pos, length), length);
}

QString TextStore::mid(int pos, int length) const
{
    // Copied piece by piece: the gap stays where it is.
    clampRange(pos, length);
    QString out(length, Qt::Uninitialized);
    m_text.copyTo(pos, length, out.data());
    return out;
}

void TextStore::appendText(int pos, int length, QString &out) const
{
    m_text.forEachPiece(pos, length,
                        [&out](const QChar *p, int, int k) { out.append(QStringView(p, k)); });
}

int TextStore::replace(int pos, int removed, QString text, const FormatIndex *formats,
                       FormatIndex fill)
{
    const int len = length();
    const int inserted = int(text.size());
    // Line starts: those inside the removed text go (one per line feed
    // removed), those of the inserted text come; the ones after the edit
    // need no update.
    const int first = m_lineStarts.upperBound(pos, len);
    const int last = removed > 0 ? m_lineStarts.upperBound(pos + removed, len) : first;
    std::vector<int> added;
    const QStringView view(text);
    for (qsizetype i = view.indexOf(u'\n'); i >= 0; i = view.indexOf(u'\n', i + 1))
        added.push_back(pos + int(i) + 1);
    m_lineStarts.replace(first, last, added, len);

    if (pos == 0 && removed == len && !formats)
        m_text.adopt(std::move(text));
    else
        m_text.replace(pos, removed, text.constData(), inserted);
    m_formats.replace(pos, removed, formats, inserted, fill);
    return last - first;
}

// --- lines --------------------------------------------------------------------------

int TextStore::lineIndex(int line) const
{
    if (line < 0 || line >= lineCount())
        return -1;
    return m_lineStarts.at(line, length());
}

int TextStore::lineFromChar(int pos) const
{
    pos = std::clamp(pos, 0, length());
    return m_lineStarts.upperBound(pos, length()) - 1;
}

int TextStore::lineLength(int line) const
{
    if (line < 0 || line >= lineCount())
        return 0;
    const int len = length();
    const int start = m_lineStarts.at(line, len);
    const int next = line + 1 < lineCount() ? m_lineStarts.at(line + 1, len) - 2 : len;
    return next - start;
}

QString TextStore::lineText(int line) const
{
    const int start = lineIndex(line);
    return start < 0 ? QString() : mid(start, lineLength(line));
}

int TextStore::toViewPosition(int pos) const
{
    pos = std::clamp(pos, 0, length());
    const int line = lineFromChar(pos);
    // A position on the LF of a line break is the end of the line there.
    const int lineEnd = m_lineStarts.at(line, length()) + lineLength(line);
    return std::min(pos, lineEnd) - line;
}

int TextStore::fromViewPosition(int viewPos) const
{
    // Line n starts at model position start(n) and view position start(n) - n.
    const int len = length();
    int lo = 0, hi = lineCount() - 1;
    while (lo < hi) {
        const int mid = (lo + hi + 1) / 2;
        if (m_lineStarts.at(mid, len) - mid <= viewPos)
            lo = mid;
        else
            hi = mid - 1;
    }
    const int start = m_lineStarts.at(lo, len);
    const int offset = std::clamp(viewPos - (start - lo), 0, lineLength(lo));
    return start + offset;
}

// --- find -------------------------------------------------------------------------

bool TextStore::wholeWordAt(int pos, int len, const QString &needle) const
{
    if (isWordCharacter(needle.front()) && pos > 0 && isWordCharacter(at(pos - 1)))
        return false;
    if (isWordCharacter(needle.back()) && pos + len < length() && isWordCharacter(at(pos + len)))
        return false;
    return true;
}

int TextStore::indexOf(const QString &needle, int start, int end, int options) const
{
    const int len = length();
    if (needle.isEmpty())
        return -1;
    if (start < 0)
        start = 0;
    if (end < 0 || end > len)
        end = len;
    const int n = int(needle.size());
    if (start > end - n)
        return -1;
    const Qt::CaseSensitivity cs =
        (options & FindMatchCase) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    // First accepted match in `window` (the characters from `base` on)
    // starting no later than lastStart; the window ends where a match must.
    auto search = [&](QStringView window, int base, int lastStart) -> int {
        qsizetype from = 0;
        while (base + from <= lastStart) {
            const qsizetype p = window.indexOf(needle, from, cs);
            if (p < 0 || base + p > lastStart)
                return -1;
            if (!(options & FindWholeWord) || wholeWordAt(base + int(p), n, needle))
                return base + int(p);
            from = p + 1;
        }
        return -1;
    };
    // First the part before the gap, then the few places where a match
    // runs across the gap, then the part after it.
    const int gap = m_text.gapPosition();
    if (gap <= start || gap >= end) {
        QStringView window;
        m_text.forEachPiece(start, end - start,
                            [&window](const QChar *p, int, int k) { window = QStringView(p, k); });
        return search(window, start, end - n);
    }
    QStringView before, after;
    m_text.forEachPiece(start, end - start, [&](const QChar *p, int offset, int k) {
        (offset == 0 ? before : after) = QStringView(p, k);
    });
    int found = search(before, start, gap - n);
    if (found >= 0)
        return found;
    const int acrossStart = std::max(start, gap - n + 1);
    const int acrossEnd = std::min(end, gap + n - 1);
    if (acrossEnd - acrossStart >= n) {
        found = search(mid(acrossStart, acrossEnd - acrossStart), acrossStart, gap - 1);
        if (found >= 0)
            return found;
    }
    return search(after, gap, end - n);
}

// --- formats ------------------------------------------------------------------------

TextStore::FormatIndex TextStore::intern(const CharFormat &format)
{
    auto it = m_paletteIndex.constFind(format);
    if (it != m_paletteIndex.constEnd())
        return it.value();
    // The palette only grows: it holds each distinct format ever used, which
    // stays small in practice, and no index held anywhere goes stale.
    const auto idx = FormatIndex(m_palette.size());
    m_palette.push_back(format);
    m_paletteIndex.insert(format, idx);
    return idx;
}

void TextStore::appendFormats(int pos, int length, std::vector<FormatIndex> &out) const
{
    m_formats.forEachRun(
        pos, length, [&out](int, int n, FormatIndex f) { out.insert(out.end(), size_t(n), f); });
}

void TextStore::fillFormats(int start, int length, FormatIndex index)
{
    m_formats.map(start, length, [index](FormatIndex) { return index; });
}

std::pair<int, int> TextStore::setStyle(const std::vector<std::pair<int, int>> &ranges,
                                        const TextStyle &style)
{
    // The style is the same for every range, so overlapping ranges join;
    // taken in order, the runs' gap only moves forward.
    std::vector<std::pair<int, int>> spans; // [start, end)
    spans.reserve(ranges.size());
    for (const auto &[rawStart, rawLength] : ranges) {
        if (rawLength <= 0)
            continue;
        const int start = int(std::clamp<qint64>(rawStart, 0, length()));
        const int stop = int(std::clamp<qint64>(qint64(rawStart) + rawLength, 0, length()));
        if (stop > start)
            spans.emplace_back(start, stop);
    }
    std::sort(spans.begin(), spans.end());
    // One palette look-up per distinct old format, shared by all ranges.
    QHash<FormatIndex, FormatIndex> remap;
    auto restyle = [&](FormatIndex from) {
        auto it = remap.constFind(from);
        if (it != remap.constEnd())
            return it.value();
        CharFormat cf = m_palette[from];
        cf.color = style.color & 0xFFFFFF;
        cf.bold = style.bold;
        cf.italic = style.italic;
        cf.underline = style.underline;
        const FormatIndex to = intern(cf);
        remap.insert(from, to);
        return to;
    };
    int lo = length(), hi = 0;
    for (size_t i = 0; i < spans.size();) {
        const int start = spans[i].first;
        int stop = spans[i].second;
        for (++i; i < spans.size() && spans[i].first <= stop; ++i)
            stop = std::max(stop, spans[i].second);
        const auto [from, to] = m_formats.map(start, stop - start, restyle);
        if (from < to) {
            lo = std::min(lo, from);
            hi = std::max(hi, to);
        }
    }
    return {lo, std::max(lo, hi)};
}

std::vector<TextStore::FormatRun> TextStore::formatRuns(int start, int length) const
{
    std::vector<FormatRun> runs;
    clampRange(start, length);
    m_formats.forEachRun(start, length, [&](int from, int n, FormatIndex f) {
        runs.push_back(FormatRun{from - start, n, &m_palette[f]});
    });
    return runs;
}

} // namespace qln
