#pragma once
// The text of the status bar's first panel for the surface's selection.

#include <QString>

namespace qln {

class Surface;

// "Line: N  Col: N  Sel: N": the line of the selection start (from 1), its
// column in that line (from 1) and the selection length.
QString statusText(const Surface &surface);

} // namespace qln
