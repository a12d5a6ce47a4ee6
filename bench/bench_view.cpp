// Figures of the view: a keystroke on a 200 KB line and on a 2 MB
// single-line file until painted, a caret blink, sideways scrolling (with a
// bare QPlainTextEdit holding the same line as the floor), a keystroke on a
// 60,000-character and a 2 MB line with lines wrapping and without, and
// Page Down from the top to the bottom of 10 MB of Java source, frame by frame;
// and 10,000 compiler errors marked in 10,000 lines: placing and clearing
// them, Page Down with and without them, a keystroke above them.
// Each figure is the minimum and median (and maximum) of its runs.
#include "benchsupport.h"
#include "surface/ui/surfaceview.h"
#include "tools/compilermarkers.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

namespace {

// A view shown at the size the figures are taken at, holding text, the
// caret at `caret`, everything painted.
void show(SurfaceView &view, const QString &text, int caret)
{
    view.resize(1000, 700);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view))
        std::printf("the window was not shown; figures leave out painting\n");
    view.setFocus();
    view.surface()->setText(text);
    view.surface()->setSelStart(caret);
    view.flush();
    view.ensureCursorVisible();
    view.viewport()->repaint();
    QApplication::processEvents();
}

Figures measure(int runs, const std::function<void()> &f)
{
    return measureRuns(
        runs, [] {}, f);
}

// One typed character, with what it changed painted.
void typeKey(QWidget *w)
{
    sendKey(w, Qt::Key_A, QStringLiteral("a"));
    QApplication::processEvents();
}

void measureLine(const QString &label, qsizetype length, int runs)
{
    const QString line = javaLine(length);
    {
        Surface document;
        SurfaceView view(&document);
        show(view, line, int(line.size() / 2));
        Surface *s = view.surface();
        const quint64 before = view.layoutsBuilt();
        const int lengthBefore = s->length();
        const Figures typed = measure(runs, [&] { typeKey(&view); });
        printFigures(label
                         + QStringLiteral(": keystroke, view (%1 layouts a key, %2 typed)")
                               .arg(double(view.layoutsBuilt() - before) / runs, 0, 'f', 1)
                               .arg(s->length() - lengthBefore),
                     typed, "ms", true);
        const quint64 blinkBefore = view.layoutsBuilt();
        const Figures blink = measure(
            runs, [&] { view.viewport()->repaint(view.caretRect().adjusted(-2, 0, 2, 0)); });
        printFigures(label
                         + QStringLiteral(": caret blink repaint, view (%1 layouts)")
                               .arg(view.layoutsBuilt() - blinkBefore),
                     blink, "ms", true);
        QScrollBar *h = view.horizontalScrollBar();
        h->setValue(0);
        view.viewport()->repaint();
        printFigures(label + QStringLiteral(": scroll sideways by 40 px, view"),
                     measure(runs * 2,
                             [&] {
                                 h->setValue(h->value() + 40);
                                 view.viewport()->repaint();
                             }),
                     "ms", true);
    }
    {
        QPlainTextEdit floor;
        floor.resize(1000, 700);
        floor.show();
        if (!QTest::qWaitForWindowExposed(&floor))
            std::printf("the floor's window was not shown\n");
        floor.setFocus();
        floor.setPlainText(line);
        QTextCursor c = floor.textCursor();
        c.setPosition(int(line.size() / 2));
        floor.setTextCursor(c);
        QApplication::processEvents();
        const int floorRuns = length > 1000000 ? 5 : runs;
        printFigures(label + QStringLiteral(": keystroke, floor (QPlainTextEdit)"),
                     measure(floorRuns, [&] { typeKey(&floor); }), "ms", true);
    }
}

// A keystroke in the middle of a line of `length` characters, with lines
// wrapping at a printed width of eight inches and without wrapping.
void measureWrapped(const QString &label, qsizetype length, int runs)
{
    const QString line = javaLine(length);
    for (const bool wrapped : {false, true}) {
        Surface document;
        SurfaceView view(&document);
        if (wrapped)
            view.surface()->setRightMargin(1440 * 8);
        show(view, line + QStringLiteral("\r\nint after;"), int(line.size() / 2));
        const quint64 before = view.layoutsBuilt();
        const Figures typed = measure(runs, [&] { typeKey(&view); });
        printFigures(
            label
                + QStringLiteral(": keystroke, view, %1 (%2 layouts a key)")
                      .arg(wrapped ? QStringLiteral("wrapping on") : QStringLiteral("no wrapping"))
                      .arg(double(view.layoutsBuilt() - before) / runs, 0, 'f', 1),
            typed, "ms", true);
    }
}

