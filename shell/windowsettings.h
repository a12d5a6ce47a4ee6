#pragma once
// Reading the main window's font, last folder, geometry and background from
// the settings store, and writing them back when the window closes.

#include "shell/windowgeometry.h"
#include "surface/charformat.h"

#include <QString>
#include <optional>

namespace qln {

class SettingsStore;

// What the window restores, in the order it restores it. Reading stops at
// the first value that is not usable (a size that is no positive number, a
// geometry or colour key that is not a number): that value and every later
// one stay empty and the window keeps what it had.
struct RestoredWindowSettings {
    std::optional<double> fontSize;
    std::optional<QString> fontName;
    // The folder of the last document followed by "*.java", so that the
    // first Open dialog starts there.
    std::optional<QString> documentPath;
    std::optional<WindowGeometry> geometry; // already clamped to the screen
    std::optional<BgrColor> background;
};

RestoredWindowSettings readWindowSettings(const SettingsStore &store, double screenWidthTwips,
                                          double screenHeightTwips);

// What the window writes back when it closes.
struct WindowSettingsSnapshot {
    QString fontName;     // the font list's text
    QString fontSize;     // the size box's text
    QString documentPath; // the current document path
    WindowGeometry geometry;
    BgrColor background = 0xFFFFFF;
    QString textColor;    // decimal text of the in-memory text colour
};

// Writes deffontname, deffontsize, lastfilename, ftop, fleft, fheight,
// fwidth, rtfbgcolor and rtftextcolor, in that order.
void writeWindowSettings(SettingsStore &store, const WindowSettingsSnapshot &snapshot);

} // namespace qln
