#pragma once
// Whole-text passes at memory speed, for reading and writing files and for
// loading a document: finding characters of a range and turning line
// breaks into CR LF, a block of characters at a time.

#include <QString>
#include <QStringView>

namespace qln {

// The first character of text at or after from that lies in [lo, hi], or -1.
qsizetype indexOfRange(QStringView text, qsizetype from, char16_t lo, char16_t hi);

// How many line breaks of each style a text holds. A CR followed by LF is
// one CR LF break, never a CR and an LF.
struct LineBreakCount {
    qsizetype crlf = 0;
    qsizetype lf = 0;
    qsizetype cr = 0;
};

// The text with every line break (CR, LF or CR LF) as CR LF. A text that
// holds CR LF breaks only comes back as it was, without a copy; otherwise
// the result is built in one pass, with at least `spare` characters of
// capacity left over. count, when given, receives the breaks as found.
QString toCrLf(QString text, LineBreakCount *count = nullptr, qsizetype spare = 0);

} // namespace qln
