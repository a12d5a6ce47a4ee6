#pragma once
// Places in the source that a tool's output names: the compiler's
//   path/File.java:LINE: error: ...      path/File.java:LINE: warning: ...
// and the stack-trace frames of a Java program
//   at pkg.Class.method(File.java:LINE)
// parseToolLocation reads one output line; ToolLocations keeps those of the
// last run, in order, for the dialog's links and the main window's F4 and
// Shift+F4, and finds their files on disk.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <deque>
#include <optional>

namespace qln {

struct JavaXState;

struct ToolLocation {
    enum Kind { Error, Warning, Frame };
    Kind kind = Error;
    QString file;      // messages: the path as printed; frames: the file name
    QString className; // frames: the qualified class ("pkg.Outer$Inner"); "" for messages
    int line = 0;      // 1-based
    int column = -1;   // 0-based, from the compiler's caret line; -1: not given
    QString message;   // messages: the words after "error: " or "warning: "
    int ordinal = 0;   // kept by ToolLocations: the how-manieth of its kind (from 0)
    int linkStart = 0; // the part of the output line shown as a link
    int linkLength = 0;

    bool sameSpot(const ToolLocation &o) const
    {
        return kind == o.kind && line == o.line && file == o.file && className == o.className;
    }
};

// The location one line of output names (without its line break), or
// nothing.
std::optional<ToolLocation> parseToolLocation(QStringView line);

// Where a run looked for files.
struct LocationContext {
    QString workingFolder;     // relative paths in compiler messages start here
    QString documentFolder;    // frames are looked for beside the document first
    QStringList searchFolders; // then along the run's -sourcepath and -classpath
};

// The folders of the ticked -sourcepath, -classpath and -cp options of the
// dialog's model (entries split at ":" and ";"; archives left out; relative
// ones taken from workingFolder), -sourcepath first.
QStringList searchFoldersOf(const JavaXState &state, const QString &workingFolder);

// The file a location names, as an absolute path, or "" when no such file
// is there: a message's path as printed (relative to the working folder,
// else the document's folder); a frame's file beside the document, then in
// the working folder, then along the search folders, each time directly
// and below the class's package folders.
QString resolveLocation(const ToolLocation &location, const LocationContext &context);

// The status bar's words for location index of the list: errors and
// warnings are counted apart ("Error 2 of 3", "Warning 1 of 1"); the frames
// of a stack trace count as errors.
class ToolLocations;
QString locationStatus(const ToolLocations &list, int index);

// The locations of the last run.
class ToolLocations {
public:
    // The most kept; beyond it the oldest go.
    static constexpr int kMaxLocations = 100000;

    // A new run: the list empties.
    void begin(const LocationContext &context);
    void add(ToolLocation location);
    // Each line of output that named no location, in order: the
    // compiler's caret line (blanks and a "^", two lines below its
    // message) gives that message its column, and the indented lines
    // right after it ("  symbol: ...") join its words.
    void addOtherLine(QStringView line);
    int count() const { return int(m_list.size()); }
    const ToolLocation &at(int i) const { return m_list[size_t(i)]; }
    const LocationContext &context() const { return m_context; }
    // How many locations of a kind the list holds.
    int countOf(ToolLocation::Kind kind) const { return m_counts[kind]; }
    // Where location i stands among those of its kind (from 0).
    int ordinalOf(int i) const;

    // The location gone to last, -1 before the first.
    int current() const { return m_current; }
    void setCurrent(int i) { m_current = i; }
    // The first location with the same file, class, kind and line, or -1.
    int indexOf(const ToolLocation &location) const;

    // The file of location i ("" when it is not there); remembered per file.
    QString resolve(int i);
    // From the current location one step forward (direction 1) or back
    // (-1), wrapping around, to the next location whose file is there;
    // that one becomes current. -1 when there is none (current stays).
    int step(int direction);

private:
    std::deque<ToolLocation> m_list;
    LocationContext m_context;
    int m_current = -1;
    int m_linesAfterMessage = -1; // -1: no message waits for its caret line
    bool m_detailsOpen = false;   // lines of the last message's details may follow
    QHash<QString, QString> m_resolved;
    int m_counts[3] = {0, 0, 0};  // per kind
    int m_dropped[3] = {0, 0, 0}; // per kind, gone from the front of a long list
};

} // namespace qln
