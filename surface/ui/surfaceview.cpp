#include "surface/ui/surfaceview.h"
#include "surface/ui/surfaceviewparts.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMetaMethod>
#include <QMimeData>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QStyleHints>
#include <QUrl>
#include <QWheelEvent>
#include <cmath>

namespace qln {

using namespace viewparts;

SurfaceView::SurfaceView(Surface *surface, QWidget *parent)
    : QAbstractScrollArea(parent), m_surface(surface)
{
    m_layouts = std::make_unique<LineLayouts>(*m_surface);
    m_renderer = std::make_unique<SurfaceRenderer>(*m_layouts);
    m_layouts->setWidestChanged([this] { scheduleFlush(); });
    m_layouts->setPieceResized([this](int line, double pieceTop, double oldHeight, double height) {
        // What shows at the top stays there.
        if (line == topLine() && pieceTop + oldHeight <= m_topOffset)
            m_topOffset += height - oldHeight;
        if (m_bottomLine >= 0 && line >= m_bottomLine) {
            dropBottomTop();
            scheduleFlush();
        }
    });
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Text, Qt::black);
    setPalette(pal);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(20);

    // Where lines wrap, the scroll bar's arrows and trough step by rows and
    // pages of rows (a wrapped line may be taller than a page).
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this](int action) {
        if (!wraps())
            return;
        const int page = std::max(1, visibleLineCount() - 1);
        int rows = 0;
        switch (action) {
        case QAbstractSlider::SliderSingleStepAdd: rows = 1; break;
        case QAbstractSlider::SliderSingleStepSub: rows = -1; break;
        case QAbstractSlider::SliderPageStepAdd: rows = page; break;
        case QAbstractSlider::SliderPageStepSub: rows = -page; break;
        default: return;
        }
        QScrollBar *v = verticalScrollBar();
        v->setSliderPosition(v->value());
        scrollRows(rows);
    });
    connect(m_surface, &Surface::textReplaced, this, &SurfaceView::onTextReplaced);
    connect(m_surface, &Surface::formatsChanged, this, &SurfaceView::onFormatsChanged);
    connect(m_surface, &Surface::selectionSetByProgram, this, &SurfaceView::onSelectionByProgram);
    connect(m_surface, &Surface::selChanged, this, [this] { syncSelection(); });
    connect(m_surface, &Surface::appearanceChanged, this, &SurfaceView::onAppearanceChanged);
    connect(m_surface, &Surface::textAboutToBeReplaced, this, [this] { m_inEdit = true; });
    connect(&m_surface->marks(), &Marks::changed, this, &SurfaceView::onMarksChanged);
    m_surfaceAlive = m_surface;
    onAppearanceChanged();
    changeEvent(nullptr);
    updateScrollBars();
}

SurfaceView::~SurfaceView()
{
    // The surface may be gone already (it is not the view's); while it is
    // there, the band goes with the view.
    if (m_band && m_surfaceAlive)
        m_surfaceAlive->marks().remove(m_band);
    if (m_landing && m_surfaceAlive)
        m_surfaceAlive->marks().remove(m_landing);
}

// --- geometry ------------------------------------------------------------------

int SurfaceView::topLine() const
{
    return std::clamp(verticalScrollBar()->value() / m_lineUnits, 0,
                      std::max(0, m_surface->lineCount() - 1));
}

double SurfaceView::topOffset() const
{
    if (m_topOffset <= 0 || !wraps())
        return 0;
    // Never past the start of the top line's last row.
    return std::clamp(m_topOffset, 0.0,
                      std::max(0.0, m_layouts->lineHeight(topLine()) - m_layouts->lineSpacing()));
}

int SurfaceView::scrollValue(int line, double offset) const
{
    int value = line * m_lineUnits;
    if (m_lineUnits > 1 && offset > 0.01)
        value += std::clamp(int(std::ceil(offset / m_layouts->lineHeight(line) * m_lineUnits)), 1,
                            m_lineUnits - 1);
    return value;
}

