// The line-layout cache: building, measuring and keeping line layouts, and
// positions within the lines.
#include "surface/linelayouts.h"
#include "surface/surface.h"

#include <QFontMetricsF>
#include <QTextBoundaryFinder>
#include <QTextCharFormat>
#include <climits>
#include <cmath>

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

} // namespace

LineLayouts::LineLayouts(const Surface &surface) : m_surface(surface)
{
    setFont(QFont(), nullptr);
}

LineLayouts::~LineLayouts() = default;

void LineLayouts::setFont(const QFont &font, QPaintDevice *device)
{
    m_font = font;
    m_device = device;
    const QFontMetricsF metrics(font);
    m_lineSpacing = std::ceil(metrics.height());
    m_averageWidth = std::max(1.0, metrics.averageCharWidth());
    m_maxWidth = metrics.maxWidth();
    clear();
}

void LineLayouts::setWrapWidth(int width)
{
    width = std::max(0, width);
    if (width == m_wrapWidth)
        return;
    m_wrapWidth = width;
    clear();
}

void LineLayouts::setPreedit(int pos, const QString &text, int cursor,
                             const QList<QInputMethodEvent::Attribute> &attributes)
{
    const int old = m_preeditAt;
    m_preeditAt = text.isEmpty() ? -1 : pos;
    m_preedit = text;
    m_preeditCursor = std::clamp(cursor, 0, int(text.size()));
    m_preeditAttributes = attributes;
    for (int at : {old, m_preeditAt})
        if (at >= 0)
            m_lines.erase(m_surface.lineFromChar(at));
}

void LineLayouts::clear()
{
    m_lines.clear();
    m_widest = 0;
    m_widestLine = -1;
    m_widestStale = false;
}

// --- the cache -------------------------------------------------------------------

LineLayouts::Line &LineLayouts::line(int line) const
{
    auto it = m_lines.find(line);
    if (it == m_lines.end()) {
        Line e;
        e.length = m_surface.lineLength(line);
        e.height = m_lineSpacing;
        if (e.length > kLongLine) {
            e.chunked = true;
            chunkLine(line, e);
        } else {
            e.pieces.resize(1);
            e.pieces[0].length = e.length;
        }
        it = m_lines.emplace(line, std::move(e)).first;
    }
    return it->second;
}

