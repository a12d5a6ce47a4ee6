#include "surface/surfaceview.h"

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QScreen>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace qln {

namespace {

bool isDefaultFormat(const CharFormat &f)
{
    return f.color == 0 && !f.bold && !f.italic && !f.underline && f.fontName.isEmpty()
           && f.fontSize <= 0;
}

QTextCharFormat toQtFormat(const CharFormat &f)
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

bool isTypedText(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    return true;
}

} // namespace

SurfaceView::SurfaceView(QWidget *parent) : QPlainTextEdit(parent), m_surface(new Surface(this))
{
    document()->setUndoRedoEnabled(false);
    setLineWrapMode(NoWrap);
    QPalette pal = palette();
    pal.setColor(QPalette::Text, Qt::black);
    setPalette(pal);

    connect(document(), &QTextDocument::contentsChange, this, &SurfaceView::onContentsChange);
    connect(m_surface, &Surface::textReplaced, this, &SurfaceView::onTextReplaced);
    connect(m_surface, &Surface::formatsChanged, this, &SurfaceView::onFormatsChanged);
    connect(m_surface, &Surface::selectionSetByProgram, this, [this] {
        m_selectionDirty = true;
        scheduleFlush();
    });
    connect(m_surface, &Surface::appearanceChanged, this, &SurfaceView::onAppearanceChanged);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &SurfaceView::onCursorMoved);
    connect(this, &QPlainTextEdit::selectionChanged, this, &SurfaceView::onCursorMoved);
    m_surface->setFirstVisibleLineProvider([this] { return firstVisibleBlock().blockNumber(); });
    onAppearanceChanged();
}

SurfaceView::~SurfaceView()
{
    disconnect(document(), nullptr, this, nullptr);
    m_surface->setFirstVisibleLineProvider({});
}

// --- surface -> widget ---------------------------------------------------------

void SurfaceView::onTextReplaced(int pos, int removed, int removedBreaks, int added, bool)
{
    if (m_mirroring)
        return; // the widget has this edit already
    if (isHidden()) {
        m_textStale = true; // a widget hidden for good catches up when shown
        return;
    }
    if (m_textStale) {
        resyncAll();
        return;
    }
    QString inserted = m_surface->mid(pos, added);
    inserted.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_applyingModel = true;
    if (pos == 0 && added == m_surface->length()) {
        setPlainText(inserted); // the whole text was replaced
    } else {
        const int viewPos = m_surface->toViewPosition(pos);
        QTextCursor c(document());
        c.setPosition(viewPos);
        c.setPosition(viewPos + removed - removedBreaks, QTextCursor::KeepAnchor);
        c.insertText(inserted);
    }
    m_applyingModel = false;
    // Lines waiting for their formats may have moved with this edit: widen
    // the waiting range so that it still covers them, and the edited lines.
    const int editFirst = m_surface->lineFromChar(pos);
    const int editLast = m_surface->lineFromChar(pos + added);
    const int addedBreaks = editLast - editFirst;
    if (m_dirtyFirstLine >= 0) {
        m_dirtyFirstLine = std::min(m_dirtyFirstLine, editFirst);
        m_dirtyLastLine = std::max(m_dirtyLastLine + std::max(0, addedBreaks - removedBreaks),
                                   editLast);
    }
    markLinesDirty(editFirst, editLast);
    m_selectionDirty = true;
    scheduleFlush();
}

void SurfaceView::onFormatsChanged(int start, int length)
{
    markLinesDirty(m_surface->lineFromChar(start), m_surface->lineFromChar(start + length));
}

void SurfaceView::markLinesDirty(int firstLine, int lastLine)
{
    if (m_dirtyFirstLine < 0) {
        m_dirtyFirstLine = firstLine;
        m_dirtyLastLine = lastLine;
    } else {
        m_dirtyFirstLine = std::min(m_dirtyFirstLine, firstLine);
        m_dirtyLastLine = std::max(m_dirtyLastLine, lastLine);
    }
    scheduleFlush();
}

void SurfaceView::scheduleFlush()
{
    if (m_flushPosted || !m_surface->isVisible())
        return;
    m_flushPosted = true;
    QMetaObject::invokeMethod(this, [this] { flush(); }, Qt::QueuedConnection);
}

void SurfaceView::flush()
{
    m_flushPosted = false;
    if (!m_surface->isVisible() || isHidden())
        return;
    if (m_textStale)
        resyncAll();
    if (m_dirtyFirstLine >= 0) {
        const int first = m_dirtyFirstLine, last = m_dirtyLastLine;
        m_dirtyFirstLine = m_dirtyLastLine = -1;
        pushFormats(first, last);
    }
    if (m_selectionDirty)
        pushSelection();
}

