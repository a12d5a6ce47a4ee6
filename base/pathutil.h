#pragma once
// Path helpers of the program ("pub_d"): splitting paths, existence tests
// with wildcards, and where the program itself lives. "/" separates folders.

#include <QString>

namespace qln {

// Parts of a path, split at its last "/":
//  2 the folder up to and including that "/" (a path without one gives "/"),
//  3 the file name with extension,
//  4 the extension with its dot ("" when the file name has no "."),
//  5 the file name without extension (the whole name when it has no ".").
// An empty path, or any other part number, gives "".
QString SplitPath(const QString &path, int part);

// Linux has no short (8.3) names: both return the path unchanged.
QString ShortPath(const QString &path);
QString ShortFolderPath(const QString &path);

// True when a file or folder is there. "*" and "?" in the last component
// are wildcards; then the answer is whether any entry of that folder matches.
bool FileExists(const QString &path);
// Whether a name matches a pattern: "*" any run of characters, "?" one
// character, everything else literal ("[" too, unlike QDir's filters).
bool wildcardMatch(QStringView name, QStringView pattern);

// True when a document path names no file yet: "" or a pattern such as
// "/home/me/*.java" (the Open dialog's starting place). A path holding "*"
// that exists on disk as written is a real file's name.
bool namesNoFile(const QString &path);

// The path made absolute against the current folder and cleaned ("." and
// ".." resolved by name, symbolic links kept); "" stays "". A document's
// path is always kept this way, so a later change of the current folder
// cannot send its file elsewhere.
QString absolutePath(const QString &path);

// What path names when something other than a regular file is there
// (symbolic links followed): "a folder", "a named pipe (FIFO)", "a socket",
// "a character device", "a block device" or "a special file"; "" for a
// regular file or when nothing is there. Reading any of these could block
// or has side effects, so the program reads only regular files.
QString specialFileKind(const QString &path);
// The same for the st_mode of stat().
QString specialFileKind(unsigned mode);

// True when the file exists and either the user may not write it or no one
// has write permission for it (so also for root on a chmod 444 file).
bool isReadOnlyFile(const QString &path);

// The folder of the running executable, without a trailing "/".
QString programFolder();
// programFolder() + "/" + the executable's name without extension +
// ".exe.manifest".
QString manifestPath();

} // namespace qln
