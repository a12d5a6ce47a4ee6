#pragma once
// Every key the editor takes, as one table of named commands with their
// default keys: the motions and edits of the text, the menu commands' keys,
// the typing assistance's keys and the completion box's. The text looks a
// key up here and runs what it finds or hands it on; the menu table takes
// its items' shortcuts from here, so a key is written once.

#include <QKeyCombination>
#include <QKeySequence>
#include <QList>
#include <QStringView>
#include <vector>

namespace qln {

// Where a key is looked up.
enum class KeyScope {
    // The main window's menu commands: shortcuts of their items, and looked
    // up first when their key reaches the text.
    Window,
    Text,            // an editing surface's view
    CompletionShown, // the main window's text while the completion box shows
    CompletionBox,   // the completion box, closed or with its list dropped down
};
inline constexpr int kKeyScopes = 4;

// Who carries a command out.
enum class KeyCarrier {
    View,   // the editing surface's view
    Window, // the main window's menu item of the same name
    Assist, // the typing-time assistance
    Box,    // the completion box
};

enum class KeyCommand {
    None,
    // The view's motions; Select... extend the selection.
    MoveLeft,
    MoveRight,
    MoveUp,
    MoveDown,
    MoveWordLeft,
    MoveWordRight,
    MoveLineStart,
    MoveLineEnd,
    MovePageUp,
    MovePageDown,
    MoveDocumentStart,
    MoveDocumentEnd,
    SelectLeft,
    SelectRight,
    SelectUp,
    SelectDown,
    SelectWordLeft,
    SelectWordRight,
    SelectLineStart,
    SelectLineEnd,
    SelectPageUp,
    SelectPageDown,
    SelectDocumentStart,
    SelectDocumentEnd,
    ScrollLineUp,
    ScrollLineDown,
    // The view's edits.
    DeleteBackward,
    DeleteForward,
    DeleteWordBackward,
    DeleteWordForward,
    NewLine,
    InsertTab,
    TypeTab,
    Backtab,
    ToggleOverwrite,
    Undo,
    Redo,
    Cut,
    Copy,
    Paste,
    // Menu commands.
    PlainTextCut,
    PlainTextCopy,
    PlainTextPaste,
    SelectAll,
    NewWindow,
    New,
    Open,
    Save,
    SaveAs,
    Print,
    Exit,
    Find,
    FindNext,
    GotoLine,
    InsertIf,
    InsertIfElse,
    InsertSwitch,
    InsertForLoop,
    InsertWhileLoop,
    InsertDoWhileLoop,
    Run,
    Compile,
    Appletviewer,
    Jar,
    HtmlConverter,
    NextError,
    PreviousError,
    ViewStandardToolbar,
    ViewFormattingToolbar,
    ViewStatusBar,
    AutoTreeSearch,
    AutoSpellCorrect,
    AutoSyntaxColor,
    // The typing assistance.
    LowerCase,
    UpperCase,
    InvertCase,
    Capitalize,
    Bold,
    Italic,
    Underline,
    ClearCompletion,
    InsertCompletion,
    NextCompletion,
    PreviousCompletion,
    // The completion box.
    ChooseInBox,
    CloseBox,
    MoveInBox,
    TypeThroughBox,
};

// One command in one scope. A command the window and the text both carry
// (redo) has a row in each, under one name.
struct KeyCommandDef {
    KeyCommand id;
    // A menu command's name is its menu item's.
    const char *name;
    KeyScope scope;
    KeyCarrier carrier;
    // The default keys in QKeySequence's portable text, "; " between
    // several; "" for none.
    const char *keys;
    // The platform's own keys for the command, taken too where the table
    // writes no key of another command.
    QKeySequence::StandardKey platform = QKeySequence::UnknownKey;
    // Modifiers the command does not look at: its keys match with any of
    // them held as well.
    Qt::KeyboardModifiers anyOf = {};
    // The menu item of this name takes the keys as its shortcut (elsewhere
    // the item's caption names the key, or the item has none).
    bool menuShortcut = false;
};

// The whole table, in the order lookups prefer.
const std::vector<KeyCommandDef> &keyCommands();

struct KeyBinding {
    QKeyCombination key;
    const KeyCommandDef *command;
    // Taken only as one of the platform's keys or through a modifier the
    // command does not look at; a key written for another command wins.
    bool implied;
};
// Every key of a scope with its command, modifiers spelled out: the keys as
// written first, then the implied ones no written key of the scope takes.
// The main window's written keys also come before the implied keys of the
// other scopes: the window looks its own up first. A key listed twice is a
// fault the shortcut test reports; lookups take the first.
const QList<KeyBinding> &keyBindings(KeyScope scope);

// The command a key runs in a scope, or nullptr. The keypad and group
// switch modifiers make no difference. The platform's keys are read on
// first use, which must come after the application object.
const KeyCommandDef *keyCommandFor(QKeyCombination key, KeyScope scope);

// A menu item's shortcuts: the written keys of the command of that name
// when the item shows them.
QList<QKeySequence> menuShortcuts(QStringView item);

} // namespace qln