void SurfaceView::resyncAll()
{
    m_textStale = false;
    QString text = m_surface->text();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_applyingModel = true;
    setPlainText(text);
    m_applyingModel = false;
    m_dirtyFirstLine = 0;
    m_dirtyLastLine = m_surface->lineCount() - 1;
    m_selectionDirty = true;
}

void SurfaceView::pushFormats(int firstLine, int lastLine)
{
    QTextDocument *doc = document();
    lastLine = std::min(lastLine, m_surface->lineCount() - 1);
    QTextBlock block = doc->findBlockByNumber(firstLine);
    if (!block.isValid())
        return;
    const int firstPos = block.position();
    int endPos = firstPos;
    // One Qt format per surface format met in this push.
    QHash<const CharFormat *, QTextCharFormat> cache;
    // A few lines (a keystroke) are laid out again one by one, so the
    // widget repaints just them; many lines (a whole-document command) are
    // marked in one go and laid out as they come into view.
    const bool fewLines = lastLine - firstLine < 8;
    for (int line = firstLine; line <= lastLine && block.isValid(); ++line, block = block.next()) {
        const int start = m_surface->lineIndex(line);
        const int length = m_surface->lineLength(line);
        QList<QTextLayout::FormatRange> ranges;
        for (const auto &run : m_surface->formatRuns(start, length)) {
            if (isDefaultFormat(*run.format))
                continue;
            auto it = cache.find(run.format);
            if (it == cache.end())
                it = cache.insert(run.format, toQtFormat(*run.format));
            ranges.append(QTextLayout::FormatRange{run.start, run.length, it.value()});
        }
        QTextLayout *layout = block.layout();
        if (ranges.isEmpty() && layout->formats().isEmpty())
            continue;
        const int linesBefore = block.lineCount();
        layout->setFormats(ranges);
        if (fewLines) {
            doc->documentLayout()->blockBoundingRect(block); // lays the line out
            // New formats make the document layout report the whole document
            // changed, and the widget would repaint everything. When the
            // line keeps its height, only its own rectangle is repainted.
            const bool sameHeight = block.lineCount() == linesBefore && linesBefore > 0;
            const QRect area = blockBoundingGeometry(block).translated(contentOffset()).toAlignedRect();
            {
                const QSignalBlocker quiet(sameHeight ? doc->documentLayout() : nullptr);
                m_applyingModel = true;
                doc->markContentsDirty(block.position(), std::max(0, block.length() - 1));
                m_applyingModel = false;
            }
            if (sameHeight)
                viewport()->update(area.adjusted(0, 0, viewport()->width(), 0));
        }
        endPos = block.position() + block.length();
    }
    if (!fewLines && endPos > firstPos) {
        m_applyingModel = true;
        doc->markContentsDirty(firstPos, std::max(0, endPos - firstPos - 1));
        m_applyingModel = false;
    }
}

void SurfaceView::pushSelection()
{
    m_selectionDirty = false;
    const int start = m_surface->toViewPosition(m_surface->selStart());
    const int end = m_surface->toViewPosition(m_surface->selStart() + m_surface->selLength());
    QTextCursor c = textCursor();
    if (c.anchor() == start && c.position() == end)
        return;
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    m_applyingModel = true;
    setTextCursor(c);
    m_applyingModel = false;
}

void SurfaceView::onAppearanceChanged()
{
    QFont f = font();
    if (!m_surface->fontName().isEmpty())
        f.setFamily(m_surface->fontName());
    if (m_surface->fontSize() > 0)
        f.setPointSizeF(m_surface->fontSize());
    if (f != font())
        setFont(f);

    QPalette pal = palette();
    const QColor back = toQColor(m_surface->backColor());
    if (pal.color(QPalette::Base) != back) {
        pal.setColor(QPalette::Base, back);
        setPalette(pal);
    }

    // Margins beyond a few screen widths mean no wrapping at all; a narrower
    // one (the printed line width after printing) wraps lines at that width.
    const int margin = m_surface->rightMargin();
    const double dpi = logicalDpiX() > 0 ? logicalDpiX() : 96.0;
    const int px = int(twipsToPixels(margin, dpi));
    const QScreen *screen = QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->geometry().width() : 1920;
    if (margin <= 0 || px >= 4 * screenWidth) {
        m_wrapWidth = 0;
        setLineWrapMode(NoWrap);
        applyWrapWidth();
    } else {
        m_wrapWidth = px;
        setLineWrapMode(WidgetWidth);
        applyWrapWidth();
    }

    // A hidden surface keeps its text in step but is not repainted and
    // receives no formats until it shows again. The widget itself stays, so
    // it keeps the keyboard focus.
    if (m_surface->isVisible() != viewport()->updatesEnabled()) {
        // Enabling updates again repaints the whole view.
        viewport()->setUpdatesEnabled(m_surface->isVisible());
        if (m_surface->isVisible())
            flush();
    }
}

