#include "surface/formatruns.h"

namespace qln {

int FormatRuns::runAt(int pos) const
{
    // The last run starting at or before pos. Most look-ups fall near the
    // last edit (styles go through the text in order): the search gallops
    // out from the gap, then halves.
    const int n = runCount();
    if (n <= 1)
        return 0;
    const int g = std::clamp(gapPosition(), 1, n) - 1;
    int lo, hi; // the answer lies in [lo, hi]
    if (runStart(g) <= pos) {
        lo = g;
        int step = 1, probe = g + 1;
        while (probe < n && runStart(probe) <= pos) {
            lo = probe;
            step *= 2;
            probe = lo + step;
        }
        hi = std::min(probe, n) - 1;
    } else {
        // The first run starts at 0, so g > 0 here.
        hi = g - 1;
        int step = 1, probe = g - 1;
        while (probe > 0 && runStart(probe) > pos) {
            hi = probe - 1;
            step *= 2;
            probe = std::max(0, probe - step);
        }
        lo = probe;
    }
    while (lo < hi) {
        const int mid = lo + (hi - lo + 1) / 2;
        if (runStart(mid) <= pos)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

template <typename R>
void FormatRuns::spliceInto(GapBuffer<R> &runs, int first, int last, const R *src, int count)
{
    // Runs between the gap and first change sides, and so their keys.
    const int gap = runs.gapPosition();
    const int length = m_length;
    auto flip = [length](R *p, int, int n) {
        for (int i = 0; i < n; ++i)
            p[i].key = length - p[i].key;
    };
    if (first < gap)
        runs.forEachPieceMutable(first, gap - first, flip);
    else if (first > gap)
        runs.forEachPieceMutable(gap, first - gap, flip);
    runs.moveGap(first);
    // The new runs lie before the gap (starts); those after it keep their
    // distance from the end.
    runs.replace(first, last - first, src, count);
}

void FormatRuns::widen()
{
    const int n = m_narrowRuns.size();
    std::vector<Run> all(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        all[size_t(i)] = Run{runStart(i), runFormat(i)};
    // Every key a start: the gap stands at the end.
    m_wideRuns.adopt(std::move(all));
    m_narrowRuns = GapBuffer<NarrowRun>();
    m_wide = true;
}

void FormatRuns::splice(int first, int last, int newLength)
{
    if (!m_wide) {
        for (const Run &r : m_pieces) {
            if (r.format > 0xFFFF) {
                widen();
                break;
            }
        }
    }
    if (m_wide) {
        spliceInto(m_wideRuns, first, last, m_pieces.data(), int(m_pieces.size()));
    } else {
        m_narrowPieces.resize(m_pieces.size());
        for (size_t i = 0; i < m_pieces.size(); ++i)
            m_narrowPieces[i] = NarrowRun{m_pieces[i].key, quint16(m_pieces[i].format)};
        spliceInto(m_narrowRuns, first, last, m_narrowPieces.data(), int(m_narrowPieces.size()));
    }
    m_length = newLength;
    releaseLargePieces();
}

void FormatRuns::replace(int pos, int removed, const FormatIndex *formats, int count,
                         FormatIndex fill)
{
    const int end = pos + removed;
    const int delta = count - removed;
    // The runs touched, with the one before and after so that equal
    // neighbours join.
    const int first = runCount() == 0 ? 0 : runAt(std::max(pos - 1, 0));
    const int last = end < m_length ? runAt(end) + 1 : runCount();
    m_pieces.clear();
    bool inserted = count == 0;
    auto insert = [&] {
        if (formats) {
            for (int k = 0; k < count; ++k)
                addPiece(pos + k, formats[k]);
        } else if (count > 0) {
            addPiece(pos, fill);
        }
        inserted = true;
    };
    for (int i = first; i < last; ++i) {
        const int s = runStart(i), e = runEnd(i);
        const FormatIndex f = runFormat(i);
        if (s < pos)
            addPiece(s, f);
        if (e > end) {
            if (!inserted)
                insert();
            addPiece(std::max(s, end) + delta, f);
        }
    }
    if (!inserted)
        insert();
    splice(first, last, m_length + delta);
}

} // namespace qln
