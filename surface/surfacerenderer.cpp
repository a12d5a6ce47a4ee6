#include "surface/surfacerenderer.h"
#include "surface/linelayouts.h"
#include "surface/surface.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <algorithm>
#include <cmath>

namespace qln {

namespace {

// Calls f(row, x1, x2) for each row of a laid-out piece that [from, to)
// (layout positions) reaches into, with the span's left and right edges.
template <typename F> void forEachRowSpan(const QTextLayout &layout, int from, int to, F f)
{
    for (int r = 0; r < layout.lineCount(); ++r) {
        const QTextLine row = layout.lineAt(r);
        const int a = std::max(from, row.textStart());
        const int b = std::min(to, row.textStart() + row.textLength());
        if (b <= a)
            continue;
        double x1 = row.cursorToX(a), x2 = row.cursorToX(b);
        if (x2 < x1)
            std::swap(x1, x2); // right to left
        f(row, x1, x2);
    }
}

// An underline from x1 to x2 whose top is at y: a line, dots, or a wave
// three pixels high.
void paintUnderline(QPainter &painter, MarkStyle::Underline kind, const QColor &colour, double x1,
                    double x2, double y)
{
    painter.save();
    QPen pen(colour, 1, Qt::SolidLine, Qt::FlatCap);
    if (kind == MarkStyle::Underline::Wave) {
        QPainterPath wave(QPointF(x1, y + 2.5));
        bool up = true;
        for (double x = x1 + 2; x < x2 + 2; x += 2, up = !up)
            wave.lineTo(std::min(x, x2), up ? y + 0.5 : y + 2.5);
        painter.setPen(pen);
        painter.drawPath(wave);
    } else {
        if (kind == MarkStyle::Underline::Dotted)
            pen.setStyle(Qt::DotLine);
        painter.setPen(pen);
        painter.drawLine(QPointF(x1, y + 0.5), QPointF(x2, y + 0.5));
    }
    painter.restore();
}

// The lines a mark touches: those holding any of its characters (a line
// break belongs to the line it ends); an empty mark, the line it stands in.
bool touchesLine(const Surface &s, const Mark &m, int line)
{
    const int first = s.lineFromChar(m.start);
    const int last = m.length > 0 ? s.lineFromChar(m.end() - 1) : first;
    return line >= first && line <= last;
}

// A sign: a red disc with a cross (error), an amber triangle with a bar
// (warning), a blue disc with a dot over a bar (note).
void paintSign(QPainter &painter, MarkStyle::Sign sign, const QRectF &box)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QPointF c = box.center();
    const double r = box.width() / 2;
    QPen mark(Qt::white, std::max(1.5, r / 3), Qt::SolidLine, Qt::RoundCap);
    switch (sign) {
    case MarkStyle::Sign::Error:
        painter.setBrush(QColor(0xd3, 0x2f, 0x2f));
        painter.drawEllipse(c, r, r);
        painter.setPen(mark);
        painter.drawLine(c + QPointF(-r / 2.5, -r / 2.5), c + QPointF(r / 2.5, r / 2.5));
        painter.drawLine(c + QPointF(-r / 2.5, r / 2.5), c + QPointF(r / 2.5, -r / 2.5));
        break;
    case MarkStyle::Sign::Warning: {
        QPainterPath triangle;
        triangle.moveTo(c.x(), box.top());
        triangle.lineTo(box.right(), box.bottom());
        triangle.lineTo(box.left(), box.bottom());
        triangle.closeSubpath();
        painter.fillPath(triangle, QColor(0xf5, 0xa6, 0x23));
        mark.setColor(QColor(0x30, 0x20, 0x00));
        painter.setPen(mark);
        painter.drawLine(QPointF(c.x(), box.top() + r * 0.7), QPointF(c.x(), c.y() + r * 0.3));
        painter.drawPoint(QPointF(c.x(), box.bottom() - r * 0.3));
        break;
    }
    case MarkStyle::Sign::Note:
        painter.setBrush(QColor(0x19, 0x76, 0xd2));
        painter.drawEllipse(c, r, r);
        painter.setPen(mark);
        painter.drawPoint(QPointF(c.x(), c.y() - r / 2.2));
        painter.drawLine(QPointF(c.x(), c.y() - r / 8), QPointF(c.x(), c.y() + r / 2));
        break;
    case MarkStyle::Sign::None: break;
    }
    painter.restore();
}

} // namespace

SurfaceRenderer::SurfaceRenderer(LineLayouts &layouts) : m_layouts(layouts) {}

