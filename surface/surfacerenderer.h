#pragma once
// Paints a surface's lines into a painter: the text in its formats from the
// line-layout cache, the selection, the caret, the drop caret and the
// surface's marks (bands across whole lines, backgrounds and underlines
// under their characters, signs in a margin at the left). It keeps no
// state of its own and needs no widget: the view paints its viewport with
// it, and a test or a printout can paint into an image.

#include <QPalette>

class QPainter;
class QRegion;

namespace qln {

class LineLayouts;
class Surface;

class SurfaceRenderer {
public:
    explicit SurfaceRenderer(LineLayouts &layouts);

    // What is painted where.
    struct Frame {
        int topLine = 0;
        double top = 0;       // y of the top line's top edge
        double left = 0;      // x where lines start, scrolled sideways
        double margin = 0;    // the sign margin at the left: text shows right of it
        double signWidth = 0; // the part of the margin the signs are centred in; 0: all
        double width = 0;     // the painted area's size
        double height = 0;
        int selFrom = 0;
        int selTo = 0;
        int caret = -1;         // -1: no caret shown
        bool overwrite = false; // the caret as a block over the next character
        int dropCaret = -1;     // where a drag would drop; -1: nowhere
        QPalette palette;       // Text, Highlight and HighlightedText are used
    };
    // Paints the lines reaching into `region`, from frame.topLine down to
    // the bottom of the frame. Lines outside the region are passed over.
    void paint(QPainter &painter, const QRegion &region, const Frame &frame) const;

    // How wide the sign margin is at a line spacing while any of the
    // surface's marks has a sign; 0 while none has.
    static double signMargin(const Surface &surface, double lineSpacing);

private:
    LineLayouts &m_layouts;
};

} // namespace qln
