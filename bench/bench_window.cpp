// The whole-document commands as the user runs them: from the main window's
// menu, with its progress bar and status text, until the window has painted;
// beside each, the same engine on a bare surface. 1 MB of real Java source,
// min and median of 5 runs each.
#include "benchsupport.h"
#include "formatting/colorizeall.h"
#include "formatting/indenter.h"
#include "settings/preferences.h"
#include "settings/prefloader.h"
#include "settings/settingsstore.h"
#include "shell/frmedit.h"
#include "support/testenv.h"
#include "surface/surface.h"
#include "surface/surfaceview.h"

#include <QAction>
#include <QApplication>
#include <QTest>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

namespace {

struct MinMedian {
    double min = 0, median = 0;
};

MinMedian minMedian(int runs, const std::function<void()> &prepare, const std::function<void()> &f)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        prepare();
        times.push_back(timeMs(f));
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

void print(const char *what, MinMedian window, MinMedian engine)
{
    std::printf("%-28s window min %8.1f ms  median %8.1f ms | engine min %8.1f ms  median %8.1f ms"
                " | ratio of medians %.2f\n",
                what, window.min, window.median, engine.min, engine.median,
                engine.median > 0 ? window.median / engine.median : 0.0);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString src = reportedJavaSource(1024 * 1024);
    if (src.isEmpty())
        return 0;
    BenchPrompter prompter{MsgAnswer::Yes};
    test::installFactorySettings(prompter);

    frmedit w(QString(), &prompter, ProbePlaces{});
    if (!QTest::qWaitForWindowExposed(&w))
        std::printf("the window was not shown; figures leave out painting\n");
    Surface *s = w.surface();
    const int runs = 5;

    auto fresh = [&] {
        s->setText(src);
        s->setSelStart(0);
        w.rtfedit()->flush();
        QApplication::processEvents();
    };
    auto runMenu = [&](const char *item) {
        w.menuItem(QLatin1String(item))->trigger();
        w.rtfedit()->flush();
        w.repaint();
        QApplication::processEvents();
    };

    Surface bare;
    const MinMedian colourWindow = minMedian(runs, fresh, [&] { runMenu("colorizeallrtf"); });
    const MinMedian colourEngine = minMedian(
        runs, [&] { bare.setText(src); },
        [&] { ColorizeAllStages(bare, w.preferences(), nullptr); });
    print("Colorize all, 1 MB", colourWindow, colourEngine);

    const MinMedian indentWindow = minMedian(runs, fresh, [&] { runMenu("indentallrtf"); });
    const MinMedian indentEngine = minMedian(
        runs, [&] { bare.setText(src); },
        [&] {
            const Preferences &p = w.preferences();
            IndentAllLines(bare, p.indentstring, p.blockBeginning, p.blockEnding, nullptr);
        });
    print("AutoIndent all, 1 MB", indentWindow, indentEngine);
    std::printf("(%d messages answered on the way)\n", prompter.messages);
    return 0;
}
