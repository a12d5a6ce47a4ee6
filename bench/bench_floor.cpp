// The floor on its own: a bare QPlainTextEdit in a shown window, holding the
// same real Java source the editor's benchmarks use. Prints what the
// editor's figures are set against: a typed character until painted and
// the area it repaints (1 MB and 10 MB), Page Down frames through 10 MB, and
// setPlainText of a decoded 10 MB file until painted with its memory.
//
//   bench_floor                 all of it
//   bench_floor --open FILE     only: read, decode and show FILE, then one
//                               line "open ms rss-kB hwm-kB" (the editor's
//                               Open benchmark runs this in a fresh process)
#include "benchsupport.h"
#include "surface/textfile.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

namespace {

const QSize kEditSize(1000, 640);

int openOnly(const QString &path)
{
    FloorEditor floor;
    if (!floor.show(kEditSize, QFontDatabase::systemFont(QFontDatabase::FixedFont)))
        std::printf("the window was not shown\n");
    const double ms = timeMs([&] {
        const auto decoded = readTextFile(path);
        if (decoded)
            floor.setText(decoded->text);
    });
    std::printf("open %.3f %ld %ld\n", ms, statusKb("VmRSS:"), statusKb("VmHWM:"));
    return 0;
}

void typing(FloorEditor &floor, const QString &src, const char *size)
{
    floor.setText(src);
    floor.setCaretLine(floor.edit()->document()->blockCount() / 2);
    std::vector<double> times;
    qint64 area = 0;
    for (int i = 0; i < 201; ++i) {
        times.push_back(timeMs([&] { floor.type(QLatin1Char('a')); }));
        area += floor.paints().area;
    }
    const Figures f = figuresOf(times);
    printFigures(
        QStringLiteral("floor: typed character until painted, %1").arg(QLatin1String(size)), f,
        "ms", true);
    const QWidget *vp = floor.edit()->viewport();
    std::printf("floor: repainted area per keystroke %lld px of a %dx%d viewport\n",
                area / qint64(times.size()), vp->width(), vp->height());
}

void pageDown(FloorEditor &floor)
{
    QPlainTextEdit *e = floor.edit();
    e->moveCursor(QTextCursor::Start);
    floor.paints().reset();
    waitPainted(floor.paints());
    std::vector<double> frames;
    const QScrollBar *bar = e->verticalScrollBar();
    while (bar->value() < bar->maximum()) {
        frames.push_back(timeMs([&] {
            floor.paints().reset();
            sendKey(e, Qt::Key_PageDown);
            waitPainted(floor.paints());
        }));
    }
    printFigures(QStringLiteral("floor: Page Down frame, top to bottom of 10 MB"),
                 figuresOf(frames), "ms", true);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("--open"))
        return openOnly(args.at(2));

    const QString ten = reportedJavaSource(10 * 1024 * 1024);
    if (ten.isEmpty())
        return 0;
    const QString one = javaSource(1024 * 1024);
    FloorEditor floor;
    if (!floor.show(kEditSize, QFontDatabase::systemFont(QFontDatabase::FixedFont)))
        std::printf("the window was not shown; figures leave out painting\n");

    typing(floor, one, "1 MB");
    typing(floor, ten, "10 MB");
    pageDown(floor);
    const Figures set = measureRuns(
        5, [&] { floor.setText(QString()); }, [&] { floor.setText(ten); });
    printFigures(QStringLiteral("floor: setPlainText 10 MB until painted"), set);
    // Memory only means something in a fresh process: see --open.
    return 0;
}
