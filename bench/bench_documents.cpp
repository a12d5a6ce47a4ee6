// Figures of the document commands on 10 MB of real Java source: Open into
// a shown main window (the whole command: read, decode, load, show, paint)
// beside the floor (a bare QPlainTextEdit given the same decoded file), each
// in a fresh process so that its memory is its own, and Save back to disk;
// the digest Open and Save take of the file's bytes.
//
//   bench_documents                  everything
//   bench_documents --open FILE [colour]
//                                    one Open in this process, printed as
//                                    "open ms rss-kB hwm-kB" and, with
//                                    colour, "colour ms rss-kB hwm-kB" after
//                                    "&Colorize all"
#include "base/heapuse.h"
#include "benchsupport.h"
#include "settings/prefloader.h"
#include "settings/settingsstore.h"
#include "shell/diskchange.h"
#include "shell/documentfiles.h"
#include "shell/ui/frmedit.h"
#include "support/testenv.h"
#include "surface/surface.h"
#include "surface/textfile.h"
#include "surface/ui/surfaceview.h"

#include <QAction>
#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

namespace {

// Until a file read in the background is shown (a large file is).
void waitLoaded(frmedit &w)
{
    while (w.documents().isLoading())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// One Open of path in a fresh main window, until painted.
int openOnly(const QString &path, bool colour)
{
    BenchPrompter prompter{MsgAnswer::Yes};
    test::installFactorySettings(prompter);
    frmedit w(QString(), &prompter, ProbePlaces{});
    w.resize(1000, 760);
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        std::printf("the window was not shown\n");
    PaintCounter view(w.rtfedit()->viewport());
    prompter.fileName = path;
    // First the text painted, then the load complete and painted again (a
    // large file is coloured as far as it is shown: the rest waits).
    QElapsedTimer clock;
    clock.start();
    w.menuItem(QStringLiteral("Open"))->trigger();
    while (w.documents().isLoading() && w.surface()->length() == 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    w.rtfedit()->flush();
    waitPainted(view);
    const double shown = clock.nsecsElapsed() / 1e6;
    view.reset();
    waitLoaded(w);
    w.rtfedit()->flush();
    w.rtfedit()->viewport()->repaint();
    const double ms = clock.nsecsElapsed() / 1e6;
    std::printf("open %.3f %ld %ld\n", ms, statusKb("VmRSS:"), statusKb("VmHWM:"));
    std::printf("shown %.3f 0 0\n", shown);
    if (colour) {
        view.reset();
        const double c = timeMs([&] {
            w.menuItem(QStringLiteral("colorizeallrtf"))->trigger();
            w.rtfedit()->flush();
            waitPainted(view);
        });
        std::printf("colour %.3f %ld %ld\n", c, statusKb("VmRSS:"), statusKb("VmHWM:"));
    }
    return 0;
}

// Runs program with args; the numbers of its lines starting with each key.
QHash<QString, QList<double>> runChild(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    p.waitForFinished(300000);
    QHash<QString, QList<double>> out;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        if (parts.size() == 4) {
            QList<double> v;
            for (int i = 1; i < 4; ++i)
                v << parts.at(i).toDouble();
            out.insert(QString::fromLatin1(parts.at(0)), v);
        } else if (!line.trimmed().isEmpty()) {
            std::printf("  (%s: %s)\n", qPrintable(QFileInfo(program).fileName()),
                        line.constData());
        }
    }
    return out;
}

// Open 10 MB until painted and its memory, five fresh processes each for
// the editor and the floor.
void openBesideFloor(const QString &path)
{
    const QString dir = QCoreApplication::applicationDirPath();
    const QString self = QCoreApplication::applicationFilePath();
    const QString floorProgram = dir + QStringLiteral("/bench_floor");
    std::vector<double> ours, shown, floors, ourRss, ourHwm, floorRss, floorHwm;
    QList<double> colour;
    for (int run = 0; run < 5; ++run) {
        const auto e = runChild(self, {QStringLiteral("--open"), path,
                                       run == 0 ? QStringLiteral("colour") : QString()});
        const auto f = runChild(floorProgram, {QStringLiteral("--open"), path});
        if (!e.contains(QStringLiteral("open")) || !f.contains(QStringLiteral("open"))) {
            std::printf("a child run gave no figures (is bench_floor built?)\n");
            return;
        }
        const QList<double> eo = e.value(QStringLiteral("open")),
                            fo = f.value(QStringLiteral("open"));
        ours.push_back(eo[0]);
        if (e.contains(QStringLiteral("shown")))
            shown.push_back(e.value(QStringLiteral("shown"))[0]);
        ourRss.push_back(eo[1] / 1024);
        ourHwm.push_back(eo[2] / 1024);
        floors.push_back(fo[0]);
        floorRss.push_back(fo[1] / 1024);
        floorHwm.push_back(fo[2] / 1024);
        if (e.contains(QStringLiteral("colour")))
            colour = e.value(QStringLiteral("colour"));
    }
    const Figures o = figuresOf(ours), f = figuresOf(floors);
    printFigures(QStringLiteral("editor: Open 10 MB until painted (fresh process)"), o);
    printFigures(QStringLiteral("floor: read, decode, setPlainText 10 MB until painted"), f);
    printBeside(QStringLiteral("Open 10 MB until painted"), o, QStringLiteral("floor"), f,
                QStringLiteral("0.5x floor"));
    if (!shown.empty()) {
        const Figures sh = figuresOf(shown);
        printFigures(QStringLiteral("editor: Open 10 MB until its text is painted (fresh process)"),
                     sh);
        printBeside(QStringLiteral("Open 10 MB until the text is painted"), sh,
                    QStringLiteral("floor"), f, QStringLiteral("0.25x floor"));
    }
    const Figures orss = figuresOf(ourRss), ohwm = figuresOf(ourHwm), frss = figuresOf(floorRss),
                  fhwm = figuresOf(floorHwm);
    summary(QStringLiteral("memory with 10 MB open: editor VmRSS min %1 median %2 MB, VmHWM min "
                           "%3 median %4 MB | floor VmRSS min %5 median %6 MB, VmHWM min %7 "
                           "median %8 MB | ratio of RSS medians %9 (limit 1.2x floor)")
                .arg(orss.min, 0, 'f', 1)
                .arg(orss.median, 0, 'f', 1)
                .arg(ohwm.min, 0, 'f', 1)
                .arg(ohwm.median, 0, 'f', 1)
                .arg(frss.min, 0, 'f', 1)
                .arg(frss.median, 0, 'f', 1)
                .arg(fhwm.min, 0, 'f', 1)
                .arg(fhwm.median, 0, 'f', 1)
                .arg(frss.median > 0 ? orss.median / frss.median : 0.0, 0, 'f', 2));
    if (colour.size() == 3)
        summary(QStringLiteral("memory after \"&Colorize all\" of the 10 MB (one run): VmRSS %1 "
                               "MB, VmHWM %2 MB (it took %3 ms until painted)")
                    .arg(colour[1] / 1024, 0, 'f', 1)
                    .arg(colour[2] / 1024, 0, 'f', 1)
                    .arg(colour[0], 0, 'f', 1));
}

} // namespace

int main(int argc, char **argv)
{
    // Never touch the user's own settings.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    // The heap as the program sets it (for the floor too: one process).
    keepLargeBlocksMapped();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args.at(1) == QLatin1String("--open"))
        return openOnly(args.at(2), args.size() > 3 && args.at(3) == QLatin1String("colour"));

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