double SurfaceRenderer::signMargin(const Surface &surface, double lineSpacing)
{
    const auto &marks = surface.marks().all();
    const bool signed_ = std::any_of(marks.begin(), marks.end(), [](const Mark &m) {
        return m.style.sign != MarkStyle::Sign::None;
    });
    return signed_ ? std::ceil(lineSpacing) + 2 : 0;
}

void SurfaceRenderer::paint(QPainter &painter, const QRegion &region, const Frame &f) const
{
    LineLayouts &layouts = m_layouts;
    const Surface &s = layouts.surface();
    using Piece = LineLayouts::Piece;
    const QRect clip = region.boundingRect();
    const double left = f.left;
    const QPalette &pal = f.palette;
    const int caretLine = f.caret >= 0 ? s.lineFromChar(f.caret) : -1;
    const int dropLine = f.dropCaret >= 0 ? s.lineFromChar(f.dropCaret) : -1;
    QTextCharFormat selected;
    selected.setBackground(pal.brush(QPalette::Highlight));
    selected.setForeground(pal.brush(QPalette::HighlightedText));
    painter.setPen(pal.color(QPalette::Text));
    if (f.margin > 0)
        painter.setClipRect(QRectF(f.margin, 0, std::max(0.0, f.width - f.margin), f.height));

    const Marks &marks = s.marks();
    double underlineGap = -1; // below the baseline; found for the first underline
    std::vector<const Mark *> lineMarks;
    std::vector<std::pair<double, const Mark *>> signs; // at the y of their line
    const int count = s.lineCount();
    const bool wrapped = layouts.wraps();
    double y = f.top;
    for (int line = f.topLine; line < count && y < f.height; ++line) {
        LineLayouts::Line &e = layouts.line(line);
        if (!e.chunked)
            layouts.layout(line, e, 0);
        // Lines outside what is repainted (a few changed lines, say) are
        // passed over.
        if (y + e.height < clip.top() || y > clip.bottom() + 1
            || !region.intersects(QRect(clip.left(), int(std::floor(y)), clip.width(),
                                        int(std::ceil(e.height)) + 1))) {
            y += e.height;
            continue;
        }
        const int lineStart = s.lineIndex(line);
        lineMarks.clear();
        if (marks.count() > 0) {
            const int next = line + 1 < count ? s.lineIndex(line + 1) : lineStart + e.length;
            lineMarks = marks.touching(lineStart, next);
            std::stable_sort(lineMarks.begin(), lineMarks.end(), [](const Mark *a, const Mark *b) {
                return a->style.layer < b->style.layer;
            });
        }
        // Bands first, under everything of the line.
        for (const Mark *m : lineMarks) {
            if (m->style.wholeLines && m->style.background.isValid() && touchesLine(s, *m, line))
                painter.fillRect(QRectF(f.margin, y, f.width - f.margin, e.height),
                                 m->style.background);
            if (m->style.sign != MarkStyle::Sign::None && s.lineFromChar(m->start) == line)
                signs.emplace_back(y, m);
        }
        size_t firstPiece = 0, lastPiece = 0;
        if (e.chunked && wrapped) {
            // The pieces whose rows reach into the clip; laying one out may
            // move those below it.
            firstPiece = LineLayouts::pieceAtY(e, clip.top() - y);
            lastPiece = firstPiece;
            const double clipBottom = clip.bottom() + 1;
            for (size_t i = firstPiece; i < e.pieces.size() && y + e.pieces[i].y <= clipBottom;
                 ++i) {
                layouts.layout(line, e, i);
                lastPiece = i;
            }
        } else if (e.chunked) {
            firstPiece = LineLayouts::pieceAtX(e, clip.left() - left);
            lastPiece = LineLayouts::pieceAtX(e, clip.right() - left);
            // Measuring a piece may move those after it: look again.
            for (size_t i = firstPiece; i <= lastPiece; ++i) {
                layouts.layout(line, e, i);
                lastPiece = std::max(lastPiece, LineLayouts::pieceAtX(e, clip.right() - left));
            }
        }
        for (size_t i = firstPiece; i <= lastPiece && i < e.pieces.size(); ++i) {
            QTextLayout *layout = layouts.layout(line, e, i);
            const Piece &p = e.pieces[i];
            const int pre = layout->preeditAreaPosition();
            const int preLength = int(layout->preeditAreaText().size());
            const QPointF origin(left + p.x, y + p.y);
            // [from, to) of the surface within this piece as its layout
            // counts (text being composed sits in it too); false if none.
            auto inPiece = [&](int from, int to, int *a, int *b) {
                *a = std::max(from, lineStart + p.start) - lineStart - p.start;
                *b = std::min(to, lineStart + p.start + p.length) - lineStart - p.start;
                if (*b <= *a)
                    return false;
                if (preLength > 0 && *a >= pre)
                    *a += preLength;
                if (preLength > 0 && *b > pre)
                    *b += preLength;
                return true;
            };
            int a = 0, b = 0;
            for (const Mark *m : lineMarks)
                if (m->style.background.isValid() && !m->style.wholeLines
                    && inPiece(m->start, m->end(), &a, &b))
                    forEachRowSpan(*layout, a, b, [&](const QTextLine &row, double x1, double x2) {
                        painter.fillRect(
                            QRectF(origin.x() + x1, origin.y() + row.y(), x2 - x1, row.height()),
                            m->style.background);
                    });
            QList<QTextLayout::FormatRange> sel;
            const int selA = std::max(f.selFrom, lineStart + p.start);
            const int selB = std::min(f.selTo, lineStart + p.start + p.length);
            if (selB > selA) {
                int from = selA - lineStart - p.start;
                if (preLength > 0 && from >= pre)
                    from += preLength;
                sel.append(QTextLayout::FormatRange{from, selB - selA, selected});
            }
            layout->draw(&painter, origin, sel, clip);
            for (const Mark *m : lineMarks) {
                const MarkStyle &st = m->style;
                if (st.underline == MarkStyle::Underline::None
                    || !inPiece(m->start, m->end(), &a, &b))
                    continue;
                const QColor colour =
                    st.underlineColor.isValid() ? st.underlineColor : pal.color(QPalette::Text);
                if (underlineGap < 0)
                    underlineGap = std::max(1.0, QFontMetricsF(layouts.font()).underlinePos());
                forEachRowSpan(*layout, a, b, [&](const QTextLine &row, double x1, double x2) {
                    const double top = origin.y() + row.y();
                    const double under =
                        std::min(top + row.ascent() + underlineGap, top + row.height() - 3);
                    paintUnderline(painter, st.underline, colour, origin.x() + x1, origin.x() + x2,
                                   under);
                });
            }
        }
        // A selected line break shows as a narrow block after the line.
        if (f.selFrom <= lineStart + e.length && f.selTo > lineStart + e.length
            && line + 1 < count) {
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
                painter.fillRect(QRectF(end, top, layouts.averageWidth(), height),
                                 pal.brush(QPalette::Highlight));
        }
        const auto drawCaret = [&](int pos, int width) {
            const int col = pos - lineStart;
            const size_t i = LineLayouts::pieceAt(e, col);
            QTextLayout *layout = layouts.layout(line, e, i);
            int inPiece = col - e.pieces[i].start;
            if (!layout->preeditAreaText().isEmpty() && layout->preeditAreaPosition() == inPiece)
                inPiece += layouts.preeditCursor();
            layout->drawCursor(&painter, QPointF(left + e.pieces[i].x, y + e.pieces[i].y), inPiece,
                               width);
        };
        if (line == caretLine) {
            if (f.overwrite && !layouts.hasPreedit() && f.selFrom == f.selTo) {
                const LineLayouts::Place at = layouts.placeOf(f.caret);
                const int next = layouts.nextPosition(f.caret);
                const double x1 = next > f.caret && s.lineFromChar(next) == line
                                      ? layouts.xOfPosition(next)
                                      : at.x + layouts.averageWidth();
                QColor c = pal.color(QPalette::Text);
                c.setAlpha(110);
                const double w = std::max(2.0, x1 - at.x);
                painter.fillRect(QRectF(left + at.x, y + at.y, w, layouts.lineSpacing()), c);
            } else {
                drawCaret(f.caret, 1);
            }
        }
        if (line == dropLine)
            drawCaret(f.dropCaret, 2);
        y += e.height;
    }
    if (f.margin > 0)
        painter.setClipping(false);
    const double box = f.signWidth > 0 ? f.signWidth : f.margin;
    const double size = std::min(box - 4, layouts.lineSpacing() - 2);
    const double inset = (layouts.lineSpacing() - size) / 2;
    for (const auto &[top, m] : signs)
        paintSign(painter, m->style.sign, QRectF((box - size) / 2, top + inset, size, size));
}

} // namespace qln
