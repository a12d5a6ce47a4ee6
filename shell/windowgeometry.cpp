#include "shell/windowgeometry.h"

#include <cmath>

namespace qln {

WindowGeometry clampWindowGeometry(WindowGeometry g, double screenWidth, double screenHeight)
{
    if (g.height > screenHeight)
        g.height = screenHeight;
    else if (g.height <= kMinWindowHeight)
        g.height = kMinWindowHeight;

    if (g.width > screenWidth)
        g.width = screenWidth;
    else if (g.width <= kMinWindowWidth)
        g.width = kMinWindowWidth;

    // Only the top strip of the window has to be reachable vertically.
    if (g.top + kMinWindowHeight > screenHeight)
        g.top = screenHeight - kMinWindowHeight;
    else if (g.top < 0)
        g.top = 0;

    if (g.left > screenWidth)
        g.left = screenWidth - kMinVisibleWidth;
    else if (g.left + g.width < kMinVisibleWidth)
        g.left = -(g.width / 2);
    return g;
}

WindowGeometry toTwipsGeometry(const PixelGeometry &g, double dpi)
{
    const double perPixel = 1440.0 / dpi;
    return WindowGeometry{g.y * perPixel, g.x * perPixel, g.height * perPixel, g.width * perPixel};
}

PixelGeometry toPixelGeometry(const WindowGeometry &g, double dpi)
{
    const double perTwip = dpi / 1440.0;
    auto px = [perTwip](double twips) { return int(std::lround(twips * perTwip)); };
    return PixelGeometry{px(g.left), px(g.top), px(g.width), px(g.height)};
}

WindowGeometry centredWindowGeometry(WindowGeometry g, double screenWidth, double screenHeight)
{
    g.left = (screenWidth - g.width) / 2;
    g.top = (screenHeight - g.height) / 2;
    return g;
}

} // namespace qln