    openBesideFloor(path);

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

    report(QStringLiteral("read and decode the file alone"),
           medianMs(3, [&] { readTextFile(path); }), QStringLiteral("-"));
    // What noticing a change by content costs: the digest taken of every
    // file read or written, and the look Save takes before it writes.
    report(QStringLiteral("digest of the 10 MB (XXH64)"),
           medianMs(5, [&] { contentDigest(bytes); }), QStringLiteral("-"));
    report(QStringLiteral("  beside SHA-1 of the same bytes"),
           medianMs(5, [&] { QCryptographicHash::hash(bytes, QCryptographicHash::Sha1); }),
           QStringLiteral("-"));
    report(QStringLiteral("read the file with its digest (the look before Save writes)"),
           medianMs(5, [&] { readRegularFile(path); }), QStringLiteral("-"));

    // Where the time of Open goes, step by step, in a window of its own.
    {
        frmedit parts(QString(), &prompter, ProbePlaces{});
        parts.resize(1000, 700);
        parts.show();
        if (!QTest::qWaitForWindowExposed(&parts))
            std::printf("the window was not shown; figures leave out painting\n");
        const auto decoded = readTextFile(path);
        Surface *s = parts.surface();
        parts.rtfedit()->setPainted(false);
        report(QStringLiteral("  part: set 10 MB into the hidden surface"),
               timeMs([&] { s->setText(decoded->text); }), QStringLiteral("-"));
        report(QStringLiteral("  part: show the surface (the view takes the text), painted"),
               timeMs([&] {
                   parts.rtfedit()->setPainted(true);
                   parts.rtfedit()->flush();
                   parts.rtfedit()->viewport()->repaint();
               }),
               QStringLiteral("-"));
    }

    prompter.fileName = path;
    const double open = timeMs([&] {
        w.menuItem(QStringLiteral("Open"))->trigger();
        waitLoaded(w);
        w.rtfedit()->flush();
        w.rtfedit()->viewport()->repaint();
    });
    report(QStringLiteral("Open 10 MB into the shown window, painted"), open,
           QStringLiteral("1 s"));
    if (w.surface()->length() != src.size())
        std::printf("unexpected length after Open: %d\n", w.surface()->length());

    // Opening again replaces a 10 MB document by another.
    const double reopen = timeMs([&] {
        w.menuItem(QStringLiteral("Open"))->trigger();
        waitLoaded(w);
        w.rtfedit()->flush();
        w.rtfedit()->viewport()->repaint();
    });
    report(QStringLiteral("Open again over a loaded 10 MB document"), reopen,
           QStringLiteral("1 s"));

    std::vector<double> saveCpu;
    const double save = medianMs(5, [&] {
        const double before = cpuSeconds();
        w.menuItem(QStringLiteral("Save"))->trigger();
        saveCpu.push_back((cpuSeconds() - before) * 1000);
    });
    report(QStringLiteral("Save 10 MB (atomic, LF UTF-8), median of 5"), save,
           QStringLiteral("200 ms"));
    std::sort(saveCpu.begin(), saveCpu.end());
    report(QStringLiteral("Save 10 MB, CPU (user + system), median of 5"),
           saveCpu[saveCpu.size() / 2], QStringLiteral("80 ms"));

    QFile f(path);
    f.open(QIODevice::ReadOnly);
    if (f.readAll() != bytes)
        std::printf("the saved file differs from the original\n");
    if (prompter.messages)
        std::printf("%d unexpected messages\n", prompter.messages);
    return 0;
}
