#include "dialogs/datetimeformat.h"

#include "settings/settingsstore.h"
#include "surface/surface.h"

namespace qln {

namespace {

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// The locale's long time pattern without the time zone, which a clock in a
// source comment has no use for.
QString longTimePattern(const QLocale &locale)
{
    const QString pattern = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (QChar c : pattern) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        out += c;
    }
    return out.simplified();
}

QString shortDate(const QDate &date, const QLocale &locale)
{
    return locale.toString(date, QLocale::ShortFormat);
}

QString longTime(const QTime &time, const QLocale &locale)
{
    return locale.toString(time, longTimePattern(locale));
}

// Length of the run of the same letter (in any case) starting at i.
int runLength(const QString &format, int i)
{
    const QChar c = format.at(i).toLower();
    int j = i + 1;
    while (j < format.size() && format.at(j).toLower() == c)
        ++j;
    return j - i;
}

QString formatPattern(const QDateTime &moment, const QString &format, const QLocale &locale)
{
    const QDate date = moment.date();
    const QTime time = moment.time();
    QString out;
    bool afterHour = false;
    int i = 0;
    while (i < format.size()) {
        const QChar c = format.at(i).toLower();
        const int run = runLength(format, i);
        if (c == QLatin1Char('h')) {
            const int take = std::min(run, 2);
            out += take == 2 ? twoDigits(time.hour()) : QString::number(time.hour());
            i += take;
            afterHour = true;
            continue;
        }
        if (c == QLatin1Char('m')) {
            if (afterHour) {
                const int take = std::min(run, 2);
                out += take == 2 ? twoDigits(time.minute()) : QString::number(time.minute());
                i += take;
            } else {
                const int take = std::min(run, 4);
                if (take == 4)
                    out += locale.monthName(date.month(), QLocale::LongFormat);
                else if (take == 3)
                    out += locale.monthName(date.month(), QLocale::ShortFormat);
                else if (take == 2)
                    out += twoDigits(date.month());
                else
                    out += QString::number(date.month());
                i += take;
            }
            afterHour = false;
            continue;
        }
        if (c == QLatin1Char('d')) {
            const int take = std::min(run, 4);
            if (take == 4)
                out += locale.dayName(date.dayOfWeek(), QLocale::LongFormat);
            else if (take == 3)
                out += locale.dayName(date.dayOfWeek(), QLocale::ShortFormat);
            else if (take == 2)
                out += twoDigits(date.day());
            else
                out += QString::number(date.day());
            i += take;
            afterHour = false;
            continue;
        }
        if (c == QLatin1Char('s')) {
            const int take = std::min(run, 2);
            out += take == 2 ? twoDigits(time.second()) : QString::number(time.second());
            i += take;
            afterHour = false;
            continue;
        }
        if (c == QLatin1Char('y') && run >= 2) {
            const int take = run >= 4 ? 4 : 2;
            out += take == 4 ? QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'))
                             : twoDigits(date.year() % 100);
            i += take;
            afterHour = false;
            continue;
        }
        if (c == QLatin1Char('/'))
            out += dateSeparator(locale);
        else
            out += format.at(i);
        ++i;
    }
    return out;
}

} // namespace

QString dateSeparator(const QLocale &locale)
{
    // The characters between the first two fields of the short date.
    const QString pattern = locale.dateFormat(QLocale::ShortFormat);
    int i = 0;
    while (i < pattern.size() && !pattern.at(i).isLetter())
        ++i;
    while (i < pattern.size() && pattern.at(i).isLetter())
        ++i;
    QString sep;
    while (i < pattern.size() && !pattern.at(i).isLetter() && pattern.at(i) != QLatin1Char('\''))
        sep += pattern.at(i++);
    // A short date written with a month name (the C locale's "d MMM yyyy")
    // has no separator to speak of.
    return sep.trimmed().isEmpty() ? QStringLiteral("/") : sep;
}

QString formatDateTime(const QDateTime &moment, const QString &format, const QLocale &locale)
{
    if (format.isEmpty())
        return QString();
    const QString named = format.trimmed().toLower();
    const QDate date = moment.date();
    const QTime time = moment.time();
    if (named == QLatin1String("long time"))
        return longTime(time, locale);
    if (named == QLatin1String("medium time"))
        return locale.toString(time, QStringLiteral("hh:mm AP"));
    if (named == QLatin1String("short time"))
        return locale.toString(time, QStringLiteral("HH:mm"));
    if (named == QLatin1String("general date")) {
        // Midnight shows as the date alone.
        if (time == QTime(0, 0))
            return shortDate(date, locale);
        return shortDate(date, locale) + QLatin1Char(' ') + longTime(time, locale);
    }
    if (named == QLatin1String("long date"))
        return locale.toString(date, QLocale::LongFormat);
    if (named == QLatin1String("medium date"))
        return locale.toString(date, QStringLiteral("dd-MMM-yy"));
    if (named == QLatin1String("short date"))
        return shortDate(date, locale);
    return formatPattern(moment, format, locale);
}

QStringList dateTimeListFormats()
{
    return {QStringLiteral("long time"),      QStringLiteral("medium time"),
            QStringLiteral("hh-mm-ss"),       QStringLiteral("hh.mm.ss"),
            QStringLiteral("hh-mm"),          QStringLiteral("general date"),
            QStringLiteral("long date"),      QStringLiteral("medium date"),
            QStringLiteral("mm - dd - yyyy"), QStringLiteral("mm/dd/yy"),
            QStringLiteral("mm/dd/yyyy")};
}

QStringList dateTimeEntries(const QDateTime &moment, const QLocale &locale)
{
    QStringList entries;
    for (const QString &format : dateTimeListFormats())
        entries.append(formatDateTime(moment, format, locale));
    return entries;
}

QString customPreview(const QString &custom, const QDateTime &moment, const QLocale &locale)
{
    if (custom == kCustomPlaceholder)
        return QString();
    return formatDateTime(moment, custom, locale);
}

QString storedCustomFormat(const SettingsStore &store)
{
    return store.get(kPrefs, QStringLiteral("CustomDateTime"), kCustomPlaceholder);
}

void storeCustomFormat(SettingsStore &store, const QString &format)
{
    store.save(kPrefs, QStringLiteral("CustomDateTime"), format);
}

bool insertDateTime(Surface &surface, const QString &commentMarker, const QString &text)
{
    if (text.isEmpty())
        return false;
    surface.setSelText(commentMarker + text);
    return true;
}

} // namespace qln
