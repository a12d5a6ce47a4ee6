#include "surface/surfaceview.h"
#include "surface/surfaceviewparts.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <QWheelEvent>
#include <cmath>

namespace qln {

using namespace viewparts;

SurfaceView::SurfaceView(Surface *surface, QWidget *parent)
    : QAbstractScrollArea(parent), m_surface(surface)
{
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
        case QAbstractSlider::SliderSingleStepAdd:
            rows = 1;
            break;
        case QAbstractSlider::SliderSingleStepSub:
            rows = -1;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            rows = page;
            break;
        case QAbstractSlider::SliderPageStepSub:
            rows = -page;
            break;
        default:
            return;
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
    onAppearanceChanged();
    changeEvent(nullptr);
    updateScrollBars();
}

SurfaceView::~SurfaceView() = default;

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
    return std::clamp(m_topOffset, 0.0, std::max(0.0, lineHeight(topLine()) - m_lineSpacing));
}

void SurfaceView::setTop(int line, double offset)
{
    offset = wraps() ? std::max(0.0, offset) : 0;
    int value = line * m_lineUnits;
    if (m_lineUnits > 1 && offset > 0)
        value += std::min(m_lineUnits - 1, int(offset / lineHeight(line) * m_lineUnits));
    m_settingTop = true;
    verticalScrollBar()->setValue(value);
    m_settingTop = false;
    if (std::abs(offset - m_topOffset) > 0.01) {
        m_topOffset = offset;
        viewport()->update();
    }
}

void SurfaceView::scrollRows(int rows)
{
    if (!wraps()) {
        setTop(topLine() + rows, 0);
        return;
    }
    int line = topLine();
    const Place at = rowAtY(line, topOffset());
    size_t piece = at.piece;
    int row = at.row;
    const int direction = rows < 0 ? -1 : 1;
    for (int n = std::abs(rows); n > 0; --n)
        if (!stepRow(line, piece, row, direction))
            break;
    setTop(line, rowTop(line, piece, row));
}

int SurfaceView::visibleLineCount() const
{
    return std::max(1, int((viewport()->height() - kPadY) / m_lineSpacing));
}

int SurfaceView::wrapWidth() const
{
    if (m_wrapMargin < 0)
        return 0;
    const int width = std::max(20, viewport()->width() - 2 * kPadX);
    return m_wrapMargin > 0 ? std::min(m_wrapMargin, width) : width;
}

double SurfaceView::lineY(int line) const
{
    const int top = topLine();
    const double first = kPadY - topOffset();
    if (line <= top)
        return first - (top - line) * m_lineSpacing;
    double y = first;
    const double bottom = viewport()->height();
    for (int l = top; l < line; ++l) {
        if (y > bottom)
            return y + (line - l) * m_lineSpacing;
        y += lineHeight(l);
    }
    return y;
}

int SurfaceView::lineAtY(double y, double *yInLine) const
{
    *yInLine = 0;
    const int count = m_surface->lineCount();
    const int top = topLine();
    double at = kPadY - topOffset();
    if (y < at)
        return std::max(0, top - 1 - int((at - y) / m_lineSpacing));
    for (int l = top; l < count; ++l) {
        const double h = lineHeight(l);
        if (y < at + h) {
            *yInLine = y - at;
            return l;
        }
        at += h;
    }
    *yInLine = std::numeric_limits<double>::max() / 4;
    return count - 1;
}

SurfaceView::Place SurfaceView::rowAtY(int line, double yInLine) const
{
    Place place;
    if (!wraps())
        return place;
    LineEntry &e = entry(line);
    size_t i = e.chunked ? pieceAtY(e, yInLine) : 0;
    QTextLayout *layout = pieceLayout(line, e, i);
    // Laying the piece out may show that it ends above the point.
    while (i + 1 < e.pieces.size() && yInLine >= e.pieces[i + 1].y) {
        ++i;
        layout = pieceLayout(line, e, i);
    }
    const Piece &p = e.pieces[i];
    place.piece = i;
    place.y = p.y;
    place.height = m_lineSpacing;
    for (int r = 0; r < layout->lineCount(); ++r) {
        const QTextLine tl = layout->lineAt(r);
        if (r == 0 || yInLine - p.y >= tl.y()) {
            place.row = r;
            place.y = p.y + tl.y();
            place.height = tl.height();
        }
    }
    return place;
}

