#pragma once
// The entries of an object tree packed into one string: a tree of a
// hundred and fifty thousand names holds one buffer and one end per entry
// instead of a string of its own per name (a third of the memory).
// Entry 0 is the empty entry that every tree starts with.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <algorithm>
#include <vector>

namespace qln {

class TreeEntries {
public:
    // Entry 0 alone.
    TreeEntries() = default;
    // The entries of list in its order, list[0] (the empty entry) included.
    explicit TreeEntries(const QStringList &list)
    {
        qsizetype total = 0;
        for (qsizetype i = 1; i < list.size(); ++i)
            total += list.at(i).size();
        m_chars.reserve(total);
        m_ends.reserve(size_t(std::max<qsizetype>(list.size() - 1, 0)));
        for (qsizetype i = 1; i < list.size(); ++i)
            append(list.at(i));
    }

    // Room for entries of this many characters in all.
    void reserve(qsizetype characters) { m_chars.reserve(characters); }
    // Adds an entry at the end.
    void append(QStringView entry)
    {
        m_chars += entry;
        m_ends.push_back(quint32(m_chars.size()));
    }
    // Lets go of the room kept for more entries.
    void squeeze()
    {
        m_chars.squeeze();
        m_ends.shrink_to_fit();
    }

    // The number of entries, entry 0 included.
    qsizetype size() const { return qsizetype(m_ends.size()) + 1; }
    // Entry i (0 <= i < size()); the view lasts as long as this tree.
    QStringView at(qsizetype i) const
    {
        if (i <= 0)
            return {};
        const qsizetype from = i > 1 ? m_ends[size_t(i - 2)] : 0;
        return QStringView(m_chars).mid(from, m_ends[size_t(i - 1)] - from);
    }
    // Entries from..size()-1 as a list.
    QStringList mid(qsizetype from) const
    {
        QStringList out;
        for (qsizetype i = std::max<qsizetype>(from, 0); i < size(); ++i)
            out.append(at(i).toString());
        return out;
    }
    // Tells one loaded tree from another (see the resolver's caches).
    const void *identity() const { return m_chars.constData(); }
    // The first entry from `from` on not below text (size() when none);
    // the entries from there on are sorted.
    qsizetype lowerBound(QStringView text, qsizetype from = 1) const
    {
        qsizetype lo = std::max<qsizetype>(from, 1), hi = size();
        while (lo < hi) {
            const qsizetype mid = lo + (hi - lo) / 2;
            if (at(mid) < text)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }

    friend bool operator==(const TreeEntries &a, const TreeEntries &b)
    {
        return a.m_ends == b.m_ends && a.m_chars == b.m_chars;
    }

private:
    QString m_chars;
    std::vector<quint32> m_ends; // the end of entry i + 1 in m_chars (a tree file is
                                 // far below 4 G characters)
};

} // namespace qln
