#pragma once
// The formats of a surface's text as runs: (start, format) pairs, one
// where the format changes, so that memory grows with the number of
// changes of format, not with the length of the text. Runs are kept in a
// gap buffer at the last edit; those after the gap hold their distance
// from the end of the text, which an edit before them does not change, so
// an edit costs the distance the gap moves plus the runs it touches. No
// two neighbouring runs have the same format. A run takes six bytes while
// every format index fits in 16 bits (a palette of up to 65,536 formats,
// which real documents stay far below); the first larger index widens
// every run to eight bytes for good.

#include "surface/gapbuffer.h"

#include <QtGlobal>
#include <algorithm>
#include <utility>
#include <vector>

namespace qln {

class FormatRuns {
public:
    using FormatIndex = quint32;

    int length() const { return m_length; }
    int runCount() const { return m_wide ? m_wideRuns.size() : m_narrowRuns.size(); }
    // The format of the character at pos (0 <= pos < length()).
    FormatIndex at(int pos) const { return runFormat(runAt(pos)); }

    // Replaces [pos, pos + removed) by count characters, with the formats
    // from formats, or all in fill when formats is nullptr.
    void replace(int pos, int removed, const FormatIndex *formats, int count, FormatIndex fill);

    // Calls f(start, length, format) for the runs of [start, start + length)
    // in order, cut to the range.
    template <typename F> void forEachRun(int start, int length, F &&f) const
    {
        if (length <= 0)
            return;
        const int end = start + length;
        for (int i = runAt(start); i < runCount(); ++i) {
            const int s = runStart(i);
            if (s >= end)
                break;
            const int e = std::min(runEnd(i), end);
            const int from = std::max(s, start);
            f(from, e - from, runFormat(i));
        }
    }

    // Gives each character of [start, start + length) the format map(its
    // format). Returns the span [first, end) of the characters whose format
    // changed (empty when none did).
    template <typename Map> std::pair<int, int> map(int start, int length, Map &&mapping);

private:
    struct Run {
        int key; // before the gap: the start; after it: length() - start
        FormatIndex format;
    };
#pragma pack(push, 1)
    struct NarrowRun {
        int key;
        quint16 format;
    };
#pragma pack(pop)
    static_assert(sizeof(NarrowRun) == 6);

    int gapPosition() const
    {
        return m_wide ? m_wideRuns.gapPosition() : m_narrowRuns.gapPosition();
    }
    int runKey(int i) const
    {
        return m_wide ? m_wideRuns.at(i).key : m_narrowRuns.at(i).key;
    }
    int runStart(int i) const
    {
        const int key = runKey(i);
        return i < gapPosition() ? key : m_length - key;
    }
    int runEnd(int i) const
    {
        return i + 1 < runCount() ? runStart(i + 1) : m_length;
    }
    FormatIndex runFormat(int i) const
    {
        return m_wide ? m_wideRuns.at(i).format : m_narrowRuns.at(i).format;
    }
    // The run holding pos (the last run for pos >= length()).
    int runAt(int pos) const;
    // Replaces runs [first, last) by m_pieces (their keys the starts in the
    // text as it is after the edit, which makes the text newLength long).
    void splice(int first, int last, int newLength);
    // Replaces runs [first, last) of runs by the count runs at src.
    template <typename R>
    void spliceInto(GapBuffer<R> &runs, int first, int last, const R *src, int count);
    // Every run from now on takes eight bytes.
    void widen();
    // Room for the pieces of everyday edits is kept; that of a large one goes.
    void releaseLargePieces()
    {
        if (m_pieces.capacity() > 4096)
            std::vector<Run>().swap(m_pieces);
        if (m_narrowPieces.capacity() > 4096)
            std::vector<NarrowRun>().swap(m_narrowPieces);
    }
    // Appends a run to m_pieces unless it continues the last one.
    void addPiece(int start, FormatIndex format)
    {
        if (m_pieces.empty() || m_pieces.back().format != format)
            m_pieces.push_back(Run{start, format});
    }

    GapBuffer<NarrowRun> m_narrowRuns; // while !m_wide
    GapBuffer<Run> m_wideRuns;         // once m_wide
    bool m_wide = false;
    int m_length = 0;
    std::vector<Run> m_pieces;             // the runs an edit puts in, kept for its room
    std::vector<NarrowRun> m_narrowPieces; // the same, narrowed
};

template <typename Map> std::pair<int, int> FormatRuns::map(int start, int length, Map &&mapping)
{
    start = std::clamp(start, 0, m_length);
    length = std::clamp(length, 0, m_length - start);
    if (length == 0)
        return {0, 0};
    const int end = start + length;
    // The runs touched, with the one before and after so that equal
    // neighbours join.
    const int first = runAt(std::max(start - 1, 0));
    const int last = end < m_length ? runAt(end) + 1 : runCount();
    m_pieces.clear();
    int lo = end, hi = start;
    for (int i = first; i < last; ++i) {
        const int s = runStart(i), e = runEnd(i);
        const FormatIndex f = runFormat(i);
        if (s < start)
            addPiece(s, f);
        const int from = std::max(s, start), to = std::min(e, end);
        if (from < to) {
            const FormatIndex g = mapping(f);
            if (g != f) {
                lo = std::min(lo, from);
                hi = std::max(hi, to);
            }
            addPiece(from, g);
        }
        if (e > end)
            addPiece(std::max(s, end), f);
    }
    if (lo >= hi) {
        releaseLargePieces(); // a look that changed nothing keeps no room either
        return {0, 0};
    }
    splice(first, last, m_length);
    return {lo, hi};
}

} // namespace qln
