#pragma once
// Shows a Surface and lets the user edit it: the widget that scrolls, takes
// keys, the mouse, drops and input methods. It paints straight from the
// surface through a line-layout cache (only the lines on screen are laid
// out) and a renderer (text, selection, caret and the surface's marks).
// Every edit the user makes goes to the surface, and everything the program
// does to the surface is shown from it; the view keeps no copy of the text.
// The view shows a surface created before it and never owns it: the
// surface must outlive the view's use of it.

#include "base/keytable.h"
#include "surface/linelayouts.h"
#include "surface/surface.h"
#include "surface/surfacerenderer.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QPointer>
#include <memory>
#include <vector>

namespace qln {

// A key event offered to handlers before the surface acts on it. A handler
// that consumes the key sets `consumed` (the key then does nothing else).
struct KeyEventInfo {
    int key = 0;
    Qt::KeyboardModifiers modifiers;
    QString text;
    bool consumed = false;
};

class SurfaceView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit SurfaceView(Surface *surface, QWidget *parent = nullptr);
    ~SurfaceView() override;

    Surface *surface() const { return m_surface; }

    // While not painted (a command edits the surface in bulk, a typing-time
    // handler works around a keystroke), the view follows the surface's
    // edits but paints nothing and lays nothing out; when painted again it
    // repaints what changed meanwhile. The widget stays and keeps the focus.
    bool isPainted() const { return m_painted; }
    void setPainted(bool painted);
    // The line shown at the top of the view.
    int firstVisibleLine() const { return topLine(); }

    // Applies a pending selection or scroll now and brings the view up to
    // date with the surface.
    void flush();

    // The caret's rectangle at a surface position, and at the caret, in
    // viewport coordinates.
    QRect caretRect(int pos) const;
    QRect caretRect() const;
    // The surface position nearest to a point in viewport coordinates.
    int positionAt(const QPoint &point) const;

    // Scrolls so that the caret is on screen.
    void ensureCursorVisible();
    // Puts the caret at a position with nothing selected, as a jump to a
    // line does: a line out of sight is brought to the middle of the view,
    // and a band marks it until the caret moves.
    void land(int pos);
    bool showsLanding() const { return m_landing != 0; }

    // Tab moves the focus on instead of typing a tab (Ctrl+Tab types it).
    bool tabChangesFocus() const { return m_tabChangesFocus; }
    void setTabChangesFocus(bool on) { m_tabChangesFocus = on; }
    // Typed characters replace the character after the caret.
    bool overwriteMode() const { return m_overwrite; }
    void setOverwriteMode(bool on);

    // How many line layouts (or pieces of a long line) this view has built
    // so far; tests and benchmarks watch it to see what an edit costs.
    quint64 layoutsBuilt() const { return m_layouts->layoutsBuilt(); }

    // A band across the caret's line (off unless switched on), painted as
    // a whole-line mark of the surface that moves with the caret.
    bool currentLineBand() const { return m_band != 0; }
    void setCurrentLineBand(bool on);

    // A margin at the left with each line's number (off unless switched
    // on). While it shows, it keeps a place for the marks' signs left of
    // the numbers, so the text does not move when signs come and go; a
    // click on a sign lands on its mark's first character.
    bool lineNumbers() const { return m_lineNumbers; }
    void setLineNumbers(bool on);
    // How wide the margin at the left is (numbers and signs); 0: none.
    double leftMargin() const { return m_signMargin; }

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

signals:
    void keyDown(qln::KeyEventInfo *info);
    void keyPress(qln::KeyEventInfo *info);
    void clicked();
    // The Insert key switched between inserting and overwriting.
    void overwriteModeToggled(bool overwrite);
    // Local files were dropped on the view (a list of them and no other
    // text). Only while something listens to this signal; otherwise the
    // drop goes in as text, if it has any.
    void filesDropped(const QStringList &paths);

protected:
    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    // Where a drag would drop (-1: nowhere), repainting the lines concerned.
    void setDropCaret(int pos);
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    void changeEvent(QEvent *event) override;

private:
    // Where a line ends together with its line break (the last line has none).
    int lineEndWithBreak(int line) const;

    // --- geometry ---
    bool wraps() const { return wrapWidth() > 0; }
    int topLine() const;
    double topOffset() const; // how much of the top line is scrolled off
    void setTop(int line, double offset);
    // Where lines wrap: the top line, and how much of it is scrolled off,
    // that shows the text's last row at the bottom of the view (the
    // scroll bar's end). Found when asked for after a change below it.
    std::pair<int, double> bottomTop() const;
    void dropBottomTop() const { m_bottomLine = -1; }
    // The scroll bar's value for a top line and offset.
    int scrollValue(int line, double offset) const;
    void scrollRows(int rows);
    int visibleLineCount() const; // lines that fit the viewport
    double lineY(int line) const; // viewport y of a line's top
    double textLeft() const;      // viewport x of a line's start, unscrolled
    QRectF caretRectF(int pos) const;
    double xOfPosition(int pos) const { return m_layouts->xOfPosition(pos); }
    int lineAtY(double y, double *yInLine) const;
    void updateScrollBars();
    void updateLines(int first, int last);
    void updateCaret();
    int wrapWidth() const; // 0: lines do not wrap
    void findWidest() const;
    void trimLayouts();

