// Figures of the view: a keystroke on a 200 KB line and on a 2 MB
// single-line file until painted, a caret blink, sideways scrolling (with a
// bare QPlainTextEdit holding the same line as the floor), and Page Down
// from the top to the bottom of 10 MB of Java source, frame by frame.
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

struct Spread {
    double min = 0;
    double median = 0;
    double max = 0;
};

Spread measure(int runs, const std::function<void()> &f)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i)
        ms.push_back(timeMs(f));
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2], ms.back()};
}

void print(const QString &what, const Spread &s, const QString &extra = QString())
{
    std::printf("%-62s min %8.2f ms  median %8.2f ms  max %8.2f ms %s\n", qPrintable(what), s.min,
                s.median, s.max, qPrintable(extra));
}

// One line of real Java source: its lines joined by spaces.
QString javaLine(qsizetype length)
{
    QString text = javaSource(length + length / 8);
    if (text.isEmpty()) {
        std::printf("no kit installed: the line is made of repeated Java statements\n");
        while (text.size() < length)
            text += QStringLiteral("int value = compute(\"text\", 42); // note\r\n");
    }
    else
        std::printf("source: %s\n", qPrintable(javaSourceOrigin()));
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.truncate(length);
    return text;
}

void typeKey(QWidget *w)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(w, &release);
    QApplication::processEvents(); // paints what the key changed
}

void measureLine(const QString &label, qsizetype length, int runs)
{
    const QString line = javaLine(length);
    {
        SurfaceView view;
        view.resize(1000, 700);
        view.show();
        if (!QTest::qWaitForWindowExposed(&view))
            std::printf("the window was not shown; figures leave out painting\n");
        view.setFocus();
        Surface *s = view.surface();
        s->setText(line);
        s->setSelStart(s->length() / 2);
        view.flush();
        view.ensureCursorVisible();
        view.viewport()->repaint();
        QApplication::processEvents();
        const quint64 before = view.layoutsBuilt();
        const int lengthBefore = s->length();
        const Spread typed = measure(runs, [&] { typeKey(&view); });
        print(label + QStringLiteral(": keystroke, view"), typed,
              QStringLiteral("(%1 layouts a key, %2 typed)")
                  .arg(double(view.layoutsBuilt() - before) / runs, 0, 'f', 1)
                  .arg(s->length() - lengthBefore));
        const quint64 blinkBefore = view.layoutsBuilt();
        const Spread blink =
            measure(runs, [&] { view.viewport()->repaint(view.caretRect().adjusted(-2, 0, 2, 0)); });
        print(label + QStringLiteral(": caret blink repaint, view"), blink,
              QStringLiteral("(%1 layouts)").arg(view.layoutsBuilt() - blinkBefore));
        QScrollBar *h = view.horizontalScrollBar();
        h->setValue(0);
        view.viewport()->repaint();
        print(label + QStringLiteral(": scroll sideways by 40 px, view"), measure(runs * 2, [&] {
                  h->setValue(h->value() + 40);
                  view.viewport()->repaint();
              }));
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
        print(label + QStringLiteral(": keystroke, floor (QPlainTextEdit)"),
              measure(floorRuns, [&] { typeKey(&floor); }));
    }
}

void measurePaging(qsizetype bytes)
{
    const QString src = javaSource(bytes);
    if (src.isEmpty()) {
        std::printf("no kit installed: Page Down is not measured\n");
        return;
    }
    SurfaceView view;
    view.resize(1000, 700);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view))
        std::printf("the window was not shown; figures leave out painting\n");
    view.setFocus();
    Surface *s = view.surface();
    s->setText(src);
    s->setSelStart(0);
    view.flush();
    view.viewport()->repaint();
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
    std::sort(frames.begin(), frames.end());
    const auto over = std::count_if(frames.begin(), frames.end(), [](double ms) { return ms > 16; });
    std::printf("%-62s min %8.2f ms  median %8.2f ms  max %8.2f ms (%zu frames, %ld over 16 ms)\n",
                qPrintable(QStringLiteral("Page Down top to bottom of %1 MB, a frame").arg(bytes >> 20)),
                frames.front(), frames[frames.size() / 2], frames.back(), frames.size(), long(over));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    measureLine(QStringLiteral("200 KB line"), 200 * 1024, 51);
    measureLine(QStringLiteral("2 MB single line"), 2 * 1024 * 1024, 21);
    measurePaging(10 * 1024 * 1024);
    return 0;
}
