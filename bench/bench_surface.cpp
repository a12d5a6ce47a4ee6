// Figures of the editing surface on 1 MB of real Java source: setting the
// text, finding, colouring many ranges, showing, and typing.
#include "benchsupport.h"
#include "surface/ui/surfaceview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString src = reportedJavaSource(1024 * 1024);
    if (src.isEmpty())
        return 0;

    {
        Surface s;
        report(QStringLiteral("set text, surface without a view"),
               medianMs(9, [&] { s.setText(src); }), QStringLiteral("20 ms"));
        report(QStringLiteral("find an absent word (match case, whole word)"),
               medianMs(21, [&] { s.find(QStringLiteral("qlnAbsentWord"), 0, -1, 6); }),
               QStringLiteral("2 ms"));
        report(QStringLiteral("find an absent word (no options)"),
               medianMs(21, [&] { s.find(QStringLiteral("qlnAbsentWord"), 0); }),
               QStringLiteral("2 ms"));
    }

    Surface document;
    SurfaceView view(&document);
    view.resize(1000, 700);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view))
        std::printf("the window was not shown; figures leave out painting\n");
    Surface *s = view.surface();
    report(QStringLiteral("set text, surface shown in a window"), timeMs([&] {
               s->setText(src);
               view.flush();
               view.viewport()->repaint();
           }),
           QStringLiteral("100 ms"));

    view.setPainted(false);
    const int step = s->length() / 100000;
    report(QStringLiteral("colour 100,000 ranges of the hidden surface"), timeMs([&] {
               for (int i = 0; i < 100000; ++i) {
                   s->setSelStart(i * step);
                   s->setSelLength(std::max(1, step / 2));
                   s->setSelColor(BgrColor(i % 2 ? 255 : 16711680));
               }
           }),
           QStringLiteral("100 ms"));
    report(QStringLiteral("show the surface afterwards"), timeMs([&] {
               view.setPainted(true);
               view.flush();
               view.viewport()->repaint();
           }),
           QStringLiteral("100 ms"));

    // Typing as a writer does: lines of 60 characters, so the caret stays
    // in the window; the widget repaints the caret's line.
    auto measureTyping = [&](SurfaceView &v, const QString &what) {
        Surface *t = v.surface();
        t->setSelStart(t->lineIndex(t->lineCount() / 2));
        v.flush();
        QApplication::processEvents();
        int typedCount = 0;
        auto typeOne = [&] {
            const bool lineEnd = ++typedCount % 60 == 0;
            QKeyEvent press(QEvent::KeyPress, lineEnd ? Qt::Key_Return : Qt::Key_A, Qt::NoModifier,
                            lineEnd ? QStringLiteral("\r") : QStringLiteral("a"));
            QApplication::sendEvent(&v, &press);
        };
        double p99 = 0;
        const double median = medianMs(
            301,
            [&] {
                typeOne();
                QApplication::processEvents(); // the widget paints what the key changed
            },
            &p99);
        report(QStringLiteral("one typed character, ") + what + QStringLiteral(", median"), median,
               QStringLiteral("1 ms"));
        report(QStringLiteral("one typed character, ") + what + QStringLiteral(", 99th percentile"),
               p99, QStringLiteral("-"));
    };
    measureTyping(view, QStringLiteral("1 MB coloured in 100,000 ranges"));

    Surface plainDocument;
    SurfaceView plain(&plainDocument);
    plain.resize(1000, 700);
    plain.show();
    if (!QTest::qWaitForWindowExposed(&plain))
        std::printf("the window was not shown; figures leave out painting\n");
    plain.surface()->setText(src);
    measureTyping(plain, QStringLiteral("1 MB as opened"));
    return 0;
}
