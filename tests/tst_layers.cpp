// The folders are the layers: a file under a ui/ folder belongs to the
// widgets library, every other program file to the core. Read from the
// source tree: no core file includes a ui/ header or a Qt Widgets or
// Print Support header, base/ includes no other folder, and the folders'
// includes form no cycle.
#include <functional>

#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

class TstLayers : public QObject {
    Q_OBJECT
private slots:
    void coreIncludesNoWidgets();
    void foldersFormNoCycle();

private:
    struct Include {
        QString file; // relative to the source root
        QString target;
    };
    static QList<Include> programIncludes();
    static QString folderOf(const QString &path);
};

// Program sources only: tests, benchmarks, fuzz harnesses and build trees
// are not part of either library.
QList<TstLayers::Include> TstLayers::programIncludes()
{
    static const QSet<QString> outside{"tests", "bench", "fuzz", "docs", "scripts", "samples"};
    const QString root = QStringLiteral(QUILLON_SOURCE_DIR);
    static const QRegularExpression includeLine(
        QStringLiteral(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])"),
        QRegularExpression::MultilineOption);
    QList<Include> out;
    QDirIterator it(root, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = QDir(root).relativeFilePath(it.next());
        const QString top = rel.section(QLatin1Char('/'), 0, 0);
        if (!rel.contains(QLatin1Char('/')) || outside.contains(top)
            || top.startsWith(QLatin1String("build")))
            continue;
        QFile f(it.filePath());
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromUtf8(f.readAll());
        for (auto m = includeLine.globalMatch(text); m.hasNext();) {
            const auto match = m.next();
            const QString target = match.captured(2);
            // Program headers are named from the root; system headers keep
            // their brackets so the Qt module can be told.
            out.append({rel, match.captured(1) == QLatin1String("<") ? QLatin1Char('<') + target
                                                                     : target});
        }
    }
    return out;
}

QString TstLayers::folderOf(const QString &path)
{
    // The subsystem, with its ui/ part as a folder of its own.
    const QStringList parts = path.split(QLatin1Char('/'));
    if (parts.size() >= 3 && parts.at(1) == QLatin1String("ui"))
        return parts.at(0) + QLatin1String("/ui");
    return parts.at(0);
}

void TstLayers::coreIncludesNoWidgets()
{
    const QList<Include> includes = programIncludes();
    QVERIFY2(includes.size() > 100, "the source tree was not found");
    static const QRegularExpression widgetModule(QStringLiteral(
        R"(^<(QtWidgets|QtPrintSupport)/|^<Q(Widget|Dialog|MainWindow|Application|)"
        R"(MessageBox|PushButton|Label|LineEdit|Printer|PrintDialog|Menu|Action)>$)"));
    QStringList faults;
    for (const Include &inc : includes) {
        const bool coreFile = folderOf(inc.file).endsWith(QLatin1String("/ui")) == false;
        if (!coreFile)
            continue;
        if (inc.target.contains(QLatin1String("/ui/")) || widgetModule.match(inc.target).hasMatch())
            faults << inc.file + QLatin1String(" includes ") + inc.target;
        if (inc.file.startsWith(QLatin1String("base/")) && !inc.target.startsWith(QLatin1Char('<'))
            && !inc.target.startsWith(QLatin1String("base/")))
            faults << inc.file + QLatin1String(" (the ground floor) includes ") + inc.target;
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

void TstLayers::foldersFormNoCycle()
{
    // Folder graph, with one include named per edge for the message.
    QMap<QString, QMap<QString, QString>> edges;
    for (const Include &inc : programIncludes()) {
        if (inc.target.startsWith(QLatin1Char('<')) || !inc.target.contains(QLatin1Char('/')))
            continue;
        const QString from = folderOf(inc.file), to = folderOf(inc.target);
        if (from != to && !edges[from].contains(to))
            edges[from][to] = inc.file + QLatin1String(" includes ") + inc.target;
    }
    QVERIFY(!edges.isEmpty());
    // Depth-first search; a folder met again while on the path closes a cycle.
    QMap<QString, int> state; // 1 on the path, 2 done
    QStringList path;
    QString cycle;
    std::function<bool(const QString &)> visit = [&](const QString &folder) {
        state[folder] = 1;
        path << folder;
        for (auto e = edges[folder].cbegin(); e != edges[folder].cend(); ++e) {
            if (state.value(e.key()) == 1) {
                const QStringList loop = path.mid(path.indexOf(e.key())) << e.key();
                for (int i = 0; i + 1 < loop.size(); ++i)
                    cycle += edges[loop[i]][loop[i + 1]] + QLatin1Char('\n');
                return true;
            }
            if (state.value(e.key()) == 0 && visit(e.key()))
                return true;
        }
        path.removeLast();
        state[folder] = 2;
        return false;
    };
    const QStringList folders = edges.keys();
    for (const QString &folder : folders)
        if (state.value(folder) == 0 && visit(folder))
            break;
    QVERIFY2(cycle.isEmpty(),
             qPrintable(QLatin1String("the folders include each other:\n") + cycle));
}

QTEST_GUILESS_MAIN(TstLayers)
#include "tst_layers.moc"
