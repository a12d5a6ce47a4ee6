// Figures of whole tool runs in the shown tool dialog and main window:
//  1. a tool that prints without end (default 60 s; first argument: the
//     seconds): the editor's resident memory and the longest event-loop
//     gap meanwhile, while a line is typed into the input box every second;
//  2. a compiler printing 10,000 (then 100,000) error lines: the run, then
//     the first F4 in the main window, until the line is selected;
//  3. what a tool's watchdog costs: how long starting a tool holds the
//     event loop and a whole run of `true` takes, with the quillon-toolwatch
//     helper and with a copy of the editor watching instead, as the editor
//     grows; and what writing to the editor's memory costs while a tool
//     runs (a copy shares the editor's pages until they are written).
#include "benchsupport.h"
#include "settings/prefloader.h"
#include "settings/settingsstore.h"
#include "shell/ui/frmedit.h"
#include "support/testenv.h"
#include "surface/surface.h"
#include "tools/commandlanguage.h"
#include "tools/dosoutputs.h"
#include "tools/toollocations.h"
#include "tools/toolwatch.h"
#include "tools/ui/frmjavax.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

namespace {

// Resident memory of this process, in MB.
double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

bool writeFile(const QString &path, const QByteArray &bytes, bool executable = false)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return false;
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFile::ExeOwner);
    return true;
}

// Ticks every 10 ms and keeps the gaps between ticks.
struct LoopWatch {
    QElapsedTimer since;
    std::vector<double> gaps;
    QTimer ticker;
    LoopWatch()
    {
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, &ticker, [this] {
            gaps.push_back(double(since.nsecsElapsed()) / 1e6);
            since.restart();
        });
        since.start();
        ticker.start();
    }
    double longest() const
    {
        return gaps.empty() ? 0 : *std::max_element(gaps.begin(), gaps.end());
    }
    double percentile(double p) const
    {
        if (gaps.empty())
            return 0;
        std::vector<double> g = gaps;
        std::sort(g.begin(), g.end());
        return g[std::min(g.size() - 1, size_t(double(g.size()) * p))];
    }
};

void endlessOutput(BenchPrompter &prompter, int seconds)
{
    QTemporaryDir dir;
    const QString doc = dir.filePath(QStringLiteral("Endless.class"));
    const QString tool = dir.filePath(QStringLiteral("java"));
    writeFile(doc, QByteArray());
    writeFile(tool,
              "#!/bin/sh\nexec yes 'Endless.java:12: a line of output that never stops, about 64 "
              "bytes'\n",
              true);
    settingsStore().save(QStringLiteral("JavaX-Run"), QStringLiteral("exe"), tool);
    frmedit w(doc, &prompter, ProbePlaces{});
    w.resize(1000, 700);
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        std::printf("the main window was not shown\n");
    w.menuItem(QStringLiteral("run"))->trigger();
    frmJavaX *d = frmJavaX::instance();
    if (!d) {
        std::printf("the tool dialog did not open\n");
        return;
    }
    if (!QTest::qWaitForWindowExposed(d))
        std::printf("the dialog was not shown\n");
    const double before = residentMb();
    std::printf("endless output for %d s: resident memory before the run %.0f MB\n", seconds,
                before);

    LoopWatch watch;
    double peak = before;
    QElapsedTimer clock;
    clock.start();
    d->findChild<QPushButton *>(QStringLiteral("cmdJavaX"))->click();
    auto *input = d->findChild<QLineEdit *>(QStringLiteral("txtInput"));
    int typed = 0;
    while (clock.elapsed() < qint64(seconds) * 1000) {
        QTest::qWait(1000);
        peak = std::max(peak, residentMb());
        // Typing meanwhile: a line a second into the program's input.
        if (input && input->isEnabled()) {
            input->setText(QStringLiteral("typed line %1").arg(++typed));
            emit input->returnPressed();
        }
        std::printf("  %3llds: %6.0f MB, longest gap so far %.1f ms\n",
                    qlonglong(clock.elapsed() / 1000), residentMb(), watch.longest());
        std::fflush(stdout);
    }
    const int boxChars = d->commandLineBox().length();
    QElapsedTimer stopping;
    stopping.start();
    d->cmdStop_Click();
    while (d->isRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    report(QStringLiteral("stop after %1 s of endless output").arg(seconds),
           double(stopping.nsecsElapsed()) / 1e6, QStringLiteral("-"));
    std::printf("  output box at the end: %d characters (kept: the last %lld)\n", boxChars,
                qlonglong(DOSOutputs::kKeptOutput));
    std::printf("%-60s %10.0f MB   (limit 300 MB)\n", "peak resident memory during the run", peak);
    report(QStringLiteral("longest event-loop gap during the run"), watch.longest(),
           QStringLiteral("100 ms"));
    report(QStringLiteral("99th percentile event-loop gap (10 ms ticks)"), watch.percentile(0.99),
           QStringLiteral("-"));
    d->close();
}

void errorsToFirstF4(BenchPrompter &prompter, int errors)
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("Big.java"));
    const QString output = dir.filePath(QStringLiteral("javac.out"));
    const QString tool = dir.filePath(QStringLiteral("javac"));
    QByteArray src = "public class Big {\n";
    QByteArray out;
    for (int i = 1; i <= errors; ++i) {
        src += "    int field" + QByteArray::number(i) + " = ;\n";
        out += source.toUtf8() + ":" + QByteArray::number(i + 1)
               + ": error: illegal start of expression\n"
                 "    int field"
               + QByteArray::number(i) + " = ;\n                 ^\n";
    }
    src += "}\n";
    out += QByteArray::number(errors) + " errors\n";
    writeFile(source, src);
    writeFile(output, out);
    writeFile(tool, "#!/bin/sh\ncat " + shellEscape(output).toUtf8() + "\nexit 1\n", true);
    settingsStore().save(QStringLiteral("JavaX-Compile"), QStringLiteral("exe"), tool);

    frmedit w(source, &prompter, ProbePlaces{});
    w.resize(1000, 700);
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        std::printf("the main window was not shown\n");
    w.menuItem(QStringLiteral("compile"))->trigger();
    frmJavaX *d = frmJavaX::instance();
    if (!d)
        return;
    LoopWatch watch;
    QElapsedTimer clock;
    clock.start();
    d->findChild<QPushButton *>(QStringLiteral("cmdJavaX"))->click();
    while (d->isRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double ran = double(clock.nsecsElapsed()) / 1e6;
    const double gap = watch.longest();
    d->close();
    QCoreApplication::processEvents();
    w.surface()->setSelStart(0);
    QElapsedTimer f4;
    f4.start();
    w.menuItem(QStringLiteral("nexterror"))->trigger();
    const double jump = double(f4.nsecsElapsed()) / 1e6;
    std::printf("%d error lines (%lld bytes of output): %d locations, selection on line %d, status "
                "\"%s\"\n",
                errors, qlonglong(out.size()), w.toolLocations().count(),
                w.surface()->lineFromChar(w.surface()->selStart()) + 1,
                qPrintable(w.statusPanel(1)->text()));
    report(QStringLiteral("run until the output is in (%1 errors)").arg(errors), ran,
           QStringLiteral("-"));
    report(QStringLiteral("longest event-loop gap during that run"), gap, QStringLiteral("100 ms"));
    report(QStringLiteral("first F4 after the run (%1 errors)").arg(errors), jump,
           QStringLiteral("100 ms"));
    report(QStringLiteral("output to first F4 (%1 errors)").arg(errors), ran + jump,
           QStringLiteral("-"));
    QElapsedTimer f4s;
    f4s.start();
    for (int i = 0; i < 100; ++i)
        w.menuItem(QStringLiteral("nexterror"))->trigger();
    report(QStringLiteral("one F4, mean of the next 100"), double(f4s.nsecsElapsed()) / 1e6 / 100,
           QStringLiteral("-"));
}

