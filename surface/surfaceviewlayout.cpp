// The view's line layouts: building, measuring and keeping them.
#include "surface/surfaceview.h"
#include "surface/surfaceviewparts.h"

#include <QScrollBar>
#include <QTextLayout>
#include <cmath>

namespace qln {

using namespace viewparts;

// --- layouts -------------------------------------------------------------------

SurfaceView::LineEntry &SurfaceView::entry(int line) const
{
    auto it = m_cache.find(line);
    if (it == m_cache.end()) {
        LineEntry e;
        e.length = m_surface->lineLength(line);
        e.height = m_lineSpacing;
        if (e.length > kLongLine) {
            e.chunked = true;
            chunkLine(line, e);
        } else {
            e.pieces.resize(1);
            e.pieces[0].length = e.length;
        }
        it = m_cache.emplace(line, std::move(e)).first;
    }
    it->second.used = m_useClock;
    return it->second;
}

void SurfaceView::chunkLine(int line, LineEntry &e) const
{
    // Piece boundaries fall between whole characters: never before a low
    // surrogate, a combining mark or a joiner's partner.
    const int start = m_surface->lineIndex(line);
    const bool wrapped = wraps();
    e.pieces.clear();
    int col = 0;
    while (col < e.length) {
        int end = std::min(e.length, col + kChunk);
        if (end < e.length) {
            // Without wrapping, just after a tab if there is one close by:
            // the next piece then starts on a tab stop. Where lines wrap,
            // just after a blank, so that no word is cut in two.
            const int reach = wrapped ? 256 : 128;
            for (int back = end; back > end - reach; --back) {
                const QChar c = m_surface->at(start + back - 1);
                if (c == QLatin1Char('\t') || (wrapped && c == QLatin1Char(' '))) {
                    end = back;
                    break;
                }
            }
        }
        const int limit = std::min(e.length, end + 64);
        while (end < limit) {
            const QChar c = m_surface->at(start + end);
            const QChar before = m_surface->at(start + end - 1);
            if (!(c.isLowSurrogate() || c.isMark() || c.unicode() == 0x200D
                  || before.unicode() == 0x200D))
                break;
            ++end;
        }
        Piece p;
        p.start = col;
        p.length = end - col;
        estimatePiece(p);
        e.pieces.push_back(std::move(p));
        col = end;
    }
    placePieces(e);
}

void SurfaceView::estimatePiece(Piece &p) const
{
    p.width = p.length * m_averageWidth;
    const int wrap = wrapWidth();
    p.height = wrap > 0 ? std::max(1.0, std::ceil(p.width / wrap)) * m_lineSpacing : m_lineSpacing;
}

void SurfaceView::placePieces(LineEntry &e) const
{
    if (!e.chunked)
        return;
    if (wraps()) {
        double y = 0;
        double widest = 0;
        for (Piece &p : e.pieces) {
            p.x = 0;
            p.y = y;
            y += p.height;
            widest = std::max(widest, p.width);
        }
        e.height = std::max(y, m_lineSpacing);
        e.width = widest;
    } else {
        double x = 0;
        for (Piece &p : e.pieces) {
            p.x = x;
            p.y = 0;
            x += p.width;
        }
        e.height = m_lineSpacing;
        e.width = x;
    }
}

size_t SurfaceView::pieceAt(const LineEntry &e, int column) const
{
    // The last piece starting at or before the column.
    auto it = std::upper_bound(e.pieces.begin(), e.pieces.end(), column,
                               [](int c, const Piece &p) { return c < p.start; });
    return it == e.pieces.begin() ? 0 : size_t(it - e.pieces.begin() - 1);
}

size_t SurfaceView::pieceAtX(const LineEntry &e, double x) const
{
    auto it = std::upper_bound(e.pieces.begin(), e.pieces.end(), x,
                               [](double v, const Piece &p) { return v < p.x; });
    return it == e.pieces.begin() ? 0 : size_t(it - e.pieces.begin() - 1);
}

size_t SurfaceView::pieceAtY(const LineEntry &e, double y) const
{
    auto it = std::upper_bound(e.pieces.begin(), e.pieces.end(), y,
                               [](double v, const Piece &p) { return v < p.y; });
    return it == e.pieces.begin() ? 0 : size_t(it - e.pieces.begin() - 1);
}

QList<QTextLayout::FormatRange> SurfaceView::formatRanges(int from, int length,
                                                          int preeditAt) const
{
    QList<QTextLayout::FormatRange> ranges;
    QHash<const CharFormat *, QTextCharFormat> converted;
    for (const auto &run : m_surface->formatRuns(from, length)) {
        if (isDefaultFormat(*run.format))
            continue;
        auto it = converted.find(run.format);
        if (it == converted.end())
            it = converted.insert(run.format, toQtFormat(*run.format));
        int start = run.start;
        int n = run.length;
        if (preeditAt >= 0) {
            const int shift = int(m_preedit.size());
            if (start >= preeditAt)
                start += shift;
            else if (start + n > preeditAt)
                n += shift;
        }
        ranges.append(QTextLayout::FormatRange{start, n, it.value()});
    }
    return ranges;
}

bool SurfaceView::showsAsLaidOut(int line, const LineEntry &e) const
{
    if (e.chunked || e.pieces.size() != 1 || !e.pieces[0].layout || !m_preedit.isEmpty())
        return false;
    const QTextLayout &layout = *e.pieces[0].layout;
    const int from = m_surface->lineIndex(line);
    const int length = m_surface->lineLength(line);
    return layout.text() == m_surface->span(from, length)
           && layout.formats() == formatRanges(from, length, -1);
}

QTextLayout *SurfaceView::pieceLayout(int line, LineEntry &e, size_t index) const
{
    Piece &p = e.pieces[index];
    if (p.layout)
        return p.layout.get();
    const int lineStart = m_surface->lineIndex(line);
    const int from = lineStart + p.start;
    auto layout = std::make_unique<QTextLayout>(m_surface->mid(from, p.length), font(),
                                                const_cast<QWidget *>(static_cast<const QWidget *>(viewport())));
    QTextOption option;
    option.setTabStopDistance(kTabStop);
    option.setTextDirection(Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft);
    const int wrap = wrapWidth();
    option.setWrapMode(wrap > 0 ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    // A piece of a long line that does not wrap starts where the one before
    // it ended, part way into the line's tab grid: its tab stops are that
    // grid, shifted. (Only where the pieces before are measured: an
    // estimated start is no place to line anything up with.) A piece of a
    // wrapped line starts a row of its own, on the grid.
    const double shift = e.chunked && wrap == 0 ? std::fmod(p.x, kTabStop) : 0;
    const bool placed = std::all_of(e.pieces.begin(), e.pieces.begin() + long(index),
                                    [](const Piece &q) { return q.measured; });
    if (shift > 0.01 && placed && layout->text().contains(QLatin1Char('\t'))) {
        // Enough stops for a piece of ordinary text; tabs beyond them fall
        // back to the piece's own grid.
        const qsizetype tabs = layout->text().count(QLatin1Char('\t'));
        const double widest = QFontMetricsF(font()).maxWidth();
        const int stops = int(std::min<double>(512, tabs + p.length * widest / kTabStop + 2));
        QList<QTextOption::Tab> grid;
        grid.reserve(stops);
        for (int k = 0; k < stops; ++k)
            grid.append(QTextOption::Tab(kTabStop - shift + k * kTabStop, QTextOption::LeftTab));
        option.setTabs(grid);
    }
    layout->setTextOption(option);
    layout->setCacheEnabled(true);

    // Text being composed shows at the caret, underlined.
    int preeditAt = -1;
    if (!m_preedit.isEmpty()) {
        const int caretLine = m_surface->lineFromChar(m_caret);
        const int col = m_caret - lineStart;
        if (caretLine == line && pieceAt(e, col) == index)
            preeditAt = col - p.start;
    }

    QList<QTextLayout::FormatRange> ranges = formatRanges(from, p.length, preeditAt);
    if (preeditAt >= 0) {
        layout->setPreeditArea(preeditAt, m_preedit);
        QTextCharFormat under;
        under.setFontUnderline(true);
        ranges.append(QTextLayout::FormatRange{preeditAt, int(m_preedit.size()), under});
        for (const auto &a : m_preeditAttributes) {
            if (a.type != QInputMethodEvent::TextFormat)
                continue;
            QTextCharFormat f = qvariant_cast<QTextFormat>(a.value).toCharFormat();
            if (f.isValid())
                ranges.append(QTextLayout::FormatRange{preeditAt + a.start, a.length, f});
        }
    }
    layout->setFormats(ranges);

    layout->beginLayout();
    double y = 0;
    double width = 0;
    for (;;) {
        QTextLine tl = layout->createLine();
        if (!tl.isValid())
            break;
        tl.setLineWidth(wrap > 0 ? wrap : double(INT_MAX / 256));
        tl.setPosition(QPointF(0, y));
        y += tl.height();
        width = std::max(width, tl.naturalTextWidth());
    }
    layout->endLayout();
    ++m_layoutsBuilt;

    const double height = std::max(std::ceil(y), m_lineSpacing);
    const bool moved = !p.measured || std::abs(p.width - width) > 0.01
                       || std::abs(p.height - height) > 0.01;
    if (e.chunked && wrap > 0 && line == topLine() && p.y + p.height <= m_topOffset)
        m_topOffset += height - p.height; // what shows at the top stays there
    p.width = width;
    p.height = height;
    p.measured = true;
    if (e.chunked) {
        if (moved)
            placePieces(e);
    } else {
        e.height = height;
        e.width = width;
    }
    if (wrap == 0) {
        if (e.width > m_widest) {
            m_widest = e.width;
            m_widestLine = line;
            const_cast<SurfaceView *>(this)->scheduleFlush();
        } else if (line == m_widestLine && e.width < m_widest && !m_widestStale) {
            m_widestStale = true;
            const_cast<SurfaceView *>(this)->scheduleFlush();
        }
    }
    p.layout = std::move(layout);
    return p.layout.get();
}

double SurfaceView::lineHeight(int line) const
{
    if (wraps()) {
        LineEntry &e = entry(line);
        if (!e.chunked)
            pieceLayout(line, e, 0);
        return e.height;
    }
    auto it = m_cache.find(line);
    if (it != m_cache.end() && !it->second.chunked && it->second.pieces[0].layout)
        return it->second.height;
    return m_lineSpacing;
}

double SurfaceView::lineWidth(int line) const
{
    LineEntry &e = entry(line);
    if (!e.chunked)
        pieceLayout(line, e, 0);
    return e.width;
}

void SurfaceView::findWidest() const
{
    // The lines on screen and the caret's are laid out (painting needs them
    // anyway); of the lines laid out, the widest sets the range.
    m_widestStale = false;
    const int count = m_surface->lineCount();
    const int top = topLine();
    lineWidth(m_surface->lineFromChar(m_caret));
    for (int l = top; l < std::min(count, top + visibleLineCount() + 1); ++l)
        lineWidth(l);
    m_widest = 0;
    m_widestLine = -1;
    for (const auto &[line, e] : m_cache) {
        if ((e.chunked || e.pieces[0].measured) && e.width > m_widest) {
            m_widest = e.width;
            m_widestLine = line;
        }
    }
}

void SurfaceView::trimCache() const
{
    const int top = topLine();
    const int vis = visibleLineCount();
    const int caretLine = m_surface->lineFromChar(m_caret);
    if (m_cache.size() > size_t(3 * vis + 64)) {
        for (auto it = m_cache.begin(); it != m_cache.end();) {
            const int l = it->first;
            if (l != caretLine && (l < top - vis || l > top + 2 * vis))
                it = m_cache.erase(it);
            else
                ++it;
        }
    }
    // Pieces of long lines far from the screen and the caret give up their
    // layouts; their measured sizes stay.
    const bool wrapped = wraps();
    const double near0 = wrapped ? -viewport()->height()
                                 : horizontalScrollBar()->value() - viewport()->width();
    const double near1 = wrapped ? 2.0 * viewport()->height()
                                 : horizontalScrollBar()->value() + 2.0 * viewport()->width();
    // (Where a line starts is found first: finding it may lay out lines.)
    std::vector<std::pair<int, double>> chunked;
    for (const auto &[line, e] : m_cache)
        if (e.chunked)
            chunked.emplace_back(line, 0.0);
    if (wrapped)
        for (auto &[line, top] : chunked)
            top = lineY(line);
    for (const auto &[line, lineTop] : chunked) {
        auto found = m_cache.find(line);
        if (found == m_cache.end())
            continue;
        LineEntry &e = found->second;
        const size_t caretPiece =
            line == caretLine ? pieceAt(e, m_caret - m_surface->lineIndex(line)) : size_t(-1);
        for (size_t i = 0; i < e.pieces.size(); ++i) {
            Piece &p = e.pieces[i];
            if (!p.layout || i == caretPiece)
                continue;
            const double a = wrapped ? lineTop + p.y : p.x;
            const double b = wrapped ? a + p.height : a + p.width;
            if (b < near0 || a > near1)
                p.layout.reset();
        }
    }
}

void SurfaceView::dropCache()
{
    m_cache.clear();
    m_widest = 0;
    m_widestLine = -1;
    m_widestStale = false;
}

} // namespace qln
