// The whole-document commands as the user runs them: "&Colorize all",
// "AutoIndent all" and "&Spell correct all" from the main window's menu and
// Replace All from its find/replace dialog, with the progress bar and status
// text, until the view has painted; beside each, the same engine on a bare
// surface, and how often the bar and the status text were painted. Real
// Java source, min and median of 5 runs each, the window's and the engine's
// runs alternating, each from the same text with the caret at the start
// (and the texts they leave compared, so that both did the same work);
// wall clock and, beside it, the process's CPU time.
//
//   bench_window        1 MB
//   bench_window 10     10 MB (the sizes given, in MB)
#include "benchsupport.h"
#include "dialogs/findreplace.h"
#include "dialogs/ui/frmfind.h"
#include "formatting/colorizeall.h"
#include "formatting/commandhost.h"
#include "formatting/indenter.h"
#include "formatting/spellcorrect.h"
#include "settings/preferences.h"
#include "settings/prefloader.h"
#include "settings/settingsstore.h"
#include "shell/ui/frmedit.h"
#include "support/testenv.h"
#include "surface/surface.h"
#include "surface/ui/surfaceview.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <cstdio>
#include <ctime>

using namespace qln;
using namespace qln::bench;

namespace {

// Wall-clock and CPU time of each run. The CPU time (the whole process's,
// user and system) counts only what the program itself did, so it moves
// less than the wall clock when the machine is shared.
struct Timings {
    std::vector<double> wall, cpu;
    void time(const std::function<void()> &f)
    {
        timespec c0{}, c1{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c0);
        QElapsedTimer t;
        t.start();
        f();
        const qint64 ns = t.nsecsElapsed();
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c1);
        wall.push_back(double(ns) / 1e6);
        cpu.push_back(double(c1.tv_sec - c0.tv_sec) * 1e3 + double(c1.tv_nsec - c0.tv_nsec) / 1e6);
    }
};

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
    int barPaints = 0, statusPaints = 0, barStages = 0, viewPaints = 0;
    qint64 viewArea = 0;
    BareCommandHost bare;
    bare.prefs = w.preferences();
    auto freshBare = [&] {
        bare.s.setText(src);
        bare.s.clearUndo();
        bare.s.setSelStart(0);
    };
    // The window's runs and the engine's alternate, so that a burst of load
    // from elsewhere on the machine falls on both sides alike.
    auto compare = [&](const char *what, const std::function<void()> &command,
                       const std::function<void()> &engine) {
        Timings window, alone;
        int differed = 0;
        for (int i = 0; i < runs; ++i) {
            fresh();
            window.time([&] {
                command();
                w.rtfedit()->flush();
                waitPainted(view);
            });
            QApplication::processEvents(); // paints still due, counted below
            barPaints = bar.paints;
            statusPaints = status.paints;
            viewPaints = view.paints;
            viewArea = view.area;
            barStages = stages;
            freshBare();
            alone.time(engine);
            // The baseline does the same work: the same text comes out.
            if (s->text() != bare.s.text())
                ++differed;
        }
        const QString label = QStringLiteral("%1, %2 MB, from the window until painted")
                                  .arg(QLatin1String(what))
                                  .arg(mb);
        const QString engineLabel =
            QStringLiteral("engine alone: %1, %2 MB").arg(QLatin1String(what)).arg(mb);
        if (differed)
            std::printf("the window's text and the engine's differ after %d of %d runs: the "
                        "figures below do not compare the same work\n",
                        differed, runs);
        else
            std::printf("the window's text and the engine's are the same after every run\n");
        printFigures(QStringLiteral("window: ") + label, figuresOf(window.wall));
        printFigures(engineLabel, figuresOf(alone.wall));
        printFigures(QStringLiteral("window, CPU: ") + label, figuresOf(window.cpu));
        printFigures(engineLabel + QStringLiteral(", CPU"), figuresOf(alone.cpu));
        printBeside(label, figuresOf(window.wall), QStringLiteral("engine alone"),
                    figuresOf(alone.wall), QStringLiteral("1.5x engine"));
        printBeside(label + QStringLiteral(", CPU time"), figuresOf(window.cpu),
                    QStringLiteral("engine alone"), figuresOf(alone.cpu),
                    QStringLiteral("1.5x engine"));
        summary(QStringLiteral("%1, %2 MB: progress bar painted %3 times over %4 stages, status "
                               "text %5 times, the view %6 times (%7 px), in one run (limit about "
                               "100 a stage)")
                    .arg(QLatin1String(what))
                    .arg(mb)
                    .arg(barPaints)
                    .arg(barStages)
                    .arg(statusPaints)
                    .arg(viewPaints)
                    .arg(viewArea));
    };
    auto menu = [&](const char *item) {
        return [&w, item] { w.menuItem(QLatin1String(item))->trigger(); };
    };

    compare("Colorize all", menu("colorizeallrtf"),
            [&] { ColorizeAllStages(bare.s, bare.prefs, nullptr); });
    compare("AutoIndent all", menu("indentallrtf"),
            [&] { IndentAllLines(bare.s, IndentSyntax::fromPreferences(bare.prefs), nullptr); });
    compare("Spell correct all (300 pairs)", menu("spellcorrectallrtf"),
            [&] { spellcorrectallrtf(bare); });

    // Replace All: "final" by "FINAL", match case (without it the first
    // "Final" ends the run), through the dialog's button.
    const QString from = QStringLiteral("final"), to = QStringLiteral("FINAL");
    w.menuItem(QStringLiteral("replace"))->trigger();
    auto *find = w.findChild<frmFind *>();
    if (!find) {
        std::printf("no find/replace dialog: Replace All not measured\n");
        return;
    }
    compare(
        "Replace All (final -> FINAL, match case)",
        [&] {
            find->findChild<QComboBox *>(QStringLiteral("cboFind"))->setCurrentText(from);
            find->findChild<QComboBox *>(QStringLiteral("cboReplace"))->setCurrentText(to);
            find->findChild<QCheckBox *>(QStringLiteral("chkMatchCase"))->setChecked(true);
            find->cmdReplaceAll_Click();
        },
        [&] {
            FindReplace model(bare.s, bare.prompts);
            model.setFindText(from);
            model.setReplaceText(to);
            model.setMatchCase(true);
            model.replaceAll();
        });
    std::printf("Replace All: %s\n", qPrintable(prompter.lastMessage));
    std::printf("engine's Replace All: %s\n", qPrintable(bare.prompts.lastMessage));
    find->hide();
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
    const QString largest =
        reportedJavaSource(qsizetype(*std::max_element(sizes.begin(), sizes.end())) * 1024 * 1024);
    if (largest.isEmpty())
        return 0;
    BenchPrompter prompter{MsgAnswer::Yes};
    test::installFactorySettings(prompter);
    // 300 spelling pairs from the first MB, kept in the settings.
    const QList<QPair<QString, QString>> pairs = spellingPairs(largest.left(1024 * 1024));
    auto save = [](const QString &key, const QString &v) { settingsStore().save(kPrefs, key, v); };
    save(QStringLiteral("fromtocount"), QString::number(pairs.size()));
    for (int i = 0; i < pairs.size(); ++i) {
        save(QStringLiteral("lstsfrom%1").arg(i + 1), pairs[i].first);
        save(QStringLiteral("lststo%1").arg(i + 1), pairs[i].second);
    }

    ownFolders();
    frmedit w(QString(), &prompter, ProbePlaces{});
    w.resize(1000, 760);
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        std::printf("the window was not shown; figures leave out painting\n");
    for (const int mb : sizes) {
        const QString src = javaSource(qsizetype(mb) * 1024 * 1024);
        std::printf("input: %s, \"final\" %lld times\n", qPrintable(javaSourceOrigin()),
                    qlonglong(src.count(QStringLiteral("final"))));
        measureSize(w, prompter, src, mb);
    }
    std::printf("(%d messages answered on the way)\n", prompter.messages);
    return 0;
}
