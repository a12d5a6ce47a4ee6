#pragma once
// The main window's stored geometry and the rules that keep a restored
// window reachable on the screen. Everything here is in twips; conversion to
// pixels happens only where the window is actually moved.

#include <QMargins>
#include <QRect>
#include <vector>

namespace qln {

struct WindowGeometry {
    double top = 0;
    double left = 0;
    double height = 0;
    double width = 0;
    bool operator==(const WindowGeometry &) const = default;
};

// Smallest height and width a restored window keeps, and how much of it must
// stay on the screen horizontally.
inline constexpr double kMinWindowHeight = 510;
inline constexpr double kMinWindowWidth = 1845;
inline constexpr double kMinVisibleWidth = 1000;

// Applies the restore clamps in order: height, width, top, then left (the
// left rule uses the already clamped width).
WindowGeometry clampWindowGeometry(WindowGeometry g, double screenWidth, double screenHeight);

// A window's place on the screen in pixels: the top-left corner of its
// frame (title bar and borders included) and the size of its inner area.
struct PixelGeometry {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PixelGeometry &) const = default;
};

// Conversions at the window's boundary; a pixel value converted to twips
// and back (with the stored whole twips in between) gives the same pixel
// value at any screen resolution, so a window does not creep from one
// session to the next.
WindowGeometry toTwipsGeometry(const PixelGeometry &g, double dpi);
PixelGeometry toPixelGeometry(const WindowGeometry &g, double dpi);

// Moves and shrinks a window so that all of it, frame included, lies on one
// screen: `g` is the frame's corner and the inner size, `frame` the frame's
// margins around the inner area, `screens` the screens' available areas
// (the primary first). The screen taken is the one the frame overlaps most,
// or, overlapping none, the one nearest its centre. A window larger than
// that screen shrinks to it, then moves as little as needed to lie on it.
// With no screen it stays as it is.
PixelGeometry fitOnScreens(PixelGeometry g, const QMargins &frame,
                           const std::vector<QRect> &screens);

// How the window was shown when it closed, stored beside its normal
// geometry (which stays the size it comes back to when no longer maximised).
enum class WindowShowState { Normal = 0, Maximized = 2, FullScreen = 3 };

// The same size, centred on the screen.
WindowGeometry centredWindowGeometry(WindowGeometry g, double screenWidth, double screenHeight);

} // namespace qln
