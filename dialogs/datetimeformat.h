#pragma once
// The date and time formats of the "Qln - Date / Time" dialog and the
// format language of its custom box, worked out over a QLocale so that the
// user's regional settings shape the named formats and the date separator.

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <functional>

namespace qln {

class SettingsStore;
class Surface;

// Formats moment with format:
// - the named formats "long time", "medium time", "short time",
//   "general date", "long date", "medium date" and "short date" (any letter
//   case) take their shape from the locale;
// - otherwise a pattern: hh/h hour (two digits / no padding), mm/m minutes
//   when the previous code was an hour code and month otherwise, mmm/mmmm
//   month name, ss/s second, dd/d day, ddd/dddd day name, yy/yyyy year,
//   "/" the locale's date separator; codes match in any letter case and
//   every other character stands for itself.
// An empty format gives an empty text.
QString formatDateTime(const QDateTime &moment, const QString &format, const QLocale &locale);

// The separator the locale writes between the parts of a short date.
QString dateSeparator(const QLocale &locale);

// The eleven formats of the dialog's list, in order.
QStringList dateTimeListFormats();
// moment in each of them.
QStringList dateTimeEntries(const QDateTime &moment, const QLocale &locale);

// The custom box's initial text, which stands for "no custom format".
inline const QString kCustomPlaceholder = QStringLiteral("<custom>");

// The custom box's preview: moment in the custom format, or empty while
// the box holds "<custom>".
QString customPreview(const QString &custom, const QDateTime &moment, const QLocale &locale);

// The stored custom format (setting CustomDateTime) and its writer.
QString storedCustomFormat(const SettingsStore &store);
void storeCustomFormat(SettingsStore &store, const QString &format);

// Writes commentMarker + text as the surface's selected text (an ordinary
// edit, so the change handler runs for the line). Nothing happens for an
// empty text; returns whether something was inserted.
bool insertDateTime(Surface &surface, const QString &commentMarker, const QString &text);

using DateTimeClock = std::function<QDateTime()>;

} // namespace qln
