#pragma once
// Indentation that follows the keys: Enter keeps the line's indentation
// (one unit more after an opening brace), a closing brace typed first on
// its line lines up with the line of its opening brace, Tab and Shift+Tab
// move whole lines by one unit, and a template goes in at the caret line's
// indentation. Each edit is one undo step. The main window's text reaches
// these through the typing assistance's key handler.
//
// Only the text near the caret is read: Enter reads back at most
// kEnterWindow characters to learn whether the caret's line starts inside a
// comment, a closing brace at most kBraceWindow to find its opening one.

#include "base/keytable.h"
#include "formatting/indenter.h"

#include <QString>
#include <QStringView>

namespace qln {

class Surface;
struct Preferences;

inline constexpr int kEnterWindow = 16 * 1024;
inline constexpr int kBraceWindow = 128 * 1024;

// The indentation the new line gets when a line break goes in at `pos`:
// the leading blanks of pos's line that stand before pos, and one unit more
// when the code before pos on that line ends with the block beginning
// (a comment after it and blanks do not count; braces in strings,
// character literals and comments are no code).
QString keptIndent(const Surface &surface, int pos, const IndentSyntax &syntax);

// Enter: the selection becomes a line break and the kept indentation; the
// blanks right after the caret go, so the text that follows starts at the
// new indentation. One edit; the caret ends before that text.
void newLineKeepingIndent(Surface &surface, const IndentSyntax &syntax);

// The block beginning whose block a block ending typed at `pos` would
// close (the innermost one still open before pos), or -1 when none lies
// within kBraceWindow characters.
int openingBlockFor(const Surface &surface, int pos, const IndentSyntax &syntax);

// A block ending typed over the selection when everything before the
// selection on its line, and after it, is blank: it goes in at the
// indentation of the line of its opening brace, as one edit. False (and
// nothing changes) when the key should be typed as it is: the selection
// crosses a line, other text shares the line, no opening brace is found,
// or the blanks are already right.
bool typeAlignedBlockEnd(Surface &surface, const IndentSyntax &syntax);

// Tab and Shift+Tab over lines. The lines the selection touches (a last
// line it only reaches at its start does not count; with no selection the
// caret's line) are indented by one unit, or lose one: the unit where they
// start with it, else their leading blanks up to the unit's width (a tab
// counted as eight blanks, and one tab at most). One edit. A selection
// over several lines then covers the whole lines, from the first's start
// to the last's end; a caret or a selection within one line moves with its
// text. An empty unit counts as one tab.
void shiftLines(Surface &surface, const QString &unit, bool outward);
// Whether the selection reaches over a line break (Tab then shifts lines).
bool selectionSpansLines(const Surface &surface);

// A template's text placed at an indentation: each line after the first
// gets `indent` in front unless it is blank.
QString indentedTemplate(const QString &text, const QString &indent);

// The keys above for the main window's text, with the preferences'
// "Keep indentation" switch and unit: Enter and a typed "}" while it is on,
// Tab with a selection over lines, Shift+Tab always. Returns true when the
// key was used up.
bool runIndentKey(Surface &surface, const Preferences &prefs, KeyCommand command, int key,
                  Qt::KeyboardModifiers modifiers);

} // namespace qln
