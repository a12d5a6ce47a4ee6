#pragma once
// The Edit and Format menu commands that act on the editing surface
// directly: clipboard, undo, select all, goto line, the font and
// background choices, and which items the two menus enable when they open.

#include "base/prompter.h"

#include <functional>

namespace qln {

class Surface;

// What a command needs to report progress on the main window.
struct StatusHooks {
    std::function<void(const QString &)> setStatusText; // panel 1, repainted
    std::function<void(bool)> setBusy;                  // hourglass pointer
    std::function<void()> focusSurface;
};

// Cut, Copy and Paste with formatting. Cut and Copy do nothing without a
// selection; a failure shows "Error cuting", "Error copiing" or
// "Error pasting".
void editCut(Surface &surface, Prompter &prompter);
void editCopy(Surface &surface, Prompter &prompter);
void editPaste(Surface &surface, Prompter &prompter);
// The same as plain text: pasted text takes the format at the caret.
void plainTextCut(Surface &surface);
void plainTextCopy(Surface &surface);
void plainTextPaste(Surface &surface);

void editUndo(Surface &surface);
void editRedo(Surface &surface);
void selectAll(Surface &surface, const StatusHooks &hooks);

// Asks "Goto " / "Goto line" and gives where that line's code starts (its
// first non-blank) for the caret to land on, nothing selected; a line beyond
// the end offers to try another. An answer whose number value is 0, or no
// answer, gives -1. The surface is not touched.
int gotoLine(const Surface &surface, Prompter &prompter);
// Where a line's code starts: its first character that is not a blank or a
// tab (the line's end when it holds nothing else).
int firstNonBlank(const Surface &surface, int line);

// The font dialog: the selection takes the chosen name, size, bold, italic
// and underline. Cancelling changes nothing.
void chooseSelectionFont(Surface &surface, Prompter &prompter);
// The colour dialog for the surface's background; true when one was chosen.
bool chooseBackground(Surface &surface, Prompter &prompter);

struct EditMenuState {
    bool cut = false, copy = false, paste = false;
    bool plainCut = false, plainCopy = false, plainPaste = false;
};
EditMenuState editMenuState(const Surface &surface, bool clipboardHasText);
// The four case items of the Format menu.
bool caseItemsEnabled(const Surface &surface);

} // namespace qln
