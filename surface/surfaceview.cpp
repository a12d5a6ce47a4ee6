#include "surface/surfaceview.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextBoundaryFinder>
#include <QTextLayout>
#include <QWheelEvent>
#include <cmath>

namespace qln {

namespace {

// Lines longer than this are laid out in pieces of about kChunk characters,
// only those near what is on screen; where lines wrap, each piece wraps on
// its own.
constexpr int kLongLine = 4096;
constexpr int kChunk = 2048;
// Space left of the text and above the first line.
constexpr int kPadX = 4;
constexpr int kPadY = 2;
// QPlainTextEdit's default tab stop, which the program has always shown.
constexpr double kTabStop = 80;

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

// Word, blank or other: the classes Ctrl+Left and Ctrl+Right step over.
int charClass(QChar c)
{
    if (Surface::isWordCharacter(c) || c.isLetterOrNumber() || c.isMark())
        return 1;
    if (c.isSpace())
        return 0;
    return 2;
}

// Keys the view handles itself even where the window has a shortcut.
bool isEditingShortcut(QKeyEvent *e)
{
    static const QKeySequence::StandardKey keys[] = {
        QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Undo,
        QKeySequence::Redo, QKeySequence::MoveToNextWord, QKeySequence::MoveToPreviousWord,
        QKeySequence::MoveToStartOfDocument, QKeySequence::MoveToEndOfDocument,
        QKeySequence::SelectNextWord, QKeySequence::SelectPreviousWord,
        QKeySequence::SelectStartOfDocument, QKeySequence::SelectEndOfDocument,
        QKeySequence::MoveToStartOfLine, QKeySequence::MoveToEndOfLine,
        QKeySequence::SelectStartOfLine, QKeySequence::SelectEndOfLine,
        QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord,
        QKeySequence::MoveToNextPage, QKeySequence::MoveToPreviousPage,
        QKeySequence::SelectNextPage, QKeySequence::SelectPreviousPage};
    for (auto k : keys)
        if (e->matches(k))
            return true;
    if (e->key() == Qt::Key_Y && (e->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier)
        return true;
    const Qt::KeyboardModifiers mods = e->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    return mods == Qt::NoModifier && isTypedText(e->text());
}

} // namespace

SurfaceView::SurfaceView(QWidget *parent) : QAbstractScrollArea(parent), m_surface(new Surface(this))
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
    m_surface->setFirstVisibleLineProvider([this] { return topLine(); });
    onAppearanceChanged();
    changeEvent(nullptr);
    updateScrollBars();
}

SurfaceView::~SurfaceView()
{
    m_surface->setFirstVisibleLineProvider({});
    disconnect(m_surface, nullptr, this, nullptr);
}

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
    if (units > 1 && m_surface->isVisible()) {
        // A top line taller than the view: the thumb shows how much of it.
        const double tall = lineHeight(topLine());
        if (tall > viewport()->height())
            page = std::max(1, int(units * viewport()->height() / tall));
    }
    v->setPageStep(page);
    v->setSingleStep(units);
    // Where lines wrap, nothing is wider than the view.
    QScrollBar *h = horizontalScrollBar();
    if (m_widestStale && m_surface->isVisible() && isVisible())
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
    if (!m_surface->isVisible()) {
        // Repainted when the surface shows again.
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
    if (!m_surface->isVisible() || !isVisible())
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
                        if (m_surface->isVisible())
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
        && (!m_surface->isVisible() || std::abs(lineHeight(first) - oldHeight) > 0.01))
        updateLines(first, std::numeric_limits<int>::max() / 2);
    else if (delta == 0) {
        updateLines(first, first + addedBreaks);
    } else {
        updateLines(first, std::numeric_limits<int>::max() / 2);
        if (m_surface->isVisible())
            updateScrollBars(); // a hidden surface catches up when shown
    }
}

