#include "benchsupport.h"


#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <cstdio>

namespace qln::bench {

namespace {
QString g_origin;

QString findSrcZip()
{
    QStringList candidates;
    const QString home = qEnvironmentVariable("JAVA_HOME");
    if (!home.isEmpty())
        candidates << home + QStringLiteral("/lib/src.zip") << home + QStringLiteral("/src.zip");
    const QDir jvm(QStringLiteral("/usr/lib/jvm"));
    for (const QString &kit : jvm.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        candidates << jvm.filePath(kit + QStringLiteral("/lib/src.zip"));
    for (const QString &c : candidates)
        if (QFileInfo(c).isFile())
            return QFileInfo(c).canonicalFilePath();
    return QString();
}
} // namespace

QString javaSource(qsizetype bytes)
{
    const QString zip = findSrcZip();
    if (zip.isEmpty())
        return QString();
    QString all;
    const QStringList patterns{QStringLiteral("java.base/java/util/*.java"),
                               QStringLiteral("java.base/java/lang/*.java"),
                               QStringLiteral("java.desktop/javax/swing/*.java")};
    for (const QString &pattern : patterns) {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), zip, pattern});
        unzip.waitForFinished(120000);
        all += QString::fromUtf8(unzip.readAllStandardOutput());
        if (all.size() >= bytes)
            break;
    }
    all.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    all.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    // Repeat when the archive holds less than asked for.
    QString out;
    while (!all.isEmpty() && out.size() < bytes)
        out += all;
    out.truncate(bytes);
    // End on a whole line.
    const qsizetype lastBreak = out.lastIndexOf(QLatin1String("\r\n"));
    if (lastBreak > 0)
        out.truncate(lastBreak + 2);
    g_origin = QStringLiteral("%1 (%2 characters)").arg(zip).arg(out.size());
    return out;
}

QString javaSourceOrigin()
{
    return g_origin;
}

double timeMs(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

double medianMs(int runs, const std::function<void()> &f, double *p99)
{
    std::vector<double> v;
    v.reserve(size_t(runs));
    for (int i = 0; i < runs; ++i)
        v.push_back(timeMs(f));
    std::sort(v.begin(), v.end());
    if (p99)
        *p99 = v[std::min(v.size() - 1, size_t(double(v.size()) * 0.99))];
    return v[v.size() / 2];
}

void report(const QString &what, double ms, const QString &limit)
{
    std::printf("%-64s %9.3f ms   (limit %s)\n", qPrintable(what), ms, qPrintable(limit));
    std::fflush(stdout);
}

MsgAnswer BenchPrompter::message(const MessageRequest &request)
{
    ++messages;
    lastMessage = request.text;
    if (reportMessages)
        std::printf("message: %s\n", qPrintable(request.text));
    if (request.buttons == MsgButtons::Ok || request.buttons == MsgButtons::OkCancel)
        return MsgAnswer::Ok;
    return answer;
}

std::optional<QString> BenchPrompter::input(const QString &, const QString &, const QString &)
{
    return inputText.isEmpty() ? std::nullopt : std::optional<QString>(inputText);
}

std::optional<QString> BenchPrompter::file(const FileDialogRequest &)
{
    return fileName.isEmpty() ? std::nullopt : std::optional<QString>(fileName);
}

QString reportedJavaSource(qsizetype bytes)
{
    const QString src = javaSource(bytes);
    if (src.isEmpty())
        std::printf("no Java kit with lib/src.zip found: nothing measured\n");
    else
        std::printf("input: %s\n", qPrintable(javaSourceOrigin()));
    return src;
}

} // namespace qln::bench
