#pragma once
// What the view's source files share: its padding and small helpers on
// typed text and keys. Not for use outside the view.

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

// Keys the view handles itself even where the window has a shortcut.
inline bool isEditingShortcut(QKeyEvent *e)
{
    static const QKeySequence::StandardKey keys[] = {
        QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Undo,
        QKeySequence::Redo, QKeySequence::MoveToNextWord, QKeySequence::MoveToPreviousWord,
        QKeySequence::MoveToStartOfDocument, QKeySequence::MoveToEndOfDocument,
        QKeySequence::SelectNextWord, QKeySequence::SelectPreviousWord,
        QKeySequence::SelectStartOfDocument, QKeySequence::SelectEndOfDocument,
        QKeySequence::MoveToStartOfLine, QKeySequence::MoveToEndOfLine,
        QKeySequence::SelectStartOfLine, QKeySequence::SelectEndOfLine,
        QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord,
        QKeySequence::MoveToNextPage, QKeySequence::MoveToPreviousPage,
        QKeySequence::SelectNextPage, QKeySequence::SelectPreviousPage};
    for (auto k : keys)
        if (e->matches(k))
            return true;
    if (e->key() == Qt::Key_Y && (e->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier)
        return true;
    const Qt::KeyboardModifiers mods = e->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    return mods == Qt::NoModifier && isTypedText(e->text());
}

} // namespace qln::viewparts
