#pragma once
// The entries of an object tree packed into one buffer: a tree of a
// hundred and fifty thousand names holds one buffer and one end per entry
// instead of a string of its own per name, one byte per character while
// every name is Latin-1 (a sixth of the memory of separate strings).
// Entry 0 is the empty entry that every tree starts with.

#include <QByteArray>
#include <QByteArrayView>
#include <QLatin1StringView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <algorithm>
#include <utility>
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
        reserve(total);
        m_ends.reserve(size_t(std::max<qsizetype>(list.size() - 1, 0)));
        for (qsizetype i = 1; i < list.size(); ++i)
            append(list.at(i));
    }
    // Room for entries of this many characters in all.
    void reserve(qsizetype characters)
    {
        if (m_wide)
            m_chars.reserve(characters);
        else
            m_latin.reserve(characters);
    }
    // Adds an entry at the end.
    void append(QStringView entry)
    {
        if (!m_wide) {
            const qsizetype at = m_latin.size();
            m_latin.resize(at + entry.size());
            char *out = m_latin.data() + at;
            bool narrow = true;
            for (QChar c : entry) {
                narrow = narrow && c.unicode() < 256;
                *out++ = char(c.unicode());
            }
            if (!narrow) {
                m_latin.truncate(at);
                widen();
            }
        }
        if (m_wide)
            m_chars += entry;
        m_ends.push_back(quint32(m_wide ? m_chars.size() : m_latin.size()));
    }
    // Lets go of the room kept for more entries.
    void squeeze()
    {
        m_latin.squeeze();
        m_chars.squeeze();
        m_ends.shrink_to_fit();
    }
    // The number of entries, entry 0 included.
    qsizetype size() const { return qsizetype(m_ends.size()) + 1; }
    // Entry i (0 <= i < size()).
    QString text(qsizetype i) const
    {
        const auto [from, n] = range(i);
        return m_wide ? QString(m_chars.constData() + from, n)
                      : QString::fromLatin1(m_latin.constData() + from, n);
    }
    // Entry i against text, by character code: below, equal or above 0.
    int compare(qsizetype i, QStringView text) const
    {
        const auto [from, n] = range(i);
        return m_wide ? QStringView(m_chars.constData() + from, n).compare(text)
                      : QLatin1StringView(m_latin.constData() + from, n).compare(text);
    }
    bool startsWith(qsizetype i, QStringView prefix) const
    {
        const auto [from, n] = range(i);
        return m_wide ? QStringView(m_chars.constData() + from, n).startsWith(prefix)
                      : QLatin1StringView(m_latin.constData() + from, n).startsWith(prefix);
    }
    // Entry i sorts before entry j.
    bool lessThan(qsizetype i, qsizetype j) const
    {
        const auto [fi, ni] = range(i);
        const auto [fj, nj] = range(j);
        if (m_wide)
            return QStringView(m_chars.constData() + fi, ni)
                   < QStringView(m_chars.constData() + fj, nj);
        // Latin-1 sorts by its bytes as by its character codes.
        return QByteArrayView(m_latin.constData() + fi, ni)
               < QByteArrayView(m_latin.constData() + fj, nj);
    }
    // Entries from..size()-1 as a list.
    QStringList mid(qsizetype from) const
    {
        QStringList out;
        for (qsizetype i = std::max<qsizetype>(from, 1); i < size(); ++i)
            out.append(text(i));
        if (from <= 0)
            out.prepend(QString());
        return out;
    }
    // Tells one loaded tree from another (see the resolver's caches).
    const void *identity() const
    {
        return m_wide ? static_cast<const void *>(m_chars.constData())
                      : static_cast<const void *>(m_latin.constData());
    }
    // The first entry from `from` on not below text (size() when none);
    // the entries from there on are sorted.
    qsizetype lowerBound(QStringView text, qsizetype from = 1) const
    {
        qsizetype lo = std::max<qsizetype>(from, 1), hi = size();
        while (lo < hi) {
            const qsizetype mid = lo + (hi - lo) / 2;
            if (compare(mid, text) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }
    friend bool operator==(const TreeEntries &a, const TreeEntries &b)
    {
        if (a.m_ends != b.m_ends)
            return false;
        if (a.m_wide == b.m_wide)
            return a.m_wide ? a.m_chars == b.m_chars : a.m_latin == b.m_latin;
        return QString::fromLatin1(a.m_wide ? b.m_latin : a.m_latin)
               == (a.m_wide ? a.m_chars : b.m_chars);
    }

private:
    std::pair<qsizetype, qsizetype> range(qsizetype i) const
    {
        if (i <= 0)
            return {0, 0};
        const qsizetype from = i > 1 ? m_ends[size_t(i - 2)] : 0;
        return {from, qsizetype(m_ends[size_t(i - 1)]) - from};
    }
    // The first entry beyond Latin-1 turns every entry into UTF-16 for good.
    void widen()
    {
        m_chars = QString::fromLatin1(m_latin);
        m_latin = QByteArray();
        m_wide = true;
    }

    // Latin-1 while every entry is (a tree of Java names is), else UTF-16.
    QByteArray m_latin;
    QString m_chars;
    bool m_wide = false;
    std::vector<quint32> m_ends; // the end of entry i + 1 in the characters (a tree file
                                 // is far below 4 G characters)
};

} // namespace qln
