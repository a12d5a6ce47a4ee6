// The view's input: keys, input methods, the mouse, drag and drop.
#include "surface/ui/surfaceview.h"
#include "surface/ui/surfaceviewparts.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QStyleHints>
#include <cmath>

namespace qln {

using namespace viewparts;

// --- view -> surface -------------------------------------------------------------

void SurfaceView::editSurface(int start, int length, const QString &text)
{
    m_surface->replace(start, length, text, true);
    m_surface->notifyChanged();
    m_scrollToCaret = true; // once, with the selection the handlers left
    flush();
    restartBlink();
}

void SurfaceView::deleteBackward()
{
    const int s = m_surface->selStart();
    if (m_surface->selLength() > 0) {
        editSurface(s, m_surface->selLength(), QString());
        return;
    }
    if (s == 0)
        return;
    int n = 1;
    if (s >= 2 && m_surface->at(s - 1) == QLatin1Char('\n')
        && m_surface->at(s - 2) == QLatin1Char('\r'))
        n = 2;
    else if (s >= 2 && m_surface->at(s - 1).isLowSurrogate()
             && m_surface->at(s - 2).isHighSurrogate())
        n = 2;
    editSurface(s - n, n, QString());
}

void SurfaceView::deleteForward()
{
    const int s = m_surface->selStart();
    const int len = m_surface->length();
    if (m_surface->selLength() > 0) {
        editSurface(s, m_surface->selLength(), QString());
        return;
    }
    if (s >= len)
        return;
    // The next character with its combining marks, a surrogate pair or a
    // line break: whatever the caret steps over.
    const int n = std::max(1, nextPosition(s) - s);
    editSurface(s, n, QString());
}

bool SurfaceView::event(QEvent *e)
{
    // The view's keys are its own even where the window has a shortcut for
    // them; the window's (Ctrl+A is Save As) go to the window.
    if (e->type() == QEvent::ShortcutOverride && isEditingShortcut(static_cast<QKeyEvent *>(e))) {
        e->accept();
        return true;
    }
    return QAbstractScrollArea::event(e);
}

bool SurfaceView::focusNextPrevChild(bool next)
{
    if (!m_tabChangesFocus)
        return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void SurfaceView::setOverwriteMode(bool on)
{
    if (m_overwrite == on)
        return;
    m_overwrite = on;
    updateCaret();
}

bool SurfaceView::moveCaret(KeyCommand command)
{
    const Motion *motion = motionOf(command);
    if (!motion)
        return false;
    const int caret = m_caret;
    const bool collapse = !motion->extend && m_anchor != m_caret; // Left and Right
    int target = -1;
    bool vertical = false;
    switch (motion->step) {
    case Step::CharLeft:
        target = collapse ? std::min(m_anchor, m_caret) : previousPosition(caret);
        break;
    case Step::CharRight:
        target = collapse ? std::max(m_anchor, m_caret) : nextPosition(caret);
        break;
    case Step::WordLeft: target = wordLeft(caret); break;
    case Step::WordRight: target = wordRight(caret); break;
    case Step::LineUp:
    case Step::LineDown:
        target = verticalMove(caret, motion->step == Step::LineUp ? -1 : 1);
        vertical = true;
        break;
    case Step::PageUp:
    case Step::PageDown: {
        const int page = std::max(1, visibleLineCount() - 1);
        const int step = motion->step == Step::PageUp ? -page : page;
        target = verticalMove(caret, step);
        scrollRows(step);
        vertical = true;
        break;
    }
    case Step::LineStart: target = lineStartTarget(caret); break;
    case Step::LineEnd: target = lineEndTarget(caret); break;
    case Step::DocumentStart: target = 0; break;
    case Step::DocumentEnd: target = m_surface->length(); break;
    }
    const double keepX = vertical ? (m_desiredX >= 0 ? m_desiredX : xOfPosition(caret)) : -1;
    setCaret(target, motion->extend);
    m_desiredX = keepX;
    ensureCursorVisible();
    return true;
}

// Home: on a wrapped row other than its line's first, the row's start;
// else the line's first non-blank, or its start when the caret is there.
int SurfaceView::lineStartTarget(int caret) const
{
    const int line = m_surface->lineFromChar(caret);
    const int start = m_surface->lineIndex(line);
    if (wraps()) {
        const LineLayouts::Place place = m_layouts->placeOf(caret);
        if (place.piece > 0 || place.row > 0) {
            const int rowStart = m_layouts->positionInLine(line, 0, int(place.piece), place.row);
            if (caret != rowStart)
                return rowStart;
        }
    }
    const QStringView text = m_surface->span(start, m_surface->lineLength(line));
    int blanks = 0;
    while (blanks < text.size()
           && (text[blanks] == QLatin1Char(' ') || text[blanks] == QLatin1Char('\t')))
        ++blanks;
    return caret == start + blanks ? start : start + blanks;
}

// End: on a wrapped row other than its line's last, the row's end; else
// (and when the caret is there already) the line's end.
int SurfaceView::lineEndTarget(int caret) const
{
    // Right of any row, yet within what text layout's fixed-point x holds.
    constexpr double kFarRight = 1e6;
    const int line = m_surface->lineFromChar(caret);
    const int end = m_surface->lineIndex(line) + m_surface->lineLength(line);
    if (!wraps())
        return end;
    const LineLayouts::Place place = m_layouts->placeOf(caret);
    const int rowEnd = m_layouts->positionInLine(line, kFarRight, int(place.piece), place.row);
    return rowEnd != caret && rowEnd < end ? rowEnd : end;
}

bool SurfaceView::runKeyCommand(KeyCommand command)
{
    const int start = m_surface->selStart(), length = m_surface->selLength();
    // Edits go through editSurface, which shows the caret itself.
    switch (command) {
    case KeyCommand::Undo: m_surface->undo(); break;
    case KeyCommand::Redo: m_surface->redo(); break;
    case KeyCommand::Paste: m_surface->paste(); break;
    case KeyCommand::Cut: m_surface->cut(); break;
    case KeyCommand::Copy: m_surface->copy(); break;
    case KeyCommand::ToggleOverwrite:
        setOverwriteMode(!overwriteMode());
        emit overwriteModeToggled(overwriteMode());
        break;
    case KeyCommand::NewLine: editSurface(start, length, QStringLiteral("\r\n")); return true;
    case KeyCommand::DeleteBackward: deleteBackward(); return true;
    case KeyCommand::DeleteForward: deleteForward(); return true;
    case KeyCommand::DeleteWordBackward:
    case KeyCommand::DeleteWordForward:
        if (m_anchor != m_caret) {
            editSurface(start, length, QString());
        } else {
            const int to =
                command == KeyCommand::DeleteWordBackward ? wordLeft(m_caret) : wordRight(m_caret);
            editSurface(std::min(m_caret, to), std::abs(to - m_caret), QString());
        }
        return true;
    case KeyCommand::TypeTab:
        if (!tabChangesFocus())
            return false;
        [[fallthrough]];
    case KeyCommand::InsertTab: editSurface(start, length, QStringLiteral("\t")); return true;
    // Where Tab types, Shift+Tab never moves the focus out of the text (the
    // main window's typing assistance unindents with it).
    case KeyCommand::Backtab: return !tabChangesFocus();
    // Ctrl+Up and Ctrl+Down scroll without moving the caret.
    case KeyCommand::ScrollLineUp:
    case KeyCommand::ScrollLineDown:
        scrollRows(command == KeyCommand::ScrollLineUp ? -1 : 1);
        return true;
    default:
        // Moves scroll to the caret themselves.
        return moveCaret(command);
    }
    flush();
    ensureCursorVisible();
    return true;
}

// Text input is the view's own; every other key is a command of the key
// table. The handlers of keyDown see the key first (the main window runs its
// menu command, the typing assistance its own); the view then runs the
// command if it is one of its own.
void SurfaceView::keyPressEvent(QKeyEvent *e)
{
    flush();
    KeyEventInfo info{e->key(), e->modifiers(), e->text(), false};
    emit keyDown(&info);
    if (info.consumed) {
        e->accept();
        return;
    }
    const Qt::KeyboardModifiers mods = e->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    const bool ctrl = mods & Qt::ControlModifier;
    const bool alt = mods & Qt::AltModifier;
    // AltGr arrives as Ctrl+Alt on some keyboards: that is typing too.
    const bool typing = isTypedText(e->text()) && (ctrl == alt);
    if (typing || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter
        || (e->key() == Qt::Key_Tab && mods == Qt::NoModifier)) {
        KeyEventInfo press{e->key(), e->modifiers(), e->text(), false};
        emit keyPress(&press);
        if (press.consumed) {
            e->accept();
            return;
        }
    }
    syncSelection();
    if (const KeyCommandDef *command = textCommand(e); command && runKeyCommand(command->id)) {
        e->accept();
        return;
    }
    if (!typing) {
        e->ignore();
        return;
    }
    int start = m_surface->selStart();
    int length = m_surface->selLength();
    if (overwriteMode() && length == 0 && start < m_surface->length()
        && m_surface->at(start) != QLatin1Char('\r'))
        length =
            (m_surface->at(start).isHighSurrogate() && start + 1 < m_surface->length()) ? 2 : 1;
    editSurface(start, length, e->text());
    e->accept();
}

void SurfaceView::inputMethodEvent(QInputMethodEvent *e)
{
    flush();
    syncSelection();
    if ((!e->commitString().isEmpty() || e->replacementLength() > 0)
        && !m_surface->refusesText(e->commitString())) {
        int start = m_surface->selStart();
        int length = m_surface->selLength();
        if (e->replacementLength() > 0) {
            const int from = snapPosition(m_caret + e->replacementStart());
            const int to = snapPosition(m_caret + e->replacementStart() + e->replacementLength());
            start = std::min(from, to);
            length = std::abs(to - from);
        }
        m_layouts->setPreedit(-1, QString(), 0, {});
        editSurface(start, length, e->commitString());
    }
    // What is still being composed shows at the caret; it is no text yet.
    const QString preedit = e->preeditString();
    int cursor = int(preedit.size());
    for (const auto &a : e->attributes())
        if (a.type == QInputMethodEvent::Cursor)
            cursor = a.start;
    if (m_layouts->hasPreedit() || !preedit.isEmpty()) {
        m_layouts->setPreedit(m_caret, preedit, cursor, e->attributes());
        const int line = m_surface->lineFromChar(m_caret);
        updateLines(line, line);
    }
    e->accept();
}

QVariant SurfaceView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const_cast<SurfaceView *>(this)->syncSelection();
    const int line = m_surface->lineFromChar(m_caret);
    const int lineStart = m_surface->lineIndex(line);
    const int lineLen = m_surface->lineLength(line);
    // Very long lines are offered around the caret only.
    const int from = std::max(lineStart, std::min(m_caret - 1024, lineStart + lineLen - 2048));
    const int to = std::min(lineStart + lineLen, std::max(m_caret + 1024, from + 2048));
    switch (query) {
    case Qt::ImEnabled: return true;
    case Qt::ImHints: return int(Qt::ImhMultiLine);
    case Qt::ImCursorRectangle: return QRectF(caretRect(m_caret).translated(viewport()->pos()));
    case Qt::ImFont: return font();
    case Qt::ImCursorPosition: return m_caret - from;
    case Qt::ImAnchorPosition: return std::clamp(m_anchor, from, to) - from;
    case Qt::ImSurroundingText: return m_surface->mid(from, to - from);
    case Qt::ImCurrentSelection:
        return m_surface->mid(std::min(m_anchor, m_caret),
                              std::min(std::abs(m_anchor - m_caret), 65536));
    case Qt::ImTextBeforeCursor: return m_surface->mid(from, m_caret - from);
    case Qt::ImTextAfterCursor: return m_surface->mid(m_caret, to - m_caret);
    case Qt::ImMaximumTextLength: return QVariant();
    default: return QAbstractScrollArea::inputMethodQuery(query);
    }
}

// --- mouse -----------------------------------------------------------------------

void SurfaceView::mousePressEvent(QMouseEvent *e)
{
    flush();
    syncSelection();
    const QPoint point = e->position().toPoint();
    if (e->button() == Qt::MiddleButton)
        pastePrimary(point);
    if (e->button() != Qt::LeftButton) {
        e->accept();
        return;
    }
    const int pos = positionAt(point);
    m_desiredX = -1;
    if (m_tripleTimer.isActive()
        && (point - m_tripleClickPoint).manhattanLength() < QApplication::startDragDistance()) {
        // Third click: the whole line with its line break.
        m_tripleTimer.stop();
        const int line = m_surface->lineFromChar(pos);
        m_selectFrom = m_surface->lineIndex(line);
        m_selectTo = lineEndWithBreak(line);
        setSelectionRange(m_selectFrom, m_selectTo);
        m_wordSelect = 2;
        m_selecting = true;
        e->accept();
        return;
    }
    const int selFrom = std::min(m_anchor, m_caret), selTo = std::max(m_anchor, m_caret);
    m_wordSelect = 0;
    if (e->modifiers() & Qt::ShiftModifier) {
        setCaret(pos, true);
        m_selecting = true;
    } else if (selFrom < selTo && pos >= selFrom && pos < selTo) {
        m_mayDrag = true;
        m_pressPoint = point;
    } else {
        setCaret(pos, false);
        m_selecting = true;
    }
    m_surface->breakUndoMerge();
    e->accept();
}

void SurfaceView::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton) {
        e->accept();
        return;
    }
    const QPoint point = e->position().toPoint();
    const int pos = positionAt(point);
    wordAt(pos, &m_selectFrom, &m_selectTo);
    setSelectionRange(m_selectFrom, m_selectTo);
    m_wordSelect = 1;
    m_selecting = true;
    m_mayDrag = false;
    m_tripleClickPoint = point;
    m_tripleTimer.start(QGuiApplication::styleHints()->mouseDoubleClickInterval(), this);
    e->accept();
}