void measurePaging(qsizetype bytes)
{
    const QString src = javaSource(bytes);
    if (src.isEmpty()) {
        std::printf("no kit installed: Page Down is not measured\n");
        return;
    }
    Surface document;
    SurfaceView view(&document);
    show(view, src, 0);
    Surface *s = view.surface();
    std::vector<double> frames;
    while (s->lineFromChar(s->selStart()) < s->lineCount() - 1) {
        frames.push_back(timeMs([&] {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
            QApplication::sendEvent(&view, &press);
            view.viewport()->repaint();
        }));
        if (frames.size() > 100000)
            break;
    }
    const auto over =
        std::count_if(frames.begin(), frames.end(), [](double ms) { return ms > 16; });
    printFigures(
        QStringLiteral("Page Down top to bottom of %1 MB, a frame (%2 frames, %3 over 16 ms)")
            .arg(bytes >> 20)
            .arg(frames.size())
            .arg(over),
        figuresOf(frames), "ms", true);
}

// Page Down from top to bottom, a frame each, as the figures of `label`.
void pageDown(SurfaceView &view, const QString &label)
{
    Surface *s = view.surface();
    s->setSelStart(0);
    view.ensureCursorVisible();
    view.viewport()->repaint();
    std::vector<double> frames;
    while (s->lineFromChar(s->selStart()) < s->lineCount() - 1 && frames.size() < 100000)
        frames.push_back(timeMs([&] {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
            QApplication::sendEvent(&view, &press);
            view.viewport()->repaint();
        }));
    const auto over =
        std::count_if(frames.begin(), frames.end(), [](double ms) { return ms > 16; });
    printFigures(QStringLiteral("%1, a frame (%2 frames, %3 over 16 ms)")
                     .arg(label)
                     .arg(frames.size())
                     .arg(over),
                 figuresOf(frames), "ms", true);
}

// A compile that reported an error on each of 10,000 lines.
void measureMarkers(int errors)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Big.java"));
    QString text;
    for (int i = 0; i < errors; ++i)
        text += QStringLiteral("        int value%1 = undefined%1 + other.lenth();\r\n").arg(i);
    ToolLocations locations;
    locations.begin(LocationContext{dir.path(), dir.path(), {}});
    {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly)) {
            std::printf("cannot write %s\n", qPrintable(file));
            return;
        }
        out.write(text.toUtf8());
    }
    for (int i = 0; i < errors; ++i) {
        const QString message = QStringLiteral("Big.java:%1: error: cannot find symbol").arg(i + 1);
        locations.add(*parseToolLocation(message));
        locations.addOtherLine(QStringLiteral("        int value = undefined + other.lenth();"));
        locations.addOtherLine(QStringLiteral("%1^").arg(QString(22, QLatin1Char(' '))));
        locations.addOtherLine(QStringLiteral("  symbol:   variable undefined"));
    }

    Surface document;
    SurfaceView view(&document);
    view.setLineNumbers(true);
    show(view, text, 0);
    pageDown(view, QStringLiteral("Page Down through %1 lines, no markers").arg(errors));

    CompilerMarkers markers(document);
    std::vector<double> placing, clearing;
    for (int run = 0; run < 5; ++run) {
        placing.push_back(timeMs([&] {
            markers.place(locations, file);
            view.viewport()->repaint();
        }));
        clearing.push_back(timeMs([&] {
            markers.clear();
            view.viewport()->repaint();
        }));
    }
    printFigures(QStringLiteral("%1 markers placed, until painted").arg(errors), figuresOf(placing),
                 "ms", true);
    printFigures(QStringLiteral("%1 markers cleared, until painted").arg(errors),
                 figuresOf(clearing), "ms", true);

    markers.place(locations, file);
    pageDown(
        view,
        QStringLiteral("Page Down through %1 lines, %2 markers").arg(errors).arg(markers.count()));
    // Typing on the first line moves every marker below it.
    document.setSelStart(8);
    view.ensureCursorVisible();
    view.viewport()->repaint();
    const Figures typed = measure(101, [&] { typeKey(&view); });
    printFigures(
        QStringLiteral("A typed character above %1 markers, until painted").arg(markers.count()),
        typed, "ms", true);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // bench_view [lines] [wrap] [paging] [markers]: those parts only (all
    // without).
    const QStringList args = app.arguments().mid(1);
    const bool all = args.isEmpty();
    if (all || args.contains(QLatin1String("lines"))) {
        measureLine(QStringLiteral("200 KB line"), 200 * 1024, 51);
        measureLine(QStringLiteral("2 MB single line"), 2 * 1024 * 1024, 21);
    }
    if (all || args.contains(QLatin1String("wrap"))) {
        measureWrapped(QStringLiteral("60,000-character line"), 60000, 51);
        measureWrapped(QStringLiteral("2 MB single line"), 2 * 1024 * 1024, 21);
    }
    if (all || args.contains(QLatin1String("paging")))
        measurePaging(10 * 1024 * 1024);
    if (all || args.contains(QLatin1String("markers")))
        measureMarkers(10000);
    return 0;
}
