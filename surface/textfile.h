#pragma once
// Reading and writing documents as plain text. A document keeps the
// encoding and line-break style of the file it came from, so an unedited
// document is written back byte for byte, and an edited one changes only
// the bytes of what was edited.
//
// Encoding: a file that is valid UTF-8 is UTF-8. A file that is not is
// still UTF-8 when it begins with a UTF-8 byte-order mark or holds at least
// one valid multi-byte UTF-8 sequence; each byte that is not part of valid
// UTF-8 (a stray byte) is then kept as a stand-in character, U+F700 plus
// the byte (U+F780 to U+F7FF, private use), which is written back as that
// byte. Any other file (ASCII and bytes 80-FF only) is Latin-1. A file's
// own characters U+F780 to U+F7FF are read as the stand-ins of their three
// bytes, so they come back as they were too.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>

namespace qln {

struct TextFileFormat {
    enum Encoding { Utf8, Latin1 } encoding = Utf8;
    bool byteOrderMark = false;
    enum LineBreak { CrLf, Lf, Cr } lineBreak = CrLf;
    bool operator==(const TextFileFormat &) const = default;
};

struct DecodedText {
    QString text; // line breaks as CR LF
    TextFileFormat format;
    // Bytes of a UTF-8 file that are not UTF-8, kept as stand-ins.
    qsizetype strayBytes = 0;
};

// The stand-in of a stray byte (0x80 to 0xFF) is U+F700 + the byte.
constexpr char16_t kStrayByteBase = 0xF700;
constexpr bool isStrayByte(char32_t c)
{
    return c >= kStrayByteBase + 0x80 && c <= kStrayByteBase + 0xFF;
}
constexpr QChar strayByteChar(unsigned char byte)
{
    return QChar(char16_t(kStrayByteBase + byte));
}

// Whether Latin-1 holds every character of text (stand-ins are their bytes).
bool latin1CanHold(QStringView text);

// The most bytes a file can have and still be opened: its text must fit
// the surface's positions, which no longer file's text does.
constexpr qint64 kMaxFileBytes = 0x7FFFFFFD;
// Why a file of that many bytes is not opened.
QString fileTooLargeText(qint64 bytes);

// Decodes file bytes; nothing when the bytes are not text (they hold NUL)
// or when their text is longer than a surface holds (tooLarge is then set).
std::optional<DecodedText> decodeText(const QByteArray &bytes, bool *tooLarge = nullptr);
// Encodes CR LF text in the given format; stand-ins become their bytes. A
// Latin-1 text holding a character Latin-1 cannot store is written as UTF-8
// rather than lose it (DocumentFiles asks the user before that happens).
QByteArray encodeText(const QString &crlfText, const TextFileFormat &format);

// Reads a whole file; nothing (and a reason in error) when it is missing,
// a folder, unreadable, not text or too large (the file is then not read).
std::optional<DecodedText> readTextFile(const QString &path, QString *error = nullptr);
// Replaces the file atomically; on failure the old file is unchanged.
bool writeTextFile(const QString &path, const QString &crlfText, const TextFileFormat &format,
                   QString *error = nullptr);

} // namespace qln