void SurfaceView::mouseMoveEvent(QMouseEvent *e)
{
    const QPoint point = e->position().toPoint();
    if (m_mayDrag && (e->buttons() & Qt::LeftButton)) {
        if ((point - m_pressPoint).manhattanLength() < QApplication::startDragDistance())
            return;
        m_mayDrag = false;
        const int from = std::min(m_anchor, m_caret), to = std::max(m_anchor, m_caret);
        const quint64 revision = m_surface->revision();
        auto *drag = new QDrag(this);
        drag->setMimeData(selectionMimeData());
        m_dropInside = false;
        const Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
        // Moved into another program or widget: the text leaves here.
        if (action == Qt::MoveAction && !m_dropInside && m_surface->revision() == revision) {
            m_surface->setSelection(from, to - from);
            m_surface->setSelText(QString());
        }
        m_dropInside = false;
        return;
    }
    if (!m_selecting || !(e->buttons() & Qt::LeftButton))
        return;
    const QRect r = viewport()->rect();
    if (!r.contains(point)) {
        if (!m_scrollTimer.isActive())
            m_scrollTimer.start(50, this);
    }
    const QPoint inside(std::clamp(point.x(), 0, r.width() - 1),
                        std::clamp(point.y(), 0, r.height()));
    const int pos = positionAt(inside);
    if (m_wordSelect == 1) {
        int a = 0, b = 0;
        wordAt(pos, &a, &b);
        if (pos < m_selectFrom)
            setSelectionRange(m_selectTo, a);
        else
            setSelectionRange(m_selectFrom, std::max(b, m_selectTo));
    } else if (m_wordSelect == 2) {
        const int line = m_surface->lineFromChar(pos);
        const int a = m_surface->lineIndex(line);
        const int b = lineEndWithBreak(line);
        if (a < m_selectFrom)
            setSelectionRange(m_selectTo, a);
        else
            setSelectionRange(m_selectFrom, std::max(b, m_selectTo));
    } else {
        setCaret(pos, true);
    }
}

