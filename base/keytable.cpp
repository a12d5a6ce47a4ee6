#include "base/keytable.h"

#include <QGuiApplication>
#include <QHash>
#include <QSet>
#include <array>

namespace qln {

namespace {

using K = KeyCommand;
constexpr Qt::KeyboardModifiers kShift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers kAny =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

KeyCommandDef view(K id, const char *name, const char *keys, Qt::KeyboardModifiers anyOf = {})
{
    return {id, name, KeyScope::Text, KeyCarrier::View, keys, QKeySequence::UnknownKey, anyOf};
}

// The clipboard and history: the platform's keys as well, and the written
// ones shown in the menu where it has them.
KeyCommandDef edit(K id, const char *name, const char *keys, QKeySequence::StandardKey platform,
                   bool menuShortcut)
{
    return {id, name, KeyScope::Text, KeyCarrier::View, keys, platform, {}, menuShortcut};
}

KeyCommandDef menu(K id, const char *name, const char *keys)
{
    return {id, name, KeyScope::Window, KeyCarrier::Window, keys, QKeySequence::UnknownKey,
            {}, true};
}

KeyCommandDef assist(K id, const char *name, const char *keys, Qt::KeyboardModifiers anyOf = {},
                     KeyScope scope = KeyScope::Text)
{
    return {id, name, scope, KeyCarrier::Assist, keys, QKeySequence::UnknownKey, anyOf};
}

KeyCommandDef box(K id, const char *name, const char *keys, Qt::KeyboardModifiers anyOf)
{
    return {id,   name, KeyScope::CompletionBox, KeyCarrier::Box, keys, QKeySequence::UnknownKey,
            anyOf};
}

const std::vector<KeyCommandDef> &table()
{
    static const std::vector<KeyCommandDef> rows = {
        view(K::MoveLeft, "moveLeft", "Left"),
        view(K::MoveRight, "moveRight", "Right"),
        view(K::MoveUp, "moveUp", "Up"),
        view(K::MoveDown, "moveDown", "Down"),
        view(K::MoveWordLeft, "moveWordLeft", "Ctrl+Left"),
        view(K::MoveWordRight, "moveWordRight", "Ctrl+Right"),
        // Home: the first non-blank, then the line's start; where lines wrap,
        // Home and End go to the row's ends first.
        view(K::MoveLineStart, "moveLineStart", "Home"),
        view(K::MoveLineEnd, "moveLineEnd", "End"),
        view(K::MovePageUp, "movePageUp", "PgUp; Ctrl+PgUp"),
        view(K::MovePageDown, "movePageDown", "PgDown; Ctrl+PgDown"),
        view(K::MoveDocumentStart, "moveDocumentStart", "Ctrl+Home"),
        view(K::MoveDocumentEnd, "moveDocumentEnd", "Ctrl+End"),
        view(K::SelectLeft, "selectLeft", "Shift+Left"),
        view(K::SelectRight, "selectRight", "Shift+Right"),
        view(K::SelectUp, "selectUp", "Shift+Up"),
        view(K::SelectDown, "selectDown", "Shift+Down"),
        view(K::SelectWordLeft, "selectWordLeft", "Ctrl+Shift+Left"),
        view(K::SelectWordRight, "selectWordRight", "Ctrl+Shift+Right"),
        view(K::SelectLineStart, "selectLineStart", "Shift+Home"),
        view(K::SelectLineEnd, "selectLineEnd", "Shift+End"),
        view(K::SelectPageUp, "selectPageUp", "Shift+PgUp; Ctrl+Shift+PgUp"),
        view(K::SelectPageDown, "selectPageDown", "Shift+PgDown; Ctrl+Shift+PgDown"),
        view(K::SelectDocumentStart, "selectDocumentStart", "Ctrl+Shift+Home"),
        view(K::SelectDocumentEnd, "selectDocumentEnd", "Ctrl+Shift+End"),
        // The view scrolls by a row; the caret stays.
        view(K::ScrollLineUp, "scrollLineUp", "Ctrl+Up", kShift),
        view(K::ScrollLineDown, "scrollLineDown", "Ctrl+Down", kShift),

        view(K::DeleteBackward, "deleteBackward", "Backspace", kShift),
        view(K::DeleteForward, "deleteForward", "Del"),
        view(K::DeleteWordBackward, "deleteWordBackward", "Ctrl+Backspace"),
        view(K::DeleteWordForward, "deleteWordForward", "Ctrl+Del"),
        view(K::NewLine, "newLine", "Return; Enter", kShift | Qt::MetaModifier),
        // In the main window Tab over a selection of several lines indents
        // them (the typing assistance does it).
        view(K::InsertTab, "insertTab", "Tab", kShift),
        // Where Tab moves the focus on, Ctrl+Tab types the tab.
        view(K::TypeTab, "typeTab", "Ctrl+Tab", kShift),
        // Shift+Tab unindents in the main window (the typing assistance);
        // the view keeps it unless Tab moves the focus on.
        view(K::Backtab, "backtab", "Backtab", kAny),
        view(K::ToggleOverwrite, "toggleOverwrite", "Ins"),
        edit(K::Undo, "undo", "Ctrl+Z", QKeySequence::Undo, false),
        edit(K::Cut, "Cut", "Ctrl+X", QKeySequence::Cut, true),
        edit(K::Copy, "Copy", "Ctrl+C", QKeySequence::Copy, true),
        // The menu item's caption names Ctrl+V; the item has no key.
        edit(K::Paste, "Paste", "Ctrl+V", QKeySequence::Paste, false),
        // In the main window the menu item redoes (while there is something
        // to redo), with one key more.
        edit(K::Redo, "redo", "Ctrl+Y", QKeySequence::Redo, false),

        menu(K::Redo, "redo", "Ctrl+Y; Ctrl+Shift+Z"),
        menu(K::PlainTextCut, "plaintextcut", ""),
        menu(K::PlainTextCopy, "plaintextcopy", ""),
        menu(K::PlainTextPaste, "plaintextpaste", ""),
        // Ctrl+A is Save As.
        menu(K::SelectAll, "selectall", ""),
        menu(K::NewWindow, "newwindow", "Ctrl+W"),
        menu(K::New, "new", "Ctrl+N"),
        menu(K::Open, "Open", "Ctrl+O"),
        menu(K::Save, "Save", "Ctrl+S"),
        menu(K::SaveAs, "Save_as", "Ctrl+A"),
        menu(K::Print, "printa", "Ctrl+P"),
        menu(K::Exit, "Exit", "Alt+Backspace"),
        menu(K::Find, "Find", "Ctrl+F"),
        menu(K::FindNext, "Find_next", "F3"),
        menu(K::GotoLine, "gotoline", "Ctrl+G"),
        menu(K::InsertIf, "insertif", "Shift+F1"),
        menu(K::InsertIfElse, "insertifelse", "Shift+F2"),
        menu(K::InsertSwitch, "insertswitch", "Shift+F3"),
        // Shift+F4 goes to the previous error of the last tool run.
        menu(K::InsertForLoop, "insertforloop", ""),
        menu(K::InsertWhileLoop, "insertwhileloop", "Shift+F5"),
        menu(K::InsertDoWhileLoop, "insertdowhileloop", "Shift+F6"),
        menu(K::Run, "run", "Ctrl+F1"),
        menu(K::Compile, "compile", "Ctrl+F2"),
        menu(K::Appletviewer, "appletviewer", "Ctrl+F3"),
        menu(K::Jar, "jar", "Ctrl+F4"),
        menu(K::HtmlConverter, "htmlconverter", "Ctrl+F5"),
        menu(K::NextError, "nexterror", "F4"),
        menu(K::PreviousError, "previouserror", "Shift+F4"),
        menu(K::ViewStandardToolbar, "viewStandardtoolbar", "Shift+Ctrl+F1"),
        menu(K::ViewFormattingToolbar, "viewformattingtoolbar", "Shift+Ctrl+F2"),
        menu(K::ViewStatusBar, "viewstatusbar", "Shift+Ctrl+F3"),
        // The switches of the formatting band.
        menu(K::AutoTreeSearch, "formatautotreesearch", "Ctrl+Shift+T"),
        menu(K::AutoSpellCorrect, "formatautospellcorrect", "Ctrl+Shift+S"),
        menu(K::AutoSyntaxColor, "formatautosyntaxcolor", "Ctrl+Shift+C"),

        // The case commands' captions name their keys; the typing assistance
        // runs them from the text.
        assist(K::LowerCase, "lowercase", "Alt+L"),
        assist(K::UpperCase, "uppercase", "Alt+U"),
        assist(K::InvertCase, "invertcase", "Alt+I"),
        assist(K::Capitalize, "capitalize", "Alt+C"),
        assist(K::Bold, "Bold", "Ctrl+B"),
        assist(K::Italic, "Italic", "Ctrl+I"),
        assist(K::Underline, "Underline", "Ctrl+U"),
        assist(K::ClearCompletion, "clearCompletion", "Esc", kAny),
        // While the completion box shows, these keys steer it, not the caret.
        assist(K::InsertCompletion, "insertCompletion", "Return; Enter", kAny,
               KeyScope::CompletionShown),
        assist(K::NextCompletion, "nextCompletion", "Down", kAny, KeyScope::CompletionShown),
        assist(K::PreviousCompletion, "previousCompletion", "Up", kAny, KeyScope::CompletionShown),

        box(K::ChooseInBox, "chooseInBox", "Return; Enter; Space", kAny),
        box(K::CloseBox, "closeBox", "Esc", kAny),
        // The box's own moves through its list.
        box(K::MoveInBox, "moveInBox", "Up; Down; PgUp; PgDown", kAny),
        // Keys the box passes on to the text, with what is typed.
        box(K::TypeThroughBox, "typeThroughBox", "Backspace; Del; Left; Right", kAny),
    };
    return rows;
}

struct Index {
    std::array<QList<KeyBinding>, kKeyScopes> bindings;
    std::array<QHash<int, const KeyCommandDef *>, kKeyScopes> lookup;
};

// A key with every combination of the modifiers its command does not look at.
QList<QKeyCombination> spelledOut(QKeyCombination key, Qt::KeyboardModifiers anyOf)
{
    QList<QKeyCombination> out{key};
    for (Qt::KeyboardModifier m :
         {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier, Qt::MetaModifier}) {
        if (!(anyOf & m))
            continue;
        for (qsizetype i = 0, n = out.size(); i < n; ++i)
            if (!(out[i].keyboardModifiers() & m))
                out.append(QKeyCombination(out[i].keyboardModifiers() | m, out[i].key()));
    }
    return out;
}

Index buildIndex()
{
    Q_ASSERT(qGuiApp); // the platform's keys come from its theme
    Index x;
    std::array<QSet<int>, kKeyScopes> written;
    auto add = [&x](size_t scope, QKeyCombination key, const KeyCommandDef &row, bool implied) {
        const KeyCommandDef *taken = x.lookup[scope].value(key.toCombined());
        if (implied && taken == &row)
            return;
        x.bindings[scope].append({key, &row, implied});
        if (!taken)
            x.lookup[scope].insert(key.toCombined(), &row);
    };
    for (const KeyCommandDef &row : table())
        for (const QKeySequence &seq : QKeySequence::listFromString(QLatin1String(row.keys)))
            if (!seq.isEmpty()) {
                add(size_t(row.scope), seq[0], row, false);
                written[size_t(row.scope)].insert(seq[0].toCombined());
            }
    for (const KeyCommandDef &row : table()) {
        QList<QKeySequence> keys = QKeySequence::listFromString(QLatin1String(row.keys));
        keys += QKeySequence::keyBindings(row.platform);
        for (const QKeySequence &seq : keys) {
            if (seq.isEmpty())
                continue;
            for (QKeyCombination key : spelledOut(seq[0], row.anyOf))
                if (!written[size_t(row.scope)].contains(key.toCombined()))
                    add(size_t(row.scope), key, row, true);
        }
    }
    return x;
}

const Index &index()
{
    static const Index built = buildIndex();
    return built;
}

} // namespace

const std::vector<KeyCommandDef> &keyCommands()
{
    return table();
}

const QList<KeyBinding> &keyBindings(KeyScope scope)
{
    return index().bindings[size_t(scope)];
}

const KeyCommandDef *keyCommandFor(QKeyCombination key, KeyScope scope)
{
    const Qt::KeyboardModifiers mods =
        key.keyboardModifiers() & ~(Qt::KeypadModifier | Qt::GroupSwitchModifier);
    return index().lookup[size_t(scope)].value(QKeyCombination(mods, key.key()).toCombined());
}

QList<QKeySequence> menuShortcuts(QStringView item)
{
    for (const KeyCommandDef &row : table())
        if (row.menuShortcut && *row.keys && QLatin1String(row.name) == item)
            return QKeySequence::listFromString(QLatin1String(row.keys));
    return {};
}

} // namespace qln
