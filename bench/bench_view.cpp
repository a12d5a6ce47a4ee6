// Figures of the view: a keystroke on a 200 KB line and on a 2 MB
// single-line file until painted, a caret blink, sideways scrolling (with a
// bare QPlainTextEdit holding the same line as the floor), a keystroke on a
// 60,000-character and a 2 MB line with lines wrapping and without, and
// Page Down from the top to the bottom of 10 MB of Java source, frame by frame.
// Each figure is the minimum and median (and maximum) of its runs.
#include "benchsupport.h"
#include "surface/surfaceview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
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
    return measureRuns(runs, [] {}, f);
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
        printFigures(label + QStringLiteral(": keystroke, view (%1 layouts a key, %2 typed)")
                                 .arg(double(view.layoutsBuilt() - before) / runs, 0, 'f', 1)
                                 .arg(s->length() - lengthBefore),
                     typed, "ms", true);
        const quint64 blinkBefore = view.layoutsBuilt();
        const Figures blink =
            measure(runs, [&] { view.viewport()->repaint(view.caretRect().adjusted(-2, 0, 2, 0)); });
        printFigures(label + QStringLiteral(": caret blink repaint, view (%1 layouts)")
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
        printFigures(label + QStringLiteral(": keystroke, view, %1 (%2 layouts a key)")
                                 .arg(wrapped ? QStringLiteral("wrapping on")
                                              : QStringLiteral("no wrapping"))
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
    const auto over = std::count_if(frames.begin(), frames.end(), [](double ms) { return ms > 16; });
    printFigures(QStringLiteral("Page Down top to bottom of %1 MB, a frame (%2 frames, %3 over 16 ms)")
                     .arg(bytes >> 20)
                     .arg(frames.size())
                     .arg(over),
                 figuresOf(frames), "ms", true);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // bench_view [lines] [wrap] [paging]: those parts only (all without).
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
    return 0;
}
