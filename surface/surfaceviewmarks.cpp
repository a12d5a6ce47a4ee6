// The view's side of the surface's marks: repainting them, the sign
// margin, the current-line band and the notes shown over marks.
#include "surface/surfaceview.h"

#include <QHelpEvent>
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
    const double margin = SurfaceRenderer::signMargin(*m_surface, m_layouts->lineSpacing());
    if (margin == m_signMargin)
        return;
    m_signMargin = margin;
    m_layouts->setWrapWidth(wrapWidth());
    updateScrollBars();
    viewport()->update();
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

void SurfaceView::placeBand()
{
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
        double yIn = 0;
        const int line = lineAtY(point.y(), &yIn);
        for (const Mark &m : marks.all())
            if (m.style.sign != MarkStyle::Sign::None && m_surface->lineFromChar(m.start) == line)
                found.push_back(&m);
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
    return QAbstractScrollArea::viewportEvent(event);
}

} // namespace qln
