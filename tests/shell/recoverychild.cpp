// A second editor for the recovery tests:
//   recoverychild STATE FILE TEXT [--interval=MS] [--delay=MS] [--max-delay=MS] [--then=WHAT]
// uses STATE as XDG_STATE_HOME, opens FILE ("" for a new document) and
// types TEXT into the editing surface: all at once, or one character every
// MS milliseconds. With --edits=SEED it makes the edits of
// nextScriptedEdit(SEED) instead, one every MS milliseconds, until it is
// killed, printing "edited <n>" after the n-th ("diverged" and ending when
// the surface did not take one as given). It prints "session <file>" (its
// recovery copy) at start, "typed <n>" after each character it typed and
// "problem <message>" for
// what the recovery reports; --delay and --max-delay set the recovery's
// pause and longest wait. Right after the last character, with no pause:
//   wait     (the default) prints "written <file>" once a copy is on disk
//            and keeps running until it is killed;
//   stay     keeps running;
//   fatal    ends with a fatal message, as a lost display connection does
//            on some platforms;
//   exit     calls exit(1), as Qt does when the X11 connection breaks;
//   destroy  hands the editor the window system's report that another
//            program destroyed its window;
//   block    holds the event loop for a minute.

#include "scriptededits.h"
#include "settings/prefloader.h"
#include "shell/recovery.h"
#include "shell/ui/frmedit.h"
#include "support/testenv.h"
#include "surface/ui/surfaceview.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

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
    std::optional<QString> input(const QString &, const QString &, const QString &) override
    {
        return {};
    }
    std::optional<QString> file(const FileDialogRequest &) override { return {}; }
    std::optional<QColor> color(const QColor &) override { return {}; }
    std::optional<FontChoice> font(const FontChoice &) override { return {}; }
    std::optional<QString> folder(const QString &, const QString &) override { return {}; }
};

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

int option(const QStringList &args, const QString &name, int fallback)
{
    for (const QString &arg : args)
        if (arg.startsWith(name + QLatin1Char('=')))
            return arg.mid(name.size() + 1).toInt();
    return fallback;
}

QString textOption(const QStringList &args, const QString &name, const QString &fallback)
{
    for (const QString &arg : args)
        if (arg.startsWith(name + QLatin1Char('=')))
            return arg.mid(name.size() + 1);
    return fallback;
}

// An X11 DestroyNotify event for the window, as xcb delivers it.
void reportWindowDestroyed(QWidget &window)
{
    unsigned char event[32] = {};
    event[0] = 17;
    const quint32 id = quint32(window.windowHandle()->winId());
    std::memcpy(event + 4, &id, 4);
    std::memcpy(event + 8, &id, 4);
    qintptr result = 0;
    QAbstractEventDispatcher::instance()->filterNativeEvent("xcb_generic_event_t", event, &result);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    DocumentRecovery::installEndHandlers(); // as the program's start does
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: %s state-folder file text [options]\n", argv[0]);
        return 2;
    }
    QuietPrompter prompter;
    test::installFactorySettings(prompter);
    qputenv("XDG_STATE_HOME", args[1].toLocal8Bit());

    frmedit window(args[2], &prompter, ProbePlaces{});
    DocumentRecovery &recovery = window.recovery();
    recovery.setDelay(option(args, QStringLiteral("--delay"), recovery.delay()));
    recovery.setMaxDelay(option(args, QStringLiteral("--max-delay"), recovery.maxDelay()));
    QObject::connect(&recovery, &DocumentRecovery::problem,
                     [](const QString &message) { say(QStringLiteral("problem ") + message); });
    say(QStringLiteral("session ") + recovery.sessionFile());

    const QString text = args[3];
    const int interval = option(args, QStringLiteral("--interval"), 0);
    const QString then = textOption(args, QStringLiteral("--then"), QStringLiteral("wait"));
    Surface *surface = window.surface();
    surface->setSelStart(surface->length());

    QTimer poll;
    auto finished = [&] {
        if (then == QLatin1String("fatal")) {
            qFatal("the display is gone");
        } else if (then == QLatin1String("exit")) {
            std::exit(1);
        } else if (then == QLatin1String("destroy")) {
            reportWindowDestroyed(window);
        } else if (then == QLatin1String("block")) {
            say(QStringLiteral("blocking"));
            QElapsedTimer held; // a signal cuts a sleep short
            held.start();
            while (held.elapsed() < 60000)
                ::sleep(1);
        } else if (then == QLatin1String("wait")) {
            // The copy is written by the editor's own timer.
            const QString copy = recovery.sessionFile();
            QObject::connect(&poll, &QTimer::timeout, [&recovery, &poll, copy] {
                if (recovery.writesDone() > 0 && QFileInfo::exists(copy)) {
                    poll.stop();
                    say(QStringLiteral("written ") + copy);
                }
            });
            poll.start(20);
        }
    };

    QTimer typing;
    int typed = 0;
    QRandomGenerator script(quint32(option(args, QStringLiteral("--edits"), 0)));
    QString expected = surface->text();
    if (textOption(args, QStringLiteral("--edits"), QString()) != QString()) {
        QObject::connect(&typing, &QTimer::timeout, [&] {
            const test::ScriptedEdit edit = test::nextScriptedEdit(script, expected);
            edit.applyTo(expected);
            surface->replace(edit.pos, edit.removed, edit.text);
            if (surface->text() != expected) {
                say(QStringLiteral("diverged"));
                std::exit(3);
            }
            say(QStringLiteral("edited %1").arg(++typed));
        });
        typing.start(qMax(interval, 1));
    } else if (interval <= 0) {
        QTest::keyClicks(window.rtfedit(), text);
        say(QStringLiteral("typed %1").arg(text.size()));
        finished();
    } else {
        QObject::connect(&typing, &QTimer::timeout, [&] {
            QTest::keyClicks(window.rtfedit(), text.mid(typed, 1));
            say(QStringLiteral("typed %1").arg(++typed));
            if (typed == text.size()) {
                typing.stop();
                finished();
            }
        });
        typing.start(interval);
    }
    return app.exec();
}
