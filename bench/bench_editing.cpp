// Figures of the Edit menu commands on a 10 MB Java document shown in a
// window: Select All and Goto line.
#include "benchsupport.h"
#include "shell/editcommands.h"
#include "surface/ui/surfaceview.h"

#include <QApplication>
#include <QTest>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

namespace {
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString src = reportedJavaSource(10 * 1024 * 1024);
    if (src.isEmpty())
        return 0;
    Surface document;
    SurfaceView view(&document);
    view.resize(1000, 700);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view))
        std::printf("the window was not shown; figures leave out painting\n");
    Surface *s = view.surface();
    s->setText(src);
    view.flush();

    report(QStringLiteral("Select All on 10 MB, shown"), timeMs([&] {
               selectAll(*s, StatusHooks{});
               view.flush();
               view.viewport()->repaint();
           }),
           QStringLiteral("50 ms"));
    BenchPrompter prompter{MsgAnswer::No};
    prompter.inputText = QString::number(s->lineCount() - 10);
    report(QStringLiteral("Goto line near the end of 10 MB, shown"), timeMs([&] {
               gotoLine(*s, prompter);
               view.flush();
               view.viewport()->repaint();
           }),
           QStringLiteral("50 ms"));
    prompter.inputText = QString::number(s->lineCount() / 2);
    report(QStringLiteral("Goto line in the middle of 10 MB, shown"), timeMs([&] {
               gotoLine(*s, prompter);
               view.flush();
               view.viewport()->repaint();
           }),
           QStringLiteral("50 ms"));
    return 0;
}
