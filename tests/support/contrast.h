#pragma once
// Contrast of colours as readability guidelines measure it, for tests that
// check text stays readable in light and dark palettes.

#include <QColor>
#include <QHash>
#include <QImage>
#include <algorithm>
#include <cmath>

namespace qln::test {

inline double luminance(const QColor &c)
{
    auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// The contrast ratio of two colours (1 to 21).
inline double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast of text drawn in an image: its most common colour is the
// background, the colour farthest from it the text.
inline double textContrast(const QImage &image)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y) | 0xFF000000u];
    if (counts.isEmpty())
        return 1;
    QRgb background = counts.begin().key();
    for (auto it = counts.begin(); it != counts.end(); ++it)
        if (it.value() > counts.value(background))
            background = it.key();
    double best = 1;
    for (auto it = counts.begin(); it != counts.end(); ++it)
        best = std::max(best, contrast(QColor(background), QColor(it.key())));
    return best;
}

} // namespace qln::test
