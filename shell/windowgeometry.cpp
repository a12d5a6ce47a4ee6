#include "shell/windowgeometry.h"

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

WindowGeometry centredWindowGeometry(WindowGeometry g, double screenWidth, double screenHeight)
{
    g.left = (screenWidth - g.width) / 2;
    g.top = (screenHeight - g.height) / 2;
    return g;
}

} // namespace qln