// One run of `true`: how long ExecuteCommand held the caller, and the
// whole run until finished(), in ms.
std::pair<double, double> runTrue(DOSOutputs &dos)
{
    bool ended = false;
    QObject guard;
    QObject::connect(&dos, &DOSOutputs::finished, &guard, [&] { ended = true; });
    QElapsedTimer clock;
    clock.start();
    dos.ExecuteCommand(QStringLiteral("true"));
    const double held = double(clock.nsecsElapsed()) / 1e6;
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return {held, double(clock.nsecsElapsed()) / 1e6};
}

void watchdogCost(BenchPrompter &prompter)
{
    std::vector<std::vector<char>> ballast; // the editor's memory, grown in steps
    for (const int extraMb : {0, 512, 2048}) {
        while (int(ballast.size()) * 256 < extraMb)
            ballast.emplace_back(size_t(256) << 20, char(1)); // written, so resident
        for (const bool helper : {true, false}) {
            toolwatch::setHelper(helper ? QCoreApplication::applicationDirPath() + QLatin1Char('/')
                                              + QLatin1String(toolwatch::kHelperName)
                                        : QString());
            DOSOutputs dos(prompter);
            std::vector<double> held, whole;
            for (int i = 0; i < 41; ++i) {
                const auto [h, w] = runTrue(dos);
                held.push_back(h);
                whole.push_back(w);
            }
            std::sort(held.begin(), held.end());
            std::sort(whole.begin(), whole.end());
            const QString who = helper ? QStringLiteral("helper") : QStringLiteral("copy");
            std::printf("editor resident %.0f MB, watchdog: %s\n", residentMb(), qPrintable(who));
            report(QStringLiteral("  start of a tool, event loop held (median of 41)"), held[20],
                   QStringLiteral("-"));
            report(QStringLiteral("  whole run of true (median of 41)"), whole[20],
                   QStringLiteral("-"));

            // Writing 256 MB of the editor's memory while a tool runs.
            if (ballast.empty())
                continue;
            dos.ExecuteCommand(QStringLiteral("exec sleep 100"));
            QTest::qWait(300); // the watchdog is in place
            QElapsedTimer clock;
            clock.start();
            for (size_t at = 0; at < ballast.front().size(); at += 4096)
                ballast.front()[at] = char(2);
            report(QStringLiteral("  writing 256 MB of the editor's memory meanwhile"),
                   double(clock.nsecsElapsed()) / 1e6, QStringLiteral("-"));
            dos.stop();
            while (dos.isRunning())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
    }
    toolwatch::setHelper(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                         + QLatin1String(toolwatch::kHelperName));
}

} // namespace

int main(int argc, char **argv)
{
    // Never touch the user's own settings.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 60;
    BenchPrompter prompter{MsgAnswer::No};
    prompter.reportMessages = true;
    test::installFactorySettings(prompter);

    endlessOutput(prompter, seconds);
    errorsToFirstF4(prompter, 10000);
    errorsToFirstF4(prompter, 100000);
    watchdogCost(prompter);
    return 0;
}
