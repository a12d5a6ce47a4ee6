#pragma once
// Every key of the section "Preferences" and of the five tool sections, in
// the order first run writes them, with its value form and factory default.
// First run, the loaders and the tests read this one table.

#include <QString>
#include <QStringList>
#include <vector>

namespace qln::schema {

enum class Form {
    Text,      // the string itself
    Check,     // "1"/"0", read as a whole number
    Flag,      // "1"/"0" or "True"/"False", read as a Boolean
    StyleFlag, // a bold/italic/underline flag: a Flag that first run clears first
    Count,     // a whole number; absent reads as 0
    Colour,    // decimal 0x00BBGGRR
    Twips,     // decimal single-precision twips
};

enum class Origin {
    Factory,  // first run writes `def`
    Designed, // first run writes a value of the main window as designed (its caller's)
    Probe,    // first run writes a path when its probe finds the file
    Marker,   // `firstrun`: written last, as `def`
    Later,    // first run writes nothing; another part of the program saves it
};

struct Entry {
    QString section;
    QString key;
    Form form;
    Origin origin;
    QString def; // Factory and Marker only
};

// The whole schema: Factory and Designed rows in first-run write order,
// then the Probe rows in probe order, the marker, and the Later rows.
const std::vector<Entry> &entries();
// nullptr for a key the table does not hold (section case-insensitive).
const Entry *find(const QString &section, const QString &key);
// The factory default of a Factory or Marker row; empty otherwise.
QString factoryDefault(const QString &section, const QString &key);

inline const QString kPreferences = QStringLiteral("Preferences");

// Word lists: a count key and numbered entry keys (prefix + 1-based index).
struct WordList {
    QString countKey;
    QString prefix;
    QString entryKey(int i) const { return prefix + QString::number(i); }
};
extern const WordList keywordList, otherList, moreList, spellingFrom, spellingTo;

// The File menu's recent documents: section "Recent", "count" and "file1"
// to "file8", newest first.
inline const QString kRecent = QStringLiteral("Recent");
extern const WordList recentFiles;

// Style categories 1 keywords, 2 other, 3 more, 4 strings, 5 comments.
// Flag 1 bold, 2 italic, 3 underline.
QString styleKey(int category, int flag);
// Colour keys of the five categories.
QString colourKey(int category);
inline const QString kTextColour = QStringLiteral("ctextcolor");
// Whole-word keys of categories 1 to 3.
QString wholeWordKey(int category);
// The categories in the order the style flags are written: keywords, other,
// more, comments, strings.
inline constexpr int kStyleWriteOrder[5] = {1, 2, 3, 5, 4};

// The eight reserved-string keys, in schema order.
const QStringList &reservedStringKeys();
// The six template keys, in schema order.
const QStringList &templateKeys();

// Tool modes in the order "Compile", "Run", "Appletviewer", "Jar",
// "Native2Ascii", their sections ("JavaX-" + mode) and tool names.
const QStringList &modes();
QString toolSection(const QString &mode);
const QStringList &toolNames(); // javac, java, appletviewer, jar, native2ascii
inline const QString kExe = QStringLiteral("exe");

} // namespace qln::schema
