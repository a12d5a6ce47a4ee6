// The date and time formats of the date/time dialog, in every locale Qt
// knows, against their description:
// - a pattern is read left to right, codes in any letter case: hh / h the
//   hour (two digits / unpadded); mm / m the minutes when the previous code
//   was an hour code, else the month (mmmm and mmm its long and short
//   name); ss / s seconds; dddd / ddd the day's long and short name, dd / d
//   the day; yyyy / yy the year (four / two digits); "/" the locale's date
//   separator; anything else stands for itself;
// - the named formats, in any letter case, give the locale's short and
//   long date, "dd-MMM-yy", "HH:mm" and "hh:mm AP"; the general date is the
//   short date, then a blank and the long time unless it is midnight;
// - the date separator is what the locale's short date shows between its
//   first two numbers ("/" when a month name stands there);
// - the list holds the eleven formats applied to the moment.
#include "dialogs/datetimeformat.h"
#include "fuzzsupport.h"

#include <QLocale>

using namespace qln;

namespace {

const QList<QLocale> &allLocales()
{
    static const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    return locales;
}

QString digits(int value, int width)
{
    return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
}

// The pattern as the description reads it.
QString describedPattern(const QDateTime &moment, const QString &format, const QLocale &locale,
                         const QString &separator)
{
    const QDate date = moment.date();
    const QTime time = moment.time();
    QString out;
    QChar previousCode;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i).toLower();
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run).toLower() == c)
            ++run;
        // The longest code of this letter the run starts with.
        auto take = [&](qsizetype longest) { return std::min(run, longest); };
        qsizetype used = 1;
        if (c == u'h') {
            used = take(2);
            out += used == 2 ? digits(time.hour(), 2) : QString::number(time.hour());
        } else if (c == u'm' && previousCode == u'h') {
            used = take(2);
            out += used == 2 ? digits(time.minute(), 2) : QString::number(time.minute());
        } else if (c == u'm') {
            used = take(4);
            const QString forms[] = {QString::number(date.month()), digits(date.month(), 2),
                                     locale.monthName(date.month(), QLocale::ShortFormat),
                                     locale.monthName(date.month(), QLocale::LongFormat)};
            out += forms[used - 1];
        } else if (c == u's') {
            used = take(2);
            out += used == 2 ? digits(time.second(), 2) : QString::number(time.second());
        } else if (c == u'd') {
            used = take(4);
            const QString forms[] = {QString::number(date.day()), digits(date.day(), 2),
                                     locale.dayName(date.dayOfWeek(), QLocale::ShortFormat),
                                     locale.dayName(date.dayOfWeek(), QLocale::LongFormat)};
            out += forms[used - 1];
        } else if (c == u'y' && run >= 2) {
            used = run >= 4 ? 4 : 2;
            out += used == 4 ? digits(date.year(), 4) : digits(date.year() % 100, 2);
        } else {
            out += c == u'/' ? separator : QString(format.at(i));
            i += 1;
            continue;
        }
        previousCode = c;
        i += used;
    }
    return out;
}

// What the short date of a day with distinct two-digit fields shows
// between its first two numbers.
QString shownSeparator(const QLocale &locale)
{
    // By code point: some locales write digits outside the first plane.
    const QList<uint> shown = locale.toString(QDate(2033, 11, 22), QLocale::ShortFormat).toUcs4();
    qsizetype i = 0;
    while (i < shown.size() && !QChar::isDigit(shown.at(i)))
        ++i;
    while (i < shown.size() && QChar::isDigit(shown.at(i)))
        ++i;
    const qsizetype from = i;
    while (i < shown.size() && !QChar::isDigit(shown.at(i)))
        ++i;
    const QString between =
        QString::fromUcs4(reinterpret_cast<const char32_t *>(shown.constData()) + from, i - from);
    for (QChar c : between)
        if (c.isLetter())
            return QStringLiteral("/");
    return between.trimmed().isEmpty() || i >= shown.size() ? QStringLiteral("/") : between;
}

QString mixedCase(const QString &s, fuzz::Input &in)
{
    QString out;
    for (QChar c : s)
        out += in.flag() ? c.toUpper() : c;
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    fuzz::Input in(data, size);
    const QLocale &locale = allLocales().at(in.below(int(allLocales().size())));
    const QDate date(1 + in.below(9999), 1 + in.below(12), 1 + in.below(28));
    const QTime time =
        in.below(8) == 0 ? QTime(0, 0) : QTime(in.below(24), in.below(60), in.below(60));
    const QDateTime moment(date, time);
    FUZZ_CHECK(moment.isValid());

    const QString separator = dateSeparator(locale);
    FUZZ_CHECK(separator == shownSeparator(locale));

    // A pattern from the input: codes, runs of them and other characters.
    const QString pattern = in.text(24, QStringLiteral("hHmMsSdDyY/ :-.,'xT\u00e9"));
    const bool named = QStringList{"long time", "medium time", "short time", "general date",
                                   "long date", "medium date", "short date"}
                           .contains(pattern.trimmed().toLower());
    if (!named)
        FUZZ_CHECK(formatDateTime(moment, pattern, locale)
                   == describedPattern(moment, pattern, locale, separator));

    // The named formats, in any letter case.
    const QString shortDate = locale.toString(date, QLocale::ShortFormat);
    const QString longTime = formatDateTime(moment, mixedCase("long time", in), locale);
    FUZZ_CHECK(!longTime.isEmpty());
    FUZZ_CHECK(formatDateTime(moment, mixedCase("short date", in), locale) == shortDate);
    FUZZ_CHECK(formatDateTime(moment, mixedCase("long date", in), locale)
               == locale.toString(date, QLocale::LongFormat));
    FUZZ_CHECK(formatDateTime(moment, mixedCase("medium date", in), locale)
               == locale.toString(date, QStringLiteral("dd-MMM-yy")));
    FUZZ_CHECK(formatDateTime(moment, mixedCase("short time", in), locale)
               == locale.toString(time, QStringLiteral("HH:mm")));
    FUZZ_CHECK(formatDateTime(moment, mixedCase("medium time", in), locale)
               == locale.toString(time, QStringLiteral("hh:mm AP")));
    FUZZ_CHECK(formatDateTime(moment, mixedCase("general date", in), locale)
               == (time == QTime(0, 0) ? shortDate : shortDate + QLatin1Char(' ') + longTime));

    // The dialog's list and its custom box.
    const QStringList entries = dateTimeEntries(moment, locale);
    const QStringList formats = dateTimeListFormats();
    FUZZ_CHECK(entries.size() == 11 && formats.size() == 11);
    for (int i = 0; i < 11; ++i)
        FUZZ_CHECK(entries.at(i) == formatDateTime(moment, formats.at(i), locale));
    FUZZ_CHECK(customPreview(kCustomPlaceholder, moment, locale).isEmpty());
    FUZZ_CHECK(customPreview(pattern, moment, locale) == formatDateTime(moment, pattern, locale));
    FUZZ_CHECK(formatDateTime(moment, QString(), locale).isEmpty());
    return 0;
}