bool SurfaceView::stepRow(int &line, size_t &piece, int &row, int direction) const
{
    const int count = m_surface->lineCount();
    auto rowsOf = [this](int l, size_t i) {
        LineEntry &e = entry(l);
        return std::max(1, pieceLayout(l, e, i)->lineCount());
    };
    if (direction > 0) {
        if (row + 1 < rowsOf(line, piece)) {
            ++row;
        } else if (piece + 1 < entry(line).pieces.size()) {
            ++piece;
            row = 0;
        } else if (line + 1 < count) {
            ++line;
            piece = 0;
            row = 0;
        } else {
            return false;
        }
    } else {
        if (row > 0) {
            --row;
        } else if (piece > 0) {
            --piece;
            row = rowsOf(line, piece) - 1;
        } else if (line > 0) {
            --line;
            piece = entry(line).pieces.size() - 1;
            row = rowsOf(line, piece) - 1;
        } else {
            return false;
        }
    }
    return true;
}

double SurfaceView::rowTop(int line, size_t piece, int row) const
{
    LineEntry &e = entry(line);
    QTextLayout *layout = pieceLayout(line, e, piece);
    const double inPiece =
        row < layout->lineCount() && row >= 0 ? layout->lineAt(row).y() : 0;
    return e.pieces[piece].y + inPiece;
}

SurfaceView::Place SurfaceView::placeOf(int pos) const
{
    const int line = m_surface->lineFromChar(pos);
    const int col = std::clamp(pos - m_surface->lineIndex(line), 0, m_surface->lineLength(line));
    LineEntry &e = entry(line);
    const size_t i = pieceAt(e, col);
    QTextLayout *layout = pieceLayout(line, e, i);
    const Piece &p = e.pieces[i];
    int inPiece = col - p.start;
    if (!m_preedit.isEmpty() && pos == m_caret && layout->preeditAreaPosition() == inPiece)
        inPiece += m_preeditCursor;
    const QTextLine tl = layout->lineForTextPosition(inPiece);
    Place place;
    place.piece = i;
    place.x = p.x + (tl.isValid() ? tl.cursorToX(inPiece) : 0);
    place.y = p.y + (tl.isValid() ? tl.y() : 0);
    place.height = tl.isValid() ? tl.height() : m_lineSpacing;
    place.row = tl.isValid() ? tl.lineNumber() : 0;
    return place;
}

int SurfaceView::positionInLine(int line, double x, int piece, int row) const
{
    LineEntry &e = entry(line);
    const int lineStart = m_surface->lineIndex(line);
    size_t i = 0;
    if (piece >= 0)
        i = std::min(size_t(piece), e.pieces.size() - 1);
    else if (e.chunked && !wraps())
        i = pieceAtX(e, x);
    QTextLayout *layout = pieceLayout(line, e, i);
    const Piece &p = e.pieces[i];
    const int n = layout->lineCount();
    if (n == 0)
        return lineStart + p.start;
    const QTextLine tl = layout->lineAt(std::clamp(row, 0, n - 1));
    int col = tl.xToCursor(x - p.x, QTextLine::CursorBetweenCharacters);
    const int preeditAt = layout->preeditAreaPosition();
    if (!layout->preeditAreaText().isEmpty() && col > preeditAt)
        col = std::max(preeditAt, col - int(layout->preeditAreaText().size()));
    // The end of a wrapped row (but the line's last) is where the next row
    // starts: step back before it so the caret stays on this row.
    const bool lastRow = row >= n - 1 && i + 1 == e.pieces.size();
    if (wraps() && !lastRow && col >= tl.textStart() + tl.textLength() && tl.textLength() > 0)
        col = previousPosition(lineStart + p.start + tl.textStart() + tl.textLength())
              - lineStart - p.start;
    return snapPosition(lineStart + p.start + std::clamp(col, 0, p.length));
}

QRectF SurfaceView::caretRectF(int pos) const
{
    pos = std::clamp(pos, 0, m_surface->length());
    const int line = m_surface->lineFromChar(pos);
    const Place place = placeOf(pos);
    const double y = lineY(line) + place.y;
    return QRectF(kPadX + place.x - horizontalScrollBar()->value(), y, 1, place.height);
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
    return line + 1 < m_surface->lineCount() ? m_surface->lineIndex(line + 1)
                                             : m_surface->lineIndex(line) + m_surface->lineLength(line);
}

