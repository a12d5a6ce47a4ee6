#include "surface/textfile.h"

#include "surface/surface.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <cstring>

namespace qln {

namespace {

// Whether valid UTF-8 bytes hold a character of the stand-in range
// (EF 9E 80 to EF 9F BF): only 0xEF bytes need a look.
bool holdsStandInRange(QByteArrayView bytes)
{
    const char *p = bytes.data();
    const char *end = p + bytes.size();
    while (p < end) {
        const void *hit = std::memchr(p, 0xEF, size_t(end - p));
        if (!hit)
            return false;
        p = static_cast<const char *>(hit) + 1;
        if (p < end && (uchar(*p) == 0x9E || uchar(*p) == 0x9F))
            return true;
    }
    return false;
}

// The length of the well-formed UTF-8 sequence at p (Unicode's table of
// well-formed byte sequences: no overlong forms, no surrogates, nothing
// past U+10FFFF), 0 when none starts there.
int sequenceLength(const uchar *p, qsizetype left)
{
    const uchar b = p[0];
    if (b < 0x80)
        return 1;
    int n = 0;
    uchar lo = 0x80, hi = 0xBF; // the second byte's range
    if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        if (b == 0xE0)
            lo = 0xA0;
        else if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (left < n || p[1] < lo || p[1] > hi)
        return 0;
    for (int i = 2; i < n; ++i)
        if (p[i] < 0x80 || p[i] > 0xBF)
            return 0;
    return n;
}

struct Utf8Reading {
    QString text;
    qsizetype strayBytes = 0;
    qsizetype multiByte = 0; // valid sequences of more than one byte
};

// Reads UTF-8 byte by byte: each valid sequence is its character, each
// other byte its stand-in, so that writing the text back gives the bytes.
Utf8Reading readUtf8KeepingStrayBytes(QByteArrayView body)
{
    Utf8Reading out;
    out.text.reserve(body.size());
    const uchar *p = reinterpret_cast<const uchar *>(body.data());
    const qsizetype n = body.size();
    qsizetype i = 0;
    while (i < n) {
        // Runs of ASCII go in at once.
        qsizetype j = i;
        while (j < n && p[j] < 0x80)
            ++j;
        if (j > i) {
            out.text.append(QLatin1StringView(reinterpret_cast<const char *>(p + i), j - i));
            i = j;
            if (i == n)
                break;
        }
        const int len = sequenceLength(p + i, n - i);
        if (len == 0) {
            out.text.append(strayByteChar(p[i]));
            ++out.strayBytes;
            ++i;
            continue;
        }
        char32_t cp = len == 2 ? p[i] & 0x1F : len == 3 ? p[i] & 0x0F : p[i] & 0x07;
        for (int k = 1; k < len; ++k)
            cp = (cp << 6) | (p[i + k] & 0x3F);
        ++out.multiByte;
        if (isStrayByte(cp)) {
            // The file's own character of the stand-in range: kept as its
            // three bytes, which is how it is written back.
            for (int k = 0; k < len; ++k)
                out.text.append(strayByteChar(p[i + k]));
        } else if (cp > 0xFFFF) {
            out.text.append(QChar(QChar::highSurrogate(cp)));
            out.text.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            out.text.append(QChar(char16_t(cp)));
        }
        i += len;
    }
    return out;
}

// The first stand-in at or after from, or -1.
qsizetype nextStrayByte(QStringView text, qsizetype from)
{
    const char16_t *d = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = from; i < n; ++i)
        if (isStrayByte(d[i]))
            return i;
    return -1;
}

QByteArray toUtf8KeepingStrayBytes(QStringView text)
{
    qsizetype at = nextStrayByte(text, 0);
    if (at < 0)
        return text.toUtf8();
    QByteArray out;
    out.reserve(text.size() + text.size() / 8);
    qsizetype from = 0;
    while (at >= 0) {
        out += text.sliced(from, at - from).toUtf8();
        out += char(text[at].unicode() - kStrayByteBase);
        from = at + 1;
        at = nextStrayByte(text, from);
    }
    out += text.sliced(from).toUtf8();
    return out;
}

QByteArray toLatin1KeepingStrayBytes(QStringView text)
{
    QByteArray out = text.toLatin1();
    for (qsizetype at = nextStrayByte(text, 0); at >= 0; at = nextStrayByte(text, at + 1))
        out[at] = char(text[at].unicode() - kStrayByteBase);
    return out;
}

} // namespace

