#include "settings/spellinglist.h"

#include "settings/convert.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace qln {

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// The fields of one line, in order.
QStringList splitRecord(QStringView line)
{
    QStringList fields;
    qsizetype i = 0;
    const qsizetype n = line.size();
    for (;;) {
        while (i < n && isBlank(line[i]))
            ++i;
        QString field;
        if (i < n && line[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (line[i] == QLatin1Char('"')) {
                    if (i + 1 < n && line[i + 1] == QLatin1Char('"')) {
                        field += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            // Whatever follows the closing quote up to the comma is dropped.
            while (i < n && line[i] != QLatin1Char(','))
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && line[i] != QLatin1Char(','))
                ++i;
            field = line.mid(start, i - start).trimmed().toString();
        }
        fields << field;
        if (i >= n)
            break;
        ++i; // the comma
    }
    return fields;
}

bool isControlByte(char16_t c)
{
    return c < 0x20 && c != u'\t' && c != u'\r' && c != u'\n' && c != u'\f';
}

} // namespace

SpellingListRead parseSpellingList(const QString &text)
{
    SpellingListRead out;
    for (QChar c : text)
        if (isControlByte(c.unicode())) {
            out.status = SpellingListRead::NotText;
            return out;
        }

    int lineNo = 0;
    qsizetype pos = 0;
    const qsizetype n = text.size();
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && text[end] != QLatin1Char('\n') && text[end] != QLatin1Char('\r'))
            ++end;
        const QStringView line = QStringView(text).mid(pos, end - pos);
        ++lineNo;
        if (end < n && text[end] == QLatin1Char('\r') && end + 1 < n
            && text[end + 1] == QLatin1Char('\n'))
            ++end;
        pos = end + 1;

        if (line.trimmed().isEmpty())
            continue;
        const QStringList fields = splitRecord(line);
        if (fields.size() < 2 || fields[0].isEmpty() || fields[1].isEmpty()) {
            if (!out.skipped)
                out.firstSkippedLine = lineNo;
            ++out.skipped;
            continue;
        }
        if (out.from.size() >= kMaxSpellingPairs) {
            out.status = SpellingListRead::TooLarge;
            out.from.clear();
            out.to.clear();
            return out;
        }
        out.from << fields[0];
        out.to << fields[1];
    }
    return out;
}

SpellingListRead readSpellingList(const QString &path)
{
    SpellingListRead out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out.status = SpellingListRead::Unreadable;
        return out;
    }
    if (file.size() > kMaxSpellingListBytes) {
        out.status = SpellingListRead::TooLarge;
        return out;
    }
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    // One mark was taken off above; any further one is text and stays.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    return parseSpellingList(text);
}

QByteArray spellingListText(const QStringList &from, const QStringList &to)
{
    auto quoted = [](QString s) {
        s.replace(QLatin1Char('"'), QLatin1String("\"\""));
        return QLatin1Char('"') + s + QLatin1Char('"');
    };
    QString text;
    const qsizetype n = std::min(from.size(), to.size());
    for (qsizetype i = 0; i < n; ++i)
        text += quoted(from[i]) + QLatin1Char(',') + quoted(to[i]) + QLatin1String("\r\n");
    return text.toUtf8();
}

bool writeSpellingList(const QString &path, const QStringList &from, const QStringList &to,
                       QString *error)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly) || file.write(spellingListText(from, to)) < 0
        || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace qln
