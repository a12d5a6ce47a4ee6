#pragma once
// Reading the main window's font, last folder, geometry and background from
// the settings store, and writing them back when the window closes.

#include "shell/windowgeometry.h"
#include "surface/charformat.h"

#include <QString>
#include <optional>

namespace qln {

class SettingsStore;

// The editing surface's font size as designed, in points; also what a stored
// size that no font can take falls back to.
inline constexpr int kFactoryFontSize = 10;
// The font sizes a stored value may hold, in points.
inline constexpr double kMinFontSize = 1;
inline constexpr double kMaxFontSize = 1638;

// What the window restores, in the order it restores it. A stored font size
// outside kMinFontSize..kMaxFontSize (or no number at all) gives the factory
// size and leaves the rest alone. Reading stops at the first geometry or
// colour key that is not a number: that value and every later one stay
// empty and the window keeps what it had.
struct RestoredWindowSettings {
    std::optional<double> fontSize;
    std::optional<QString> fontName;
    // The folder of the last document followed by "*.java", so that the
    // first Open dialog starts there.
    std::optional<QString> documentPath;
    std::optional<WindowGeometry> geometry; // already clamped to the screen
    std::optional<BgrColor> background;
    // Read on its own (the geometry's restore rules do not stop it); an
    // absent or unknown value is Normal.
    WindowShowState showState = WindowShowState::Normal;
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
    QString textColor; // decimal text of the in-memory text colour
    WindowShowState showState = WindowShowState::Normal;
};

// Writes deffontname, deffontsize, lastfilename, ftop, fleft, fheight,
// fwidth, rtfbgcolor, rtftextcolor and fwindowstate, in that order. The
// geometry is always the normal one, also when the window is maximised.
void writeWindowSettings(SettingsStore &store, const WindowSettingsSnapshot &snapshot);

} // namespace qln
