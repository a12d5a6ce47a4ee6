#include "settings/convert.h"

#include <QRegularExpression>
#include <cfenv>
#include <cmath>

namespace qln {

ConversionError::ConversionError(const QString &value, const char *what)
    : std::runtime_error(std::string(what) + ": \"" + value.left(80).toStdString() + "\""),
      m_value(value)
{
}

double toNumber(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    // QString::toDouble uses the C locale, as the store's texts do; it also
    // accepts "inf" and "nan", which are not numbers here.
    const double d = t.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        throw ConversionError(text, "not a number");
    return d;
}

qint32 toWhole(const QString &text)
{
    const double d = std::nearbyint(toNumber(text)); // ties to even by default
    if (d < double(std::numeric_limits<qint32>::min())
        || d > double(std::numeric_limits<qint32>::max()))
        throw ConversionError(text, "whole number out of range");
    return qint32(d);
}

bool toBool(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    return toNumber(text) != 0.0;
}

qint16 toCount16(const QString &text)
{
    const qint32 n = toWhole(text);
    if (n < 0 || n > 32767)
        throw ConversionError(text, "count out of range");
    return qint16(n);
}

qint32 toCount32(const QString &text, qint32 max)
{
    const qint32 n = toWhole(text);
    if (n < 0 || n > max)
        throw ConversionError(text, "count out of range");
    return n;
}

BgrColor toColour(const QString &text)
{
    const qint32 n = toWhole(text);
    if (n < 0 || n > 0xFFFFFF)
        throw ConversionError(text, "not a colour");
    return BgrColor(n);
}

float toTwips(const QString &text)
{
    const double d = toNumber(text);
    if (std::fabs(d) > double(std::numeric_limits<float>::max()))
        throw ConversionError(text, "twips out of range");
    return float(d);
}

double leadingNumber(const QString &text)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return 0.0;
    bool ok = false;
    const double d = m.captured(1).toDouble(&ok);
    return ok && std::isfinite(d) ? d : 0.0;
}

bool isTreeSearchOn(const QString &text)
{
    return text.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0
           || text == QLatin1String("1");
}

QString boolText(bool on)
{
    return on ? QStringLiteral("True") : QStringLiteral("False");
}

QString twipsText(float twips)
{
    return QString::number(double(twips), 'g', 7);
}

QString colourText(BgrColor colour)
{
    return QString::number(colour);
}

BgrColor colourOr(const QString &text, BgrColor fallback)
{
    try {
        return toColour(text);
    } catch (const ConversionError &) {
        return fallback;
    }
}

} // namespace qln