int SurfaceView::positionAt(const QPoint &point) const
{
    if (m_surface->length() == 0)
        return 0;
    double yIn = 0;
    const int line = lineAtY(point.y(), &yIn);
    const double x = point.x() - kPadX + horizontalScrollBar()->value();
    if (!wraps())
        return positionInLine(line, x);
    const Place row = rowAtY(line, yIn);
    return positionInLine(line, x, int(row.piece), row.row);
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
    const int maxTop = units > 1 ? count * units - 1 : count - vis;
    v->setRange(0, std::max(0, maxTop));
    int page = vis * units;
    if (units > 1 && m_painted) {
        // A top line taller than the view: the thumb shows how much of it.
        const double tall = lineHeight(topLine());
        if (tall > viewport()->height())
            page = std::max(1, int(units * viewport()->height() / tall));
    }
    v->setPageStep(page);
    v->setSingleStep(units);
    // Where lines wrap, nothing is wider than the view.
    QScrollBar *h = horizontalScrollBar();
    if (m_widestStale && m_painted && isVisible())
        findWidest();
    // The range moves in steps: typing at the end of the widest line would
    // otherwise change it, and repaint the bar, with every key.
    constexpr int kStep = 256;
    const int content =
        m_widest > 0 ? int(std::ceil((m_widest + 2 * kPadX + 2 * m_averageWidth) / kStep)) * kStep : 0;
    h->setRange(0, std::max(0, content - viewport()->width()));
    h->setPageStep(std::max(1, viewport()->width()));
    h->setSingleStep(std::max(1, int(2 * m_averageWidth)));
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
    viewport()->update(QRect(0, int(std::floor(y0)), viewport()->width(),
                             int(std::ceil(y1 - y0)) + 1));
}

void SurfaceView::updateCaret()
{
    if (!m_painted || !isVisible())
        return;
    QRect r = caretRectF(m_caret).toAlignedRect();
    const int extra = m_overwrite ? int(4 * m_averageWidth) : 2;
    viewport()->update(r.adjusted(-2, 0, extra, 0));
}

// --- positions -----------------------------------------------------------------

int SurfaceView::snapPosition(int pos) const
{
    pos = std::clamp(pos, 0, m_surface->length());
    if (pos > 0 && pos < m_surface->length()) {
        const QChar before = m_surface->at(pos - 1);
        const QChar c = m_surface->at(pos);
        if (before == QLatin1Char('\r') && c == QLatin1Char('\n'))
            return pos - 1;
        if (before.isHighSurrogate() && c.isLowSurrogate())
            return pos - 1;
    }
    return pos;
}

int SurfaceView::nextPosition(int pos) const
{
    const int line = m_surface->lineFromChar(pos);
    const int start = m_surface->lineIndex(line);
    const int len = m_surface->lineLength(line);
    const int col = pos - start;
    if (col >= len)
        return line + 1 < m_surface->lineCount() ? m_surface->lineIndex(line + 1) : pos;
    const int window = std::min(64, len - col);
    const QString text = m_surface->mid(pos, window);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(0);
    const qsizetype next = finder.toNextBoundary();
    return pos + int(next > 0 ? next : window);
}

int SurfaceView::previousPosition(int pos) const
{
    const int line = m_surface->lineFromChar(pos);
    const int start = m_surface->lineIndex(line);
    const int col = pos - start;
    if (col <= 0)
        return line > 0 ? m_surface->lineIndex(line - 1) + m_surface->lineLength(line - 1) : 0;
    const int window = std::min(64, col);
    const QString text = m_surface->mid(pos - window, window);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(window);
    const qsizetype prev = finder.toPreviousBoundary();
    return pos - window + int(prev >= 0 ? prev : 0);
}

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
    const Place place = placeOf(pos);
    const double want = m_desiredX >= 0 ? m_desiredX : place.x;
    int line = m_surface->lineFromChar(pos);
    const int count = m_surface->lineCount();
    if (!wraps()) {
        const int target = std::clamp(line + lines, 0, count - 1);
        if (target == line)
            return lines < 0 ? 0 : m_surface->length();
        return positionInLine(target, want);
    }
    // Row by row through the wrapped rows of each piece of each line.
    size_t piece = place.piece;
    int row = place.row;
    const int direction = lines < 0 ? -1 : 1;
    for (int n = std::abs(lines); n > 0; --n)
        if (!stepRow(line, piece, row, direction))
            return direction < 0 ? 0 : m_surface->length();
    return positionInLine(line, want, int(piece), row);
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
}