void SurfaceView::setTop(int line, double offset)
{
    offset = wraps() ? std::max(0.0, offset) : 0;
    if (wraps()) {
        // Never past the top that shows the last row at the bottom.
        const auto [bottom, bottomOffset] = bottomTop();
        if (line > bottom || (line == bottom && offset > bottomOffset)) {
            line = bottom;
            offset = bottomOffset;
        }
    }
    m_settingTop = true;
    verticalScrollBar()->setValue(scrollValue(line, offset));
    m_settingTop = false;
    if (std::abs(offset - m_topOffset) > 0.01) {
        m_topOffset = offset;
        viewport()->update();
    }
}

std::pair<int, double> SurfaceView::bottomTop() const
{
    if (m_bottomLine >= 0)
        return {m_bottomLine, m_bottomOffset};
    // The last line's pieces are measured from its end, as far up as the
    // view reaches; then the lines above it, until the view is full.
    const double room = viewport()->height() - kPadY;
    int line = m_surface->lineCount() - 1;
    LineLayouts::Line &last = m_layouts->line(line);
    double tail = 0;
    for (size_t i = last.pieces.size(); i-- > 0 && tail < room;) {
        m_layouts->layout(line, last, i);
        tail += last.pieces[i].height;
    }
    double offset = m_layouts->lineHeight(line) - room;
    while (offset < 0 && line > 0)
        offset += m_layouts->lineHeight(--line);
    if (offset > 0) {
        // A whole row at the top.
        const LineLayouts::Place at = m_layouts->rowAtY(line, offset);
        if (at.y < offset - 0.01)
            offset = at.y + at.height;
    }
    m_bottomLine = line;
    m_bottomOffset = std::max(0.0, offset);
    return {m_bottomLine, m_bottomOffset};
}

void SurfaceView::scrollRows(int rows)
{
    if (!wraps()) {
        setTop(topLine() + rows, 0);
        return;
    }
    int line = topLine();
    const LineLayouts::Place at = m_layouts->rowAtY(line, topOffset());
    size_t piece = at.piece;
    int row = at.row;
    const int direction = rows < 0 ? -1 : 1;
    for (int n = std::abs(rows); n > 0; --n)
        if (!m_layouts->stepRow(line, piece, row, direction))
            break;
    setTop(line, m_layouts->rowTop(line, piece, row));
}

int SurfaceView::visibleLineCount() const
{
    return std::max(1, int((viewport()->height() - kPadY) / m_layouts->lineSpacing()));
}

int SurfaceView::wrapWidth() const
{
    if (m_wrapMargin < 0)
        return 0;
    const int width = std::max(20, viewport()->width() - int(m_signMargin) - 2 * kPadX);
    return m_wrapMargin > 0 ? std::min(m_wrapMargin, width) : width;
}

double SurfaceView::lineY(int line) const
{
    const int top = topLine();
    const double first = kPadY - topOffset();
    const double spacing = m_layouts->lineSpacing();
    if (line <= top)
        return first - (top - line) * spacing;
    double y = first;
    const double bottom = viewport()->height();
    for (int l = top; l < line; ++l) {
        if (y > bottom)
            return y + (line - l) * spacing;
        y += m_layouts->lineHeight(l);
    }
    return y;
}

double SurfaceView::textLeft() const
{
    return m_signMargin + kPadX;
}

int SurfaceView::lineAtY(double y, double *yInLine) const
{
    *yInLine = 0;
    const int count = m_surface->lineCount();
    const int top = topLine();
    double at = kPadY - topOffset();
    // The padding above the top line is part of it: a point at the view's
    // top edge is on the first line in sight.
    if (y < at && y < 0)
        return std::max(0, top - 1 - int((at - y) / m_layouts->lineSpacing()));
    for (int l = top; l < count; ++l) {
        const double h = m_layouts->lineHeight(l);
        if (y < at + h) {
            *yInLine = y - at;
            return l;
        }
        at += h;
    }
    *yInLine = std::numeric_limits<double>::max() / 4;
    return count - 1;
}

QRectF SurfaceView::caretRectF(int pos) const
{
    pos = std::clamp(pos, 0, m_surface->length());
    const int line = m_surface->lineFromChar(pos);
    const LineLayouts::Place place = m_layouts->placeOf(pos);
    const double y = lineY(line) + place.y;
    return QRectF(textLeft() + place.x - horizontalScrollBar()->value(), y, 1, place.height);
}

