// A second editor for the recovery tests: opens the file named by its
// second argument (none: a new document), types the third argument into
// the editing surface key by key, waits until its recovery copy is on disk,
// prints "written <file>" and keeps running until it is killed.
// The first argument is the state folder (XDG_STATE_HOME) to use.

#include "settings/prefloader.h"
#include "shell/frmedit.h"
#include "shell/recovery.h"
#include "support/testenv.h"
#include "surface/surfaceview.h"

#include <QApplication>
#include <QFileInfo>
#include <QTest>
#include <QTimer>
#include <cstdio>

using namespace qln;

namespace {

// Nothing is expected to be asked; anything that is gets the answer that
// changes nothing.
class QuietPrompter : public Prompter {
public:
    MsgAnswer message(const MessageRequest &request) override
    {
        std::fprintf(stderr, "child was asked: %s\n", qPrintable(request.text));
        return request.buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    }
    using Prompter::message;
    std::optional<QString> input(const QString &, const QString &, const QString &) override { return {}; }
    std::optional<QString> file(const FileDialogRequest &) override { return {}; }
    std::optional<QColor> color(const QColor &) override { return {}; }
    std::optional<FontChoice> font(const FontChoice &) override { return {}; }
    std::optional<QString> folder(const QString &, const QString &) override { return {}; }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: %s state-folder file text\n", argv[0]);
        return 2;
    }
    QuietPrompter prompter;
    test::installFactorySettings(prompter);
    qputenv("XDG_STATE_HOME", args[1].toLocal8Bit());

    frmedit window(args[2], &prompter, ProbePlaces{});
    Surface *surface = window.surface();
    surface->setSelStart(surface->length());
    QTest::keyClicks(window.rtfedit(), args[3]);

    // The copy is written by the editor's own timer, two seconds after the
    // last key.
    const QString copy = window.recovery().sessionFile();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window.recovery().writesDone() > 0 && QFileInfo::exists(copy)) {
            poll.stop();
            std::printf("written %s\n", qPrintable(copy));
            std::fflush(stdout);
        }
    });
    poll.start(20);
    return app.exec();
}
