#pragma once
// Reading and writing documents as plain text. A document keeps the
// encoding and line-break style of the file it came from, so an unedited
// document is written back byte for byte.

#include <QByteArray>
#include <QString>
#include <optional>

namespace qln {

struct TextFileFormat {
    enum Encoding { Utf8, Latin1 } encoding = Utf8;
    bool byteOrderMark = false;
    enum LineBreak { CrLf, Lf, Cr } lineBreak = CrLf;
};

struct DecodedText {
    QString text; // line breaks as CR LF
    TextFileFormat format;
};

// Decodes file bytes; nothing when the bytes are not text (they hold NUL).
std::optional<DecodedText> decodeText(const QByteArray &bytes);
// Encodes CR LF text in the given format.
QByteArray encodeText(const QString &crlfText, const TextFileFormat &format);

// Reads a whole file; nothing (and a reason in error) when it is missing,
// a folder, unreadable or not text.
std::optional<DecodedText> readTextFile(const QString &path, QString *error = nullptr);
// Replaces the file atomically; on failure the old file is unchanged.
bool writeTextFile(const QString &path, const QString &crlfText, const TextFileFormat &format,
                   QString *error = nullptr);

} // namespace qln