void SurfaceView::syncSelection()
{
    const int s = m_surface->selStart();
    const int e = s + m_surface->selLength();
    if (std::min(m_anchor, m_caret) == s && std::max(m_anchor, m_caret) == e)
        return;
    moveSelection(s, e);
    m_desiredX = -1;
    if (!m_preedit.isEmpty()) {
        m_preedit.clear();
        dropCache();
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
    if (hasFocus())
        updateMicroFocus(); // input methods follow the caret
}

void SurfaceView::setCaret(int pos, bool extend)
{
    setSelectionRange(extend ? m_anchor : pos, pos);
}

// --- surface -> view -------------------------------------------------------------

void SurfaceView::onTextReplaced(int pos, int removed, int removedBreaks, int added, bool)
{
    if (!followHiddenEdit())
        return;
    const int first = m_surface->lineFromChar(pos);
    const int addedBreaks = m_surface->lineFromChar(pos + added) - first;
    const int delta = addedBreaks - removedBreaks;
    double oldHeight = -1; // a wrapped line's height before the edit
    if (m_widestLine >= first && m_widestLine <= first + removedBreaks)
        m_widestStale = true; // the widest line changed or went
    else if (m_widestLine > first + removedBreaks)
        m_widestLine += delta;
    if (pos == 0 && added == m_surface->length()) {
        dropCache(); // the whole text was replaced
        m_topOffset = 0;
    } else if (delta == 0 && removedBreaks == 0) {
        // An edit within one line.
        auto it = m_cache.find(first);
        if (it != m_cache.end()) {
            LineEntry &e = it->second;
            const int newLength = m_surface->lineLength(first);
            if (!e.chunked || newLength <= kLongLine) {
                if (wraps() && !e.chunked && e.pieces[0].measured)
                    oldHeight = e.height;
                m_cache.erase(it);
            } else {
                // Only the pieces the edit touched are laid out again.
                const int col = pos - m_surface->lineIndex(first);
                size_t a = pieceAt(e, col);
                if (a > 0 && e.pieces[a].start == col && removed == 0)
                    --a; // text typed at a piece's start belongs to the piece before
                size_t b = pieceAt(e, col + removed);
                if (b < a)
                    b = a;
                int length = 0;
                for (size_t i = a; i <= b; ++i)
                    length += e.pieces[i].length;
                // Until laid out again, the new piece is as big as the
                // ones it replaces, plus what was typed.
                Piece merged;
                merged.start = e.pieces[a].start;
                merged.length = length - removed + added;
                for (size_t i = a; i <= b; ++i) {
                    merged.width += e.pieces[i].width;
                    merged.height += e.pieces[i].height;
                }
                merged.width = std::max(0.0, merged.width + (added - removed) * m_averageWidth);
                e.pieces.erase(e.pieces.begin() + long(a) + 1, e.pieces.begin() + long(b) + 1);
                e.pieces[a] = std::move(merged);
                for (size_t i = a + 1; i < e.pieces.size(); ++i)
                    e.pieces[i].start += added - removed;
                if (e.pieces[a].length > 2 * kChunk || e.pieces[a].length == 0)
                    m_cache.erase(it); // cut into pieces again
                else {
                    e.length = newLength;
                    placePieces(e);
                    if (wraps()) {
                        // Rows below move if the edited piece now wraps
                        // into more or fewer rows.
                        oldHeight = e.height;
                        if (m_painted)
                            pieceLayout(first, e, a);
                    }
                }
            }
        }
    } else if (delta == 0 && !wraps()) {
        // Lines replaced by as many lines (Replace All, say): those that
        // read and look as they did keep their layouts and their pixels.
        const int last = first + removedBreaks;
        std::vector<int> changed;
        for (auto it = m_cache.begin(); it != m_cache.end();) {
            const int line = it->first;
            if (line < first || line > last || showsAsLaidOut(line, it->second)) {
                ++it;
                continue;
            }
            changed.push_back(line);
            it = m_cache.erase(it);
        }
        // Lines not laid out are not on screen, unless the view has not
        // painted them yet.
        const int top = topLine();
        for (int line = std::max(first, top); line <= std::min(last, top + visibleLineCount());
             ++line)
            if (!m_cache.count(line))
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
    } else {
        std::unordered_map<int, LineEntry> kept;
        kept.reserve(m_cache.size());
        for (auto &[line, e] : m_cache) {
            if (line < first)
                kept.emplace(line, std::move(e));
            else if (line > first + removedBreaks)
                kept.emplace(line + delta, std::move(e));
        }
        m_cache.swap(kept);
    }
    if (delta == 0 && oldHeight >= 0
        && (!m_painted || std::abs(lineHeight(first) - oldHeight) > 0.01))
        updateLines(first, std::numeric_limits<int>::max() / 2);
    else if (delta == 0) {
        updateLines(first, first + addedBreaks);
    } else {
        updateLines(first, std::numeric_limits<int>::max() / 2);
        if (m_painted)
            updateScrollBars(); // caught up when painted again
    }
}

bool SurfaceView::followHiddenEdit()
{
    if (!m_painted && !m_hiddenAll && ++m_hiddenEdits > 64) {
        // A bulk command works on the surface unpainted, often line by
        // line: start afresh when painted again rather than follow every edit.
        dropCache();
        m_hiddenAll = true;
    }
    return !m_hiddenAll;
}

void SurfaceView::onFormatsChanged(int start, int length)
{
    if (!followHiddenEdit())
        return;
    if (length <= 0)
        return;
    // A range that starts in a line break leaves that line as it looks.
    int first = m_surface->lineFromChar(start);
    if (start >= m_surface->lineIndex(first) + m_surface->lineLength(first))
        ++first;
    const int last = m_surface->lineFromChar(start + length - 1);
    if (last < first)
        return;
    if (m_widestLine >= first && m_widestLine <= last)
        m_widestStale = true; // bold or another font may change its width
    for (auto it = m_cache.begin(); it != m_cache.end();) {
        if (it->first < first || it->first > last) {
            ++it;
            continue;
        }
        LineEntry &e = it->second;
        if (!e.chunked) {
            it = m_cache.erase(it);
            continue;
        }
        const int lineStart = m_surface->lineIndex(it->first);
        for (Piece &p : e.pieces)
            if (lineStart + p.start < start + length && lineStart + p.start + p.length >= start)
                p.layout.reset();
        ++it;
    }
    updateLines(first, last);
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
    QMetaObject::invokeMethod(this, [this] { flush(); }, Qt::QueuedConnection);
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
        dropCache();
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
        const QFontMetricsF metrics(font());
        m_lineSpacing = std::ceil(metrics.height());
        m_averageWidth = std::max(1.0, metrics.averageCharWidth());
        dropCache();
        if (event) {
            updateScrollBars();
            viewport()->update();
        }
    }
}

