#include "shell/documenttitle.h"

namespace qln {

QString documentCaption(const QString &fileName)
{
    return QStringLiteral("Document [") + fileName + QStringLiteral("] - Quillon");
}

bool captionMarksModified(const QString &caption)
{
    return caption.endsWith(QLatin1Char('*'));
}

QString captionWithModifiedMark(const QString &caption)
{
    return captionMarksModified(caption) ? caption : caption + QLatin1Char('*');
}

QString commandLineText(const QStringList &arguments)
{
    return arguments.mid(1).join(QLatin1Char(' '));
}

QString stripCommandLineQuotes(const QString &text)
{
    QString path = text;
    if (path.startsWith(QLatin1Char('"')))
        path.remove(0, 1);
    if (path.endsWith(QLatin1Char('"')))
        path.chop(1);
    return path;
}

} // namespace qln
