// Figures of the Edit menu commands on a 10 MB Java document shown in a
// window: Select All and Goto line.
#include "benchsupport.h"
#include "shell/editcommands.h"
#include "surface/surfaceview.h"

#include <QApplication>
#include <QTest>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

namespace {
// Answers the goto question with a fixed line.
class LinePrompter : public Prompter {
public:
    QString line;
    MsgAnswer message(const MessageRequest &) override { return MsgAnswer::No; }
    std::optional<QString> input(const QString &, const QString &, const QString &) override
    {
        return line;
    }
    std::optional<QString> file(const FileDialogRequest &) override { return std::nullopt; }
    std::optional<QColor> color(const QColor &) override { return std::nullopt; }
    std::optional<FontChoice> font(const FontChoice &) override { return std::nullopt; }
    std::optional<QString> folder(const QString &, const QString &) override
    {
        return std::nullopt;
    }
};
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString src = javaSource(10 * 1024 * 1024);
    if (src.isEmpty()) {
        std::printf("no Java kit with lib/src.zip found: nothing measured\n");
        return 0;
    }
    std::printf("input: %s\n", qPrintable(javaSourceOrigin()));
    SurfaceView view;
    view.resize(1000, 700);
    view.show();
    QTest::qWaitForWindowExposed(&view);
    Surface *s = view.surface();
    s->setText(src);
    view.flush();

    report(QStringLiteral("Select All on 10 MB, shown"), timeMs([&] {
               selectAll(*s, StatusHooks{});
               view.flush();
               view.viewport()->repaint();
           }),
           QStringLiteral("50 ms"));
    LinePrompter prompter;
    prompter.line = QString::number(s->lineCount() - 10);
    report(QStringLiteral("Goto line near the end of 10 MB, shown"), timeMs([&] {
               gotoLine(*s, prompter);
               view.flush();
               view.viewport()->repaint();
           }),
           QStringLiteral("50 ms"));
    prompter.line = QString::number(s->lineCount() / 2);
    report(QStringLiteral("Goto line in the middle of 10 MB, shown"), timeMs([&] {
               gotoLine(*s, prompter);
               view.flush();
               view.viewport()->repaint();
           }),
           QStringLiteral("50 ms"));
    return 0;
}
