// Typing with crash recovery on, through the real main window, in a 1 MB
// and a 10 MB Java document: one typed character while edits go on (the
// copy waits for a pause), one typed character right after a pause, while
// the copy of the whole document is being written on the worker thread,
// and the same with recovery off. Also the time the worker takes for one
// copy, and what the window thread pays to hand it over (its own copy of
// the text, made in the pause).
#include "benchsupport.h"
#include "settings/prefloader.h"
#include "shell/frmedit.h"
#include "shell/recovery.h"
#include "support/testenv.h"
#include "surface/surface.h"
#include "surface/surfaceview.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTest>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

namespace {

void typeKey(QWidget *w)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(w, &press);
}

void measure(const QString &source, qsizetype bytes)
{
    const QString label = QStringLiteral("%1 MB").arg(bytes >> 20);
    QString text = source;
    while (text.size() < bytes)
        text += source;
    text.truncate(bytes);
    text.truncate(text.lastIndexOf(QLatin1String("\r\n")) + 2);

    BenchPrompter prompter{MsgAnswer::No};
    frmedit w(QString(), &prompter, ProbePlaces{});
    if (!QTest::qWaitForWindowExposed(&w))
        std::printf("the window was not shown\n");
    Surface *s = w.surface();
    s->setText(text);
    s->setSelStart(s->lineIndex(s->lineCount() / 2));
    w.rtfedit()->flush();
    QApplication::processEvents();
    DocumentRecovery &recovery = w.recovery();
    std::printf("%s document: %d characters, recovery %s in %s\n", qPrintable(label), s->length(),
                recovery.isEnabled() ? "on" : "OFF", qPrintable(recovery.folder()));
    auto key = [&] {
        typeKey(w.rtfedit());
        w.rtfedit()->viewport()->repaint();
    };

    // The first keys after loading lay out the view; they are not counted.
    for (int i = 0; i < 50; ++i)
        key();

    // Continuous typing: the copy waits for a two-second pause.
    double p99 = 0;
    double median = medianMs(301, key, &p99);
    report(label + QStringLiteral(": typed character, recovery on, typing on, median"), median,
           QStringLiteral("2 ms"));
    report(label + QStringLiteral(": typed character, recovery on, typing on, 99th percentile"), p99,
           QStringLiteral("10 ms"));

    // A pause, then a key while the worker writes the copy: the surface's
    // text is shared with the copy, so this key pays for unsharing it.
    recovery.waitForWrites();
    const int writesBefore = recovery.writesDone();
    std::vector<double> afterPause, handOver, settled;
    for (int i = 0; i < 41; ++i) {
        handOver.push_back(timeMs([&] { recovery.writeNow(); }));
        afterPause.push_back(timeMs(key));
        recovery.waitForWrites();
        settled.push_back(timeMs(key)); // the same key with no copy being written
    }
    std::sort(settled.begin(), settled.end());
    report(label + QStringLiteral(": typed character between the copies, median"),
           settled[settled.size() / 2], QStringLiteral("2 ms"));
    std::sort(afterPause.begin(), afterPause.end());
    std::sort(handOver.begin(), handOver.end());
    report(label + QStringLiteral(": copying the text for the worker (window thread, in the pause), median"),
           handOver[handOver.size() / 2], QStringLiteral("once per pause"));
    report(label + QStringLiteral(": typed character while the copy is written, median"),
           afterPause[afterPause.size() / 2], QStringLiteral("10 ms"));
    report(label + QStringLiteral(": typed character while the copy is written, worst of 41"),
           afterPause.back(), QStringLiteral("20 ms"));
    std::printf("  copies written: %d\n", recovery.writesDone() - writesBefore);

    // The worker's own time for one copy of this document.
    const RecoveryRecord record{QString(), std::nullopt, FileStamp{}, s->text()};
    const QString scratch = recovery.folder() + QStringLiteral("/bench.qrec");
    const double write = medianMs(5, [&] { writeRecoveryFile(scratch, record); });
    QFile::remove(scratch);
    report(label + QStringLiteral(": writing one copy (worker thread), median"), write,
           QStringLiteral("off the window thread"));

    // The same typing with recovery off, for comparison.
    recovery.finish();
    median = medianMs(301, key, &p99);
    report(label + QStringLiteral(": typed character, recovery off, median"), median,
           QStringLiteral("2 ms"));
    report(label + QStringLiteral(": typed character, recovery off, 99th percentile"), p99,
           QStringLiteral("10 ms"));
    QFile::remove(recovery.sessionFile());
    w.setWindowTitle(QStringLiteral("Document [] - Quillon"));
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
    measure(src, qsizetype(1) << 20);
    measure(src, qsizetype(10) << 20);
    return 0;
}
