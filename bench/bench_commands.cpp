// Figures of the whole-document commands on real Java source: auto-indent
// all on 1 MB, spell correct all with 300 pairs on 1 MB, and Capitalize and
// Invert Case over a 100 KB selection. Each run works on a fresh copy.
#include "benchsupport.h"

#include "formatting/casechange.h"
#include "formatting/commandhost.h"
#include "formatting/indenter.h"
#include "formatting/spellcorrect.h"
#include "settings/preferences.h"
#include "base/prompter.h"
#include "surface/surface.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QSet>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

namespace {


// 300 pairs: 100 frequent words of the source replaced by other spellings,
// then 200 misspellings that do not occur.
void spellingPairs(const QString &src, Preferences &prefs)
{
    QHash<QString, int> freq;
    static const QRegularExpression word(QStringLiteral("[A-Za-z_][A-Za-z0-9_]{2,}"));
    for (auto it = word.globalMatch(src); it.hasNext();)
        ++freq[it.next().captured()];
    QList<QPair<int, QString>> byCount;
    for (auto it = freq.cbegin(); it != freq.cend(); ++it)
        byCount.append({it.value(), it.key()});
    std::sort(byCount.begin(), byCount.end(), std::greater<>());
    QStringList from, to;
    for (int i = 0; i < 100 && i < byCount.size(); ++i) {
        from << byCount[i].second;
        to << byCount[i].second + QStringLiteral("X");
    }
    for (int i = 0; from.size() < 300; ++i) {
        from << QStringLiteral("mispeled%1").arg(i);
        to << QStringLiteral("misspelled%1").arg(i);
    }
    // The list is kept sorted by its wrong forms.
    QList<QPair<QString, QString>> pairs;
    for (int i = 0; i < from.size(); ++i)
        pairs.append({from[i], to[i]});
    std::sort(pairs.begin(), pairs.end());
    prefs.arrsfrom = QStringList{QString()};
    prefs.arrsto = QStringList{QString()};
    for (const auto &p : pairs) {
        prefs.arrsfrom << p.first;
        prefs.arrsto << p.second;
    }
    prefs.fromtocount = int(pairs.size());
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QString src = reportedJavaSource(1024 * 1024);
    if (src.isEmpty())
        return 0;
    std::printf("%d lines\n", int(src.count(QLatin1Char('\n'))) + 1);

    BareCommandHost host;
    host.prefs.indentstring = QStringLiteral("\t");
    host.prefs.blockBeginning = QStringLiteral("{");
    host.prefs.blockEnding = QStringLiteral("}");
    spellingPairs(src, host.prefs);

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
