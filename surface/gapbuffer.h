#pragma once
// Storage for the surface: arrays with a gap at the last edit, so an edit
// costs the distance the gap moves plus the characters it changes, never
// the length of the whole array. The array is a std::vector, or for text a
// QString, so that a decoded file becomes the text without a copy.

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

namespace qln {

template <typename T, typename Storage = std::vector<T>> class GapBuffer {
    static_assert(std::is_trivially_copyable_v<T>, "the gap moves by memmove");

public:
    // Takes data as the whole content, without a copy; its spare capacity,
    // if it holds the only reference, becomes the gap at the end.
    void adopt(Storage &&data)
    {
        m_data = std::move(data);
        m_gapStart = qsizetype(m_data.size());
        if constexpr (std::is_same_v<Storage, QString>) {
            if (m_data.isDetached())
                m_data.resize(m_data.capacity());
        }
        m_gapEnd = qsizetype(m_data.size());
    }

    int size() const { return int(qsizetype(m_data.size()) - gapLength()); }
    bool isEmpty() const { return size() == 0; }
    // Where the gap is, as a position in the content.
    int gapPosition() const { return int(m_gapStart); }

    T at(int i) const { return m_data[index(i)]; }

    // Calls f(pointer, offset in the range, count) for the one or two
    // stored pieces of [start, start + length), in order.
    template <typename F> void forEachPiece(int start, int length, F &&f) const
    {
        pieces(this, start, length, f);
    }
    template <typename F> void forEachPieceMutable(int start, int length, F &&f)
    {
        pieces(this, start, length, f);
    }
    void copyTo(int start, int length, T *out) const
    {
        forEachPiece(start, length, [out](const T *p, int offset, int n) {
            std::memcpy(static_cast<void *>(out + offset), p, size_t(n) * sizeof(T));
        });
    }
    // [start, start + length) as one array: the gap moves out of the range
    // when it lies inside it (cost: length at most).
    const T *contiguous(int start, int length)
    {
        if (start < m_gapStart && start + length > m_gapStart) {
            // Move the gap to whichever end of the range is nearer.
            if (m_gapStart - start <= start + length - m_gapStart)
                moveGap(start);
            else
                moveGap(start + length);
        }
        return m_data.data() + index(start);
    }

    // Replaces [pos, pos + removed) by count values from src.
    void replace(int pos, int removed, const T *src, int count)
    {
        T *dst = openGap(pos, removed, count);
        if (count > 0)
            std::memcpy(static_cast<void *>(dst), src, size_t(count) * sizeof(T));
    }
    // The same with count copies of one value.
    void replaceFill(int pos, int removed, T value, int count)
    {
        T *dst = openGap(pos, removed, count);
        std::fill_n(dst, count, value);
    }

    // Moves the gap to pos; the values between cross it.
    void moveGap(int pos)
    {
        const qsizetype gap = gapLength();
        if (pos < m_gapStart) {
            const qsizetype n = m_gapStart - pos;
            std::memmove(static_cast<void *>(m_data.data() + m_gapEnd - n), m_data.data() + pos,
                         size_t(n) * sizeof(T));
        } else if (pos > m_gapStart) {
            const qsizetype n = pos - m_gapStart;
            std::memmove(static_cast<void *>(m_data.data() + m_gapStart), m_data.data() + m_gapEnd,
                         size_t(n) * sizeof(T));
        }
        m_gapStart = pos;
        m_gapEnd = pos + gap;
    }

private:
    qsizetype gapLength() const { return m_gapEnd - m_gapStart; }
    size_t index(int i) const { return size_t(i < m_gapStart ? i : i + gapLength()); }

    template <typename Self, typename F> static void pieces(Self *self, int start, int length, F &f)
    {
        if (length <= 0)
            return;
        const qsizetype gs = self->m_gapStart;
        if (start + length <= gs) {
            f(self->m_data.data() + start, 0, length);
        } else if (start >= gs) {
            f(self->m_data.data() + start + self->gapLength(), 0, length);
        } else {
            const int first = int(gs - start);
            f(self->m_data.data() + start, 0, first);
            f(self->m_data.data() + self->m_gapEnd, first, length - first);
        }
    }

    // Removes [pos, pos + removed) and leaves room for count values at pos,
    // returning where they go.
    T *openGap(int pos, int removed, int count)
    {
        const qsizetype oldSize = size();
        if (removed == oldSize && removed > 0) {
            // Everything goes: start over rather than move anything.
            Storage().swap(m_data);
            m_gapStart = m_gapEnd = 0;
        } else {
            moveGap(pos);
            m_gapEnd += removed; // the removed values join the gap
        }
        const qsizetype newSize = oldSize - removed + count;
        if (gapLength() < count) {
            regrow(newSize + spare(newSize));
        } else if (gapLength() - count > newSize + kMinSpare * 16) {
            // A large removal: give the memory back.
            regrow(newSize + spare(newSize));
        }
        T *dst = m_data.data() + m_gapStart;
        m_gapStart += count;
        return dst;
    }

    static constexpr qsizetype kMinSpare = 4096;
    // Room kept free after a reallocation: a share of the content, so that
    // growing costs a constant per value on average.
    static qsizetype spare(qsizetype size) { return kMinSpare + size / 32; }

    // Reallocates to `capacity` values, keeping the content and the gap's
    // position.
    void regrow(qsizetype capacity)
    {
        const qsizetype tail = qsizetype(m_data.size()) - m_gapEnd;
        Storage data = allocate(capacity);
        // An empty vector may hold no array at all, and memcpy wants one
        // even for nothing: copy only what is there.
        if (m_gapStart > 0)
            std::memcpy(static_cast<void *>(data.data()), m_data.data(),
                        size_t(m_gapStart) * sizeof(T));
        if (tail > 0)
            std::memcpy(static_cast<void *>(data.data() + capacity - tail),
                        m_data.data() + m_gapEnd, size_t(tail) * sizeof(T));
        m_data.swap(data);
        m_gapEnd = capacity - tail;
    }

    static Storage allocate(qsizetype capacity)
    {
        if constexpr (std::is_same_v<Storage, QString>)
            return QString(capacity, Qt::Uninitialized);
        else
            return Storage(static_cast<size_t>(capacity));
    }

    Storage m_data;
    qsizetype m_gapStart = 0;
    qsizetype m_gapEnd = 0;
};

// The positions where lines start, kept in a gap buffer at the last edited
// line. Entries before the gap hold positions; entries after it hold their
// distance from the end of the text, which an edit before them does not
// change. An edit within one line touches no entry; a line break added or
// removed touches one, plus the distance the gap moves.
class LineStarts {
public:
    LineStarts()
    {
        const int zero = 0;
        m_starts.replace(0, 0, &zero, 1);
    }
    int count() const { return m_starts.size(); }
    int at(int i, int textLength) const
    {
        return i < m_starts.gapPosition() ? m_starts.at(i) : textLength - m_starts.at(i);
    }
    // The first entry whose position is greater than pos (count() if none).
    int upperBound(int pos, int textLength) const
    {
        int lo = 0, hi = count();
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (at(mid, textLength) <= pos)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }
    // Replaces entries [first, last) by the positions in added, for an edit
    // of a text that was textLength long before it. Positions after the
    // edit are kept as distances from the end, so the edit itself needs no
    // further update of them.
    void replace(int first, int last, const std::vector<int> &added, int textLength)
    {
        const int gap = m_starts.gapPosition();
        if (first < gap) {
            // Entries [first, gap) move behind the gap.
            m_starts.forEachPieceMutable(first, gap - first, [textLength](int *p, int, int n) {
                for (int i = 0; i < n; ++i)
                    p[i] = textLength - p[i];
            });
        } else if (first > gap) {
            m_starts.forEachPieceMutable(gap, first - gap, [textLength](int *p, int, int n) {
                for (int i = 0; i < n; ++i)
                    p[i] = textLength - p[i];
            });
        }
        m_starts.moveGap(first);
        m_starts.replace(first, last - first, added.data(), int(added.size()));
    }

private:
    GapBuffer<int> m_starts;
};

} // namespace qln