bool latin1CanHold(QStringView text)
{
    for (QChar c : text)
        if (c.unicode() > 0xFF && !isStrayByte(c.unicode()))
            return false;
    return true;
}

std::optional<DecodedText> decodeText(const QByteArray &bytes)
{
    // A NUL byte means the file is not text (a binary, or a wide encoding
    // the editor does not write back).
    if (bytes.contains('\0'))
        return std::nullopt;

    DecodedText out;
    QByteArrayView body(bytes);
    if (body.startsWith("\xEF\xBB\xBF")) {
        out.format.byteOrderMark = true;
        body = body.sliced(3);
    }
    // One mark was taken off above; any further one is text and stays.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(body);
    if (utf8.hasError() || holdsStandInRange(body)) {
        Utf8Reading reading = readUtf8KeepingStrayBytes(body);
        if (reading.multiByte > 0 || out.format.byteOrderMark) {
            text = std::move(reading.text);
            out.strayBytes = reading.strayBytes;
        } else {
            // Nothing in it reads as UTF-8: every byte is a Latin-1 character.
            text = QString::fromLatin1(body.data(), body.size());
            out.format.encoding = TextFileFormat::Latin1;
        }
    }

    // The line-break style is the one the file uses most.
    qsizetype crlf = 0, lf = 0, cr = 0;
    const QChar *d = text.constData();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (d[i] == QLatin1Char('\r')) {
            if (i + 1 < n && d[i + 1] == QLatin1Char('\n')) {
                ++crlf;
                ++i;
            } else {
                ++cr;
            }
        } else if (d[i] == QLatin1Char('\n')) {
            ++lf;
        }
    }
    if (crlf >= lf && crlf >= cr && crlf > 0)
        out.format.lineBreak = TextFileFormat::CrLf;
    else if (cr > lf)
        out.format.lineBreak = TextFileFormat::Cr;
    else
        out.format.lineBreak = TextFileFormat::Lf;
    out.text = Surface::normalizeLineBreaks(text);
    return out;
}

QByteArray encodeText(const QString &crlfText, const TextFileFormat &format)
{
    QString text = crlfText;
    if (format.lineBreak == TextFileFormat::Lf)
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    else if (format.lineBreak == TextFileFormat::Cr)
        text.replace(QLatin1String("\r\n"), QLatin1String("\r"));

    // A character Latin-1 cannot hold must not be lost: such a text is
    // written as UTF-8 instead.
    if (format.encoding == TextFileFormat::Latin1 && latin1CanHold(text))
        return toLatin1KeepingStrayBytes(text);
    QByteArray bytes = toUtf8KeepingStrayBytes(text);
    if (format.byteOrderMark && format.encoding == TextFileFormat::Utf8)
        bytes.prepend("\xEF\xBB\xBF");
    return bytes;
}

std::optional<DecodedText> readTextFile(const QString &path, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const QFileInfo info(path);
    if (!info.exists())
        return fail(QStringLiteral("The file does not exist."));
    if (info.isDir())
        return fail(QStringLiteral("The path names a folder."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    auto decoded = decodeText(bytes);
    if (!decoded)
        return fail(QStringLiteral("The file is not a text file."));
    return decoded;
}

bool writeTextFile(const QString &path, const QString &crlfText, const TextFileFormat &format,
                   QString *error)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const QByteArray bytes = encodeText(crlfText, format);
    if (file.write(bytes) != bytes.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace qln
