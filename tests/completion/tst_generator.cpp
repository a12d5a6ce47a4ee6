// The object tree generator run against the Java kit of this machine: its
// output covers the platform API with inherited members and constructors,
// and is in the order the loader takes without sorting, as the shipped tree
// is.
#include "completion/objecttree.h"
#include "completion/treesearch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "support/requirekit.h"

using namespace qln;

namespace {

// The java launcher of a kit: $JAVA_HOME, the kit this program is built
// for, then PATH.
QString javaLauncher()
{
    QStringList candidates;
    const QString home = qEnvironmentVariable("JAVA_HOME");
    if (!home.isEmpty())
        candidates << home + QStringLiteral("/bin/java");
    candidates << QStringLiteral("/usr/lib/jvm/java-17-openjdk-amd64/bin/java");
    for (const QString &c : candidates)
        if (QFileInfo(c).isExecutable())
            return c;
    return QStandardPaths::findExecutable(QStringLiteral("java"));
}

// The entries of a tree file, with a check of its line format: every line
// one entry in double quotes, ended by CR LF.
QStringList readTreeLines(const QString &path, QString *formatError)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *formatError = QStringLiteral("cannot read ") + path;
        return {};
    }
    const QString text = QString::fromUtf8(f.readAll());
    QStringList entries{QString()};
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (i == lines.size() - 1 && line.isEmpty())
            break;
        if (line.size() < 3 || !line.startsWith(QLatin1Char('"'))
            || !line.endsWith(QLatin1Char('"')) || line.contains(QLatin1Char('\n'))) {
            *formatError = QStringLiteral("line %1: %2").arg(i + 1).arg(line.left(80));
            return {};
        }
        entries << line.mid(1, line.size() - 2);
    }
    return entries;
}

// The order rules the loader relies on: strictly ascending binary order,
// every entry tagged, every entry below a parent entry that the search
// finds.
QString orderProblem(const QStringList &tree)
{
    if (!IsTreeSorted(tree))
        return QStringLiteral("not in ascending binary order");
    const TreeEntries entries(tree);
    for (qsizetype i = 1; i < tree.size(); ++i) {
        const QString &e = tree.at(i);
        if (i > 1 && tree.at(i - 1) == e)
            return QStringLiteral("duplicate: ") + e;
        if (treeTagImage(e) == 0)
            return QStringLiteral("no tag: ") + e;
        // The parent: the text up to the dot that ends the qualified name
        // (member texts hold no dot of their own).
        const QString withoutTag = e.left(e.size() - 5);
        const qsizetype dot = withoutTag.lastIndexOf(QLatin1Char('.'));
        if (dot <= 0)
            continue;
        const QString parentKey = withoutTag.left(dot + 1);
        bool found = false;
        for (const TreeTag &t : kTreeTags)
            if (FindTreeEntry(entries, parentKey + QLatin1String(t.tag)) > 0) {
                found = true;
                break;
            }
        if (!found)
            return QStringLiteral("no parent for: ") + e;
    }
    return QString();
}

} // namespace

class TstGenerator : public QObject {
    Q_OBJECT
private slots:
    void shippedTreeFollowsTheOrderRules()
    {
        const QString shipped =
            QCoreApplication::applicationDirPath() + QStringLiteral("/JDK1.3.1TreeSorted.txt");
        QString error;
        const QStringList tree = readTreeLines(shipped, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(tree.size() > 100001);
        const QString problem = orderProblem(tree);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
    void generatorCoversThePlatform()
    {
        const QString java = javaLauncher();
        QLN_REQUIRE_KIT(!java.isEmpty(), "the Java kit's java launcher");
        const QString generator =
            QCoreApplication::applicationDirPath() + QStringLiteral("/GenerateObjectTree.java");
        QVERIFY(QFile::exists(generator));
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("tree.txt"));
        QProcess run;
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(java, {generator, out});
        QVERIFY2(run.waitForFinished(280000), "the generator did not finish");
        const QString log = QString::fromLocal8Bit(run.readAll());
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, qPrintable(log));
        qInfo().noquote() << log.trimmed();

        QString error;
        const QStringList tree = readTreeLines(out, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY2(tree.size() - 1 > 100000, qPrintable(QString::number(tree.size() - 1)));
        const QString problem = orderProblem(tree);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));

        const TreeEntries entries(tree);
        auto has = [&](const char *entry) {
            return FindTreeEntry(entries, QLatin1String(entry)) > 0;
        };
        // Inherited members with the tags of their declarations, constructors.
        QVERIFY(has("javax.swing.JButton.void setText(String).-p-m"));
        QVERIFY(has("javax.swing.JButton.void addActionListener(ActionListener).-p-m"));
        QVERIFY(has("javax.swing.JButton.JButton(String, Icon).-p-m"));
        QVERIFY(has("javax.swing.JButton.boolean equals(Object).-p-m"));
        QVERIFY(has("javax.swing.JButton.Class getClass().-pfm"));
        QVERIFY(has("java.util.ArrayList.Stream stream().-p-m")); // a default method of Collection
        QVERIFY(has("javax.swing.JComponent.AccessibleContext accessibleContext.-r-v"));
        // The packages the old tree left out, and the names above packages.
        for (const char *pkg :
             {"java.nio.file.-p-p", "java.time.-p-p", "java.text.-p-p", "java.math.-p-p",
              "java.sql.-p-p", "java.util.concurrent.-p-p", "java.util.stream.-p-p",
              "javax.xml.-p-p", "javax.xml.parsers.-p-p"})
            QVERIFY2(has(pkg), pkg);
        QVERIFY(has("java.math.BigDecimal.BigDecimal add(BigDecimal).-p-m"));
        QVERIFY(has("java.time.LocalDate.-p-c"));
        // Nested types and enum constants.
        QVERIFY(has("java.util.Map.Entry.-p-i"));
        QVERIFY(has("java.lang.Thread.State.State NEW.-pfv"));
        // Only java.* and javax.*: no packages of other name spaces.
        QVERIFY(!has("org.w3c.dom.-p-p"));
    }
};

QTEST_MAIN(TstGenerator)
#include "tst_generator.moc"