QRect SurfaceView::caretRect(int pos) const
{
    return caretRectF(pos).toAlignedRect();
}

QRect SurfaceView::caretRect() const
{
    const_cast<SurfaceView *>(this)->syncSelection();
    return caretRect(m_caret);
}

int SurfaceView::lineEndWithBreak(int line) const
{
    return line + 1 < m_surface->lineCount()
               ? m_surface->lineIndex(line + 1)
               : m_surface->lineIndex(line) + m_surface->lineLength(line);
}

int SurfaceView::positionAt(const QPoint &point) const
{
    if (m_surface->length() == 0)
        return 0;
    double yIn = 0;
    const int line = lineAtY(point.y(), &yIn);
    const double x = point.x() - textLeft() + horizontalScrollBar()->value();
    if (!wraps())
        return m_layouts->positionInLine(line, x);
    const LineLayouts::Place row = m_layouts->rowAtY(line, yIn);
    return m_layouts->positionInLine(line, x, int(row.piece), row.row);
}

void SurfaceView::updateScrollBars()
{
    const int count = m_surface->lineCount();
    QScrollBar *v = verticalScrollBar();
    const int vis = visibleLineCount();
    // Where lines wrap, the bar counts parts of lines too: the top line
    // shows from a row that far into it.
    const int units = wraps() && count < std::numeric_limits<int>::max() / 1024 - 1 ? 1024 : 1;
    if (units != m_lineUnits) {
        const int top = topLine();
        m_lineUnits = units;
        v->setRange(0, std::max(0, count * units - 1));
        setTop(top, m_topOffset);
    }
    int maxTop = count - vis;
    if (units > 1) {
        // Not painted, the view lays nothing out: the end is found later.
        if (m_painted || m_bottomLine >= 0) {
            const auto [line, offset] = bottomTop();
            maxTop = scrollValue(line, offset);
        } else {
            maxTop = v->maximum();
        }
    }
    v->setRange(0, std::max(0, maxTop));
    int page = vis * units;
    if (units > 1 && m_painted) {
        // A top line taller than the view: the thumb shows how much of it.
        const double tall = m_layouts->lineHeight(topLine());
        if (tall > viewport()->height())
            page = std::max(1, int(units * viewport()->height() / tall));
    }
    v->setPageStep(page);
    v->setSingleStep(units);
    // Where lines wrap, nothing is wider than the view.
    QScrollBar *h = horizontalScrollBar();
    if (m_layouts->widestStale() && m_painted && isVisible())
        findWidest();
    // The range moves in steps: typing at the end of the widest line would
    // otherwise change it, and repaint the bar, with every key.
    constexpr int kStep = 256;
    const double widest = m_layouts->widest();
    const double average = m_layouts->averageWidth();
    const double wanted = widest + m_signMargin + 2 * kPadX + 2 * average;
    const int content = widest > 0 ? int(std::ceil(wanted / kStep)) * kStep : 0;
    h->setRange(0, std::max(0, content - viewport()->width()));
    h->setPageStep(std::max(1, viewport()->width()));
    h->setSingleStep(std::max(1, int(2 * average)));
}

void SurfaceView::updateLines(int first, int last)
{
    if (!m_painted) {
        // Repainted when the view paints again.
        // Kept line range by line range (a Replace All changes a few lines
        // here and there); too many become one.
        auto &r = m_hiddenLines;
        if (!r.empty() && first <= r.back().second + 1 && last >= r.back().first - 1) {
            r.back().first = std::min(r.back().first, first);
            r.back().second = std::max(r.back().second, last);
        } else {
            r.emplace_back(first, last);
        }
        if (r.size() > 128) {
            int lo = first, hi = last;
            for (const auto &[a, b] : r) {
                lo = std::min(lo, a);
                hi = std::max(hi, b);
            }
            r.assign(1, {lo, hi});
        }
        return;
    }
    if (!isVisible())
        return;
    const int top = topLine();
    if (last < top)
        return;
    const int h = viewport()->height();
    const double y0 = std::max(0.0, lineY(std::max(first, top)));
    if (y0 > h)
        return;
    double y1 = h;
    if (last < top + visibleLineCount() + 2)
        y1 = std::min<double>(h, lineY(last + 1));
    viewport()->update(
        QRect(0, int(std::floor(y0)), viewport()->width(), int(std::ceil(y1 - y0)) + 1));
}

