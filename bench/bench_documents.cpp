// Figures of the document commands on 10 MB of real Java source: Open into
// a shown main window (the whole command: read, decode, load, show, paint)
// and Save back to disk.
#include "benchsupport.h"
#include "support/testenv.h"
#include "settings/prefloader.h"
#include "settings/settingsstore.h"
#include "shell/documentfiles.h"
#include "shell/frmedit.h"
#include "surface/surface.h"
#include "surface/surfaceview.h"
#include "surface/textfile.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

namespace {

} // namespace

int main(int argc, char **argv)
{
    // Never touch the user's own settings.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);

    const QString src = reportedJavaSource(10 * 1024 * 1024);
    if (src.isEmpty())
        return 0;

    // A Linux file: LF line breaks, UTF-8.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Big.java"));
    QByteArray bytes = src.toUtf8();
    bytes.replace("\r\n", "\n");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
            std::printf("cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    std::printf("file: %lld bytes, %d lines\n", qlonglong(bytes.size()), int(bytes.count('\n')));

    // The store as a previous run left it, so no first-run splash shows.
    BenchPrompter prompter{MsgAnswer::Yes};
    prompter.reportMessages = true;
    test::installFactorySettings(prompter);

    frmedit w(QString(), &prompter, ProbePlaces{});
    w.resize(1000, 700);
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) {
        std::printf("the window was not shown\n");
        return 1;
    }

    report(QStringLiteral("read and decode the file alone"), medianMs(3, [&] { readTextFile(path); }),
           QStringLiteral("-"));

    // Where the time of Open goes, step by step, in a window of its own.
    {
        frmedit parts(QString(), &prompter, ProbePlaces{});
        parts.resize(1000, 700);
        parts.show();
        if (!QTest::qWaitForWindowExposed(&parts))
            std::printf("the window was not shown; figures leave out painting\n");
        const auto decoded = readTextFile(path);
        Surface *s = parts.surface();
        s->setVisible(false);
        report(QStringLiteral("  part: set 10 MB into the hidden surface"),
               timeMs([&] { s->setText(decoded->text); }), QStringLiteral("-"));
        report(QStringLiteral("  part: show the surface (the view takes the text), painted"),
               timeMs([&] {
                   s->setVisible(true);
                   parts.rtfedit()->flush();
                   parts.rtfedit()->viewport()->repaint();
               }),
               QStringLiteral("-"));
    }

    prompter.fileName = path;
    const double open = timeMs([&] {
        w.menuItem(QStringLiteral("Open"))->trigger();
        w.rtfedit()->flush();
        w.rtfedit()->viewport()->repaint();
    });
    report(QStringLiteral("Open 10 MB into the shown window, painted"), open, QStringLiteral("1 s"));
    if (w.surface()->length() != src.size())
        std::printf("unexpected length after Open: %d\n", w.surface()->length());

    // Opening again replaces a 10 MB document by another.
    const double reopen = timeMs([&] {
        w.menuItem(QStringLiteral("Open"))->trigger();
        w.rtfedit()->flush();
        w.rtfedit()->viewport()->repaint();
    });
    report(QStringLiteral("Open again over a loaded 10 MB document"), reopen, QStringLiteral("1 s"));

    const double save = medianMs(5, [&] { w.menuItem(QStringLiteral("Save"))->trigger(); });
    report(QStringLiteral("Save 10 MB (atomic, LF UTF-8), median of 5"), save, QStringLiteral("200 ms"));

    QFile f(path);
    f.open(QIODevice::ReadOnly);
    if (f.readAll() != bytes)
        std::printf("the saved file differs from the original\n");
    if (prompter.messages)
        std::printf("%d unexpected messages\n", prompter.messages);
    return 0;
}
