#pragma once
// Shows a Surface in a QPlainTextEdit. The surface is the truth: edits the
// user makes in the widget (typing, IME, paste, delete) are mirrored into
// it, and its programmatic changes of text, formats and selection are
// pushed to the widget, formats as layout formats of the changed lines only
// (they never enter the widget's own undo or modified state).

#include "surface/surface.h"

#include <QPlainTextEdit>

namespace qln {

// A key event offered to handlers before the surface acts on it. A handler
// that consumes the key sets `consumed` (the key then does nothing else).
struct KeyEventInfo {
    int key = 0;
    Qt::KeyboardModifiers modifiers;
    QString text;
    bool consumed = false;
};

class SurfaceView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit SurfaceView(QWidget *parent = nullptr);
    ~SurfaceView() override;

    Surface *surface() const { return m_surface; }

    // Pushes pending format and selection changes to the widget now.
    void flush();

    // The caret's rectangle at a surface position, and at the caret, in
    // viewport coordinates.
    QRect caretRect(int pos) const;
    QRect caretRect() const;
    // The surface position nearest to a point in viewport coordinates.
    int positionAt(const QPoint &point) const;

signals:
    void keyDown(qln::KeyEventInfo *info);
    void keyPress(qln::KeyEventInfo *info);
    void clicked();
    // The Insert key switched between inserting and overwriting.
    void overwriteModeToggled(bool overwrite);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;
    QMimeData *createMimeDataFromSelection() const override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void onContentsChange(int position, int removed, int added);
    void onTextReplaced(int pos, int removed, int removedBreaks, int added, bool fromView);
    // An edit the user made, applied to the surface and shown at once.
    void editSurface(int start, int length, const QString &text);
    void deleteBackward();
    void deleteForward();
    void resyncAll();
    void markLinesDirty(int firstLine, int lastLine);
    void applyWrapWidth();
    void onFormatsChanged(int start, int length);
    void onCursorMoved();
    void onAppearanceChanged();
    void scheduleFlush();
    void pushFormats(int firstLine, int lastLine);
    void pushSelection();

    Surface *m_surface;
    bool m_applyingModel = false; // widget edits made on the surface's behalf
    bool m_mirroring = false;     // copying a widget edit into the surface
    bool m_textStale = false;     // the surface changed while hidden
    bool m_flushPosted = false;
    bool m_selectionDirty = false;
    int m_wrapWidth = 0; // pixels; 0: lines do not wrap
    int m_dirtyFirstLine = -1;
    int m_dirtyLastLine = -1;
};

} // namespace qln