void SurfaceView::updateCaret()
{
    if (!m_painted || !isVisible())
        return;
    QRect r = caretRectF(m_caret).toAlignedRect();
    const int extra = m_overwrite ? int(4 * m_layouts->averageWidth()) : 2;
    viewport()->update(r.adjusted(-2, 0, extra, 0));
}

// --- positions -----------------------------------------------------------------

int SurfaceView::wordRight(int pos) const
{
    const int line = m_surface->lineFromChar(pos);
    const int end = m_surface->lineIndex(line) + m_surface->lineLength(line);
    if (pos >= end)
        return nextPosition(pos);
    const int cls = charClass(m_surface->at(pos));
    if (cls != 0)
        while (pos < end && charClass(m_surface->at(pos)) == cls)
            ++pos;
    while (pos < end && charClass(m_surface->at(pos)) == 0)
        ++pos;
    return snapPosition(pos);
}

int SurfaceView::wordLeft(int pos) const
{
    const int line = m_surface->lineFromChar(pos);
    const int start = m_surface->lineIndex(line);
    if (pos <= start)
        return previousPosition(pos);
    while (pos > start && charClass(m_surface->at(pos - 1)) == 0)
        --pos;
    if (pos > start) {
        const int cls = charClass(m_surface->at(pos - 1));
        while (pos > start && charClass(m_surface->at(pos - 1)) == cls)
            --pos;
    }
    return snapPosition(pos);
}

void SurfaceView::wordAt(int pos, int *from, int *to) const
{
    const int line = m_surface->lineFromChar(pos);
    const int start = m_surface->lineIndex(line);
    const int end = start + m_surface->lineLength(line);
    if (start == end) {
        *from = *to = start;
        return;
    }
    int at = pos < end ? pos : pos - 1;
    const int cls = charClass(m_surface->at(at));
    int a = at, b = at + 1;
    while (a > start && charClass(m_surface->at(a - 1)) == cls)
        --a;
    while (b < end && charClass(m_surface->at(b)) == cls)
        ++b;
    *from = snapPosition(a);
    *to = snapPosition(b);
    if (*to < end && m_surface->at(*to).isLowSurrogate())
        ++*to;
}

int SurfaceView::verticalMove(int pos, int lines) const
{
    const LineLayouts::Place place = m_layouts->placeOf(pos);
    const double want = m_desiredX >= 0 ? m_desiredX : place.x;
    int line = m_surface->lineFromChar(pos);
    const int count = m_surface->lineCount();
    if (!wraps()) {
        const int target = std::clamp(line + lines, 0, count - 1);
        if (target == line)
            return lines < 0 ? 0 : m_surface->length();
        return m_layouts->positionInLine(target, want);
    }
    // Row by row through the wrapped rows of each piece of each line.
    size_t piece = place.piece;
    int row = place.row;
    const int direction = lines < 0 ? -1 : 1;
    for (int n = std::abs(lines); n > 0; --n)
        if (!m_layouts->stepRow(line, piece, row, direction))
            return direction < 0 ? 0 : m_surface->length();
    return m_layouts->positionInLine(line, want, int(piece), row);
}

// --- selection -----------------------------------------------------------------

void SurfaceView::moveSelection(int anchor, int caret)
{
    // The lines the selection leaves and those it covers are repainted.
    const int oldFirst = m_surface->lineFromChar(std::min(m_anchor, m_caret));
    const int oldLast = m_surface->lineFromChar(std::max(m_anchor, m_caret));
    m_anchor = anchor;
    m_caret = caret;
    updateLines(oldFirst, oldLast);
    updateLines(m_surface->lineFromChar(std::min(anchor, caret)),
                m_surface->lineFromChar(std::max(anchor, caret)));
    placeBand();
}

void SurfaceView::syncSelection()
{
    const int s = m_surface->selStart();
    const int e = s + m_surface->selLength();
    if (std::min(m_anchor, m_caret) == s && std::max(m_anchor, m_caret) == e)
        return;
    moveSelection(s, e);
    m_desiredX = -1;
    if (m_layouts->hasPreedit()) {
        m_layouts->setPreedit(-1, QString(), 0, {});
        m_layouts->clear();
        viewport()->update();
    }
    if (hasFocus())
        updateMicroFocus(); // input methods follow the caret
}

