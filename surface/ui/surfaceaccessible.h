#pragma once
// What assistive technology (screen readers, magnifiers, braille displays)
// sees of the editing view: an editable text whose content, caret and
// selection are the surface's. Offsets count one character per line break
// and the text reads with "\n" breaks, as everywhere on this desktop; every
// answer is read from the surface around the offset asked about (the
// offset's own line), so a large document is never copied whole for a
// question about one word.

#include <QAccessibleWidget>
#include <QMetaObject>
#include <functional>
#include <utility>

namespace qln {

class Surface;
class SurfaceView;

class SurfaceAccessible : public QAccessibleWidget,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface {
public:
    explicit SurfaceAccessible(SurfaceView *view);
    ~SurfaceAccessible() override;

    // Makes Qt's accessibility ask this class about every SurfaceView. Call
    // once the application object exists; calling it again does nothing.
    static void install();
    // Where the views report edits and caret moves: to assistive
    // technology while it listens, or, once a sink is set, to the sink
    // alone, always (tests read what would be reported). An empty sink
    // goes back to assistive technology.
    using ReportSink = std::function<void(QAccessibleEvent *)>;
    static void setReportSink(ReportSink sink);

    // --- the object -----------------------------------------------------
    QString text(QAccessible::Text t) const override;
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

    // --- editing: each call is one step of the surface's undo -----------
    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString &text) override;
    void replaceText(int startOffset, int endOffset, const QString &text) override;

private:
    enum class Direction { Before, At, After };
    SurfaceView *view() const;
    Surface *surface() const;
    int toSurface(int offset) const; // a view offset, clamped, as a surface position
    int toOffset(int pos) const;     // a surface position as a view offset
    std::pair<int, int> unitAt(int offset, QAccessible::TextBoundaryType type) const;
    QString boundaryText(Direction direction, int offset, QAccessible::TextBoundaryType type,
                         int *startOffset, int *endOffset) const;
    void replaceRange(int startOffset, int endOffset, const QString &text);
    static bool listening();
    static void report(QAccessibleEvent *event);
    void reportEdit(int pos, int added);
    // The caret and selection are reported once the current event is
    // handled, and only when they differ from what was reported last: a
    // handler that selects what it works on and puts the caret back is
    // never heard of.
    void caretMoved();
    void reportCaret();

    QMetaObject::Connection m_removing;
    QMetaObject::Connection m_edits;
    QMetaObject::Connection m_caret;
    QString m_removed; // what the edit being made takes away, "\n" breaks
    bool m_caretPending = false;
    int m_reportedStart = 0, m_reportedEnd = 0, m_reportedCaret = 0;
};

} // namespace qln