// --- widget -> surface ---------------------------------------------------------

void SurfaceView::onCursorMoved()
{
    if (m_applyingModel || m_mirroring)
        return;
    const QTextCursor c = textCursor();
    const int start = m_surface->fromViewPosition(c.selectionStart());
    const int end = m_surface->fromViewPosition(c.selectionEnd());
    m_selectionDirty = false;
    m_surface->setSelectionFromView(start, end - start);
}

void SurfaceView::onContentsChange(int position, int removed, int added)
{
    if (m_applyingModel)
        return;
    // An edit the widget made by itself (word deletion, drag and drop, ...):
    // copy it into the surface, changing only what really changed.
    QTextDocument *doc = document();
    const int docLength = doc->characterCount() - 1;
    const int addEnd = std::min(position + added, docLength);
    QTextCursor c(doc);
    c.setPosition(std::min(position, docLength));
    c.setPosition(addEnd, QTextCursor::KeepAnchor);
    QString now = c.selectedText();
    const bool oddBreaks = now.contains(QChar::LineSeparator);
    now.replace(QChar::ParagraphSeparator, QLatin1String("\r\n"));
    now.replace(QChar::LineSeparator, QLatin1String("\r\n"));

    const int viewLength = m_surface->length() - (m_surface->lineCount() - 1);
    const int mStart = m_surface->fromViewPosition(position);
    const int mEnd = position + removed >= viewLength + 1
                         ? m_surface->length()
                         : m_surface->fromViewPosition(position + removed);
    const QString before = m_surface->mid(mStart, mEnd - mStart);
    int prefix = 0;
    const int maxPrefix = int(std::min(before.size(), now.size()));
    while (prefix < maxPrefix && before[prefix] == now[prefix])
        ++prefix;
    int suffix = 0;
    while (suffix < maxPrefix - prefix
           && before[before.size() - 1 - suffix] == now[now.size() - 1 - suffix])
        ++suffix;
    const int removedCount = int(before.size()) - prefix - suffix;
    const QString insertedText = now.mid(prefix, now.size() - prefix - suffix);
    if (removedCount == 0 && insertedText.isEmpty())
        return;
    m_mirroring = true;
    m_surface->replace(mStart + prefix, removedCount, insertedText, true);
    m_mirroring = false;
    if (oddBreaks)
        m_textStale = true; // the widget holds a break of its own kind: resync
    QMetaObject::invokeMethod(m_surface, &Surface::notifyChanged, Qt::QueuedConnection);
    scheduleFlush();
}

void SurfaceView::editSurface(int start, int length, const QString &text)
{
    m_surface->replace(start, length, text, true);
    m_surface->notifyChanged();
    flush();
    ensureCursorVisible();
}

void SurfaceView::deleteBackward()
{
    const Surface &t = *m_surface;
    const int s = m_surface->selStart();
    if (m_surface->selLength() > 0) {
        editSurface(s, m_surface->selLength(), QString());
        return;
    }
    if (s == 0)
        return;
    int n = 1;
    if (s >= 2 && t.at(s - 1) == QLatin1Char('\n') && t.at(s - 2) == QLatin1Char('\r'))
        n = 2;
    else if (s >= 2 && t.at(s - 1).isLowSurrogate() && t.at(s - 2).isHighSurrogate())
        n = 2;
    editSurface(s - n, n, QString());
}

void SurfaceView::deleteForward()
{
    const Surface &t = *m_surface;
    const int s = m_surface->selStart();
    if (m_surface->selLength() > 0) {
        editSurface(s, m_surface->selLength(), QString());
        return;
    }
    if (s >= t.length())
        return;
    int n = 1;
    if (s + 1 < t.length() && t.at(s) == QLatin1Char('\r') && t.at(s + 1) == QLatin1Char('\n'))
        n = 2;
    else if (s + 1 < t.length() && t.at(s).isHighSurrogate() && t.at(s + 1).isLowSurrogate())
        n = 2;
    editSurface(s, n, QString());
}