void SurfaceView::setSelectionRange(int anchor, int caret)
{
    anchor = snapPosition(anchor);
    caret = snapPosition(caret);
    const bool sameCaret = m_caret == caret;
    moveSelection(anchor, caret);
    m_surface->setSelectionFromView(std::min(anchor, caret), std::abs(caret - anchor));
    if (!sameCaret)
        restartBlink();
    if (anchor != caret && !m_primaryPosted) {
        m_primaryPosted = true;
        QMetaObject::invokeMethod(
            this, [this] { offerPrimary(); }, Qt::QueuedConnection);
    }
    if (hasFocus())
        updateMicroFocus(); // input methods follow the caret
}

QStringList SurfaceView::droppedFiles(const QMimeData *data) const
{
    if (!data || !data->hasUrls()
        || !isSignalConnected(QMetaMethod::fromSignal(&SurfaceView::filesDropped)))
        return {};
    QStringList paths, names;
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile())
            return {};
        paths << url.toLocalFile();
        names << url.toString() << url.toLocalFile();
    }
    // Text beside the list must be the list itself (as file managers give
    // it); anything else is a text drop.
    const QStringList lines =
        data->text().split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
    for (const QString &line : lines)
        if (!names.contains(line.trimmed()))
            return {};
    return paths;
}

void SurfaceView::offerPrimary()
{
    m_primaryPosted = false;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (m_anchor == m_caret || !clipboard->supportsSelection())
        return;
    clipboard->setMimeData(selectionMimeData(), QClipboard::Selection);
}

void SurfaceView::pastePrimary(const QPoint &point)
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection())
        return;
    const QMimeData *data = clipboard->mimeData(QClipboard::Selection);
    if (!canInsert(data) || m_surface->refusesMimeData(data, true))
        return;
    const int at = positionAt(point);
    const int before = m_surface->length();
    m_surface->breakUndoMerge();
    {
        Surface::UndoGroup step(*m_surface);
        insertMime(data, at);
    }
    m_surface->breakUndoMerge();
    setCaret(at + std::max(0, m_surface->length() - before), false);
    ensureCursorVisible();
}

void SurfaceView::setCaret(int pos, bool extend)
{
    setSelectionRange(extend ? m_anchor : pos, pos);
}

// --- surface -> view -------------------------------------------------------------

void SurfaceView::onTextReplaced(int pos, int removed, int removedBreaks, int added, bool)
{
    m_inEdit = false;
    followEdit(pos, removed, removedBreaks, added);
    // The numbers' margin widens when the line count gains a digit.
    if (m_lineNumbers && (removedBreaks > 0 || added > 0))
        updateSignMargin();
    // Marks the edit moved show where they are now.
    if (m_marksFrom >= 0) {
        const int from = m_marksFrom, to = m_marksTo;
        m_marksFrom = m_marksTo = -1;
        onMarksChanged(from, to - from);
    }
}

void SurfaceView::followEdit(int pos, int removed, int removedBreaks, int added)
{
    if (!followHiddenEdit())
        return;
    const LineLayouts::Change change =
        m_layouts->textReplaced(pos, removed, removedBreaks, added, m_painted);
    const int first = change.first;
    const int delta = change.delta;
    if (change.whole)
        m_topOffset = 0;
    if (m_bottomLine >= 0) {
        // Lines below the edit keep their heights: the end moves with them.
        if (change.whole || first + removedBreaks >= m_bottomLine) {
            dropBottomTop();
            scheduleFlush();
        } else {
            m_bottomLine += delta;
        }
    }
    if (change.sameLines) {
        // Only the lines that read or look otherwise are repainted. Lines
        // not laid out are not on screen, unless the view has not painted
        // them yet.
        std::vector<int> changed = change.dropped;
        const int last = first + removedBreaks;
        const int top = topLine();
        for (int line = std::max(first, top); line <= std::min(last, top + visibleLineCount());
             ++line)
            if (!m_layouts->has(line))
                changed.push_back(line);
        std::sort(changed.begin(), changed.end());
        for (size_t a = 0; a < changed.size();) {
            size_t b = a + 1;
            while (b < changed.size() && changed[b] <= changed[b - 1] + 1)
                ++b;
            updateLines(changed[a], changed[b - 1]);
            a = b;
        }
        return;
    }
    if (delta == 0 && change.oldHeight >= 0
        && (!m_painted || std::abs(m_layouts->lineHeight(first) - change.oldHeight) > 0.01))
        updateLines(first, std::numeric_limits<int>::max() / 2);
    else if (delta == 0) {
        updateLines(first, first + change.addedBreaks);
    } else {
        updateLines(first, std::numeric_limits<int>::max() / 2);
        if (m_painted)
            updateScrollBars(); // caught up when painted again
    }
}

