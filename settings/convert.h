#pragma once
// Conversions between the text the settings store holds and the values the
// program works with. A text that does not convert raises ConversionError;
// the routines that read the store decide how far such an error reaches.

#include "surface/charformat.h"

#include <QString>
#include <stdexcept>

namespace qln {

class ConversionError : public std::runtime_error {
public:
    ConversionError(const QString &value, const char *what);
    const QString &value() const { return m_value; }

private:
    QString m_value;
};

// Upper bound of the spelling list's count. A larger stored count is a bad
// value rather than a request for millions of pairs.
inline constexpr qint32 kMaxSpellingPairs = 1000000;
// Upper bound of the tabs or blanks that make one indentation level.
inline constexpr int kMaxIndentUnits = 100;

// A decimal number as the runtime converts text: blanks around it are
// allowed, nothing else is.
double toNumber(const QString &text);
// A whole 32-bit number; fractions round half to even.
qint32 toWhole(const QString &text);
// "True"/"False" in any letter case, or a number (non-zero is on).
bool toBool(const QString &text);
// A count of a word list held in 16 bits: 0 to 32767.
qint16 toCount16(const QString &text);
// A 32-bit count from 0 to max.
qint32 toCount32(const QString &text, qint32 max = kMaxSpellingPairs);
// A stored colour: a whole number from 0 to 0xFFFFFF (red in the low byte).
BgrColor toColour(const QString &text);
// A stored colour, or `fallback` when the text does not convert.
BgrColor colourOr(const QString &text, BgrColor fallback = 0);
// A single-precision number of twips.
float toTwips(const QString &text);

// The leading number of a text, 0 when it starts with none; never fails.
// "4" and " 4 tabs" give 4, "abc" gives 0.
double leadingNumber(const QString &text);

// The automatic tree search switch as start-up reads it: "TRUE" in any
// letter case or exactly "1".
bool isTreeSearchOn(const QString &text);

// The texts the preferences dialog writes for Booleans.
QString boolText(bool on);
QString twipsText(float twips);
QString colourText(BgrColor colour);

} // namespace qln