void LineLayouts::chunkLine(int line, Line &e) const
{
    // Piece boundaries fall between whole characters: never before a low
    // surrogate, a combining mark or a joiner's partner.
    const int start = m_surface.lineIndex(line);
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
                const QChar c = m_surface.at(start + back - 1);
                if (c == QLatin1Char('\t') || (wrapped && c == QLatin1Char(' '))) {
                    end = back;
                    break;
                }
            }
        }
        const int limit = std::min(e.length, end + 64);
        while (end < limit) {
            const QChar c = m_surface.at(start + end);
            const QChar before = m_surface.at(start + end - 1);
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

QTextOption LineLayouts::textOption() const
{
    QTextOption option;
    option.setTabStopDistance(kTabStop);
    option.setTextDirection(Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft);
    option.setWrapMode(m_wrapWidth > 0 ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                       : QTextOption::NoWrap);
    return option;
}

bool LineLayouts::rowEndsAt(int from, int length, int following) const
{
    // The row and what follows, as far as a row can reach: where its
    // first row ends. (A small layout of its own, not counted as built.)
    const int reach =
        length + std::min(following, int(m_wrapWidth / std::max(1.0, m_averageWidth / 4)) + 8);
    QTextLayout probe(m_surface.mid(from, reach), m_font, m_device);
    probe.setTextOption(textOption());
    probe.setFormats(formatRanges(from, reach, -1));
    probe.beginLayout();
    QTextLine row = probe.createLine();
    row.setLineWidth(m_wrapWidth);
    probe.endLayout();
    return row.textStart() + row.textLength() <= length;
}

void LineLayouts::estimatePiece(Piece &p) const
{
    p.width = p.length * m_averageWidth;
    p.height =
        wraps() ? std::max(1.0, std::ceil(p.width / m_wrapWidth)) * m_lineSpacing : m_lineSpacing;
}

void LineLayouts::placePieces(Line &e) const
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

size_t LineLayouts::pieceAt(const Line &e, int column)
{
    auto it = std::upper_bound(e.pieces.begin(), e.pieces.end(), column,
                               [](int c, const Piece &p) { return c < p.start; });
    return it == e.pieces.begin() ? 0 : size_t(it - e.pieces.begin() - 1);
}

size_t LineLayouts::pieceAtX(const Line &e, double x)
{
    auto it = std::upper_bound(e.pieces.begin(), e.pieces.end(), x,
                               [](double v, const Piece &p) { return v < p.x; });
    return it == e.pieces.begin() ? 0 : size_t(it - e.pieces.begin() - 1);
}

size_t LineLayouts::pieceAtY(const Line &e, double y)
{
    auto it = std::upper_bound(e.pieces.begin(), e.pieces.end(), y,
                               [](double v, const Piece &p) { return v < p.y; });
    return it == e.pieces.begin() ? 0 : size_t(it - e.pieces.begin() - 1);
}

QList<QTextLayout::FormatRange> LineLayouts::formatRanges(int from, int length, int preeditAt) const
{
    QList<QTextLayout::FormatRange> ranges;
    QHash<const CharFormat *, QTextCharFormat> converted;
    for (const auto &run : m_surface.formatRuns(from, length)) {
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

bool LineLayouts::showsAsLaidOut(int line, const Line &e) const
{
    if (e.chunked || e.pieces.size() != 1 || !e.pieces[0].layout || hasPreedit())
        return false;
    const QTextLayout &layout = *e.pieces[0].layout;
    const int from = m_surface.lineIndex(line);
    const int length = m_surface.lineLength(line);
    return layout.text() == m_surface.span(from, length)
           && layout.formats() == formatRanges(from, length, -1);
}

QTextLayout *LineLayouts::layout(int line, Line &e, size_t index) const
{
    Piece &p = e.pieces[index];
    if (p.layout)
        return p.layout.get();
    const int lineStart = m_surface.lineIndex(line);
    const int from = lineStart + p.start;
    auto layout = std::make_unique<QTextLayout>(m_surface.mid(from, p.length), m_font, m_device);
    QTextOption option = textOption();
    const int wrap = m_wrapWidth;
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
        const int stops = int(std::min<double>(512, tabs + p.length * m_maxWidth / kTabStop + 2));
        QList<QTextOption::Tab> grid;
        grid.reserve(stops);
        for (int k = 0; k < stops; ++k)
            grid.append(QTextOption::Tab(kTabStop - shift + k * kTabStop, QTextOption::LeftTab));
        option.setTabs(grid);
    }
    layout->setTextOption(option);
    layout->setCacheEnabled(true);

    // Text being composed shows where it is typed, underlined.
    int preeditAt = -1;
    if (m_preeditAt >= 0) {
        const int col = m_preeditAt - lineStart;
        if (m_surface.lineFromChar(m_preeditAt) == line && pieceAt(e, col) == index)
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

    // A piece of a wrapped line whose last row would take in text of the
    // next piece, laid out with it, gives that row to the next piece: the
    // border then lies where the whole line's rows break.
    if (e.chunked && wrap > 0 && index + 1 < e.pieces.size() && !e.pieces[index + 1].followsRows
        && preeditAt < 0 && layout->lineCount() > 1) {
        const QTextLine lastRow = layout->lineAt(layout->lineCount() - 1);
        const int rowStart = lastRow.textStart();
        Piece &next = e.pieces[index + 1];
        next.followsRows = true;
        if (!rowEndsAt(from + rowStart, p.length - rowStart, next.length)) {
            const int moved = p.length - rowStart;
            next.start -= moved;
            next.length += moved;
            next.layout.reset();
            next.height += lastRow.height();
            if (index + 2 < e.pieces.size())
                e.pieces[index + 2].followsRows = false;
            p.length = rowStart;
            p.height = std::max(m_lineSpacing, p.height - lastRow.height());
            return this->layout(line, e, index);
        }
    }

    const double height = std::max(std::ceil(y), m_lineSpacing);
    const bool moved =
        !p.measured || std::abs(p.width - width) > 0.01 || std::abs(p.height - height) > 0.01;
    if (e.chunked && wrap > 0 && m_pieceResized)
        m_pieceResized(line, p.y, p.height, height);
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
            if (m_widestChanged)
                m_widestChanged();
        } else if (line == m_widestLine && e.width < m_widest && !m_widestStale) {
            m_widestStale = true;
            if (m_widestChanged)
                m_widestChanged();
        }
    }
    p.layout = std::move(layout);
    return p.layout.get();
}

double LineLayouts::lineHeight(int l) const
{
    if (wraps()) {
        Line &e = line(l);
        if (!e.chunked)
            layout(l, e, 0);
        return e.height;
    }
    auto it = m_lines.find(l);
    if (it != m_lines.end() && !it->second.chunked && it->second.pieces[0].layout)
        return it->second.height;
    return m_lineSpacing;
}

double LineLayouts::lineWidth(int l) const
{
    Line &e = line(l);
    if (!e.chunked)
        layout(l, e, 0);
    return e.width;
}

void LineLayouts::findWidest(const std::vector<int> &lines) const
{
    m_widestStale = false;
    for (int l : lines)
        lineWidth(l);
    m_widest = 0;
    m_widestLine = -1;
    for (const auto &[l, e] : m_lines) {
        if ((e.chunked || e.pieces[0].measured) && e.width > m_widest) {
            m_widest = e.width;
            m_widestLine = l;
        }
    }
}

void LineLayouts::noteWidth(int line, double width)
{
    if (width > m_widest) {
        m_widest = width;
        m_widestLine = line;
    }
}

void LineLayouts::trim(int first, int last, size_t most, int caret, double near0, double near1,
                       const std::function<double(int)> &lineTop)
{
    const int caretLine = m_surface.lineFromChar(caret);
    if (m_lines.size() > most) {
        for (auto it = m_lines.begin(); it != m_lines.end();) {
            const int l = it->first;
            if (l != caretLine && (l < first || l > last))
                it = m_lines.erase(it);
            else
                ++it;
        }
    }
    const bool wrapped = wraps();
    // (Where a line starts is found first: finding it may lay out lines.)
    std::vector<std::pair<int, double>> chunked;
    for (const auto &[l, e] : m_lines)
        if (e.chunked)
            chunked.emplace_back(l, 0.0);
    if (wrapped)
        for (auto &[l, top] : chunked)
            top = lineTop(l);
    for (const auto &[l, top] : chunked) {
        auto found = m_lines.find(l);
        if (found == m_lines.end())
            continue;
        Line &e = found->second;
        const size_t caretPiece =
            l == caretLine ? pieceAt(e, caret - m_surface.lineIndex(l)) : size_t(-1);
        for (size_t i = 0; i < e.pieces.size(); ++i) {
            Piece &p = e.pieces[i];
            if (!p.layout || i == caretPiece)
                continue;
            const double a = wrapped ? top + p.y : p.x;
            const double b = wrapped ? a + p.height : a + p.width;
            if (b < near0 || a > near1)
                p.layout.reset();
        }
    }
}

// --- positions -------------------------------------------------------------------

LineLayouts::Place LineLayouts::placeOf(int pos) const
{
    const int l = m_surface.lineFromChar(pos);
    const int col = std::clamp(pos - m_surface.lineIndex(l), 0, m_surface.lineLength(l));
    Line &e = line(l);
    const size_t i = pieceAt(e, col);
    QTextLayout *lay = layout(l, e, i);
    const Piece &p = e.pieces[i];
    int inPiece = col - p.start;
    if (pos == m_preeditAt && lay->preeditAreaPosition() == inPiece)
        inPiece += m_preeditCursor;
    const QTextLine tl = lay->lineForTextPosition(inPiece);
    Place place;
    place.piece = i;
    place.x = p.x + (tl.isValid() ? tl.cursorToX(inPiece) : 0);
    place.y = p.y + (tl.isValid() ? tl.y() : 0);
    place.height = tl.isValid() ? tl.height() : m_lineSpacing;
    place.row = tl.isValid() ? tl.lineNumber() : 0;
    return place;
}

int LineLayouts::positionInLine(int l, double x, int piece, int row) const
{
    Line &e = line(l);
    const int lineStart = m_surface.lineIndex(l);
    size_t i = 0;
    if (piece >= 0)
        i = std::min(size_t(piece), e.pieces.size() - 1);
    else if (e.chunked && !wraps())
        i = pieceAtX(e, x);
    QTextLayout *lay = layout(l, e, i);
    const Piece &p = e.pieces[i];
    const int n = lay->lineCount();
    if (n == 0)
        return lineStart + p.start;
    const QTextLine tl = lay->lineAt(std::clamp(row, 0, n - 1));
    int col = tl.xToCursor(x - p.x, QTextLine::CursorBetweenCharacters);
    const int preeditAt = lay->preeditAreaPosition();
    if (!lay->preeditAreaText().isEmpty() && col > preeditAt)
        col = std::max(preeditAt, col - int(lay->preeditAreaText().size()));
    // The end of a wrapped row (but the line's last) is where the next row
    // starts: step back before it so the caret stays on this row.
    const bool lastRow = row >= n - 1 && i + 1 == e.pieces.size();
    if (wraps() && !lastRow && col >= tl.textStart() + tl.textLength() && tl.textLength() > 0)
        col = previousPosition(lineStart + p.start + tl.textStart() + tl.textLength()) - lineStart
              - p.start;
    return snapPosition(lineStart + p.start + std::clamp(col, 0, p.length));
}

LineLayouts::Place LineLayouts::rowAtY(int l, double yInLine) const
{
    Place place;
    if (!wraps())
        return place;
    Line &e = line(l);
    size_t i = e.chunked ? pieceAtY(e, yInLine) : 0;
    QTextLayout *lay = layout(l, e, i);
    // Laying the piece out may show that it ends above the point.
    while (i + 1 < e.pieces.size() && yInLine >= e.pieces[i + 1].y) {
        ++i;
        lay = layout(l, e, i);
    }
    const Piece &p = e.pieces[i];
    place.piece = i;
    place.y = p.y;
    place.height = m_lineSpacing;
    for (int r = 0; r < lay->lineCount(); ++r) {
        const QTextLine tl = lay->lineAt(r);
        if (r == 0 || yInLine - p.y >= tl.y()) {
            place.row = r;
            place.y = p.y + tl.y();
            place.height = tl.height();
        }
    }
    return place;
}

bool LineLayouts::stepRow(int &l, size_t &piece, int &row, int direction) const
{
    const int count = m_surface.lineCount();
    auto rowsOf = [this](int at, size_t i) {
        Line &e = line(at);
        return std::max(1, layout(at, e, i)->lineCount());
    };
    if (direction > 0) {
        if (row + 1 < rowsOf(l, piece)) {
            ++row;
        } else if (piece + 1 < line(l).pieces.size()) {
            ++piece;
            row = 0;
        } else if (l + 1 < count) {
            ++l;
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
            row = rowsOf(l, piece) - 1;
        } else if (l > 0) {
            --l;
            piece = line(l).pieces.size() - 1;
            row = rowsOf(l, piece) - 1;
        } else {
            return false;
        }
    }
    return true;
}

double LineLayouts::rowTop(int l, size_t piece, int row) const
{
    Line &e = line(l);
    QTextLayout *lay = layout(l, e, piece);
    const double inPiece = row < lay->lineCount() && row >= 0 ? lay->lineAt(row).y() : 0;
    return e.pieces[piece].y + inPiece;
}

int LineLayouts::snapPosition(int pos) const
{
    pos = std::clamp(pos, 0, m_surface.length());
    if (pos > 0 && pos < m_surface.length()) {
        const QChar before = m_surface.at(pos - 1);
        const QChar c = m_surface.at(pos);
        if (before == QLatin1Char('\r') && c == QLatin1Char('\n'))
            return pos - 1;
        if (before.isHighSurrogate() && c.isLowSurrogate())
            return pos - 1;
    }
    return pos;
}

int LineLayouts::nextPosition(int pos) const
{
    const int l = m_surface.lineFromChar(pos);
    const int start = m_surface.lineIndex(l);
    const int len = m_surface.lineLength(l);
    const int col = pos - start;
    if (col >= len)
        return l + 1 < m_surface.lineCount() ? m_surface.lineIndex(l + 1) : pos;
    const int window = std::min(64, len - col);
    const QString text = m_surface.mid(pos, window);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(0);
    const qsizetype next = finder.toNextBoundary();
    return pos + int(next > 0 ? next : window);
}

int LineLayouts::previousPosition(int pos) const
{
    const int l = m_surface.lineFromChar(pos);
    const int start = m_surface.lineIndex(l);
    const int col = pos - start;
    if (col <= 0)
        return l > 0 ? m_surface.lineIndex(l - 1) + m_surface.lineLength(l - 1) : 0;
    const int window = std::min(64, col);
    const QString text = m_surface.mid(pos - window, window);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.setPosition(window);
    const qsizetype prev = finder.toPreviousBoundary();
    return pos - window + int(prev >= 0 ? prev : 0);
}

// --- following the surface ---------------------------------------------------------

LineLayouts::Change LineLayouts::textReplaced(int pos, int removed, int removedBreaks, int added,
                                              bool measure)
{
    Change change;
    const int first = m_surface.lineFromChar(pos);
    change.first = first;
    change.addedBreaks = m_surface.lineFromChar(pos + added) - first;
    change.delta = change.addedBreaks - removedBreaks;
    const int delta = change.delta;
    if (m_widestLine >= first && m_widestLine <= first + removedBreaks)
        m_widestStale = true; // the widest line changed or went
    else if (m_widestLine > first + removedBreaks)
        m_widestLine += delta;
    if (pos == 0 && added == m_surface.length()) {
        clear();
        change.whole = true;
    } else if (delta == 0 && removedBreaks == 0) {
        // An edit within one line.
        auto it = m_lines.find(first);
        if (it == m_lines.end())
            return change;
        Line &e = it->second;
        const int newLength = m_surface.lineLength(first);
        if (!e.chunked || newLength <= kLongLine) {
            if (wraps() && !e.chunked && e.pieces[0].measured)
                change.oldHeight = e.height;
            m_lines.erase(it);
            return change;
        }
        // Only the pieces the edit touched are laid out again.
        const int col = pos - m_surface.lineIndex(first);
        size_t a = pieceAt(e, col);
        if (a > 0 && e.pieces[a].start == col && removed == 0)
            --a; // text typed at a piece's start belongs to the piece before
        size_t b = pieceAt(e, col + removed);
        if (b < a)
            b = a;
        int length = 0;
        for (size_t i = a; i <= b; ++i)
            length += e.pieces[i].length;
        // Until laid out again, the new piece is as big as the ones it
        // replaces, plus what was typed.
        Piece merged;
        merged.start = e.pieces[a].start;
        merged.followsRows = e.pieces[a].followsRows;
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
        if (a + 1 < e.pieces.size())
            e.pieces[a + 1].followsRows = false; // the edited piece's rows end elsewhere
        if (e.pieces[a].length > 2 * kChunk || e.pieces[a].length == 0) {
            m_lines.erase(it); // cut into pieces again
            return change;
        }
        e.length = newLength;
        placePieces(e);
        if (wraps()) {
            // Rows below move if the edited piece now wraps into more or
            // fewer rows.
            change.oldHeight = e.height;
            if (measure)
                layout(first, e, a);
        }
    } else if (delta == 0 && !wraps()) {
        // Lines replaced by as many lines (Replace All, say): those that
        // read and look as they did keep their layouts.
        change.sameLines = true;
        const int last = first + removedBreaks;
        for (auto it = m_lines.begin(); it != m_lines.end();) {
            const int l = it->first;
            if (l < first || l > last || showsAsLaidOut(l, it->second)) {
                ++it;
                continue;
            }
            change.dropped.push_back(l);
            it = m_lines.erase(it);
        }
    } else {
        std::unordered_map<int, Line> kept;
        kept.reserve(m_lines.size());
        for (auto &[l, e] : m_lines) {
            if (l < first)
                kept.emplace(l, std::move(e));
            else if (l > first + removedBreaks)
                kept.emplace(l + delta, std::move(e));
        }
        m_lines.swap(kept);
    }
    return change;
}

std::pair<int, int> LineLayouts::formatsChanged(int start, int length)
{
    if (length <= 0)
        return {0, -1};
    // A range that starts in a line break leaves that line as it looks.
    int first = m_surface.lineFromChar(start);
    if (start >= m_surface.lineIndex(first) + m_surface.lineLength(first))
        ++first;
    const int last = m_surface.lineFromChar(start + length - 1);
    if (last < first)
        return {first, last};
    if (m_widestLine >= first && m_widestLine <= last)
        m_widestStale = true; // bold or another font may change its width
    for (auto it = m_lines.begin(); it != m_lines.end();) {
        if (it->first < first || it->first > last) {
            ++it;
            continue;
        }
        Line &e = it->second;
        if (!e.chunked) {
            it = m_lines.erase(it);
            continue;
        }
        const int lineStart = m_surface.lineIndex(it->first);
        for (size_t i = 0; i < e.pieces.size(); ++i) {
            Piece &p = e.pieces[i];
            if (lineStart + p.start < start + length && lineStart + p.start + p.length >= start) {
                p.layout.reset();
                if (i + 1 < e.pieces.size())
                    e.pieces[i + 1].followsRows = false; // restyled rows may end elsewhere
            }
        }
        ++it;
    }
    return {first, last};
}

} // namespace qln
