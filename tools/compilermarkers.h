#pragma once
// The compiler's errors and warnings marked in the document they name: a
// wavy underline (red for an error, amber for a warning) from the
// compiler's column to the end of the token there, a sign beside the line
// and the message as the mark's note. The marks are the surface's, so they
// follow edits and come back with Undo; they go when new ones are placed
// or clear() is called.

#include "surface/marks.h"
#include "tools/toollocations.h"

#include <QString>
#include <utility>
#include <vector>

namespace qln {

class Surface;

class CompilerMarkers {
public:
    explicit CompilerMarkers(Surface &surface);

    // Takes the markers placed before away, then marks every error and
    // warning of `locations` whose file is the one at documentPath (the
    // same file, whatever path names it). Returns how many were placed.
    int place(ToolLocations &locations, const QString &documentPath);
    void clear();
    // Markers alive (an edit that takes all of a marker's text ends it).
    int count() const;
    // The message of the marker the caret at pos stands on (over its text
    // or just after it), "" when none.
    QString noteAt(int pos) const;

    // The range [start, end) marked for a message at a line (0-based) and
    // column (0-based; -1 when the compiler gave none): the token that
    // starts there (a member's name with the dot before it), a string or
    // character literal to its closing quote, a run of operator characters; at the line's end the
    // character before it; without a column, the line's code.
    static std::pair<int, int> tokenRange(const Surface &surface, int line, int column);
    static MarkStyle styleFor(ToolLocation::Kind kind, const QString &message);

private:
    Surface &m_surface;
    std::vector<MarkId> m_ids; // ascending, as added
    bool isOurs(MarkId id) const;
};

} // namespace qln
