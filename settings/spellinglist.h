#pragma once
// Spelling-list files: one wrong/right pair per line, each field in double
// quotes, separated by a comma, lines ended by CR LF. Reading is forgiving
// (unquoted fields, blanks, LF or CR line ends) but never guesses across
// lines: a line that does not hold a pair is skipped and counted.

#include <QString>
#include <QStringList>

namespace qln {

// Files larger than this are refused before they are read.
inline constexpr qint64 kMaxSpellingListBytes = 64 * 1024 * 1024;

struct SpellingListRead {
    enum Status {
        Ok,         // from/to hold every pair found (possibly none)
        Unreadable, // the file could not be opened
        NotText,    // the file holds NUL or other control bytes
        TooLarge,   // more bytes or pairs than a spelling list may have
    } status = Ok;
    QStringList from, to;     // fields as written in the file
    int skipped = 0;          // non-blank lines that did not hold a pair
    int firstSkippedLine = 0; // 1-based; 0 when none was skipped
};

// Parses the text of a list file. A field may be quoted ("a,b" keeps its
// comma; "" inside quotes is one quote) or bare (trimmed of blanks). A
// quote left open ends at the line's end. Lines holding only blanks are
// ignored; lines with fewer than two fields or an empty field are skipped;
// fields after the second are ignored.
SpellingListRead parseSpellingList(const QString &text);
// Reads and parses a file (UTF-8, or Latin-1 when it is not valid UTF-8).
SpellingListRead readSpellingList(const QString &path);

// The file text for the pairs (one record per pair, CR LF after each).
QByteArray spellingListText(const QStringList &from, const QStringList &to);
// Writes the file atomically: a failed write leaves an existing file as it
// was. Returns false with a reason in *error.
bool writeSpellingList(const QString &path, const QStringList &from, const QStringList &to,
                       QString *error = nullptr);

} // namespace qln
