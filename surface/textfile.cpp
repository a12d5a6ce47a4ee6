#include "surface/textfile.h"

#include "surface/surface.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace qln {

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
    if (utf8.hasError()) {
        // Not valid UTF-8: read every byte as Latin-1 so it is written back as is.
        text = QString::fromLatin1(body.data(), body.size());
        out.format.encoding = TextFileFormat::Latin1;
        out.format.byteOrderMark = false;
        if (bytes.startsWith("\xEF\xBB\xBF"))
            text = QString::fromLatin1(bytes);
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

    bool latin1 = format.encoding == TextFileFormat::Latin1;
    if (latin1) {
        // A character Latin-1 cannot hold must not be lost: such a text is
        // written as UTF-8 instead.
        for (QChar c : std::as_const(text))
            if (c.unicode() > 0xFF) {
                latin1 = false;
                break;
            }
    }
    if (latin1)
        return text.toLatin1();
    QByteArray bytes = text.toUtf8();
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
