#pragma once
// The main window's stored geometry and the rules that keep a restored
// window reachable on the screen. Everything here is in twips; conversion to
// pixels happens only where the window is actually moved.

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

// The same size, centred on the screen.
WindowGeometry centredWindowGeometry(WindowGeometry g, double screenWidth, double screenHeight);

} // namespace qln
