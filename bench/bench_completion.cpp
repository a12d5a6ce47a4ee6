// Figures of the object tree: loading the shipped tree (sorted), loading a
// shuffled copy of it (with the sort), and one completion search.
#include "base/pathutil.h"
#include "base/prompter.h"
#include "benchsupport.h"
#include "completion/nameresolve.h"
#include "completion/objecttree.h"
#include "completion/treesearch.h"
#include "settings/settingsstore.h"
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
                    resolved =
                        ResolveTreeKey(text, keyStart, QStringLiteral("qlnList."), tree.arrtree,
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
            const Figures r = measureRuns(
                200, {}, [&] { kept = resolver.resolve(surface, keyStart, key1, tree.arrtree); });
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

        // var, a chain of calls and this. at the end of 1 MB of source, in a
        // class of its own: each run follows an edit (as a keystroke does),
        // so this. reads the class outline of the whole text again.
        {
            Surface tail;
            tail.setText(head + src
                         + QStringLiteral("\r\nclass Tail extends Thread {\r\n int n;\r\n"
                                          " void f() {\r\n  String s = null;\r\n"
                                          "  var sb = new StringBuilder();\r\n  "));
            NameResolver chains;
            struct Case {
                const char *label;
                const char *typed; // before the key
                const char *key;
            };
            for (const Case &c : {Case{"var sb.", "", "sb."}, Case{"s.trim().", "s.trim()", "."},
                                  Case{"this.", "", "this."}}) {
                const QString typed = QString::fromLatin1(c.typed);
                const QString key1 = QString::fromLatin1(c.key);
                tail.replace(tail.length(), 0, typed);
                const int keyStart = tail.length();
                tail.replace(keyStart, 0, key1);
                QString got;
                const int readsBefore = chains.outlineReads();
                // A blank typed before the key and taken back in turns.
                const int blankAt = keyStart - int(typed.size()) - 1;
                bool blank = false;
                const Figures f = measureRuns(
                    101,
                    [&] {
                        if (blank)
                            tail.replace(blankAt, 1, QString());
                        else
                            tail.replace(blankAt, 0, QStringLiteral(" "));
                        blank = !blank;
                    },
                    [&] {
                        got = chains.resolve(tail, keyStart + (blank ? 1 : 0), key1, tree.arrtree);
                    });
                if (blank)
                    tail.replace(blankAt, 1, QString());
                printFigures(QStringLiteral("resolve %1 after an edit, end of 1 MB -> %2 (%3 "
                                            "outline reads)")
                                 .arg(QLatin1String(c.label), got)
                                 .arg(chains.outlineReads() - readsBefore),
                             f, "ms", true);
                tail.replace(tail.length() - int(key1.size() + typed.size()),
                             int(key1.size() + typed.size()), QString());
            }
        }

        // this. at the end of one class of 1 MB: its whole body is read for
        // its members after each edit.
        {
            QString big = QStringLiteral("class Big extends Thread {\r\n");
            for (int i = 0; big.size() < 1024 * 1024; ++i)
                big += QStringLiteral(
                           "  int f%1; String m%1(int a) { return a > 0 ? \"}\" : null; }\r\n")
                           .arg(i);
            big += QStringLiteral("  void last() { ");
            Surface one;
            one.setText(big);
            const int keyStart = one.length();
            one.replace(keyStart, 0, QStringLiteral("this."));
            NameResolver resolver;
            QString got;
            bool blank = false;
            const Figures f = measureRuns(
                101,
                [&] {
                    if (blank)
                        one.replace(keyStart - 1, 1, QString());
                    else
                        one.replace(keyStart - 1, 0, QStringLiteral(" "));
                    blank = !blank;
                },
                [&] {
                    got = resolver.resolve(one, keyStart + (blank ? 1 : 0), QStringLiteral("this."),
                                           tree.arrtree);
                });
            printFigures(QStringLiteral("resolve this. after an edit, one class of 1 MB -> %1 (%2 "
                                        "members)")
                             .arg(got)
                             .arg(resolver.searchTree(tree.arrtree).size() - 1),
                         f, "ms", true);
        }

        TreeTypeIndex index;
        report(QStringLiteral("Build the simple-name index of the tree (once per tree)"),
               medianMs(5, [&] { index = TreeTypeIndex(tree.arrtree); }), QStringLiteral("50 ms"));
    }
    return 0;
}
