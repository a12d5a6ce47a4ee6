#pragma once
// What the view's source files share: the sizes it lays text out by and
// small helpers on formats, typed text and keys. Not for use outside the view.

#include "surface/surface.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QTextCharFormat>

namespace qln::viewparts {


// Lines longer than this are laid out in pieces of about kChunk characters,
// only those near what is on screen; where lines wrap, each piece wraps on
// its own.
inline constexpr int kLongLine = 4096;
inline constexpr int kChunk = 2048;
// Space left of the text and above the first line.
inline constexpr int kPadX = 4;
inline constexpr int kPadY = 2;
// QPlainTextEdit's default tab stop, which the program has always shown.
inline constexpr double kTabStop = 80;

inline bool isDefaultFormat(const CharFormat &f)
{
    return f.color == 0 && !f.bold && !f.italic && !f.underline && f.fontName.isEmpty()
           && f.fontSize <= 0;
}

inline QTextCharFormat toQtFormat(const CharFormat &f)
{
    QTextCharFormat q;
    q.setForeground(toQColor(f.color));
    if (f.bold)
        q.setFontWeight(QFont::Bold);
    if (f.italic)
        q.setFontItalic(true);
    if (f.underline)
        q.setFontUnderline(true);
    if (!f.fontName.isEmpty())
        q.setFontFamilies(QStringList{f.fontName});
    if (f.fontSize > 0)
        q.setFontPointSize(f.fontSize);
    return q;
}

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
