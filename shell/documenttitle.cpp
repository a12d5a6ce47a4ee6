#include "shell/documenttitle.h"

#include <QFileInfo>

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

QString commandLineReply(const QStringList &arguments)
{
    const QString line = commandLineText(arguments);
    if ((line != QLatin1String("--help") && line != QLatin1String("--version"))
        || QFileInfo::exists(line))
        return QString();
    if (line == QLatin1String("--version"))
        return QStringLiteral("Quillon " QUILLON_VERSION "\n");
    return QStringLiteral(
        "Usage: quillon [FILE]\n"
        "Opens FILE in Quillon, the editor for Java source files, or a new document\n"
        "when no file is named. Everything after \"quillon\" names one file, blanks\n"
        "included: quillon My Class.java opens \"My Class.java\".\n"
        "\n"
        "  --help     print this text and exit\n"
        "  --version  print the version and exit\n"
        "\n"
        "A file named --help or --version in the current folder is opened instead.\n");
}

} // namespace qln
