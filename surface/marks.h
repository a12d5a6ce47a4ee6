#pragma once
// Marks: ranges of a surface's text shown with a style of their own
// (an underline, a background band, a sign in the margin) without being
// part of its formats. Error markers and the current-line band are marks.
// A mark lives on the surface's positions (a line break counts two) and
// follows its text through every edit:
//  - text inserted or removed before it moves it;
//  - text inserted strictly inside it widens it; text inserted at either
//    end stays outside it;
//  - removing part of it shrinks it; removing all of it (or, for an empty
//    mark, the text on both sides of it) ends it.
// Undo and Redo put a mark back where it was before the edit they take
// back, alive again if that edit had ended it. A mark removed with
// remove() or clear() stays removed.

#include <QColor>
#include <QObject>
#include <QString>

#include <unordered_map>
#include <vector>

namespace qln {

using MarkId = quint64;

struct MarkStyle {
    enum class Underline { None, Straight, Wave, Dotted };
    enum class Sign { None, Error, Warning, Note };
    Underline underline = Underline::None;
    QColor underlineColor;
    // Painted behind the mark's text; invalid: none.
    QColor background;
    // The background spans the full width of every line the mark touches
    // (a band), not just its characters.
    bool wholeLines = false;
    // A sign in the margin beside the mark's first line.
    Sign sign = Sign::None;
    // Why the mark is there (a tooltip, a status-bar text).
    QString note;
    // Marks of a higher layer are painted over those of a lower one.
    int layer = 0;
};

struct Mark {
    MarkId id = 0;
    int start = 0;
    int length = 0;
    MarkStyle style;
    int end() const { return start + length; }
};

class Marks : public QObject {
    Q_OBJECT
public:
    explicit Marks(QObject *parent = nullptr);
    ~Marks() override;

    // Adds a mark over [start, start + length); negative parts are clamped
    // to zero. Ids are never reused.
    MarkId add(int start, int length, const MarkStyle &style);
    bool remove(MarkId id);
    // Removes every mark of `ids` (live or ended) in one walk, with one
    // changed(): many error markers go at once. Returns how many were live.
    int remove(std::vector<MarkId> ids);
    void clear();
    // Moves a live mark; false when it is not alive.
    bool setRange(MarkId id, int start, int length);
    bool setStyle(MarkId id, const MarkStyle &style);
    // A live mark, or nullptr. Valid until the marks change.
    const Mark *find(MarkId id) const;
    int count() const { return int(m_live.size()); }
    // Live marks touching [start, end]: overlapping it, or empty and lying
    // within it. In the order they were added.
    std::vector<const Mark *> touching(int start, int end) const;
    // Live marks over the character at pos, and empty marks standing at
    // pos: what a pointer resting on that character points at.
    std::vector<const Mark *> at(int pos) const;
    // Every live mark, in the order they were added.
    const std::vector<Mark> &all() const { return m_live; }

    // How an edit left a mark it overlapped: its range before the edit.
    struct Before {
        MarkId id;
        int start;
        int length;
    };
    // For the surface: [pos, pos + removed) was replaced by `added`
    // characters. Returns the marks whose range the removal cut or ended,
    // as they were; restore() puts them back.
    std::vector<Before> adjust(int pos, int removed, int added);
    void restore(const std::vector<Before> &before);
    // Marks ended by edits are kept for restore() until this is called
    // (when no history can bring them back).
    void forgetEnded();

signals:
    // Marks over [start, start + length) appeared, went, moved or changed
    // style: views repaint that range.
    void changed(int start, int length);

private:
    std::vector<Mark> m_live; // in the order added (ids ascending)
    std::unordered_map<MarkId, Mark> m_ended;
    MarkId m_nextId = 1;
    Mark *liveMark(MarkId id);
};

} // namespace qln
