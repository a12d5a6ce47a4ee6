#include "shell/windowgeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

PixelGeometry fitOnScreens(PixelGeometry g, const QMargins &frame,
                           const std::vector<QRect> &screens)
{
    if (screens.empty())
        return g;
    const int extraW = frame.left() + frame.right(), extraH = frame.top() + frame.bottom();
    const QRect outer(g.x, g.y, std::max(g.width, 1) + extraW, std::max(g.height, 1) + extraH);
    const QRect *best = nullptr;
    long long bestArea = 0;
    for (const QRect &s : screens) {
        const QRect common = s.intersected(outer);
        const long long area = common.isEmpty() ? 0 : 1LL * common.width() * common.height();
        if (area > bestArea) {
            bestArea = area;
            best = &s;
        }
    }
    if (!best) {
        const QPoint centre = outer.center();
        long long nearest = std::numeric_limits<long long>::max();
        for (const QRect &s : screens) {
            const long long dx = centre.x() < s.left()    ? s.left() - centre.x()
                                 : centre.x() > s.right() ? centre.x() - s.right()
                                                          : 0;
            const long long dy = centre.y() < s.top()      ? s.top() - centre.y()
                                 : centre.y() > s.bottom() ? centre.y() - s.bottom()
                                                           : 0;
            if (dx * dx + dy * dy < nearest) {
                nearest = dx * dx + dy * dy;
                best = &s;
            }
        }
    }
    const QRect &screen = *best;
    g.width = std::clamp(g.width, 1, std::max(screen.width() - extraW, 1));
    g.height = std::clamp(g.height, 1, std::max(screen.height() - extraH, 1));
    // Right or bottom edge first, so that the corner wins on a screen the
    // frame alone does not fit.
    g.x = std::max(std::min(g.x, screen.x() + screen.width() - (g.width + extraW)), screen.x());
    g.y = std::max(std::min(g.y, screen.y() + screen.height() - (g.height + extraH)), screen.y());
    return g;
}

WindowGeometry centredWindowGeometry(WindowGeometry g, double screenWidth, double screenHeight)
{
    g.left = (screenWidth - g.width) / 2;
    g.top = (screenHeight - g.height) / 2;
    return g;
}

} // namespace qln