// --- painting --------------------------------------------------------------------

void SurfaceView::paintEvent(QPaintEvent *event)
{
    syncSelection();
    ++m_useClock;
    QPainter painter(viewport());
    const QRect clip = event->rect();
    const int hx = horizontalScrollBar()->value();
    const double left = kPadX - hx;
    const int selFrom = std::min(m_anchor, m_caret);
    const int selTo = std::max(m_anchor, m_caret);
    const QPalette pal = palette();
    const int caretLine = m_surface->lineFromChar(m_caret);
    const int dropLine = m_dropCaret >= 0 ? m_surface->lineFromChar(m_dropCaret) : -1;
    const bool showCaret = m_caretOn && hasFocus();
    QTextCharFormat selected;
    selected.setBackground(pal.brush(QPalette::Highlight));
    selected.setForeground(pal.brush(QPalette::HighlightedText));
    painter.setPen(pal.color(QPalette::Text));

    const int count = m_surface->lineCount();
    const double bottom = viewport()->height();
    const bool wrapped = wraps();
    double y = kPadY - topOffset();
    for (int line = topLine(); line < count && y < bottom; ++line) {
        LineEntry &e = entry(line);
        if (!e.chunked)
            pieceLayout(line, e, 0);
        // Lines outside what is repainted (a few changed lines, say) are
        // passed over.
        if (y + e.height < clip.top() || y > clip.bottom() + 1
            || !event->region().intersects(QRect(clip.left(), int(std::floor(y)), clip.width(),
                                                 int(std::ceil(e.height)) + 1))) {
            y += e.height;
            continue;
        }
        const int lineStart = m_surface->lineIndex(line);
        size_t firstPiece = 0, lastPiece = 0;
        if (e.chunked && wrapped) {
            // The pieces whose rows reach into the clip; laying one out may
            // move those below it.
            firstPiece = pieceAtY(e, clip.top() - y);
            lastPiece = firstPiece;
            const double clipBottom = clip.bottom() + 1;
            for (size_t i = firstPiece; i < e.pieces.size() && y + e.pieces[i].y <= clipBottom;
                 ++i) {
                pieceLayout(line, e, i);
                lastPiece = i;
            }
        } else if (e.chunked) {
            firstPiece = pieceAtX(e, clip.left() - left);
            lastPiece = pieceAtX(e, clip.right() - left);
            // Measuring a piece may move those after it: look again.
            for (size_t i = firstPiece; i <= lastPiece; ++i) {
                pieceLayout(line, e, i);
                lastPiece = std::max(lastPiece, pieceAtX(e, clip.right() - left));
            }
        }
        for (size_t i = firstPiece; i <= lastPiece && i < e.pieces.size(); ++i) {
            QTextLayout *layout = pieceLayout(line, e, i);
            const Piece &p = e.pieces[i];
            QList<QTextLayout::FormatRange> sel;
            const int a = std::max(selFrom, lineStart + p.start);
            const int b = std::min(selTo, lineStart + p.start + p.length);
            if (b > a) {
                int from = a - lineStart - p.start;
                int length = b - a;
                const int pre = layout->preeditAreaPosition();
                if (!layout->preeditAreaText().isEmpty() && from >= pre)
                    from += int(layout->preeditAreaText().size());
                sel.append(QTextLayout::FormatRange{from, length, selected});
            }
            layout->draw(&painter, QPointF(left + p.x, y + p.y), sel, clip);
        }
        // A selected line break shows as a narrow block after the line.
        if (selFrom <= lineStart + e.length && selTo > lineStart + e.length && line + 1 < count) {
            const Piece &lastP = e.pieces.back();
            double end = left + lastP.x + (lastP.measured ? lastP.width : 0);
            double top = y;
            double height = e.height;
            if (wrapped && lastP.layout && lastP.layout->lineCount() > 0) {
                // After the last of the wrapped rows.
                const QTextLine last = lastP.layout->lineAt(lastP.layout->lineCount() - 1);
                end = left + last.naturalTextWidth();
                top = y + lastP.y + last.y();
                height = last.height();
            }
            if (!wrapped || lastP.layout)
                painter.fillRect(QRectF(end, top, m_averageWidth, height),
                                 pal.brush(QPalette::Highlight));
        }
        const auto drawCaret = [&](int pos, int width) {
            const int col = pos - lineStart;
            const size_t i = pieceAt(e, col);
            QTextLayout *layout = pieceLayout(line, e, i);
            int inPiece = col - e.pieces[i].start;
            if (!layout->preeditAreaText().isEmpty() && layout->preeditAreaPosition() == inPiece)
                inPiece += m_preeditCursor;
            layout->drawCursor(&painter, QPointF(left + e.pieces[i].x, y + e.pieces[i].y), inPiece,
                               width);
        };
        if (showCaret && line == caretLine) {
            if (m_overwrite && m_preedit.isEmpty() && selFrom == selTo) {
                const Place at = placeOf(m_caret);
                const int next = nextPosition(m_caret);
                const double x1 = next > m_caret && m_surface->lineFromChar(next) == line
                                      ? xOfPosition(next)
                                      : at.x + m_averageWidth;
                QColor c = pal.color(QPalette::Text);
                c.setAlpha(110);
                const double w = std::max(2.0, x1 - at.x);
                painter.fillRect(QRectF(left + at.x, y + at.y, w, m_lineSpacing), c);
            } else {
                drawCaret(m_caret, 1);
            }
        }
        if (line == dropLine)
            drawCaret(m_dropCaret, 2);
        y += e.height;
    }
    painter.end();
    trimCache();
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
        if (part > 0) {
            const int line = topLine();
            m_topOffset = rowAtY(line, lineHeight(line) * part / m_lineUnits).y;
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
    if (m_wrapMargin >= 0)
        dropCache();
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
        const Place place = placeOf(m_caret);
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
                offset += lineHeight(--newTop);
            if (offset > 0) {
                // A whole row at the top.
                const Place at = rowAtY(newTop, offset);
                if (at.y < offset - 0.01)
                    offset = at.y + at.height;
            }
            setTop(newTop, std::max(0.0, offset));
        }
        return;
    }
    // The caret's piece is measured first: the line's width may change.
    const double x = xOfPosition(m_caret) + kPadX;
    const double wide = std::max(lineWidth(line), x);
    if (wide > m_widest) {
        m_widest = wide;
        m_widestLine = line;
    }
    updateScrollBars();
    QScrollBar *h = horizontalScrollBar();
    const int width = viewport()->width();
    const int margin = int(2 * m_averageWidth);
    if (x < h->value() + kPadX)
        h->setValue(int(x) - std::min(width / 3, int(x)));
    else if (x > h->value() + width - margin)
        h->setValue(int(x) - width + std::max(margin, width / 3));
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
