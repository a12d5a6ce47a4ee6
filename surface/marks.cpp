#include "surface/marks.h"

#include <algorithm>

namespace qln {

Marks::Marks(QObject *parent) : QObject(parent) {}
Marks::~Marks() = default;

Mark *Marks::liveMark(MarkId id)
{
    // Ids ascend in the order of m_live.
    auto it = std::lower_bound(m_live.begin(), m_live.end(), id,
                               [](const Mark &m, MarkId v) { return m.id < v; });
    return it != m_live.end() && it->id == id ? &*it : nullptr;
}

const Mark *Marks::find(MarkId id) const
{
    return const_cast<Marks *>(this)->liveMark(id);
}

MarkId Marks::add(int start, int length, const MarkStyle &style)
{
    Mark m;
    m.id = m_nextId++;
    m.start = std::max(0, start);
    m.length = std::max(0, length);
    m.style = style;
    m_live.push_back(m);
    emit changed(m.start, m.length);
    return m.id;
}

bool Marks::remove(MarkId id)
{
    m_ended.erase(id);
    Mark *m = liveMark(id);
    if (!m)
        return false;
    const int start = m->start, length = m->length;
    m_live.erase(m_live.begin() + (m - m_live.data()));
    emit changed(start, length);
    return true;
}

int Marks::remove(std::vector<MarkId> ids)
{
    std::sort(ids.begin(), ids.end());
    for (MarkId id : ids)
        m_ended.erase(id);
    int from = -1, to = -1, removed = 0;
    std::erase_if(m_live, [&](const Mark &m) {
        if (!std::binary_search(ids.begin(), ids.end(), m.id))
            return false;
        from = from < 0 ? m.start : std::min(from, m.start);
        to = std::max(to, m.end());
        ++removed;
        return true;
    });
    if (removed > 0)
        emit changed(from, to - from);
    return removed;
}

void Marks::clear()
{
    m_ended.clear();
    if (m_live.empty())
        return;
    int from = m_live.front().start, to = m_live.front().end();
    for (const Mark &m : m_live) {
        from = std::min(from, m.start);
        to = std::max(to, m.end());
    }
    m_live.clear();
    emit changed(from, to - from);
}

bool Marks::setRange(MarkId id, int start, int length)
{
    Mark *m = liveMark(id);
    if (!m)
        return false;
    const int oldStart = m->start, oldEnd = m->end();
    m->start = std::max(0, start);
    m->length = std::max(0, length);
    if (m->start == oldStart && m->end() == oldEnd)
        return true;
    const int from = std::min(oldStart, m->start), to = std::max(oldEnd, m->end());
    emit changed(from, to - from);
    return true;
}

bool Marks::setStyle(MarkId id, const MarkStyle &style)
{
    Mark *m = liveMark(id);
    if (!m)
        return false;
    m->style = style;
    emit changed(m->start, m->length);
    return true;
}

std::vector<const Mark *> Marks::touching(int start, int end) const
{
    std::vector<const Mark *> out;
    for (const Mark &m : m_live) {
        bool hit;
        if (m.length == 0)
            hit = m.start >= start && m.start <= end;
        else if (start < end)
            hit = m.start < end && m.end() > start;
        else
            hit = m.start <= start && start < m.end();
        if (hit)
            out.push_back(&m);
    }
    return out;
}

std::vector<const Mark *> Marks::at(int pos) const
{
    std::vector<const Mark *> out;
    for (const Mark &m : m_live)
        if (m.length > 0 ? m.start <= pos && pos < m.end() : m.start == pos)
            out.push_back(&m);
    return out;
}

std::vector<Marks::Before> Marks::adjust(int pos, int removed, int added)
{
    std::vector<Before> before;
    if (m_live.empty())
        return before;
    const int end = pos + removed;
    const int delta = added - removed;
    int from = -1, to = -1;
    auto touch = [&](int a, int b) {
        from = from < 0 ? a : std::min(from, a);
        to = std::max(to, b);
    };
    auto it = m_live.begin();
    while (it != m_live.end()) {
        Mark &m = *it;
        const int s = m.start, e = m.end();
        const bool overlapsRemoval =
            removed > 0 && (m.length > 0 ? s < end && e > pos : s > pos && s < end);
        if (overlapsRemoval)
            before.push_back({m.id, s, m.length});
        const bool ended =
            removed > 0 && (m.length > 0 ? pos <= s && e <= end : s > pos && s < end);
        if (ended) {
            m_ended.emplace(m.id, m);
            touch(s, e);
            it = m_live.erase(it);
            continue;
        }
        int ns = s, ne = e;
        if (s >= end)
            ns = s + delta;
        else if (s > pos || (s == pos && removed > 0))
            ns = pos + added; // its head was removed: it starts after the new text
        if (e > end)
            ne = e + delta;
        else if (e > pos)
            ne = pos; // its tail was removed; the new text stays outside
        if (m.length == 0)
            ne = ns;
        ne = std::max(ne, ns);
        if (overlapsRemoval || (pos < e && pos > s))
            touch(std::min(s, ns), std::max(e, ne));
        m.start = ns;
        m.length = ne - ns;
        ++it;
    }
    if (from >= 0)
        emit changed(from, std::max(0, to - from));
    return before;
}

void Marks::restore(const std::vector<Before> &before)
{
    for (const Before &b : before) {
        if (liveMark(b.id)) {
            setRange(b.id, b.start, b.length);
            continue;
        }
        auto ended = m_ended.find(b.id);
        if (ended == m_ended.end())
            continue; // removed on purpose since
        Mark m = ended->second;
        m_ended.erase(ended);
        m.start = b.start;
        m.length = b.length;
        auto at = std::lower_bound(m_live.begin(), m_live.end(), m.id,
                                   [](const Mark &x, MarkId v) { return x.id < v; });
        m_live.insert(at, m);
        emit changed(m.start, m.length);
    }
}

void Marks::forgetEnded()
{
    m_ended.clear();
}

} // namespace qln
