#pragma once
// Character formats and the value conversions shared by every subsystem:
// colours stored as 0x00BBGGRR, lengths in twips.

#include <QColor>
#include <QHashFunctions>
#include <QString>

namespace qln {

// A colour as the settings store keeps it: red in the low byte, green in
// the middle, blue in the high byte.
using BgrColor = quint32;

inline QColor toQColor(BgrColor c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}
inline BgrColor fromQColor(const QColor &c)
{
    return BgrColor(c.red()) | (BgrColor(c.green()) << 8) | (BgrColor(c.blue()) << 16);
}

// 1440 twips make an inch.
inline double twipsToPixels(double twips, double dpi)
{
    return twips * dpi / 1440.0;
}
inline double pixelsToTwips(double pixels, double dpi)
{
    return pixels * 1440.0 / dpi;
}

struct CharFormat {
    BgrColor color = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    QString fontName;    // empty: the surface's base font
    double fontSize = 0; // 0: the surface's base size
    bool operator==(const CharFormat &) const = default;
};

inline size_t qHash(const CharFormat &f, size_t seed = 0)
{
    return qHashMulti(seed, f.color, f.bold, f.italic, f.underline, f.fontName, f.fontSize);
}

} // namespace qln