    // --- positions ---
    int nextPosition(int pos) const { return m_layouts->nextPosition(pos); }
    int previousPosition(int pos) const { return m_layouts->previousPosition(pos); }
    int snapPosition(int pos) const { return m_layouts->snapPosition(pos); }
    int wordRight(int pos) const;
    int wordLeft(int pos) const;
    int verticalMove(int pos, int lines) const;
    void wordAt(int pos, int *start, int *end) const;

    // --- selection ---
    void moveSelection(int anchor, int caret);
    void syncSelection();
    void setCaret(int pos, bool extend);
    void setSelectionRange(int anchor, int caret);

    // --- editing ---
    void editSurface(int start, int length, const QString &text);
    void deleteBackward();
    void deleteForward();
    // The view's own commands of the key table; false for one it does not
    // carry out here (the key then goes on).
    bool runKeyCommand(KeyCommand command);
    bool moveCaret(KeyCommand command);
    // Where Home and End take the caret.
    int lineStartTarget(int caret) const;
    int lineEndTarget(int caret) const;
    QMimeData *selectionMimeData() const;
    // The local files a drop brings, when that is all it brings and
    // something listens to filesDropped; otherwise none.
    QStringList droppedFiles(const QMimeData *data) const;
    // The X primary selection: the user's selection is offered once the
    // event that made it is handled; a middle click pastes it at a point,
    // one undo step. Only where the platform has one.
    void offerPrimary();
    void pastePrimary(const QPoint &point);
    void insertMime(const QMimeData *data, int at);
    bool canInsert(const QMimeData *data) const;

    // --- surface signals ---
    void onTextReplaced(int pos, int removed, int removedBreaks, int added, bool fromView);
    void followEdit(int pos, int removed, int removedBreaks, int added);
    void onFormatsChanged(int start, int length);
    // False once the surface has changed too often while not painted to
    // follow edit by edit: it is then laid out and painted afresh.
    bool followHiddenEdit();
    void onSelectionByProgram();
    void onAppearanceChanged();
    void scheduleFlush();

    // --- marks ---
    // Marks over [start, start + length) changed: their lines are
    // repainted (after the edit, when an edit moved them).
    void onMarksChanged(int start, int length);
    // The sign margin comes while a mark has a sign and goes with the last.
    void updateSignMargin();
    void paintLineNumbers(QPainter &painter, const QRect &area);
    // A press on a sign in the margin: lands on its mark. False when the
    // point shows no sign.
    bool clickSign(const QPoint &point);
    // The marks with a sign whose first line shows at height y.
    std::vector<const Mark *> signsAtY(int y) const;
    // The current-line band follows the caret's line.
    void placeBand();
    MarkStyle bandStyle() const;
    // The band of a jump's line: placed, and gone once the caret moves.
    void markLanding(int pos);
    void dropLanding();
    // The note of the marks under a point of the viewport.
    QString noteAt(const QPoint &point) const;

    void restartBlink();
    void autoScroll();

    Surface *m_surface;
    std::unique_ptr<LineLayouts> m_layouts;
    std::unique_ptr<SurfaceRenderer> m_renderer;
    // Where lines wrap, a line may be taller than the view: this much of the
    // top line is scrolled off above.
    mutable double m_topOffset = 0;
    bool m_settingTop = false;
    // The vertical scroll bar's units per line: one, or where lines wrap
    // many, so that the bar also moves through a line taller than the view.
    int m_lineUnits = 1;
    mutable int m_bottomLine = -1; // bottomTop(); -1: to be found
    mutable double m_bottomOffset = 0;
    int m_wheelRest = 0;
    int m_anchor = 0;
    int m_caret = 0;
    double m_desiredX = -1; // kept while moving up and down
    bool m_overwrite = false;
    bool m_tabChangesFocus = false;
    bool m_caretOn = true;
    bool m_flushPosted = false;
    bool m_scrollToCaret = false;
    bool m_primaryPosted = false;
    // What changed while not painted: a line range, or (after many edits)
    // everything.
    bool m_painted = true;
    bool m_hiddenAll = false;
    int m_hiddenEdits = 0;
    std::vector<std::pair<int, int>> m_hiddenLines; // changed while not painted
    int m_wrapMargin = -1; // -1: no wrapping; 0: the view's width; else pixels
    QBasicTimer m_blink;
    QBasicTimer m_scrollTimer;
    QBasicTimer m_tripleTimer;
    QPoint m_tripleClickPoint;
    QPoint m_pressPoint;
    bool m_selecting = false;             // dragging out a selection
    bool m_mayDrag = false;               // pressed inside the selection
    int m_wordSelect = 0;                 // 1: extending by words, 2: by lines
    int m_selectFrom = 0, m_selectTo = 0; // the first word or line picked
    int m_dropCaret = -1;                 // where a drag would drop
    bool m_dropInside = false;            // our own drag ended here
    double m_signMargin = 0;              // left of the text: numbers and signs
    double m_signSlot = 0;                // the signs' part of it while numbers show; 0: all
    bool m_lineNumbers = false;
    int m_numberDigits = 0;               // digits the margin has room for
    bool m_inEdit = false;                // between a surface edit's two signals
    int m_marksFrom = -1, m_marksTo = -1; // marks moved by the edit
    QPointer<Surface> m_surfaceAlive;
    MarkId m_band = 0;    // the current-line band's mark; 0: none
    MarkId m_landing = 0; // the band of the line a jump landed on; 0: none
    int m_landingCaret = -1;
};

} // namespace qln
