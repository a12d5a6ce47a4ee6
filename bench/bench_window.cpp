// The whole-document commands as the user runs them: "&Colorize all",
// "AutoIndent all" and "&Spell correct all" from the main window's menu and
// Replace All from its find/replace dialog, with the progress bar and status
// text, until the view has painted; beside each, the same engine on a bare
// surface, and how often the bar and the status text were painted. Real
// Java source, min and median of 5 runs each.
//
//   bench_window        1 MB
//   bench_window 10     10 MB (the sizes given, in MB)
#include "benchsupport.h"
#include "dialogs/findreplace.h"
#include "dialogs/frmfind.h"
#include "formatting/colorizeall.h"
#include "formatting/commandhost.h"
#include "formatting/indenter.h"
#include "formatting/spellcorrect.h"
#include "settings/preferences.h"
#include "settings/prefloader.h"
#include "settings/settingsstore.h"
#include "shell/frmedit.h"
#include "support/testenv.h"
#include "surface/surface.h"
#include "surface/surfaceview.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

namespace {


// 300 spelling pairs kept in the settings: 100 frequent words of the source
// replaced by other spellings, then 200 misspellings that do not occur.
void saveSpellingPairs(const QString &src)
{
    QHash<QString, int> freq;
    static const QRegularExpression word(QStringLiteral("[A-Za-z_][A-Za-z0-9_]{2,}"));
    for (auto it = word.globalMatch(src.left(1024 * 1024)); it.hasNext();)
        ++freq[it.next().captured()];
    QList<QPair<int, QString>> byCount;
    for (auto it = freq.cbegin(); it != freq.cend(); ++it)
        byCount.append({it.value(), it.key()});
    std::sort(byCount.begin(), byCount.end(), std::greater<>());
    QList<QPair<QString, QString>> pairs;
    for (int i = 0; i < 100 && i < byCount.size(); ++i)
        pairs.append({byCount[i].second, byCount[i].second + QStringLiteral("X")});
    for (int i = 0; pairs.size() < 300; ++i)
        pairs.append({QStringLiteral("mispeled%1").arg(i), QStringLiteral("misspelled%1").arg(i)});
    std::sort(pairs.begin(), pairs.end());
    auto save = [](const QString &key, const QString &v) { settingsStore().save(kPrefs, key, v); };
    save(QStringLiteral("fromtocount"), QString::number(pairs.size()));
    for (int i = 0; i < pairs.size(); ++i) {
        save(QStringLiteral("lstsfrom%1").arg(i + 1), pairs[i].first);
        save(QStringLiteral("lststo%1").arg(i + 1), pairs[i].second);
    }
}

void measureSize(frmedit &w, BenchPrompter &prompter, const QString &src, int mb)
{
    const int runs = 5;
    Surface *s = w.surface();
    PaintCounter view(w.rtfedit()->viewport());
    PaintCounter bar(w.progress());
    PaintCounter status(w.statusPanel(1));

    // A stage starts the bar again from a lower value.
    int stages = 0, lastValue = 0;
    QObject::connect(w.progress(), &QProgressBar::valueChanged, w.progress(), [&](int v) {
        if (v < lastValue || stages == 0)
            ++stages;
        lastValue = v;
    });

    auto fresh = [&] {
        s->setText(src);
        s->clearUndo();
        s->setSelStart(0);
        w.rtfedit()->flush();
        view.reset();
        waitPainted(view);
        QApplication::processEvents();
        view.reset();
        bar.reset();
        status.reset();
        stages = 0;
        lastValue = w.progress()->value();
    };
    int barPaints = 0, statusPaints = 0, barStages = 0;
    auto untilPainted = [&](const std::function<void()> &command) {
        return measureRuns(runs, fresh, [&] {
            command();
            w.rtfedit()->flush();
            waitPainted(view);
            barPaints = bar.paints;
            statusPaints = status.paints;
            barStages = stages;
        });
    };
    auto menu = [&](const char *item) {
        return untilPainted([&] { w.menuItem(QLatin1String(item))->trigger(); });
    };
    BareCommandHost bare;
    bare.prefs = w.preferences();
    auto freshBare = [&] {
        bare.s.setText(src);
        bare.s.clearUndo();
    };
    auto line = [&](const char *what, const Figures &window, const Figures &engine) {
        const QString label = QStringLiteral("%1, %2 MB, from the window until painted")
                                  .arg(QLatin1String(what))
                                  .arg(mb);
        printFigures(QStringLiteral("window: ") + label, window);
        printFigures(QStringLiteral("engine alone: %1, %2 MB").arg(QLatin1String(what)).arg(mb),
                     engine);
        printBeside(label, window, QStringLiteral("engine alone"), engine,
                    QStringLiteral("1.5x engine"));
        summary(QStringLiteral("%1, %2 MB: progress bar painted %3 times over %4 stages, status "
                               "text %5 times, in one run (limit about 100 a stage)")
                    .arg(QLatin1String(what))
                    .arg(mb)
                    .arg(barPaints)
                    .arg(barStages)
                    .arg(statusPaints));
    };

    const Figures colourWindow = menu("colorizeallrtf");
    const Figures colourEngine =
        measureRuns(runs, freshBare, [&] { ColorizeAllStages(bare.s, bare.prefs, nullptr); });
    line("Colorize all", colourWindow, colourEngine);

    const Figures indentWindow = menu("indentallrtf");
    const Figures indentEngine = measureRuns(runs, freshBare, [&] {
        const Preferences &p = bare.prefs;
        IndentAllLines(bare.s, p.indentstring, p.blockBeginning, p.blockEnding, nullptr);
    });
    line("AutoIndent all", indentWindow, indentEngine);

    const Figures spellWindow = menu("spellcorrectallrtf");
    const Figures spellEngine = measureRuns(runs, freshBare, [&] { spellcorrectallrtf(bare); });
    line("Spell correct all (300 pairs)", spellWindow, spellEngine);

    // Replace All: "final" by "FINAL", match case (without it the first
    // "Final" ends the run), through the dialog's button.
    const QString from = QStringLiteral("final"), to = QStringLiteral("FINAL");
    w.menuItem(QStringLiteral("replace"))->trigger();
    auto *find = w.findChild<frmFind *>();
    if (!find) {
        std::printf("no find/replace dialog: Replace All not measured\n");
        return;
    }
    const Figures replaceWindow = untilPainted([&] {
        find->findChild<QComboBox *>(QStringLiteral("cboFind"))->setCurrentText(from);
        find->findChild<QComboBox *>(QStringLiteral("cboReplace"))->setCurrentText(to);
        find->findChild<QCheckBox *>(QStringLiteral("chkMatchCase"))->setChecked(true);
        find->cmdReplaceAll_Click();
    });
    std::printf("Replace All: %s\n", qPrintable(prompter.lastMessage));
    find->hide();
    const Figures replaceEngine = measureRuns(runs, freshBare, [&] {
        FindReplace model(bare.s, bare.prompts);
        model.setFindText(from);
        model.setReplaceText(to);
        model.setMatchCase(true);
        model.replaceAll();
    });
    std::printf("engine's Replace All: %s\n", qPrintable(bare.prompts.lastMessage));
    line("Replace All (final -> FINAL, match case)", replaceWindow, replaceEngine);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QList<int> sizes;
    for (const QString &a : app.arguments().mid(1))
        if (a.toInt() > 0)
            sizes << a.toInt();
    if (sizes.isEmpty())
        sizes << 1;
    const QString largest = reportedJavaSource(qsizetype(*std::max_element(sizes.begin(), sizes.end()))
                                               * 1024 * 1024);
    if (largest.isEmpty())
        return 0;
    BenchPrompter prompter{MsgAnswer::Yes};
    test::installFactorySettings(prompter);
    saveSpellingPairs(largest);

    frmedit w(QString(), &prompter, ProbePlaces{});
    w.resize(1000, 760);
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        std::printf("the window was not shown; figures leave out painting\n");
    for (const int mb : sizes) {
        const QString src = javaSource(qsizetype(mb) * 1024 * 1024);
        std::printf("input: %s, \"final\" %lld times\n",
                    qPrintable(javaSourceOrigin()), qlonglong(src.count(QStringLiteral("final"))));
        measureSize(w, prompter, src, mb);
    }
    std::printf("(%d messages answered on the way)\n", prompter.messages);
    return 0;
}
