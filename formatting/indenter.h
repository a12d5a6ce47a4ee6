#pragma once
// The auto-indenter: re-indents lines from the block-beginning and
// block-ending strings (it counts them wherever they occur, strings and
// comments included), and the "Auto&Indent all" command built on it.

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <vector>

namespace qln {

class CommandHost;
class ProgressSink;
class Surface;

// Re-indents one line: its first character is at lineStart, its ending line
// feed at lineEnd. Leading tabs and blanks go, then `unit` is inserted
// `level` times (none when level <= 0), where the level is first adjusted by
// the block strings of the line. Searches match any case, within
// [lineStart, lineEnd). `level` is the indentation level carried from line
// to line (it saturates at the 16-bit limits). Returns the moved line end.
// The indentation takes the format of the character before the line. The
// caret ends after the inserted indentation. A line whose indentation would
// make the text longer than kMaxIndentedLength is left as it is (the level
// still moves as for any line).
int IndentLine(int &lineStart, int &lineEnd, Surface &surface, qint16 &level, const QString &unit,
               const QString &blockBegin, const QString &blockEnd);

// The longest text indenting may produce, in characters (64 MB of text,
// well inside the surface's int positions).
inline constexpr qint64 kMaxIndentedLength = qint64(64) * 1024 * 1024;

// What IndentAllLines would do to a text, worked out without changing it:
// for each line that ends with a line feed, where it starts, the leading
// blanks that go and the units inserted.
struct IndentPlan {
    struct Line {
        int start;
        int blanks;
        int units;
    };
    std::vector<Line> lines;
    qint64 length = 0; // the text's length afterwards; -1 past kMaxIndentedLength
    qint16 level = 0;  // the level the last line leaves
};
// One pass over the lines; it stops (length -1, no lines) as soon as the
// result is known to exceed kMaxIndentedLength.
IndentPlan PlanIndentAll(QStringView text, const QString &unit, const QString &blockBegin,
                         const QString &blockEnd);

// IndentLine over every line that ends with a line feed, from the first
// line on with the level starting at 0, applied as one edit (one undo
// step). The result, caret included, is that of calling IndentLine line by
// line. When progress is given it is set to count * 100 / line count for
// each line (only when that whole value changes). Returns the level left
// by the last line. When the re-indented text would be longer than
// kMaxIndentedLength nothing changes, *tooLarge (when given) is set and
// the level returned is 0. A caller that has already planned the run with
// PlanIndentAll on the surface's present text passes the plan, and the
// lines are not read again.
qint16 IndentAllLines(Surface &surface, const QString &unit, const QString &blockBegin,
                      const QString &blockEnd, ProgressSink *progress = nullptr,
                      bool *tooLarge = nullptr, const IndentPlan *plan = nullptr);

// The length the text would have after IndentAllLines, or -1 when it would
// exceed kMaxIndentedLength.
qint64 IndentedLength(const QString &text, const QString &unit, const QString &blockBegin,
                      const QString &blockEnd);

// The message shown when "Auto&Indent all" refuses a too large result.
QString indentTooLargeMessage();

// The notice shown each time "Auto&Indent all" starts.
QString indentNotice();

// The "Auto&Indent all" command: notice, save question, time estimate,
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
