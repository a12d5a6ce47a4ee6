#pragma once
// Every window the program opens lies wholly on the usable part of its
// screen: never taller or wider than the screen's available area, never
// partly off it. Dialogs whose content is taller than that scroll inside.

#include <QMargins>
#include <QRect>

class QScreen;
class QWidget;

namespace qln {

// `frame` (the window with its frame) shrunk to fit `available` and moved
// the least distance that puts it wholly inside.
QRect fitRect(const QRect &frame, const QRect &available);

// The screen a window shows on: its own, else its parent's, else the one
// under its position, else the primary screen.
QScreen *screenOf(const QWidget *window);

// Shrinks and moves a top-level window onto its screen's available area
// now, frame included where the window system tells its size.
void fitToScreen(QWidget *window);

// fitToScreen each time the window is shown and whenever it grows while it
// shows (a layout that adds rows, adjustSize): installed once per window.
void keepOnScreen(QWidget *window);

} // namespace qln
