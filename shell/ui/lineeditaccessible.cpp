#include "shell/ui/lineeditaccessible.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace qln {

namespace {

QAccessibleInterface *lineEditFactory(const QString &, QObject *object)
{
    if (auto *edit = qobject_cast<QLineEdit *>(object))
        return new LineEditAccessible(edit);
    return nullptr;
}

// Letters, digits, marks and the underscore make words.
bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c == QLatin1Char('_');
}

} // namespace

void LineEditAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(lineEditFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

LineEditAccessible::LineEditAccessible(QLineEdit *edit)
    : QAccessibleWidget(edit, QAccessible::EditableText)
{
}

QLineEdit *LineEditAccessible::edit() const
{
    return static_cast<QLineEdit *>(widget());
}

QString LineEditAccessible::shown() const
{
    return edit()->echoMode() == QLineEdit::Normal ? edit()->text() : edit()->displayText();
}

QString LineEditAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return shown();
    QString s = QAccessibleWidget::text(t);
    if (t == QAccessible::Name && s.isEmpty())
        s = edit()->placeholderText();
    return s;
}

void LineEditAccessible::setText(QAccessible::Text t, const QString &text)
{
    if (t != QAccessible::Value || edit()->isReadOnly())
        return;
    edit()->setText(text);
}

QAccessible::State LineEditAccessible::state() const
{
    QAccessible::State st = QAccessibleWidget::state();
    st.editable = !edit()->isReadOnly();
    st.readOnly = edit()->isReadOnly();
    st.selectableText = true;
    st.passwordEdit = edit()->echoMode() != QLineEdit::Normal;
    return st;
}

void *LineEditAccessible::interface_cast(QAccessible::InterfaceType t)
{
    if (t == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (t == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return QAccessibleWidget::interface_cast(t);
}

// --- text ---------------------------------------------------------------------

void LineEditAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !edit()->hasSelectedText())
        return;
    *startOffset = edit()->selectionStart();
    *endOffset = edit()->selectionEnd();
}

int LineEditAccessible::selectionCount() const
{
    return edit()->hasSelectedText() ? 1 : 0;
}

void LineEditAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void LineEditAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        edit()->deselect();
}

void LineEditAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex != 0)
        return;
    const int n = characterCount();
    startOffset = qBound(0, startOffset, n);
    endOffset = qBound(0, endOffset, n);
    edit()->setSelection(startOffset, endOffset - startOffset);
}

int LineEditAccessible::cursorPosition() const
{
    return edit()->cursorPosition();
}

void LineEditAccessible::setCursorPosition(int position)
{
    edit()->setCursorPosition(position);
}

QString LineEditAccessible::text(int startOffset, int endOffset) const
{
    const QString all = shown();
    startOffset = qBound(0, startOffset, int(all.size()));
    endOffset = qBound(startOffset, endOffset, int(all.size()));
    return all.mid(startOffset, endOffset - startOffset);
}

int LineEditAccessible::characterCount() const
{
    return int(shown().size());
}

// The unit containing offset: a character (with its low surrogate), a word
// or a run between words, or the whole text. At the end of the text a
// character or word is empty.
std::pair<int, int> LineEditAccessible::unitAt(int offset, QAccessible::TextBoundaryType type) const
{
    const QString all = shown();
    const int n = int(all.size());
    if (type != QAccessible::CharBoundary && type != QAccessible::WordBoundary)
        return {0, n};
    if (offset >= n)
        return {n, n};
    if (type == QAccessible::CharBoundary) {
        int start = offset, end = offset + 1;
        if (all[offset].isLowSurrogate() && offset > 0 && all[offset - 1].isHighSurrogate())
            --start;
        else if (all[offset].isHighSurrogate() && end < n && all[end].isLowSurrogate())
            ++end;
        return {start, end};
    }
    const bool word = isWordChar(all[offset]);
    int start = offset, end = offset + 1;
    while (start > 0 && isWordChar(all[start - 1]) == word)
        --start;
    while (end < n && isWordChar(all[end]) == word)
        ++end;
    return {start, end};
}

QString LineEditAccessible::boundaryText(Direction direction, int offset,
                                         QAccessible::TextBoundaryType type, int *startOffset,
                                         int *endOffset) const
{
    *startOffset = *endOffset = -1;
    const int n = characterCount();
    if (offset == -1)
        offset = n;
    if (offset < 0 || offset > n)
        return {};
    std::pair<int, int> unit = unitAt(offset, type);
    switch (direction) {
    case Direction::Before:
        if (unit.first == 0)
            return {};
        unit = unitAt(unit.first - 1, type);
        break;
    case Direction::At:
        if (unit.first == unit.second)
            return {};
        break;
    case Direction::After:
        if (unit.second >= n)
            return {};
        unit = unitAt(unit.second, type);
        break;
    }
    *startOffset = unit.first;
    *endOffset = unit.second;
    return text(unit.first, unit.second);
}

QString LineEditAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                             int *startOffset, int *endOffset) const
{
    return boundaryText(Direction::Before, offset, boundaryType, startOffset, endOffset);
}

QString LineEditAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int *startOffset, int *endOffset) const
{
    return boundaryText(Direction::After, offset, boundaryType, startOffset, endOffset);
}

QString LineEditAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                         int *startOffset, int *endOffset) const
{
    return boundaryText(Direction::At, offset, boundaryType, startOffset, endOffset);
}

// Where the character is drawn while the text is not scrolled sideways.
QRect LineEditAccessible::characterRect(int offset) const
{
    const QString all = shown();
    if (offset < 0 || offset > all.size())
        return QRect();
    QStyleOptionFrame option;
    option.initFrom(edit());
    const QRect contents =
        edit()->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit());
    const QFontMetrics metrics(edit()->font());
    const int x = contents.left() + edit()->textMargins().left()
                  + metrics.horizontalAdvance(all.left(offset));
    const int width = offset < all.size() ? metrics.horizontalAdvance(all[offset]) : 1;
    const QRect rect(x, contents.top() + (contents.height() - metrics.height()) / 2, width,
                     metrics.height());
    return QRect(edit()->mapToGlobal(rect.topLeft()), rect.size());
}

int LineEditAccessible::offsetAtPoint(const QPoint &point) const
{
    const QPoint local = edit()->mapFromGlobal(point);
    return edit()->rect().contains(local) ? edit()->cursorPositionAt(local) : -1;
}

void LineEditAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    edit()->setCursorPosition(endIndex);
    edit()->setCursorPosition(startIndex);
}

QString LineEditAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = offset;
    return QString();
}

// --- editing ----------------------------------------------------------------------

void LineEditAccessible::deleteText(int startOffset, int endOffset)
{
    replaceText(startOffset, endOffset, QString());
}

void LineEditAccessible::insertText(int offset, const QString &text)
{
    replaceText(offset, offset, text);
}

void LineEditAccessible::replaceText(int startOffset, int endOffset, const QString &text)
{
    if (edit()->isReadOnly() || edit()->echoMode() != QLineEdit::Normal)
        return;
    QString all = edit()->text();
    startOffset = qBound(0, startOffset, int(all.size()));
    endOffset = qBound(startOffset, endOffset, int(all.size()));
    all.replace(startOffset, endOffset - startOffset, text);
    edit()->setText(all);
    edit()->setCursorPosition(startOffset + int(text.size()));
}

} // namespace qln
