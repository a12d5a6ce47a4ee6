// The view's side of the surface's marks: repainting them, the margin of
// signs and line numbers, the current-line band and the notes shown over
// marks.
#include "surface/ui/surfaceview.h"

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <cmath>

namespace qln {

void SurfaceView::onMarksChanged(int start, int length)
{
    if (m_inEdit) {
        // Moved by an edit the layouts have not followed yet: repainted
        // once they have (the range is in the text after the edit).
        m_marksFrom = m_marksFrom < 0 ? start : std::min(m_marksFrom, start);
        m_marksTo = std::max(m_marksTo, start + length);
        return;
    }
    updateSignMargin();
    updateLines(m_surface->lineFromChar(start), m_surface->lineFromChar(start + length));
}

void SurfaceView::updateSignMargin()
{
    double margin = 0;
    if (m_lineNumbers) {
        // Room for the numbers of the last line (two digits at least, so
        // that the first lines typed do not widen it), right of the signs.
        int digits = 2;
        for (int n = m_surface->lineCount(); n >= 100; n /= 10)
            ++digits;
        m_numberDigits = digits;
        const QFontMetricsF fm(font());
        m_signSlot = std::ceil(m_layouts->lineSpacing()) + 2;
        margin = m_signSlot + std::ceil(digits * fm.horizontalAdvance(QLatin1Char('9'))) + 6;
    } else {
        m_signSlot = 0;
        margin = SurfaceRenderer::signMargin(*m_surface, m_layouts->lineSpacing());
    }
    if (margin == m_signMargin)
        return;
    m_signMargin = margin;
    m_layouts->setWrapWidth(wrapWidth());
    dropBottomTop();
    updateScrollBars();
    viewport()->update();
}

void SurfaceView::setLineNumbers(bool on)
{
    if (on == m_lineNumbers)
        return;
    m_lineNumbers = on;
    updateSignMargin();
    viewport()->update();
}

void SurfaceView::paintLineNumbers(QPainter &painter, const QRect &area)
{
    if (!m_lineNumbers || area.left() >= m_signMargin)
        return;
    const QPalette pal = palette();
    // The text's own colours are in its formats: the numbers go half way
    // from the background to black on a light one, to white on a dark one.
    const QColor base = pal.color(QPalette::Base);
    const QColor text = base.lightnessF() < 0.5 ? QColor(Qt::white) : QColor(Qt::black);
    auto mix = [](const QColor &a, const QColor &b, double k) {
        return QColor::fromRgbF(float(a.redF() * (1 - k) + b.redF() * k),
                                float(a.greenF() * (1 - k) + b.greenF() * k),
                                float(a.blueF() * (1 - k) + b.blueF() * k));
    };
    // A shade apart from the text's background: readable in light and dark
    // palettes alike.
    const double height = viewport()->height();
    painter.fillRect(QRectF(0, 0, m_signMargin, height), mix(base, text, 0.05));
    painter.setPen(mix(base, text, 0.18));
    painter.drawLine(QPointF(m_signMargin - 0.5, 0), QPointF(m_signMargin - 0.5, height));
    painter.setFont(font());
    painter.setPen(mix(base, text, 0.55));
    const double spacing = m_layouts->lineSpacing();
    const double right = m_signMargin - 4;
    const int count = m_surface->lineCount();
    double y = lineY(topLine());
    for (int line = topLine(); line < count && y < height; ++line) {
        const double h = m_layouts->lineHeight(line);
        if (y + spacing >= area.top() && y <= area.bottom() + 1)
            painter.drawText(QRectF(m_signSlot, y, right - m_signSlot, spacing),
                             Qt::AlignRight | Qt::AlignVCenter, QString::number(line + 1));
        y += h;
    }
}

std::vector<const Mark *> SurfaceView::signsAtY(int y) const
{
    std::vector<const Mark *> found;
    if (m_surface->length() == 0)
        return found;
    double yIn = 0;
    const int line = lineAtY(y, &yIn);
    // Only the first row of a wrapped line shows the sign.
    if (yIn >= m_layouts->lineSpacing())
        return found;
    const int start = m_surface->lineIndex(line);
    const int end = start + m_surface->lineLength(line);
    for (const Mark &m : m_surface->marks().all())
        if (m.style.sign != MarkStyle::Sign::None && m.start >= start && m.start <= end)
            found.push_back(&m);
    return found;
}

bool SurfaceView::clickSign(const QPoint &point)
{
    // With numbers, only the signs' part of the margin; without, all of it.
    const double signs = m_signSlot > 0 ? m_signSlot : m_signMargin;
    if (point.x() >= signs)
        return false;
    const std::vector<const Mark *> found = signsAtY(point.y());
    if (found.empty())
        return false;
    // The leftmost mark of the line.
    const Mark *first =
        *std::min_element(found.begin(), found.end(),
                          [](const Mark *a, const Mark *b) { return a->start < b->start; });
    land(first->start);
    setFocus(Qt::MouseFocusReason);
    emit clicked();
    return true;
}

void SurfaceView::setCurrentLineBand(bool on)
{
    if (on == (m_band != 0))
        return;
    if (on) {
        m_band = m_surface->marks().add(0, 0, bandStyle());
        placeBand();
    } else {
        m_surface->marks().remove(m_band);
        m_band = 0;
    }
}

void SurfaceView::markLanding(int pos)
{
    dropLanding();
    const int line = m_surface->lineFromChar(pos);
    m_landing = m_surface->marks().add(m_surface->lineIndex(line), m_surface->lineLength(line),
                                       bandStyle());
    m_landingCaret = pos;
}

void SurfaceView::dropLanding()
{
    if (!m_landing)
        return;
    m_surface->marks().remove(m_landing);
    m_landing = 0;
    m_landingCaret = -1;
}

void SurfaceView::placeBand()
{
    if (m_landing && (m_caret != m_landingCaret || m_anchor != m_caret))
        dropLanding(); // the caret moved on from where a jump put it
    if (!m_band)
        return;
    Marks &marks = m_surface->marks();
    const int line = m_surface->lineFromChar(m_caret);
    const int start = m_surface->lineIndex(line);
    const int length = m_surface->lineLength(line);
    if (!marks.setRange(m_band, start, length)) {
        // An edit took all of its line: a new band, the old one for good.
        marks.remove(m_band);
        m_band = marks.add(start, length, bandStyle());
    }
}

MarkStyle SurfaceView::bandStyle() const
{
    // A light tint of the highlight colour over the text's background, so
    // that text on the band reads as well as beside it.
    const QColor base = palette().color(QPalette::Base);
    const QColor tint = palette().color(QPalette::Highlight);
    constexpr double k = 0.14;
    MarkStyle style;
    style.wholeLines = true;
    style.layer = -1;
    style.background = QColor::fromRgbF(float(base.redF() * (1 - k) + tint.redF() * k),
                                        float(base.greenF() * (1 - k) + tint.greenF() * k),
                                        float(base.blueF() * (1 - k) + tint.blueF() * k));
    return style;
}

QString SurfaceView::noteAt(const QPoint &point) const
{
    const Marks &marks = m_surface->marks();
    if (marks.count() == 0 || m_surface->length() == 0)
        return QString();
    std::vector<const Mark *> found;
    if (point.x() < m_signMargin) {
        // A sign: the marks whose first line shows at that height.
        found = signsAtY(point.y());
    } else {
        // The character under the point, if the point is over one.
        int pos = positionAt(point);
        if (caretRectF(pos).x() > point.x())
            pos = previousPosition(pos);
        const QRectF a = caretRectF(pos), b = caretRectF(nextPosition(pos));
        if (std::abs(a.top() - b.top()) < 0.5 && point.x() >= a.x() && point.x() < b.x())
            found = marks.at(pos);
    }
    QStringList notes;
    for (const Mark *m : found)
        if (!m->style.note.isEmpty() && !notes.contains(m->style.note))
            notes << m->style.note;
    return notes.join(QLatin1Char('\n'));
}

bool SurfaceView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QString note = noteAt(help->pos());
        if (note.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), note, viewport());
        }
        return true;
    }
    // A press on a sign is the margin's; any other goes to the text.
    if (event->type() == QEvent::MouseButtonPress && m_signMargin > 0) {
        const auto *press = static_cast<QMouseEvent *>(event);
        if (press->button() == Qt::LeftButton && clickSign(press->position().toPoint()))
            return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

} // namespace qln
