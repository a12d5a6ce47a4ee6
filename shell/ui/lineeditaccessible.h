#pragma once
// What assistive technology sees of the program's one-line text boxes (the
// font boxes, the dialogs' fields): an editable text answered from the box's
// own text. Words are runs of letters and digits with the runs of other
// characters between them; a sentence, paragraph and line are the whole
// text. Every answer is worked out by one pass over the text, so no
// question, at whatever offset, can keep the editor busy.

#include <QAccessibleWidget>
#include <utility>

class QLineEdit;

namespace qln {

class LineEditAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface {
public:
    explicit LineEditAccessible(QLineEdit *edit);

    // Makes Qt's accessibility ask this class about every QLineEdit. Call
    // once the application object exists, before the first question;
    // calling it again does nothing.
    static void install();

    // --- the object -----------------------------------------------------
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text t, const QString &text) override;
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType t) override;

    // --- text -------------------------------------------------------------
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                             int *startOffset, int *endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                            int *startOffset, int *endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                         int *endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

    // --- editing ------------------------------------------------------------
    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString &text) override;
    void replaceText(int startOffset, int endOffset, const QString &text) override;

private:
    enum class Direction { Before, At, After };
    QLineEdit *edit() const;
    QString shown() const; // the text as read out: a password box's dots
    std::pair<int, int> unitAt(int offset, QAccessible::TextBoundaryType type) const;
    QString boundaryText(Direction direction, int offset, QAccessible::TextBoundaryType type,
                         int *startOffset, int *endOffset) const;
};

} // namespace qln