bool SurfaceView::event(QEvent *e)
{
    if (e->type() == QEvent::ShortcutOverride) {
        // Ctrl+A belongs to the window (Save As), not to select-all here.
        auto *ke = static_cast<QKeyEvent *>(e);
        if (ke->matches(QKeySequence::SelectAll)) {
            e->ignore();
            return true;
        }
    }
    return QPlainTextEdit::event(e);
}

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

    if (e->matches(QKeySequence::Undo)) {
        m_surface->undo();
    } else if (e->matches(QKeySequence::Redo)) {
        m_surface->redo();
    } else if (e->matches(QKeySequence::Paste)) {
        m_surface->paste();
    } else if (e->matches(QKeySequence::Cut)) {
        m_surface->cut();
    } else if (e->matches(QKeySequence::Copy)) {
        m_surface->copy();
    } else if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && !ctrl && !alt) {
        editSurface(m_surface->selStart(), m_surface->selLength(), QStringLiteral("\r\n"));
    } else if (e->key() == Qt::Key_Backspace && mods == Qt::NoModifier) {
        deleteBackward();
    } else if (e->key() == Qt::Key_Delete && mods == Qt::NoModifier
               && !(e->modifiers() & Qt::ShiftModifier)) {
        deleteForward();
    } else if (e->key() == Qt::Key_Tab
               && (mods == Qt::NoModifier || (tabChangesFocus() && mods == Qt::ControlModifier))) {
        // Where Tab moves the focus on, Ctrl+Tab types the tab.
        editSurface(m_surface->selStart(), m_surface->selLength(), QStringLiteral("\t"));
    } else if (e->key() == Qt::Key_Insert && mods == Qt::NoModifier
               && !(e->modifiers() & Qt::ShiftModifier)) {
        setOverwriteMode(!overwriteMode());
        emit overwriteModeToggled(overwriteMode());
    } else if (typing) {
        int start = m_surface->selStart();
        int length = m_surface->selLength();
        const Surface &t = *m_surface;
        if (overwriteMode() && length == 0 && start < t.length() && t.at(start) != QLatin1Char('\r'))
            length = (t.at(start).isHighSurrogate() && start + 1 < t.length()) ? 2 : 1;
        editSurface(start, length, e->text());
    } else {
        QPlainTextEdit::keyPressEvent(e);
        m_surface->notifyChanged();
        flush();
        return;
    }
    e->accept();
    flush();
    ensureCursorVisible();
}

void SurfaceView::inputMethodEvent(QInputMethodEvent *e)
{
    flush();
    if (e->commitString().isEmpty() && e->replacementLength() == 0) {
        QPlainTextEdit::inputMethodEvent(e);
        return;
    }
    int start = m_surface->selStart();
    int length = m_surface->selLength();
    if (e->replacementLength() > 0) {
        const int caret = textCursor().position();
        const int from = m_surface->fromViewPosition(caret + e->replacementStart());
        const int to =
            m_surface->fromViewPosition(caret + e->replacementStart() + e->replacementLength());
        start = from;
        length = to - from;
    }
    editSurface(start, length, e->commitString());
    // The widget only shows what is still being composed.
    QInputMethodEvent rest(e->preeditString(), e->attributes());
    QPlainTextEdit::inputMethodEvent(&rest);
    m_surface->notifyChanged();
}

void SurfaceView::mousePressEvent(QMouseEvent *e)
{
    flush();
    QPlainTextEdit::mousePressEvent(e);
}

void SurfaceView::mouseReleaseEvent(QMouseEvent *e)
{
    QPlainTextEdit::mouseReleaseEvent(e);
    emit clicked();
}

QRect SurfaceView::caretRect(int pos) const
{
    QTextCursor at(document());
    at.setPosition(std::clamp(m_surface->toViewPosition(pos), 0,
                              std::max(0, document()->characterCount() - 1)));
    return cursorRect(at);
}

QRect SurfaceView::caretRect() const
{
    return caretRect(m_surface->selStart() + m_surface->selLength());
}

int SurfaceView::positionAt(const QPoint &point) const
{
    return m_surface->fromViewPosition(cursorForPosition(point).position());
}

bool SurfaceView::canInsertFromMimeData(const QMimeData *source) const
{
    return source && (source->hasText() || QPlainTextEdit::canInsertFromMimeData(source));
}

void SurfaceView::insertFromMimeData(const QMimeData *source)
{
    m_surface->insertMimeData(source, true);
    flush();
}

QMimeData *SurfaceView::createMimeDataFromSelection() const
{
    return m_surface->mimeData(m_surface->selStart(), m_surface->selLength());
}

void SurfaceView::applyWrapWidth()
{
    // Lines wrap at the width of the text area: a fixed wrapping width
    // narrows that area, leaving the rest of the widget empty beside it.
    const int current = viewportMargins().right();
    const int full = viewport()->width() + current;
    const int right = m_wrapWidth > 0 ? std::max(0, full - m_wrapWidth) : 0;
    if (right != current)
        setViewportMargins(0, 0, right, 0);
}

void SurfaceView::resizeEvent(QResizeEvent *e)
{
    QPlainTextEdit::resizeEvent(e);
    applyWrapWidth();
}

void SurfaceView::showEvent(QShowEvent *e)
{
    QPlainTextEdit::showEvent(e);
    flush();
}

} // namespace qln
