// Figures of the whole-document commands on real Java source: auto-indent
// all on 1 MB, the indentation Enter gives a new line in 1 MB, spell
// correct all with 300 pairs on 1 MB, and Capitalize and Invert Case over
// a 100 KB selection. Each run works on a fresh copy.
#include "benchsupport.h"

#include "base/prompter.h"
#include "formatting/casechange.h"
#include "formatting/commandhost.h"
#include "formatting/indenter.h"
#include "formatting/spellcorrect.h"
#include "settings/preferences.h"
#include "surface/surface.h"

#include <QGuiApplication>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QString src = reportedJavaSource(1024 * 1024);
    if (src.isEmpty())
        return 0;
    std::printf("%d lines\n", int(src.count(QLatin1Char('\n'))) + 1);

    BareCommandHost host;
    // The factory strings the indenter reads Java with.
    const IndentSyntax java = IndentSyntax::java(QStringLiteral("\t"));
    host.prefs.indentstring = java.unit;
    host.prefs.blockBeginning = java.blockBegin;
    host.prefs.blockEnding = java.blockEnd;
    host.prefs.singleLineComment = java.lineComment;
    host.prefs.multiLineCommentStart = java.commentStart;
    host.prefs.multiLineCommentEnd = java.commentEnd;
    host.prefs.string1 = java.string1;
    host.prefs.string2 = java.string2;
    host.prefs.ignoreString = java.ignore;
    // 300 spelling pairs, 1-based as the preferences keep them.
    const QList<QPair<QString, QString>> pairs = spellingPairs(src);
    host.prefs.arrsfrom = QStringList{QString()};
    host.prefs.arrsto = QStringList{QString()};
    for (const auto &p : pairs) {
        host.prefs.arrsfrom << p.first;
        host.prefs.arrsto << p.second;
    }
    host.prefs.fromtocount = int(pairs.size());

    auto fresh = [&](const QString &text) {
        host.s.setText(text);
        host.s.clearUndo();
    };

    const int runs = 5;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        fresh(src);
        times.push_back(timeMs([&] { indentallrtf(host); }));
    }
    std::sort(times.begin(), times.end());
    report(QStringLiteral("auto-indent all, 1 MB (median of 5)"), times[runs / 2],
           QStringLiteral("200 ms"));

    // The indentation Enter would give a new line, at the end of 1 MB and
    // in its middle: the lines before the caret are read each time.
    host.s.setText(src);
    for (const int at : {int(src.size()) / 2, int(src.size()) - 2}) {
        report(QStringLiteral("Enter's indentation at %1 of 1 MB (median of 9)")
                   .arg(at < int(src.size()) / 2 + 1 ? QStringLiteral("the middle")
                                                     : QStringLiteral("the end")),
               medianMs(9, [&] { NewLineIndent(host.s, at, java); }), QStringLiteral("-"));
    }

    times.clear();
    int changed = 0;
    for (int i = 0; i < runs; ++i) {
        fresh(src);
        times.push_back(timeMs([&] { spellcorrectallrtf(host); }));
        changed = int(host.s.length()) - int(src.size());
    }
    std::sort(times.begin(), times.end());
    report(QStringLiteral("spell correct all, 300 pairs, 1 MB (median of 5)"), times[runs / 2],
           QStringLiteral("300 ms"));
    std::printf("  (the document grew by %d characters)\n", changed);

    const QString hundredK = src.left(100 * 1024);
    for (int which = 0; which < 2; ++which) {
        times.clear();
        for (int i = 0; i < runs; ++i) {
            fresh(src);
            host.s.setSelection(0, int(hundredK.size()));
            times.push_back(timeMs([&] {
                if (which == 0)
                    capitalize(host, AutoFeatureSwitches{});
                else
                    invertcase(host, AutoFeatureSwitches{});
            }));
        }
        std::sort(times.begin(), times.end());
        report(which == 0 ? QStringLiteral("Capitalize, 100 KB selection of 1 MB (median of 5)")
                          : QStringLiteral("Invert Case, 100 KB selection of 1 MB (median of 5)"),
               times[runs / 2], QStringLiteral("100 ms"));
    }
    return 0;
}
