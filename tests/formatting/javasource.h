#pragma once
// Real Java source for comparison tests: the first `bytes` characters (ending
// on a whole line, CR LF breaks) of java/util from an installed kit's
// src.zip, read with unzip. Empty when no kit or no unzip is found.

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QString>

namespace qln::test {

inline QString kitJavaSource(qsizetype bytes)
{
    const QDir jvm(QStringLiteral("/usr/lib/jvm"));
    QString zip;
    for (const QString &kit : jvm.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        if (QFileInfo(jvm.filePath(kit + QStringLiteral("/lib/src.zip"))).isFile())
            zip = jvm.filePath(kit + QStringLiteral("/lib/src.zip"));
    if (zip.isEmpty())
        return QString();
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"),
                {QStringLiteral("-p"), zip, QStringLiteral("java.base/java/util/*.java")});
    if (!unzip.waitForFinished(120000))
        return QString();
    QString text = QString::fromUtf8(unzip.readAllStandardOutput());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    text.truncate(bytes);
    const qsizetype lastBreak = text.lastIndexOf(QLatin1String("\r\n"));
    if (lastBreak > 0)
        text.truncate(lastBreak + 2);
    return text;
}

} // namespace qln::test
