// Crash recovery through the real main window, in a 1 MB, a 10 MB and a
// 50 MB Java document (or the sizes given in MB on the command line): the
// CPU time of the process (window thread and worker together) and the wall
// time for bringing the copy up to date after one typed character (an
// appended record), and for a full copy (the first copy of a document, or
// the journal compacted), with the window thread's own share of it (the
// rest runs on the worker); also a typed character while recovery is on,
// and a compaction, which the worker makes from the journal alone.
#include "benchsupport.h"
#include "settings/prefloader.h"
#include "shell/recovery.h"
#include "shell/ui/frmedit.h"
#include "support/testenv.h"
#include "surface/surface.h"
#include "surface/ui/surfaceview.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <cstdio>
#include <sys/resource.h>

using namespace qln;
using namespace qln::bench;

namespace {

struct Cost {
    std::vector<double> cpu, wall;
};

// One run of f: process CPU milliseconds and wall milliseconds.
void measureInto(Cost &cost, const std::function<void()> &f)
{
    const double cpuBefore = cpuSeconds();
    const double wall = timeMs(f);
    cost.cpu.push_back((cpuSeconds() - cpuBefore) * 1000);
    cost.wall.push_back(wall);
}

// CPU milliseconds of the calling thread so far.
double threadCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000
           + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
}

void printCost(const QString &what, const Cost &cost, const QString &limit)
{
    const Figures cpu = figuresOf(cost.cpu), wall = figuresOf(cost.wall);
    printFigures(what + QStringLiteral(", CPU"), cpu, "ms", true);
    printFigures(what + QStringLiteral(", wall"), wall, "ms", true);
    summary(
        QStringLiteral("%1: CPU min %2 ms, median %3 ms, worst %4 ms (limit %5); wall median %6 ms")
            .arg(what)
            .arg(cpu.min, 0, 'f', 3)
            .arg(cpu.median, 0, 'f', 3)
            .arg(cpu.max, 0, 'f', 3)
            .arg(limit)
            .arg(wall.median, 0, 'f', 3));
}

void measure(const QString &source, qsizetype megabytes)
{
    const qsizetype bytes = megabytes << 20;
    const QString label = QStringLiteral("%1 MB").arg(megabytes);
    QString text = source;
    while (text.size() < bytes)
        text += source;
    text.truncate(bytes);
    text.truncate(text.lastIndexOf(QLatin1String("\r\n")) + 2);

    BenchPrompter prompter{MsgAnswer::No};
    ownFolders(); // a recovery folder of its own: no copy of the last size is offered
    frmedit w(QString(), &prompter, ProbePlaces{});
    if (!QTest::qWaitForWindowExposed(&w))
        std::printf("the window was not shown\n");
    Surface *s = w.surface();
    s->setText(text);
    text.clear();
    s->setSelStart(s->lineIndex(s->lineCount() / 2));
    w.rtfedit()->flush();
    QApplication::processEvents();
    DocumentRecovery &recovery = w.recovery();
    std::printf("%s document: %d characters, recovery %s in %s\n", qPrintable(label), s->length(),
                recovery.isEnabled() ? "on" : "OFF", qPrintable(recovery.folder()));
    auto key = [&] {
        sendKey(w.rtfedit(), Qt::Key_A, QStringLiteral("a"));
        w.rtfedit()->viewport()->repaint();
    };
    auto copy = [&] {
        recovery.writeNow();
        recovery.waitForWrites();
    };
    // The first keys after loading lay out the view; they are not counted.
    for (int i = 0; i < 20; ++i)
        key();

    // A full copy: what a pause cost before the journal, and what the first
    // copy of a document or a compaction costs now.
    Cost full;
    std::vector<double> fullOnWindow;
    for (int i = 0; i < 5; ++i) {
        recovery.discard(); // the next copy is a full one
        key();
        measureInto(full, [&] {
            const double before = threadCpuMs();
            recovery.writeNow();
            fullOnWindow.push_back(threadCpuMs() - before);
            recovery.waitForWrites();
        });
    }
    const int fullBefore = recovery.fullCopiesDone();

    // One typed character, then the copy brought up to date: one record.
    Cost record;
    for (int i = 0; i < 41; ++i) {
        key();
        measureInto(record, copy);
    }
    printCost(label + QStringLiteral(": copy after one typed character (record appended)"), record,
              QStringLiteral("20 ms"));
    printCost(label + QStringLiteral(": full copy (first copy, or compaction)"), full,
              QStringLiteral("only now and then"));
    const Figures onWindow = figuresOf(fullOnWindow);
    printFigures(label + QStringLiteral(": full copy, window thread's CPU"), onWindow);
    summary(QStringLiteral("%1: full copy, window thread's CPU: min %2 ms, median %3 ms (the "
                           "text taken; the worker encodes and writes)")
                .arg(label)
                .arg(onWindow.min, 0, 'f', 3)
                .arg(onWindow.median, 0, 'f', 3));
    std::printf("  full copies among the 41 record copies: %d; journal %lld bytes\n",
                recovery.fullCopiesDone() - fullBefore,
                qlonglong(QFileInfo(recovery.sessionFile()).size()));

    // Typing with recovery on: the window thread keeps each edit's text.
    double p99 = 0;
    const double median = medianMs(201, key, &p99);
    report(label + QStringLiteral(": typed character, recovery on, median"), median,
           QStringLiteral("2 ms"));
    report(label + QStringLiteral(": typed character, recovery on, 99th percentile"), p99,
           QStringLiteral("10 ms"));

    // Compaction: all but the first line removed in one edit, so the
    // journal outgrows the text; the worker reads the journal back and
    // writes the new full copy.
    copy(); // the typing above is in the journal: the removal is its only record
    const int fullBeforeCompaction = recovery.fullCopiesDone();
    s->replace(s->lineIndex(1), s->length() - s->lineIndex(1), QString());
    Cost compaction;
    double compactionOnWindow = 0;
    measureInto(compaction, [&] {
        const double before = threadCpuMs();
        recovery.writeNow();
        compactionOnWindow = threadCpuMs() - before;
        recovery.waitForWrites();
    });
    summary(QStringLiteral("%1: compaction (one run): window thread's CPU %2 ms, process CPU %3 "
                           "ms, wall %4 ms; %5")
                .arg(label)
                .arg(compactionOnWindow, 0, 'f', 3)
                .arg(compaction.cpu.front(), 0, 'f', 3)
                .arg(compaction.wall.front(), 0, 'f', 3)
                .arg(recovery.fullCopiesDone() > fullBeforeCompaction
                         ? QStringLiteral("compacted")
                         : QStringLiteral("NOT compacted")));

    recovery.finish();
    QFile::remove(recovery.sessionFile());
    s->setClean();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString src = reportedJavaSource(1024 * 1024);
    if (src.isEmpty())
        return 0;
    BenchPrompter prompter{MsgAnswer::No};
    test::installFactorySettings(prompter); // recovery copies go to a temporary folder too
    std::vector<qsizetype> sizes;
    for (int i = 1; i < argc; ++i)
        if (const int mb = QByteArray(argv[i]).toInt(); mb > 0)
            sizes.push_back(mb);
    if (sizes.empty())
        sizes = {1, 10, 50};
    for (qsizetype mb : sizes)
        measure(src, mb);
    return 0;
}
