#pragma once
// The auto-indenter: re-indents Java lines as Java is written, reading the
// text with the language's rules (strings, character literals, text blocks
// and comments hold no structure), and the "Auto&Indent all" command built
// on it. It also gives the indentation a line break should give the new
// line, for the Enter key.
//
// Where a line goes, with `unit` one level (tabs or blanks, from the
// preferences):
// - a block's lines one unit deeper than the line its opening brace is on
//   (for a brace on a continued statement, the statement's first line); a
//   line that starts with the closing brace at that line's indentation, so
//   "} else {", "} catch (...) {", "} finally {" and "} while (...);" stay
//   at the level of the statement they close;
// - in a switch block, case and default labels one unit in, the lines after
//   them one more;
// - the one statement of an if, else, for, while or do without braces one
//   unit deeper than its header; an else on a line of its own with its if;
// - inside open parentheses or brackets, level with the first thing after
//   the opening one on its line, or one unit deeper than that line when
//   nothing follows it there;
// - a line that continues an unfinished statement (the line before ended
//   with a binary operator, or this one starts with one, with a dot, an
//   opening parenthesis, extends, implements, throws or permits) one unit
//   deeper than the statement's first line;
// - a line inside a block comment that starts with "*" one blank after the
//   comment's opening "/" (a closing "*/" right under the "/" stays there);
//   its other lines move with the comment's first line;
// - lines inside a text block, and line comments in the first column, keep
//   their indentation; blank lines are left empty.

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <memory>
#include <vector>

namespace qln {

class CommandHost;
class ProgressSink;
class Surface;
struct Preferences;

// The strings the indenter reads Java with.
struct IndentSyntax {
    QString unit = QStringLiteral("\t"); // one level
    QString blockBegin = QStringLiteral("{"), blockEnd = QStringLiteral("}");
    QString lineComment = QStringLiteral("//");
    QString commentStart = QStringLiteral("/*"), commentEnd = QStringLiteral("*/");
    // Literal delimiters; three string1 in a row delimit a text block. The
    // ignore string names the escape (EscapeOf, as the colouring reads it).
    QString string1 = QStringLiteral("\""), string2 = QStringLiteral("'");
    QString ignore = QStringLiteral("\\\"");

    // The unit (indentstring) and the reserved strings of the preferences.
    static IndentSyntax fromPreferences(const Preferences &prefs);
    // The factory strings with this unit.
    static IndentSyntax java(const QString &unit);
};

// What the lines read so far leave open, and where each next line goes.
// Lines are given without their line break (a CR before it is allowed).
class LineIndenter {
public:
    explicit LineIndenter(const IndentSyntax &syntax);
    ~LineIndenter();
    LineIndenter(const LineIndenter &other);
    LineIndenter &operator=(const LineIndenter &other);

    // The indentation the line should have in place of its leading tabs
    // and blanks; then moves on past the line as re-indented. Lines that
    // keep their indentation return their own; blank lines return "".
    QString indentLine(QStringView line);
    // Moves on past the line with its indentation as it stands.
    void keepLine(QStringView line);
    // The indentation of the new line when a line break goes into `line`
    // (the next line to be read) at `column`: the text after the column,
    // less its leading blanks, starts the new line. The line before the
    // break keeps its indentation. Nothing is moved on.
    QString indentAfterBreak(QStringView line, int column) const;

private:
    struct State;
    std::unique_ptr<State> d;
};

// The indentation Enter should give the new line when a line break goes in
// at `position`: the lines before are read as they stand (from the start
// of the text: a 1 MB document is read in a few milliseconds).
QString NewLineIndent(const Surface &surface, int position, const IndentSyntax &syntax);

// Re-indents one line: its first character is at lineStart, its ending
// line feed at lineEnd; `indenter` has read the lines before it. Returns
// the moved line end. The indentation takes the format of the character
// before the line, and the caret ends after it. A line whose indentation
// would make the text longer than kMaxIndentedLength is left as it is
// (the indenter still moves on past it).
int IndentLine(int &lineStart, int &lineEnd, Surface &surface, LineIndenter &indenter);

// The longest text indenting may produce, in characters (64 MB of text,
// well inside the surface's int positions).
inline constexpr qint64 kMaxIndentedLength = qint64(64) * 1024 * 1024;

// What IndentAllLines would do to a text, worked out without changing it:
// the lines (each ending with a line feed) whose indentation changes.
struct IndentPlan {
    struct Line {
        int start;
        int blanks;     // leading tabs and blanks that go
        QString indent; // what takes their place
    };
    std::vector<Line> lines;
    int lineCount = 0;  // lines that end with a line feed
    qint64 length = 0;  // the text's length afterwards; -1 past kMaxIndentedLength
    int lastStart = -1; // where the last line that ends with a line feed starts
    int lastIndent = 0; // and the length of its indentation afterwards
};
// One pass over the lines; it stops (length -1, no lines) as soon as the
// result is known to exceed kMaxIndentedLength.
IndentPlan PlanIndentAll(QStringView text, const IndentSyntax &syntax);

// Every line that ends with a line feed re-indented, from the first line
// on, applied as one edit (one undo step); a last line without a line
// break stays as it is. The result is that of IndentLine line after line;
// lines whose indentation does not change are not touched. The caret ends
// after the indentation of the last line re-indented. When progress is
// given it is set to count * 100 / line count for each line (only when
// that whole value changes). Returns the number of lines changed. When the
// re-indented text would be longer than kMaxIndentedLength nothing changes
// and *tooLarge (when given) is set. A caller that has already planned the
// run with PlanIndentAll on the surface's present text passes the plan,
// and the lines are not read again.
int IndentAllLines(Surface &surface, const IndentSyntax &syntax, ProgressSink *progress = nullptr,
                   bool *tooLarge = nullptr, const IndentPlan *plan = nullptr);

// The length the text would have after IndentAllLines, or -1 when it would
// exceed kMaxIndentedLength.
qint64 IndentedLength(QStringView text, const IndentSyntax &syntax);

// The message shown when "Auto&Indent all" refuses a too large result.
QString indentTooLargeMessage();

// The "Auto&Indent all" command: save question, time estimate,
// then the whole document re-indented with the window disabled and the
// surface hidden; the caret ends at 0 and the caption is marked modified.
void indentallrtf(CommandHost &host);

// --- The frame of the whole-document commands (indent all, spell correct
// all) ---------------------------------------------------------------------

// AskSaveFirst: Yes saves (and goes on whether or not the save worked), No
// goes on, Cancel stops. Returns false when the command must stop.
bool saveFirstOrStop(CommandHost &host);
// The time estimate question of colourize-all for a text of `length`
// characters; false when the user answers No.
bool confirmLongRun(CommandHost &host, int length);

// For the lifetime of the object: status "Please wait", hourglass, surface
// hidden, window disabled, progress bar shown, both suppression flags set
// and the caption replaced by runCaption. Afterwards all is undone, the
// caret is at 0, the remembered caption comes back marked modified and the
// status reads "Done".
class BulkRun {
public:
    BulkRun(CommandHost &host, const QString &runCaption);
    ~BulkRun();
    BulkRun(const BulkRun &) = delete;
    BulkRun &operator=(const BulkRun &) = delete;

private:
    CommandHost &m_host;
    QString m_caption;
};

} // namespace qln
