#pragma once
// The colouring engine: six routines that give Java text its colours and
// font styles on any Surface, with any word lists, colours, markers and
// style table the caller passes. The results are those of colouring by
// find-and-select on the surface (see each routine); the routines write
// formats directly, in one bulk write per call, and never move the
// selection or change the text.
//
// Common contract of all routines:
// - Positions are 0-based character positions in the surface's text, in
//   which a line break is CR LF (two characters). -1 means "not found" or
//   "no end". A line is addressed by the position of the line feed before it
//   (-1 or 0 for the first line) and the position of the line feed that ends
//   it. Searches are limited like Surface::find: a match must lie wholly in
//   [from, end).
// - Colours are BgrColor values (0x00BBGGRR, the number the settings store
//   keeps as decimal text; convert Preferences' texts with toColour()).
//   A colour read over several characters of different colours has no
//   value: such a marker is "not coloured" in every colour test below.
// - Only colour, bold, italic and underline are written; each character
//   keeps its font name and size.
// - The caller hides the surface and sets the suppression flags; the engine
//   touches neither. Nothing is ever shown to the user.

#include "surface/charformat.h"

#include <QString>
#include <QStringList>
#include <array>
#include <functional>

namespace qln {

class Surface;
class ProgressSink;

// fontstyle[category][attribute], as Preferences::fontstyle: categories
// 1 keywords, 2 other, 3 more, 4 strings, 5 comments; attributes 1 bold,
// 2 italic, 3 underline, 4 whole word (categories 1-3 only). Index 0 unused.
using FontStyleTable = std::array<std::array<bool, 5>, 6>;

// Stands in for each occurrence of the ignore string while strings are found.
inline const QString kIgnorePlaceholder = QStringLiteral("_QLNSpecChar_");

// Colours every occurrence of words[1..count] within [start, end) with
// `color` and the bold/italic/underline of `category`, matching case, and
// whole words only when fontstyle[category][4] is set. Occurrences may
// overlap (each search restarts one character after the previous match's
// first character) and a word inside a longer word counts unless whole word
// is on. Empty entries match nothing. count is clamped to the list's size.
// end == -1 (any negative end): does nothing and returns 0. start == -1
// becomes 0 (the caller's variable changes).
// When progress is visible it is set, for each word i, to
// (i + wordsDoneBefore) * progressFactor rounded half to even.
// Returns the number of words (count).
int ColorWordList(const QStringList &words, int count, const FontStyleTable &fontstyle,
                  int category, int &start, int end, Surface &surface, BgrColor color,
                  ProgressSink *progress, double progressFactor, int wordsDoneBefore);

// Colours the strings and then the single-line comment of one line:
// start is the line feed before the line (-1 or 0 for the first line), end
// the line feed that ends it; a start inside a line colours from there on.
// end == -1 (any negative end): returns at once (a last line without a line
// break). start == -1 becomes 0.
// Strings: the first of delimiter1 / delimiter2 (delimiter2 on a tie) opens
// a string closed by the next same delimiter on the line (ColorStringSpan);
// the scan goes on after the closing one. Unterminated strings are not
// coloured. A delimiter that overlaps an inert run neither opens nor closes
// a string. The inert runs are found from start, left to right: each
// occurrence of `ignore` (not matching case), and the escape (EscapeOf)
// with the character after it, so that with the factory backslash and
// double quote "C:\\" ends at its last quote and '\'' is one literal.
// Comments: each occurrence of `comment` whose characters all carry a
// colour other than stringsColor colours from it to end. The text is not
// changed; `placeholder` is not used (it is kept for the callers that name
// the masking of earlier versions).
void ColorLine(int &start, int &end, Surface &surface, const QString &delimiter1,
               const QString &delimiter2, const QString &ignore, const QString &placeholder,
               const QString &comment, BgrColor stringsColor, BgrColor commentsColor,
               const FontStyleTable &fontstyle, int stringsCategory, int commentsCategory);

// The escape of an ignore string: the ignore string without its last
// character (a backslash for the factory backslash and double quote), when
// that is not empty and shares no character with either delimiter; else
// empty. An ignore string holding a line break has none.
QString EscapeOf(const QString &ignore, const QString &delimiter1, const QString &delimiter2);

// One string: finds `delimiter` from scan + 1 (to end). Not found: returns
// scan. If that delimiter already carries `color`, returns its position.
// Otherwise finds the closing delimiter after it; none: returns the opening
// position, colouring nothing; else colours the text strictly between the
// two with `color` and the category's styles and returns the closing
// position. scan itself is not changed.
int ColorStringSpan(const FontStyleTable &fontstyle, int category, const QString &delimiter,
                    BgrColor color, int &scan, int end, Surface &surface);

// Colours every multi-line comment from startMarker to endMarker (both
// included) with commentsColor and the category's styles, searching from
// start to the end of the text (callers pass start = -1). A start marker
// that carries the strings or comments colour is skipped; the end marker is
// searched from 2 past the start marker's position (so "/*/" does not close
// itself), and end markers carrying the strings or comments colour are
// skipped. No end marker: stops. start and end are not changed; end is not
// used (the search always runs to the end of the text).
// With a limit (>= 0) the text is read as if it ended there: a comment
// whose end marker lies beyond it is not coloured, the search stops there,
// and the call returns true ("still open at the limit"); otherwise false.
bool ColorBlockComments(int &start, int &end, Surface &surface, const FontStyleTable &fontstyle,
                        int category, BgrColor stringsColor, BgrColor commentsColor,
                        const QString &startMarker, const QString &endMarker, int limit = -1);

// Colours the text blocks of the whole text: three delimiter1 in a row
// (""" for the double quote) followed by nothing but blanks on their line
// open one, and the next three that overlap no
// inert run (as ColorLine finds them, from just after the opening three)
// close it, however many lines later. Everything strictly between the two
// takes stringsColor and the category's styles: nothing in a text block is
// a comment. An opening run whose characters all carry the strings or
// comments colour is passed over (it lies in a string or a single-line
// comment), and so is everything from a multi-line comment's start marker
// to its end marker, found as ColorBlockComments finds them (which runs
// after this). An opening run that is never closed, or a comment that never
// ends, ends the search. When a text block closes before its line does,
// recolourLine(from, lineFeed) is called for the rest of that line (lineFeed
// -1 on a last line without one): the line pass read that rest as if the
// line started outside the text block, and the caller colours it again as
// a line of its own.
// `from` (a line start outside any text block or comment) and `limit` (a
// line start, or -1 for the end of the text) bound the scan as for
// ColorBlockComments: true when a text block or comment opened before the
// limit does not close before it.
bool ColorTextBlocks(Surface &surface, const QString &delimiter1, const QString &delimiter2,
                     const QString &ignore, const FontStyleTable &fontstyle, int category,
                     BgrColor stringsColor, BgrColor commentsColor, const QString &startMarker,
                     const QString &endMarker, const std::function<void(int, int)> &recolourLine,
                     int from = 0, int limit = -1);

// Replaces each occurrence of `ignore` in [start, end) (not matching case)
// by `placeholder`, returning the end moved by the change of length. The
// new text takes the format of the occurrence's first character. These two
// edit the text without recording undo: callers pair them within one
// operation so the text ends as it was. When the unmask does not give back
// exactly the text the mask started from (or runs without a mask before
// it) and has changed the text, the surface's undo history is cleared, as
// it no longer describes the text. ColorLine reads escapes in place and
// does not call them.
int MaskIgnoreText(int start, int end, Surface &surface, const QString &ignore,
                   const QString &placeholder);
// The reverse: each occurrence of `placeholder` in [start, end) becomes
// `ignore`; returns the moved end.
int UnmaskIgnoreText(int start, int end, Surface &surface, const QString &ignore,
                     const QString &placeholder);

} // namespace qln