bool SurfaceView::followHiddenEdit()
{
    if (!m_painted && !m_hiddenAll && ++m_hiddenEdits > 64) {
        // A bulk command works on the hidden surface, often line by line:
        // start afresh when it shows again rather than follow every edit.
        m_layouts->clear();
        m_hiddenAll = true;
    }
    return !m_hiddenAll;
}

void SurfaceView::onFormatsChanged(int start, int length)
{
    if (!followHiddenEdit())
        return;
    const auto [first, last] = m_layouts->formatsChanged(start, length);
    if (first <= last)
        updateLines(first, last);
    if (m_bottomLine >= 0 && first <= last && last >= m_bottomLine) {
        dropBottomTop(); // restyled rows may wrap otherwise
        scheduleFlush();
    }
}

void SurfaceView::onSelectionByProgram()
{
    syncSelection();
    m_scrollToCaret = true;
    scheduleFlush();
}

void SurfaceView::scheduleFlush()
{
    if (m_flushPosted)
        return;
    m_flushPosted = true;
    QMetaObject::invokeMethod(
        this, [this] { flush(); }, Qt::QueuedConnection);
}

void SurfaceView::flush()
{
    m_flushPosted = false;
    if (!m_painted)
        return;
    syncSelection();
    updateScrollBars();
    if (m_scrollToCaret && !isHidden()) {
        m_scrollToCaret = false;
        ensureCursorVisible();
    }
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
        if (m_band)
            m_surface->marks().setStyle(m_band, bandStyle());
    }

    // Margins beyond a few screen widths mean no wrapping at all; a narrower
    // one (the printed line width after printing) wraps lines at that width.
    const int margin = m_surface->rightMargin();
    const double dpi = logicalDpiX() > 0 ? logicalDpiX() : 96.0;
    const int px = int(twipsToPixels(margin, dpi));
    const QScreen *screen = QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->geometry().width() : 1920;
    const int wrap = (margin <= 0 || px >= 4 * screenWidth) ? -1 : px;
    if (wrap != m_wrapMargin) {
        m_wrapMargin = wrap;
        m_layouts->setWrapWidth(wrapWidth());
        dropBottomTop();
        m_topOffset = 0;
        updateScrollBars();
        viewport()->update();
    }
}

void SurfaceView::setPainted(bool painted)
{
    // Not painted, the view lays nothing out; painted again, it repaints
    // only the lines that changed meanwhile.
    if (painted == m_painted)
        return;
    m_painted = painted;
    if (!painted)
        return;
    if (m_hiddenAll) {
        dropBottomTop();
        viewport()->update();
    } else {
        for (const auto &[a, b] : m_hiddenLines)
            updateLines(a, b);
    }
    m_hiddenAll = false;
    m_hiddenEdits = 0;
    m_hiddenLines.clear();
    // Whoever stopped the painting often puts the caret back right after
    // starting it again: scrolling to the selection of that moment would
    // scroll twice a keystroke. The caret is brought into view once the
    // caller is done.
    scheduleFlush();
}

void SurfaceView::changeEvent(QEvent *event)
{
    if (event)
        QAbstractScrollArea::changeEvent(event);
    if (!event || event->type() == QEvent::FontChange) {
        m_layouts->setFont(font(), viewport());
        dropBottomTop();
        if (event) {
            updateSignMargin();
            updateScrollBars();
            viewport()->update();
        }
    }
    if (event && event->type() == QEvent::PaletteChange && m_band)
        m_surface->marks().setStyle(m_band, bandStyle());
    if (event && event->type() == QEvent::PaletteChange && m_landing)
        m_surface->marks().setStyle(m_landing, bandStyle());
}

