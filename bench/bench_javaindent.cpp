// "AutoIndent all" measured on the kit's own sources: every .java file
// under java.base/java/util of the JDK 17 src.zip (subpackages included),
// re-indented with a 4-space unit and the factory settings otherwise.
// Prints how many lines keep their indentation, by kind of line: code,
// javadoc and other comment lines, "} else {"-type lines, case labels,
// and blank lines that end up holding blanks.
//
// Usage: bench_javaindent [--out folder] [path/to/src.zip]
// Without a zip the one of a Java 17 kit under /usr/lib/jvm (or $JAVA_HOME)
// is used; without one the program says so and measures nothing. With
// --out the re-indented files are written there, for a look at the result.
#include "benchsupport.h"

#include "formatting/indenter.h"
#include "surface/surface.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

namespace {

QString findKitZip(const QString &given)
{
    if (!given.isEmpty())
        return QFile::exists(given) ? given : QString();
    QStringList candidates;
    if (!qEnvironmentVariableIsEmpty("JAVA_HOME"))
        candidates << qEnvironmentVariable("JAVA_HOME") + QStringLiteral("/lib/src.zip");
    const QDir jvm(QStringLiteral("/usr/lib/jvm"));
    for (const QString &kit : jvm.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        if (kit.contains(QStringLiteral("17")))
            candidates << jvm.filePath(kit + QStringLiteral("/lib/src.zip"));
    for (const QString &zip : candidates)
        if (QFile::exists(zip))
            return zip;
    return QString();
}

// What each line of a Java file is, read with the language's own rules.
enum class LineKind { Blank, Code, JavadocBody, CommentBody, TextBlockBody };

std::vector<LineKind> classify(const QStringList &lines)
{
    enum { Code, Javadoc, Comment, TextBlock } state = Code;
    std::vector<LineKind> kinds;
    for (const QString &line : lines) {
        if (state == TextBlock)
            kinds.push_back(LineKind::TextBlockBody);
        else if (line.trimmed().isEmpty())
            kinds.push_back(LineKind::Blank);
        else if (state == Javadoc)
            kinds.push_back(LineKind::JavadocBody);
        else if (state == Comment)
            kinds.push_back(LineKind::CommentBody);
        else
            kinds.push_back(LineKind::Code);
        const int n = int(line.size());
        for (int i = 0; i < n;) {
            const QStringView rest = QStringView(line).mid(i);
            if (state == Javadoc || state == Comment) {
                const int e = int(rest.indexOf(QLatin1String("*/")));
                if (e < 0)
                    break;
                i += e + 2;
                state = Code;
            } else if (state == TextBlock) {
                int j = i;
                while (j < n && !QStringView(line).mid(j).startsWith(QLatin1String("\"\"\"")))
                    j += line.at(j) == QLatin1Char('\\') ? 2 : 1;
                if (j >= n)
                    break;
                i = j + 3;
                state = Code;
            } else if (rest.startsWith(QLatin1String("//"))) {
                break;
            } else if (rest.startsWith(QLatin1String("/**"))
                       && !rest.startsWith(QLatin1String("/**/"))) {
                state = Javadoc;
                i += 3;
            } else if (rest.startsWith(QLatin1String("/*"))) {
                state = Comment;
                i += 2;
            } else if (rest.startsWith(QLatin1String("\"\"\""))) {
                state = TextBlock;
                i += 3;
            } else if (line.at(i) == QLatin1Char('"') || line.at(i) == QLatin1Char('\'')) {
                const QChar q = line.at(i);
                int j = i + 1;
                while (j < n && line.at(j) != q)
                    j += line.at(j) == QLatin1Char('\\') ? 2 : 1;
                i = j + 1;
            } else {
                ++i;
            }
        }
    }
    return kinds;
}

QString leading(const QString &line)
{
    int i = 0;
    while (i < line.size() && (line.at(i) == QLatin1Char(' ') || line.at(i) == QLatin1Char('\t')))
        ++i;
    return line.left(i);
}

struct Tally {
    qint64 total = 0, kept = 0;
    void add(bool keeps)
    {
        ++total;
        kept += keeps;
    }
    QString text() const
    {
        return QStringLiteral("%1 of %2 keep their indentation (%3 %), %4 change")
            .arg(kept)
            .arg(total)
            .arg(total ? 100.0 * double(kept) / double(total) : 0.0, 0, 'f', 2)
            .arg(total - kept);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString out;
    if (args.size() >= 2 && args.at(0) == QLatin1String("--out")) {
        out = args.at(1);
        args = args.mid(2);
    }
    const QString zip = findKitZip(args.value(0));
    if (zip.isEmpty()) {
        std::printf("no JDK 17 src.zip found (give its path as the argument): nothing measured\n");
        return 0;
    }
    QTemporaryDir dir;
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"),
                {QStringLiteral("-q"), QStringLiteral("-o"), zip,
                 QStringLiteral("java.base/java/util/*"), QStringLiteral("-d"), dir.path()});
    if (!unzip.waitForFinished(300000) || unzip.exitCode() != 0) {
        std::printf("unzip could not extract java/util from %s: nothing measured\n",
                    qPrintable(zip));
        return 0;
    }
    QStringList files;
    QDirIterator it(dir.path() + QStringLiteral("/java.base/java/util"), {QStringLiteral("*.java")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    std::printf("input: %s, %lld .java files under java.base/java/util (subpackages included)\n",
                qPrintable(zip), qlonglong(files.size()));

    const QString unit(4, QLatin1Char(' '));
    Tally nonBlank, code, javadoc, comment, textBlock, closeOpen, labels;
    qint64 javadocOpenerMoved = 0; // javadoc lines changed whose comment's first line moved
    qint64 blank = 0, blankFilled = 0, characters = 0;
    double ms = 0;
    const QRegularExpression closeOpenLine(QStringLiteral("^\\}\\s*(else|catch|finally|while)\\b"));
    const QRegularExpression labelLine(QStringLiteral("^(case\\b|default\\s*(:|->))"));
    for (const QString &path : files) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        QString text = QString::fromUtf8(f.readAll());
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        characters += text.size();
        Surface s;
        s.setText(text);
        ms += timeMs([&] { IndentAllLines(s, IndentSyntax::java(unit)); });
        const QStringList before = text.split(QLatin1Char('\n'));
        const QStringList after = QString(s.text())
                                      .replace(QLatin1String("\r\n"), QLatin1String("\n"))
                                      .split(QLatin1Char('\n'));
        if (!out.isEmpty()) {
            const QString target = out + path.mid(dir.path().size());
            QDir().mkpath(QFileInfo(target).path());
            QFile o(target);
            if (o.open(QIODevice::WriteOnly))
                o.write(after.join(QLatin1Char('\n')).toUtf8());
        }
        if (after.size() != before.size()) {
            std::printf("%s: the line count changed\n", qPrintable(path));
            continue;
        }
        const std::vector<LineKind> kinds = classify(before);
        int opener = -1; // the line a javadoc opened on
        for (int i = 0; i < before.size(); ++i) {
            const QString &b = before.at(i);
            const QString &a = after.at(i);
            const QString body = b.trimmed();
            if (kinds[size_t(i)] == LineKind::Blank) {
                ++blank;
                blankFilled += !a.isEmpty();
                continue;
            }
            const bool keeps = a == b;
            nonBlank.add(keeps);
            switch (kinds[size_t(i)]) {
            case LineKind::JavadocBody: {
                javadoc.add(keeps);
                const int o = opener >= 0 ? opener : i - 1;
                javadocOpenerMoved += !keeps && leading(before.at(o)) != leading(after.at(o));
                break;
            }
            case LineKind::CommentBody: comment.add(keeps); break;
            case LineKind::TextBlockBody: textBlock.add(keeps); break;
            default:
                code.add(keeps);
                if (closeOpenLine.match(body).hasMatch())
                    closeOpen.add(keeps);
                if (labelLine.match(body).hasMatch())
                    labels.add(keeps);
                break;
            }
            if (kinds[size_t(i)] != LineKind::JavadocBody)
                opener = i;
        }
    }
    std::printf("%lld characters, re-indented in %.1f ms in all (unit: 4 spaces)\n",
                qlonglong(characters), ms);
    std::printf("non-blank lines:            %s\n", qPrintable(nonBlank.text()));
    std::printf("  code lines:               %s\n", qPrintable(code.text()));
    std::printf("  javadoc lines:            %s\n", qPrintable(javadoc.text()));
    std::printf("    of those changed, in comments whose first line moved: %lld\n",
                javadocOpenerMoved);
    std::printf("  other comment lines:      %s\n", qPrintable(comment.text()));
    std::printf("  text block lines:         %s\n", qPrintable(textBlock.text()));
    std::printf("  \"} else {\"-type lines:    %s\n", qPrintable(closeOpen.text()));
    std::printf("  case/default labels:      %s\n", qPrintable(labels.text()));
    std::printf("blank lines: %lld, left holding blanks: %lld\n", blank, blankFilled);
    summary(QStringLiteral("java/util re-indented: %1 % of non-blank lines kept, %2 "
                           "javadoc lines changed")
                .arg(nonBlank.total ? 100.0 * double(nonBlank.kept) / double(nonBlank.total) : 0.0,
                     0, 'f', 2)
                .arg(javadoc.total - javadoc.kept));
    return 0;
}
