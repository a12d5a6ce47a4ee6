// Figures of the object tree: loading the shipped tree (sorted), loading a
// shuffled copy of it (with the sort), and one completion search.
#include "benchsupport.h"
#include "completion/nameresolve.h"
#include "completion/objecttree.h"
#include "completion/treesearch.h"
#include "settings/settingsstore.h"
#include "base/pathutil.h"
#include "base/prompter.h"
#include "surface/surface.h"

#include <QApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

namespace {
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString factory = programFolder() + QStringLiteral("/JDK1.3.1TreeSorted.txt");
    if (!QFile::exists(factory)) {
        std::printf("%s not found: nothing measured\n", qPrintable(factory));
        return 0;
    }
    SettingsStore store(std::make_unique<MemorySettingsBackend>());
    BenchPrompter prompter{MsgAnswer::No};
    ObjectTree tree;

    auto load = [&](const QString &file, const TreeLoadHooks &hooks) {
        QString path = file;
        tree.clear();
        LoadObjectTree(path, tree, store, prompter, hooks);
    };
    load(factory, {});
    std::printf("input: %s, %d entries, %lld bytes\n", qPrintable(factory), tree.treecount,
                qlonglong(QFileInfo(factory).size()));

    report(QStringLiteral("Load the shipped tree (sorted)"),
           medianMs(15, [&] { load(factory, {}); }), QStringLiteral("150 ms"));

    // A shuffled copy: read, sorted in memory, the offer declined.
    QTemporaryDir dir;
    const QString shuffledPath = dir.filePath(QStringLiteral("shuffled.txt"));
    {
        QStringList entries = tree.arrtree.mid(1);
        QRandomGenerator rng(1234);
        for (qsizetype i = entries.size() - 1; i > 0; --i)
            entries.swapItemsAt(i, qsizetype(rng.bounded(quint32(i + 1))));
        QByteArray out;
        for (const QString &e : entries)
            out += '"' + e.toUtf8() + "\"\r\n";
        QFile f(shuffledPath);
        if (!f.open(QIODevice::WriteOnly) || f.write(out) != out.size()) {
            std::printf("cannot write %s\n", qPrintable(shuffledPath));
            return 1;
        }
    }
    TreeLoadHooks windowHooks;
    int yields = 0;
    windowHooks.yield = [&] {
        ++yields;
        QCoreApplication::processEvents();
    };
    prompter.messages = 0;
    report(QStringLiteral("Load a shuffled copy, sort yielding to the event loop"),
           medianMs(7, [&] { load(shuffledPath, windowHooks); }), QStringLiteral("600 ms"));
    std::printf("  (%d sorted-copy questions over 7 runs, %d yields per load)\n", prompter.messages,
                yields / 7);
    report(QStringLiteral("Load a shuffled copy, sort without yielding"),
           medianMs(7, [&] { load(shuffledPath, {}); }), QStringLiteral("600 ms"));

    for (const char *key : {"java.awt.", "java.lang.String.", "javax.swing.JComponent."}) {
        TreeBoxModel box;
        QStringList arrmatch;
        const QString key1 = QString::fromLatin1(key);
        double p99 = 0;
        const double ms = medianMs(
            200, [&] { SearchTree(box, tree.arrtree, key1, arrmatch, 12000); }, &p99);
        report(QStringLiteral("One search for %1 (%2 items)").arg(key1).arg(box.items.size()), ms,
               QStringLiteral("1 ms"));
        std::printf("  (p99 %.3f ms)\n", p99);
    }

    // Resolving a simple name before the search, in 1 MB of Java source with
    // the declaration 600 KB before the caret (beyond the bounded scan: the
    // whole window is searched in vain) and 1 KB before it.
    const QString src = javaSource(1024 * 1024);
    if (!src.isEmpty()) {
        const QString head = QStringLiteral("import java.util.*;\r\nimport java.awt.Color;\r\n");
        for (const int back : {600 * 1024, 1024}) {
            QString text = head + src;
            const int at = int(text.size()) - back;
            text.insert(at, QStringLiteral(" List<String> qlnList = null; Color c; "));
            text += QStringLiteral(" qlnList.");
            const int keyStart = int(text.size()) - 8;
            QString resolved;
            double p99 = 0;
            const double ms = medianMs(
                200,
                [&] {
                    resolved = ResolveTreeKey(text, keyStart, QStringLiteral("qlnList."), tree.arrtree,
                                              readJavaImports(text), nullptr, kDeclarationWindow);
                },
                &p99);
            report(QStringLiteral("Resolve qlnList. (declared %1 KB back) -> %2")
                       .arg(back / 1024)
                       .arg(resolved.isEmpty() ? QStringLiteral("nothing") : resolved),
                   ms, QStringLiteral("1 ms"));
            std::printf("  (p99 %.3f ms)\n", p99);
        }
        // Below 10,000 import lines (of packages that do not exist): a new
        // simple name resolved over the plain text with the imports as read,
        // and by the resolver that keeps them read and indexed for the tree.
        QString many;
        for (int i = 0; i < 10000; ++i)
            many += QStringLiteral("import com.nowhere%1.*;\r\n").arg(i);
        many += head + src + QStringLiteral(" Color c; c.");
        const int keyStart = int(many.size()) - 2;
        const JavaImports asRead = readJavaImports(many);
        Surface surface;
        surface.setText(many);
        NameResolver resolver;
        for (const char *key : {"c.", "String."}) {
            const QString key1 = QString::fromLatin1(key);
            QString plain, kept;
            const Figures f = measureRuns(200, {}, [&] {
                plain = ResolveTreeKey(many, keyStart, key1, tree.arrtree, asRead, nullptr,
                                       kDeclarationWindow);
            });
            const Figures r = measureRuns(200, {}, [&] {
                kept = resolver.resolve(surface, keyStart, key1, tree.arrtree);
            });
            printFigures(QStringLiteral("resolve %1 below 10,000 imports, imports as read -> %2")
                             .arg(key1, plain),
                         f, "ms", true);
            printFigures(QStringLiteral("resolve %1 below 10,000 imports, NameResolver -> %2")
                             .arg(key1, kept),
                         r, "ms", true);
            printBeside(QStringLiteral("resolve %1 below 10,000 imports, 1 MB").arg(key1), r,
                        QStringLiteral("imports as read"), f, QStringLiteral("-"));
        }
        std::printf("  (the resolver read the head %d times)\n", resolver.headReads());

        TreeTypeIndex index;
        report(QStringLiteral("Build the simple-name index of the tree (once per tree)"),
               medianMs(5, [&] { index = TreeTypeIndex(tree.arrtree); }), QStringLiteral("50 ms"));
    }
    return 0;
}