// --- painting --------------------------------------------------------------------

void SurfaceView::paintEvent(QPaintEvent *event)
{
    syncSelection();
    SurfaceRenderer::Frame frame;
    frame.topLine = topLine();
    frame.top = kPadY - topOffset();
    frame.left = textLeft() - horizontalScrollBar()->value();
    frame.margin = m_signMargin;
    frame.signWidth = m_signSlot;
    frame.width = viewport()->width();
    frame.height = viewport()->height();
    frame.selFrom = std::min(m_anchor, m_caret);
    frame.selTo = std::max(m_anchor, m_caret);
    frame.caret = m_caretOn && hasFocus() ? m_caret : -1;
    frame.overwrite = m_overwrite;
    frame.dropCaret = m_dropCaret;
    frame.palette = palette();
    {
        QPainter painter(viewport());
        paintLineNumbers(painter, event->rect());
        m_renderer->paint(painter, event->region(), frame);
    }
    trimLayouts();
}

void SurfaceView::trimLayouts()
{
    const int top = topLine();
    const int vis = visibleLineCount();
    const bool wrapped = wraps();
    const double h = horizontalScrollBar()->value();
    const double near0 = wrapped ? -viewport()->height() : h - viewport()->width();
    const double near1 = wrapped ? 2.0 * viewport()->height() : h + 2.0 * viewport()->width();
    m_layouts->trim(top - vis, top + 2 * vis, size_t(3 * vis + 64), m_caret, near0, near1,
                    [this](int line) { return lineY(line); });
}

void SurfaceView::findWidest() const
{
    // The lines on screen and the caret's are laid out (painting needs them
    // anyway); of the lines laid out, the widest sets the range.
    std::vector<int> lines{m_surface->lineFromChar(m_caret)};
    const int top = topLine();
    for (int l = top; l < std::min(m_surface->lineCount(), top + visibleLineCount() + 1); ++l)
        lines.push_back(l);
    m_layouts->findWidest(lines);
}

void SurfaceView::restartBlink()
{
    m_caretOn = true;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flash > 0)
        m_blink.start(flash / 2, this);
    else
        m_blink.stop();
    updateCaret();
}

void SurfaceView::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_blink.timerId()) {
        m_caretOn = !m_caretOn;
        updateCaret();
    } else if (event->timerId() == m_scrollTimer.timerId()) {
        autoScroll();
    } else if (event->timerId() == m_tripleTimer.timerId()) {
        m_tripleTimer.stop();
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void SurfaceView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    restartBlink();
}

void SurfaceView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_blink.stop();
    m_caretOn = false;
    updateCaret();
}

void SurfaceView::scrollContentsBy(int, int dy)
{
    // Moved by the scroll bar: the top line shows from the row that far
    // into it (from its first row where lines do not wrap).
    if (dy != 0 && !m_settingTop) {
        m_topOffset = 0;
        const int part = verticalScrollBar()->value() % m_lineUnits;
        if (wraps() && verticalScrollBar()->value() == verticalScrollBar()->maximum()
            && verticalScrollBar()->maximum() > 0) {
            // The bar's end: the last row at the bottom.
            m_topOffset = bottomTop().second;
        } else if (part > 0) {
            const int line = topLine();
            m_topOffset =
                m_layouts->rowAtY(line, m_layouts->lineHeight(line) * part / m_lineUnits).y;
        }
    }
    viewport()->update();
}

void SurfaceView::wheelEvent(QWheelEvent *event)
{
    if (!wraps() || event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier)
        || event->angleDelta().y() == 0) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    // Where lines wrap, the wheel scrolls by rows: a wrapped line may be
    // taller than the view.
    m_wheelRest += event->angleDelta().y();
    const int notches = m_wheelRest / 120;
    m_wheelRest -= notches * 120;
    if (notches != 0)
        scrollRows(-notches * QApplication::wheelScrollLines());
    event->accept();
}

void SurfaceView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    m_layouts->setWrapWidth(wrapWidth());
    dropBottomTop();
    updateScrollBars();
}

