#pragma once
// Colourize-all: recolours the whole document from scratch with the
// colouring engine, after offering to save and, for long documents, asking
// whether to go on; hides and disables the editor while it runs and reports
// its three stages in the status bar and on the progress bar.

#include "base/prompter.h"
#include "formatting/formatrtf.h"

#include <QString>
#include <functional>
#include <optional>

namespace qln {

class CommandHost;
class ProgressSink;
class Surface;
struct Preferences;

// While the caption ends with "*" asks "Would you like to save the file?"
// (title "Save file first?", Yes/No/Cancel, question icon) and returns the
// answer; otherwise asks nothing and returns no value.
std::optional<MsgAnswer> AskSaveFirst(CommandHost &host);

// A duration as the time estimate shows it: whole minutes, " minutes ", the
// remaining seconds in their shortest decimal form (up to 15 significant
// digits, no trailing zeros) and " seconds". 11.25 gives
// "0 minutes 11.25 seconds", 75 gives "1 minutes 15 seconds".
QString EstimateText(double seconds);

// The question asked before colouring a document of `length` characters:
// "Approximately <low> to <high> needed on a 933 MHz computer for the
// process", where low is 15 seconds per 80000 characters and high three
// times that. Empty when no question is asked: for 45000 characters or
// fewer, and when the low estimate is 10 seconds or less.
QString ColorizeTimeQuestion(int length);

// The colouring itself, without the window's part: reset the whole text to
// the text colour with no styles, stage 1 the three word lists, stage 2
// strings and single-line comments line by line (a last line without a
// line break is skipped), stage 3 text blocks (ColorTextBlocks; the rest
// of a line a text block closes on is coloured again as a line: words,
// strings, comments) and multi-line comments. `status` receives
// "Please wait. Stage N of 3" before each stage; progress (may be null)
// receives the stage values. Colours that do not convert read as 0.
// With lastLineToo, stage 2 colours the text after the last line feed as
// well.
void ColorizeAllStages(Surface &surface, const Preferences &prefs, ProgressSink *progress,
                       const std::function<void(const QString &)> &status = {},
                       bool lastLineToo = false);

// Colours a document as far as it is read (see Surface::colourAheadWith):
// from `from`, a line start that no text block or multi-line comment runs
// across (0 to begin with), on to the first line start at or after both
// upTo and kColourAheadSpan characters further; and further still while a
// text block or comment is open there. Every character before the returned
// position (a line start, or the length) then has the colours and styles
// ColorizeDocument would give it.
constexpr int kColourAheadSpan = 1 << 18;
int ColorizeAhead(Surface &surface, const Preferences &prefs, int from, int upTo,
                  int span = kColourAheadSpan);

// Colours the whole document as one just opened (or with a file inserted)
// while "Auto Syntax colorizing" is ticked: the stages of colourize-all
// with the last line coloured too, without questions, progress or status,
// the suppression flags set meanwhile. The selection stays where it was.
void ColorizeDocument(Surface &surface, const Preferences &prefs);

// The "Colorize all" command. Returns true when the document was coloured,
// false when the user stopped it at a question. The caret ends at 0 and the
// status reads "Done"; the modified marker in the caption is not touched.
bool colorizeallrtf(CommandHost &host);

} // namespace qln
