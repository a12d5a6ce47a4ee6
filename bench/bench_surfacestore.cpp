// Figures of the surface's storage without a view: typing and deleting
// single characters in the middle of 1 MB and 10 MB of real Java source,
// and the memory the surface holds for the text. An edit should cost the
// same whatever the length of the document.
#include "benchsupport.h"
#include "surface/surface.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <vector>

using namespace qln;
using namespace qln::bench;

namespace {

// Bytes the heap has handed out (glibc), whether touched yet or not.
double heapBytes()
{
    const struct mallinfo2 mi = mallinfo2();
    return double(mi.uordblks) + double(mi.hblkhd);
}

void measure(const QString &src, const char *label)
{
    const double before = heapBytes();
    Surface s;
    s.setText(src);
    s.replace(s.length() / 2, 0, QStringLiteral("a")); // an edit: nothing shared any more
    s.clearUndo();
    const double after = heapBytes();
    std::printf("%s: %d characters, %d lines; the surface holds %.1f MB after setText and one "
                "edit (%.2f bytes per character)\n",
                label, s.length(), s.lineCount(), (after - before) / 1048576.0,
                s.length() > 0 ? (after - before) / s.length() : 0.0);

    const int kEdits = 1000;
    const int kRuns = 7;
    const QString a = QStringLiteral("a");
    std::vector<double> inserts, deletes;
    for (int run = 0; run < kRuns; ++run) {
        // The caret goes to a line in the middle, as if clicked there.
        const int caret = s.lineIndex(s.lineCount() / 2) + 2;
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < kEdits; ++i)
            s.replace(caret + i, 0, a);
        inserts.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        for (int i = kEdits; i > 0; --i)
            s.replace(caret + i - 1, 1, QString());
        deletes.push_back(t.nsecsElapsed() / 1e6);
    }
    const Figures ins = figuresOf(inserts), del = figuresOf(deletes);
    std::printf("%s: %d one-character inserts at the middle: min %.3f ms, median %.3f ms "
                "(%.2f us per edit at the median)\n",
                label, kEdits, ins.min, ins.median, ins.median * 1000.0 / kEdits);
    std::printf("%s: %d one-character deletes at the middle: min %.3f ms, median %.3f ms "
                "(%.2f us per edit at the median)\n",
                label, kEdits, del.min, del.median, del.median * 1000.0 / kEdits);

    // Edits that jump between the two ends of the document each time (the
    // worst case for a gap, the same for an array).
    std::vector<double> jumps;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 100; ++i) {
            const int pos = i % 2 ? 2 : s.length() - 2;
            s.replace(pos, 0, a);
            s.replace(pos, 1, QString());
        }
        jumps.push_back(t.nsecsElapsed() / 1e6);
    }
    const Figures jump = figuresOf(jumps);
    std::printf("%s: 100 insert+delete pairs alternating between start and end: min %.3f ms, "
                "median %.3f ms\n",
                label, jump.min, jump.median);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    for (const qsizetype mb : {1, 10}) {
        const QString src = reportedJavaSource(mb * 1024 * 1024);
        if (src.isEmpty())
            return 0;
        measure(src, mb == 1 ? "1 MB" : "10 MB");
    }
    return 0;
}