void SurfaceView::showEvent(QShowEvent *event)
{
    QAbstractScrollArea::showEvent(event);
    flush();
}

void SurfaceView::ensureCursorVisible()
{
    if (!m_painted)
        return;
    syncSelection();
    updateScrollBars();
    const int line = m_surface->lineFromChar(m_caret);
    const int top = topLine();
    if (!wraps()) {
        const int vis = visibleLineCount();
        if (line < top)
            setTop(line, 0);
        else if (line >= top + vis)
            setTop(line - vis + 1, 0);
    } else {
        // The caret's wrapped row, not just its line, is brought into view:
        // a wrapped line may be taller than the view.
        const LineLayouts::Place place = m_layouts->placeOf(m_caret);
        const double y = line < top ? -1.0 : lineY(line) + place.y;
        const double room = viewport()->height() - kPadY;
        if (y < kPadY) {
            setTop(line, place.y);
        } else if (y + place.height > viewport()->height()) {
            // The caret's row at the bottom: the rows above it, as many as
            // fit, from its line and the lines before.
            int newTop = line;
            double offset = place.y + place.height - room;
            while (offset < 0 && newTop > 0)
                offset += m_layouts->lineHeight(--newTop);
            if (offset > 0) {
                // A whole row at the top.
                const LineLayouts::Place at = m_layouts->rowAtY(newTop, offset);
                if (at.y < offset - 0.01)
                    offset = at.y + at.height;
            }
            setTop(newTop, std::max(0.0, offset));
        }
        return;
    }
    // The caret's piece is measured first: the line's width may change.
    const double x = xOfPosition(m_caret) + textLeft();
    m_layouts->noteWidth(line, std::max(m_layouts->lineWidth(line), x - m_signMargin));
    updateScrollBars();
    QScrollBar *h = horizontalScrollBar();
    const int width = viewport()->width();
    const int margin = int(2 * m_layouts->averageWidth());
    if (x < h->value() + textLeft())
        h->setValue(int(x) - std::min(width / 3, int(x)));
    else if (x > h->value() + width - margin)
        h->setValue(int(x) - width + std::max(margin, width / 3));
}

void SurfaceView::land(int pos)
{
    pos = snapPosition(std::clamp(pos, 0, m_surface->length()));
    m_surface->setSelection(pos, 0);
    syncSelection();
    if (m_painted) {
        m_scrollToCaret = false;
        updateScrollBars();
        const QRectF at = caretRectF(pos);
        if (at.top() < 0 || at.bottom() > viewport()->height()) {
            // Out of sight: the caret's row comes to the middle of the view.
            const int line = m_surface->lineFromChar(pos);
            const double above = (viewport()->height() - kPadY - at.height()) / 2;
            if (!wraps()) {
                setTop(std::max(0, line - int(above / m_layouts->lineSpacing())), 0);
            } else {
                int top = line;
                double offset = m_layouts->placeOf(pos).y - above;
                while (offset < 0 && top > 0)
                    offset += m_layouts->lineHeight(--top);
                if (offset > 0) {
                    const LineLayouts::Place row = m_layouts->rowAtY(top, offset);
                    offset = row.y < offset - 0.01 ? row.y + row.height : row.y;
                }
                setTop(top, std::max(0.0, offset));
            }
        }
        ensureCursorVisible(); // sideways
    }
    markLanding(pos);
}

void SurfaceView::autoScroll()
{
    const QPoint p = viewport()->mapFromGlobal(QCursor::pos());
    const QRect r = viewport()->rect();
    if (r.contains(p) || !m_selecting) {
        m_scrollTimer.stop();
        return;
    }
    QScrollBar *h = horizontalScrollBar();
    if (p.y() < 0)
        scrollRows(-1);
    else if (p.y() > r.height())
        scrollRows(1);
    if (p.x() < 0)
        h->setValue(h->value() - h->singleStep());
    else if (p.x() > r.width())
        h->setValue(h->value() + h->singleStep());
    const QPoint inside(std::clamp(p.x(), 0, r.width() - 1), std::clamp(p.y(), 0, r.height() - 1));
    setCaret(positionAt(inside), true);
}

} // namespace qln
