#pragma once
// The main window's caption, which also carries the document's modified
// marker, and the document path named on the command line.

#include <QString>
#include <QStringList>

namespace qln {

// "Document [" + name + "] - Quillon"; name is the file name with extension.
QString documentCaption(const QString &fileName);
// True when the caption is not empty and ends with the marker "*".
bool captionMarksModified(const QString &caption);
// The caption with the marker appended (unchanged when it has one).
QString captionWithModifiedMark(const QString &caption);

// The whole command line is one path: the arguments after the program name
// joined by blanks.
QString commandLineText(const QStringList &arguments);
// Removes one double quote at the start and one at the end, each if present.
QString stripCommandLineQuotes(const QString &text);
// What the program prints instead of starting: the usage for "--help" and
// the version for "--version", when that is the whole command line and no
// file of that name exists in the current folder; "" otherwise (the command
// line names a document).
QString commandLineReply(const QStringList &arguments);

} // namespace qln