void SurfaceView::mouseReleaseEvent(QMouseEvent *e)
{
    m_scrollTimer.stop();
    if (m_mayDrag && e->button() == Qt::LeftButton) {
        m_mayDrag = false;
        setCaret(positionAt(e->position().toPoint()), false);
    }
    m_selecting = false;
    m_wordSelect = 0;
    e->accept();
    emit clicked();
}

void SurfaceView::contextMenuEvent(QContextMenuEvent *e)
{
    flush();
    syncSelection();
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("surfaceViewMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool hasSelection = m_surface->selLength() > 0;
    QAction *a = menu->addAction(tr("&Undo"), this, [this] { m_surface->undo(); });
    a->setEnabled(m_surface->canUndo());
    a = menu->addAction(tr("&Redo"), this, [this] { m_surface->redo(); });
    a->setEnabled(m_surface->canRedo());
    menu->addSeparator();
    a = menu->addAction(tr("Cu&t"), this, [this] { m_surface->cut(); });
    a->setEnabled(hasSelection);
    a = menu->addAction(tr("&Copy"), this, [this] { m_surface->copy(); });
    a->setEnabled(hasSelection);
    a = menu->addAction(tr("&Paste"), this, [this] { m_surface->paste(); });
    const QMimeData *clip = QGuiApplication::clipboard()->mimeData();
    a->setEnabled(canInsert(clip));
    a = menu->addAction(tr("Delete"), this, [this] {
        editSurface(m_surface->selStart(), m_surface->selLength(), QString());
    });
    a->setEnabled(hasSelection);
    menu->addSeparator();
    a = menu->addAction(tr("Select All"), this,
                        [this] { setSelectionRange(0, m_surface->length()); });
    a->setEnabled(m_surface->length() > 0);
    menu->popup(e->globalPos());
    e->accept();
}

// --- drag and drop ---------------------------------------------------------------

QMimeData *SurfaceView::selectionMimeData() const
{
    return m_surface->mimeData(m_surface->selStart(), m_surface->selLength());
}

bool SurfaceView::canInsert(const QMimeData *data) const
{
    return data && data->hasText();
}

void SurfaceView::insertMime(const QMimeData *data, int at)
{
    m_surface->setSelection(at, 0);
    syncSelection();
    const int before = m_surface->length();
    m_surface->insertMimeData(data, true);
    const int inserted = m_surface->length() - before;
    m_surface->setSelection(at, std::max(0, inserted));
}

// A drag coming in is taken as one moving over: the drop caret shows at
// once where the text would land.
void SurfaceView::dragEnterEvent(QDragEnterEvent *e)
{
    dragMoveEvent(e);
}

void SurfaceView::dragMoveEvent(QDragMoveEvent *e)
{
    if (!droppedFiles(e->mimeData()).isEmpty()) {
        e->acceptProposedAction();
        return;
    }
    if (!canInsert(e->mimeData())) {
        e->ignore();
        return;
    }
    setDropCaret(positionAt(e->position().toPoint()));
    if (e->source() == this && !(e->modifiers() & Qt::ControlModifier))
        e->setDropAction(Qt::MoveAction);
    else if (e->source() == this)
        e->setDropAction(Qt::CopyAction);
    else
        e->acceptProposedAction();
    e->accept();
}

void SurfaceView::setDropCaret(int pos)
{
    // The line the drop caret leaves and the one it goes to are repainted.
    if (m_dropCaret >= 0) {
        const int line = m_surface->lineFromChar(m_dropCaret);
        updateLines(line, line);
    }
    m_dropCaret = pos;
    if (pos >= 0) {
        const int line = m_surface->lineFromChar(pos);
        updateLines(line, line);
    }
}

void SurfaceView::dragLeaveEvent(QDragLeaveEvent *e)
{
    setDropCaret(-1);
    e->accept();
}

void SurfaceView::dropEvent(QDropEvent *e)
{
    setDropCaret(-1);
    if (const QStringList files = droppedFiles(e->mimeData()); !files.isEmpty()) {
        e->acceptProposedAction();
        emit filesDropped(files);
        return;
    }
    // Refused before anything moves: a dragged selection stays in place.
    if (!canInsert(e->mimeData()) || m_surface->refusesMimeData(e->mimeData(), true)) {
        e->ignore();
        return;
    }
    int at = positionAt(e->position().toPoint());
    const bool ours = e->source() == this;
    const bool move = ours && !(e->modifiers() & Qt::ControlModifier);
    if (ours) {
        syncSelection();
        const int from = std::min(m_anchor, m_caret), to = std::max(m_anchor, m_caret);
        if (move && at >= from && at <= to) {
            // Dropped onto itself: nothing moves.
            m_dropInside = true;
            e->setDropAction(Qt::MoveAction);
            e->accept();
            return;
        }
        Surface::UndoGroup step(*m_surface);
        if (move) {
            // The text leaves its place first; the drop point moves with it.
            m_surface->setSelection(from, to - from);
            m_surface->setSelText(QString());
            if (at > to)
                at -= to - from;
        }
        insertMime(e->mimeData(), at);
        m_dropInside = true;
        e->setDropAction(move ? Qt::MoveAction : Qt::CopyAction);
    } else {
        Surface::UndoGroup step(*m_surface);
        insertMime(e->mimeData(), at);
        e->acceptProposedAction();
    }
    e->accept();
    setFocus(Qt::MouseFocusReason);
    flush();
}

} // namespace qln
