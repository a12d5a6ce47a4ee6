#pragma once
// What the view's source files share: its padding and small helpers on
// typed text and keys. Not for use outside the view.

#include "base/keytable.h"
#include "surface/surface.h"

#include <QKeyEvent>
#include <QKeySequence>

namespace qln::viewparts {

// Space left of the text and above the first line.
inline constexpr int kPadX = 4;
inline constexpr int kPadY = 2;

inline bool isTypedText(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    return true;
}

// Word, blank or other: the classes Ctrl+Left and Ctrl+Right step over.
inline int charClass(QChar c)
{
    if (Surface::isWordCharacter(c) || c.isLetterOrNumber() || c.isMark())
        return 1;
    if (c.isSpace())
        return 0;
    return 2;
}

// The command a key runs in the text, from the key table.
inline const KeyCommandDef *textCommand(const QKeyEvent *e)
{
    return keyCommandFor(e->keyCombination(), KeyScope::Text);
}

// Keys the view takes even where the window has a shortcut: those of its
// own commands, and typing. The typing assistance's keys come to the text
// only where the window has no shortcut for them.
inline bool isEditingShortcut(const QKeyEvent *e)
{
    const KeyCommandDef *command = textCommand(e);
    if (command && command->carrier == KeyCarrier::View)
        return true;
    const Qt::KeyboardModifiers mods = e->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    return mods == Qt::NoModifier && isTypedText(e->text());
}

// How a motion moves the caret, and whether it extends the selection.
enum class Step {
    CharLeft,
    CharRight,
    LineUp,
    LineDown,
    WordLeft,
    WordRight,
    LineStart,
    LineEnd,
    PageUp,
    PageDown,
    DocumentStart,
    DocumentEnd
};
struct Motion {
    KeyCommand command;
    Step step;
    bool extend;
};

inline const Motion *motionOf(KeyCommand command)
{
    using K = KeyCommand;
    static constexpr Motion motions[] = {
        {K::MoveLeft, Step::CharLeft, false},
        {K::SelectLeft, Step::CharLeft, true},
        {K::MoveRight, Step::CharRight, false},
        {K::SelectRight, Step::CharRight, true},
        {K::MoveUp, Step::LineUp, false},
        {K::SelectUp, Step::LineUp, true},
        {K::MoveDown, Step::LineDown, false},
        {K::SelectDown, Step::LineDown, true},
        {K::MoveWordLeft, Step::WordLeft, false},
        {K::SelectWordLeft, Step::WordLeft, true},
        {K::MoveWordRight, Step::WordRight, false},
        {K::SelectWordRight, Step::WordRight, true},
        {K::MoveLineStart, Step::LineStart, false},
        {K::SelectLineStart, Step::LineStart, true},
        {K::MoveLineEnd, Step::LineEnd, false},
        {K::SelectLineEnd, Step::LineEnd, true},
        {K::MovePageUp, Step::PageUp, false},
        {K::SelectPageUp, Step::PageUp, true},
        {K::MovePageDown, Step::PageDown, false},
        {K::SelectPageDown, Step::PageDown, true},
        {K::MoveDocumentStart, Step::DocumentStart, false},
        {K::SelectDocumentStart, Step::DocumentStart, true},
        {K::MoveDocumentEnd, Step::DocumentEnd, false},
        {K::SelectDocumentEnd, Step::DocumentEnd, true},
    };
    for (const Motion &m : motions)
        if (m.command == command)
            return &m;
    return nullptr;
}

} // namespace qln::viewparts
