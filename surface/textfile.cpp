#include "surface/textfile.h"

#include "surface/surface.h"
#include "surface/textscan.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QStringDecoder>
#include <cstring>

namespace qln {

static_assert(kMaxFileBytes == TextStore::kMaxLength, "a file's text must fit the surface");

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

} // namespace

bool latin1CanHold(QStringView text)
{
    // Anything above U+00FF but the stand-ins.
    return indexOfRange(text, 0, 0x100, kStrayByteBase + 0x7F) < 0
           && indexOfRange(text, 0, kStrayByteBase + 0x100, 0xFFFF) < 0;
}

QString fileTooLargeText(qint64 bytes)
{
    return QStringLiteral("The file is too large to open: it holds %1 bytes, and the editor "
                          "holds at most %2 characters.")
        .arg(QLocale::c().toString(bytes), QLocale::c().toString(kMaxFileBytes));
}

std::optional<DecodedText> decodeText(const QByteArray &bytes, bool *tooLarge)
{
    if (tooLarge)
        *tooLarge = false;
    auto refuseTooLarge = [tooLarge]() -> std::optional<DecodedText> {
        if (tooLarge)
            *tooLarge = true;
        return std::nullopt;
    };
    if (bytes.size() > kMaxFileBytes)
        return refuseTooLarge();
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

    // The line-break style is the one the file uses most. The text gets
    // room for a gap beyond its end, which the surface edits in.
    LineBreakCount breaks;
    const qsizetype n = text.size();
    out.text = toCrLf(std::move(text), &breaks, 4096 + n / 32);
    if (out.text.size() > kMaxFileBytes)
        return refuseTooLarge();
    if (breaks.crlf >= breaks.lf && breaks.crlf >= breaks.cr && breaks.crlf > 0)
        out.format.lineBreak = TextFileFormat::CrLf;
    else if (breaks.cr > breaks.lf)
        out.format.lineBreak = TextFileFormat::Cr;
    else
        out.format.lineBreak = TextFileFormat::Lf;
    return out;
}

QByteArray encodeText(const QString &crlfText, const TextFileFormat &format)
{
    // A character Latin-1 cannot hold must not be lost: such a text is
    // written as UTF-8 instead.
    const bool latin1 = format.encoding == TextFileFormat::Latin1 && latin1CanHold(crlfText);
    const bool mark = format.byteOrderMark && format.encoding == TextFileFormat::Utf8;
    QStringEncoder encoder(latin1 ? QStringEncoder::Latin1 : QStringEncoder::Utf8,
                           QStringEncoder::Flag::Stateless);
    const QStringView text(crlfText);
    const qsizetype n = text.size();
    QByteArray out(encoder.requiredSpace(n) + 3, Qt::Uninitialized);
    char *w = out.data();
    if (mark) {
        std::memcpy(w, "\xEF\xBB\xBF", 3);
        w += 3;
    }
    // The text goes in pieces between the characters that are not simply
    // encoded: CR LF breaks to be written in another style, stand-ins, and
    // surrogates (a lone one is written as "?", as QString::toUtf8 does).
    const bool breaksChange = format.lineBreak != TextFileFormat::CrLf;
    const char lineBreak = format.lineBreak == TextFileFormat::Cr ? '\r' : '\n';
    auto orEnd = [n](qsizetype at) { return at < 0 ? n : at; };
    auto findCr = [&](qsizetype from) {
        return breaksChange ? orEnd(text.indexOf(u'\r', from)) : n;
    };
    auto findStandIn = [&](qsizetype from) {
        return orEnd(indexOfRange(text, from, kStrayByteBase + 0x80, kStrayByteBase + 0xFF));
    };
    auto findSurrogate = [&](qsizetype from) {
        return latin1 ? n : orEnd(indexOfRange(text, from, 0xD800, 0xDFFF));
    };
    qsizetype nextCr = findCr(0), nextStandIn = findStandIn(0), nextSurrogate = findSurrogate(0);
    qsizetype from = 0;
    while (true) {
        const qsizetype at = std::min({nextCr, nextStandIn, nextSurrogate});
        w = encoder.appendToBuffer(w, text.sliced(from, at - from));
        if (at >= n)
            break;
        const char16_t c = text[at].unicode();
        from = at + 1;
        if (at == nextStandIn) {
            *w++ = char(c - kStrayByteBase);
            nextStandIn = findStandIn(from);
        } else if (at == nextSurrogate) {
            const char16_t low = from < n ? text[from].unicode() : 0;
            if (QChar::isHighSurrogate(c) && QChar::isLowSurrogate(low)) {
                const char32_t cp = QChar::surrogateToUcs4(c, low);
                *w++ = char(0xF0 | (cp >> 18));
                *w++ = char(0x80 | ((cp >> 12) & 0x3F));
                *w++ = char(0x80 | ((cp >> 6) & 0x3F));
                *w++ = char(0x80 | (cp & 0x3F));
                ++from;
            } else {
                *w++ = '?';
            }
            nextSurrogate = findSurrogate(from);
        } else {
            // A CR LF pair in the file's style; a lone CR is kept.
            const bool pair = from < n && text[from] == u'\n';
            *w++ = pair ? lineBreak : '\r';
            from += pair ? 1 : 0;
            nextCr = findCr(from);
        }
    }
    out.truncate(w - out.data());
    return out;
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
    if (info.size() > kMaxFileBytes)
        return fail(fileTooLargeText(info.size()));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    bool tooLarge = false;
    auto decoded = decodeText(bytes, &tooLarge);
    if (!decoded)
        return fail(tooLarge ? fileTooLargeText(bytes.size())
                             : QStringLiteral("The file is not a text file."));
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