bool SurfaceView::followHiddenEdit()
{
    if (!m_surface->isVisible() && !m_hiddenAll && ++m_hiddenEdits > 64) {
        // A bulk command works on the hidden surface, often line by line:
        // start afresh when it shows again rather than follow every edit.
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
    if (!m_surface->isVisible())
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

    // A hidden surface is not repainted and lays nothing out until it shows
    // again; then only the lines that changed meanwhile are repainted. The
    // widget itself stays, so it keeps the keyboard focus.
    if (m_surface->isVisible() != m_shown) {
        m_shown = m_surface->isVisible();
        if (m_shown) {
            if (m_hiddenAll) {
                viewport()->update();
            } else {
                for (const auto &[a, b] : m_hiddenLines)
                    updateLines(a, b);
            }
            m_hiddenAll = false;
            m_hiddenEdits = 0;
            m_hiddenLines.clear();
            // Whoever hid the surface often puts the caret back right after
            // showing it again: scrolling to the selection of that moment
            // would scroll twice a keystroke. The caret is brought into view
            // once the caller is done.
            scheduleFlush();
        }
    }
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
    if (!m_surface->isVisible())
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
    if (s >= 2 && m_surface->at(s - 1) == QLatin1Char('\n') && m_surface->at(s - 2) == QLatin1Char('\r'))
        n = 2;
    else if (s >= 2 && m_surface->at(s - 1).isLowSurrogate() && m_surface->at(s - 2).isHighSurrogate())
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
    if (e->type() == QEvent::ShortcutOverride) {
        auto *ke = static_cast<QKeyEvent *>(e);
        // Ctrl+A belongs to the window (Save As), not to select-all here.
        if (ke->matches(QKeySequence::SelectAll)) {
            e->ignore();
            return true;
        }
        if (isEditingShortcut(ke)) {
            e->accept();
            return true;
        }
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

bool SurfaceView::handleMoveKey(QKeyEvent *e)
{
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    const Qt::KeyboardModifiers mods = e->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    const bool ctrl = mods == Qt::ControlModifier;
    if (mods != Qt::NoModifier && !ctrl)
        return false;
    const int caret = m_caret;
    const int line = m_surface->lineFromChar(caret);
    int target = -1;
    bool vertical = false;
    switch (e->key()) {
    case Qt::Key_Left:
        if (!shift && !ctrl && m_anchor != m_caret)
            target = std::min(m_anchor, m_caret);
        else
            target = ctrl ? wordLeft(caret) : previousPosition(caret);
        break;
    case Qt::Key_Right:
        if (!shift && !ctrl && m_anchor != m_caret)
            target = std::max(m_anchor, m_caret);
        else
            target = ctrl ? wordRight(caret) : nextPosition(caret);
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (ctrl) {
            scrollRows(e->key() == Qt::Key_Up ? -1 : 1);
            return true;
        }
        target = verticalMove(caret, e->key() == Qt::Key_Up ? -1 : 1);
        vertical = true;
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const int page = std::max(1, visibleLineCount() - 1);
        const int step = e->key() == Qt::Key_PageUp ? -page : page;
        target = verticalMove(caret, step);
        scrollRows(step);
        vertical = true;
        break;
    }
    case Qt::Key_Home:
        target = ctrl ? 0 : m_surface->lineIndex(line);
        break;
    case Qt::Key_End:
        target = ctrl ? m_surface->length() : m_surface->lineIndex(line) + m_surface->lineLength(line);
        break;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        if (!ctrl || shift)
            return false;
        if (m_anchor != m_caret) {
            editSurface(m_surface->selStart(), m_surface->selLength(), QString());
        } else {
            const int to = e->key() == Qt::Key_Backspace ? wordLeft(caret) : wordRight(caret);
            editSurface(std::min(caret, to), std::abs(to - caret), QString());
        }
        return true;
    default:
        return false;
    }
    const double keepX = vertical ? (m_desiredX >= 0 ? m_desiredX : xOfPosition(caret)) : -1;
    setCaret(target, shift);
    m_desiredX = keepX;
    ensureCursorVisible();
    return true;
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
    syncSelection();

    bool edited = false; // through editSurface, which shows the caret itself
    if (e->matches(QKeySequence::Undo)) {
        m_surface->undo();
    } else if (e->matches(QKeySequence::Redo)
               || (e->key() == Qt::Key_Y && mods == Qt::ControlModifier
                   && !(e->modifiers() & Qt::ShiftModifier))) {
        m_surface->redo();
    } else if (e->matches(QKeySequence::Paste)) {
        m_surface->paste();
    } else if (e->matches(QKeySequence::Cut)) {
        m_surface->cut();
    } else if (e->matches(QKeySequence::Copy)) {
        m_surface->copy();
    } else if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && !ctrl && !alt) {
        editSurface(m_surface->selStart(), m_surface->selLength(), QStringLiteral("\r\n"));
        edited = true;
    } else if (e->key() == Qt::Key_Backspace && mods == Qt::NoModifier) {
        deleteBackward();
        edited = true;
    } else if (e->key() == Qt::Key_Delete && mods == Qt::NoModifier
               && !(e->modifiers() & Qt::ShiftModifier)) {
        deleteForward();
        edited = true;
    } else if (e->key() == Qt::Key_Tab
               && (mods == Qt::NoModifier || (tabChangesFocus() && mods == Qt::ControlModifier))) {
        // Where Tab moves the focus on, Ctrl+Tab types the tab.
        editSurface(m_surface->selStart(), m_surface->selLength(), QStringLiteral("\t"));
        edited = true;
    } else if (e->key() == Qt::Key_Insert && mods == Qt::NoModifier
               && !(e->modifiers() & Qt::ShiftModifier)) {
        setOverwriteMode(!overwriteMode());
        emit overwriteModeToggled(overwriteMode());
    } else if (typing) {
        int start = m_surface->selStart();
        int length = m_surface->selLength();
        if (overwriteMode() && length == 0 && start < m_surface->length()
            && m_surface->at(start) != QLatin1Char('\r'))
            length = (m_surface->at(start).isHighSurrogate() && start + 1 < m_surface->length()) ? 2 : 1;
        editSurface(start, length, e->text());
        edited = true;
    } else if (handleMoveKey(e)) {
        // Moves scroll to the caret themselves; Ctrl+Up and Ctrl+Down
        // scroll without moving it.
        e->accept();
        return;
    } else {
        e->ignore();
        return;
    }
    e->accept();
    if (!edited) {
        flush();
        ensureCursorVisible();
    }
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
        m_preedit.clear();
        editSurface(start, length, e->commitString());
    }
    // What is still being composed shows at the caret; it is no text yet.
    const QString preedit = e->preeditString();
    int cursor = int(preedit.size());
    for (const auto &a : e->attributes())
        if (a.type == QInputMethodEvent::Cursor)
            cursor = a.start;
    if (preedit != m_preedit || cursor != m_preeditCursor || !preedit.isEmpty()) {
        m_preedit = preedit;
        m_preeditCursor = std::clamp(cursor, 0, int(preedit.size()));
        m_preeditAttributes = e->attributes();
        const int line = m_surface->lineFromChar(m_caret);
        m_cache.erase(line);
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
    case Qt::ImEnabled:
        return true;
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    case Qt::ImCursorRectangle:
        return QRectF(caretRect(m_caret).translated(viewport()->pos()));
    case Qt::ImFont:
        return font();
    case Qt::ImCursorPosition:
        return m_caret - from;
    case Qt::ImAnchorPosition:
        return std::clamp(m_anchor, from, to) - from;
    case Qt::ImSurroundingText:
        return m_surface->mid(from, to - from);
    case Qt::ImCurrentSelection:
        return m_surface->mid(std::min(m_anchor, m_caret),
                              std::min(std::abs(m_anchor - m_caret), 65536));
    case Qt::ImTextBeforeCursor:
        return m_surface->mid(from, m_caret - from);
    case Qt::ImTextAfterCursor:
        return m_surface->mid(m_caret, to - m_caret);
    case Qt::ImMaximumTextLength:
        return QVariant();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

// --- mouse -----------------------------------------------------------------------

void SurfaceView::mousePressEvent(QMouseEvent *e)
{
    flush();
    syncSelection();
    const QPoint point = e->position().toPoint();
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
    const QPoint inside(std::clamp(point.x(), 0, r.width() - 1), std::clamp(point.y(), -1, r.height()));
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
    a = menu->addAction(tr("Select All"), this, [this] {
        setSelectionRange(0, m_surface->length());
    });
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

void SurfaceView::dragEnterEvent(QDragEnterEvent *e)
{
    if (!canInsert(e->mimeData())) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
}

void SurfaceView::dragMoveEvent(QDragMoveEvent *e)
{
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
