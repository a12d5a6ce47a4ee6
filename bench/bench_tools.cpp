// Figures of the tool front end: normalising and colouring the coding box,
// rebuilding the command line after an option change, how soon a tool's
// first output reaches the listener, and how long the event loop is held
// while a tool prints 10 MB.
#include "base/prompter.h"
#include "benchsupport.h"
#include "settings/schema.h"
#include "settings/settingsstore.h"
#include "surface/surface.h"
#include "tools/commandlanguage.h"
#include "tools/dosoutputs.h"
#include "tools/toolmodes.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace qln;
using namespace qln::bench;

namespace {

qint64 realtimeNs()
{
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// Runs the command to its end, calling onChunk per chunk; returns the
// longest gap between ticks of a 5 ms timer meanwhile, in ms.
double runWatchingTheLoop(DOSOutputs &dos, const QString &command,
                          const std::function<void(const QString &)> &onChunk, double *totalMs)
{
    QObject guard;
    bool ended = false;
    QObject::connect(&dos, &DOSOutputs::ReceiveOutputs, &guard, onChunk);
    QObject::connect(&dos, &DOSOutputs::finished, &guard, [&](const RunEnd &) { ended = true; });
    QElapsedTimer sinceTick;
    double longest = 0;
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, &guard, [&] {
        longest = std::max(longest, double(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });
    QElapsedTimer total;
    total.start();
    sinceTick.start();
    ticker.start();
    dos.ExecuteCommand(command);
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    ticker.stop();
    // The last stretch up to the end counts as well.
    longest = std::max(longest, double(sinceTick.nsecsElapsed()) / 1e6);
    if (totalMs)
        *totalMs = double(total.nsecsElapsed()) / 1e6;
    return longest;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    BenchPrompter prompter{MsgAnswer::No};

    // A 255-character code that normalisation has work to do on.
    QString raw;
    const QString piece =
        QStringLiteral("TEXTBOX2.TEXT  &   \"  \"  &  OPTIONS &  \" \" & textbox1.filename  &  ");
    while (raw.size() < 255)
        raw += piece;
    raw.truncate(255);
    std::printf("coding box: %d characters\n", int(raw.size()));
    report(QStringLiteral("normalise a 255-character code"),
           medianMs(201, [&] { NormaliseCode(raw, false); }), QStringLiteral("5 ms"));
    Surface box;
    report(QStringLiteral("normalise and colour a 255-character code"),
           medianMs(201,
                    [&] {
                        box.setText(NormaliseCode(raw, false));
                        colourCode(box, false);
                    }),
           QStringLiteral("5 ms"));

    // An option clicked in the Compile mode.
    SettingsStore store(std::make_unique<MemorySettingsBackend>());
    JavaXState state;
    LoadJavaXMode(state, QStringLiteral("Compile"), store, prompter, QString());
    state.boxes.inFile = QStringLiteral("/home/user/My Project/src/Hello.java");
    state.boxes.executable = QStringLiteral("/usr/lib/jvm/java-17-openjdk-amd64/bin/javac");
    state.options[4].argument = QStringLiteral("/home/user/My Project/classes");
    int flips = 0;
    report(QStringLiteral("rebuild the command line after an option click"),
           medianMs(1001,
                    [&] {
                        state.options[size_t(4 + flips % 2 * 6)].ticked ^= true;
                        chkOPT_Click(state, 4 + flips % 2 * 6, prompter);
                        ++flips;
                    }),
           QStringLiteral("2 ms"));

    // The same rebuild when the input belongs to a package: the arguments
    // the package adds are worked out from the files each time (a box edit
    // rebuilds on every key).
    {
        QTemporaryDir tree;
        const QString pkg = tree.filePath(QStringLiteral("src/org/example/app/"));
        QDir().mkpath(pkg);
        auto write = [](const QString &path, const QByteArray &bytes) {
            QFile f(path);
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        };
        const QByteArray head = "/*\n * Licence\n */\npackage org.example.app;\n\n";
        write(pkg + QStringLiteral("Small.java"), head + javaSource(10 * 1024).toUtf8());
        write(pkg + QStringLiteral("Large.java"), head + javaSource(1024 * 1024).toUtf8());
        // A class file of the package, as javac lays out its start.
        QByteArray cls("\xCA\xFE\xBA\xBE\0\0\0\x3D\0\x03\x01\0\x15org/example/app/Small"
                       "\x07\0\x01\0\x21\0\x02\0\0\0\0\0\0\0\0\0\0",
                       4 + 4 + 2 + 1 + 2 + 21 + 3 + 2 + 2 + 2 + 8);
        for (int i = 0; i < 2000; ++i)
            write(pkg + QStringLiteral("C%1.class").arg(i), cls);
        // The factory settings of the tools (spacing and dashes as shipped).
        SettingsStore factory(std::make_unique<MemorySettingsBackend>());
        for (const schema::Entry &e : schema::entries())
            if (e.section.startsWith(QLatin1String("JavaX-"))
                && e.origin == schema::Origin::Factory)
                factory.save(e.section, e.key, e.def);
        auto rebuild = [&](const char *mode, const QString &input, const QString &what) {
            JavaXState s;
            LoadJavaXMode(s, QString::fromLatin1(mode), factory, prompter, QString());
            s.boxes.inFile = input;
            s.boxes.archive = tree.filePath(QStringLiteral("app.jar"));
            if (isJarMode(s.mode))
                s.options[0].ticked = true; // -c
            BuildCommandLine(s, prompter);
            std::printf("  %s\n", qPrintable(s.commandLine.left(120)));
            report(what, medianMs(201, [&] { BuildCommandLine(s, prompter); }),
                   QStringLiteral("-"));
        };
        rebuild("Compile", pkg + QStringLiteral("Small.java"),
                QStringLiteral("rebuild, Compile of a 10 KB source of a package"));
        rebuild("Compile", pkg + QStringLiteral("Large.java"),
                QStringLiteral("rebuild, Compile of a 1 MB source of a package"));
        rebuild("Run", pkg + QStringLiteral("C0.class"),
                QStringLiteral("rebuild, Run of a class of a package"));
        rebuild("Jar", pkg + QStringLiteral("C1??.class"),
                QStringLiteral("rebuild, Jar of a pattern naming 100 of 2,000 classes"));
        rebuild("Jar", pkg + QStringLiteral("*.class"),
                QStringLiteral("rebuild, Jar of a pattern naming 2,000 classes (too many)"));
    }

    // First output to ReceiveOutputs: the tool stamps the time it writes.
    {
        std::vector<double> delays;
        for (int i = 0; i < 9; ++i) {
            DOSOutputs dos(prompter);
            qint64 received = 0;
            QString first;
            bool ended = false;
            QObject::connect(&dos, &DOSOutputs::ReceiveOutputs, &dos, [&](const QString &chunk) {
                if (!received) {
                    received = realtimeNs();
                    first = chunk;
                }
            });
            QObject::connect(&dos, &DOSOutputs::finished, &dos,
                             [&](const RunEnd &) { ended = true; });
            dos.ExecuteCommand(QStringLiteral("date +%s%N; sleep 0.3"));
            while (!ended)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            const qint64 written = first.section(QLatin1Char('\n'), 0, 0).trimmed().toLongLong();
            if (written > 0 && received > 0)
                delays.push_back(double(received - written) / 1e6);
        }
        std::sort(delays.begin(), delays.end());
        if (delays.empty()) {
            std::printf("first output delay: not measured (date without %%N?)\n");
        } else {
            report(
                QStringLiteral("first output to ReceiveOutputs, median of %1").arg(delays.size()),
                delays[delays.size() / 2], QStringLiteral("50 ms"));
            report(QStringLiteral("first output to ReceiveOutputs, worst"), delays.back(),
                   QStringLiteral("50 ms"));
        }
    }

    // 10 MB of output.
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.txt"));
    {
        QFile f(big);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        const QByteArray line("€uro ünïcödé — a line of a tool's output, 64 bytes or so ....\n");
        QByteArray all;
        while (all.size() < 10 * 1024 * 1024)
            all += line;
        f.write(all);
    }
    const QString cat = QStringLiteral("cat ") + shellEscape(big);
    {
        DOSOutputs dos(prompter);
        QString text;
        double total = 0;
        const double gap = runWatchingTheLoop(
            dos, cat, [&](const QString &c) { text += c; }, &total);
        report(QStringLiteral("longest event-loop gap, 10 MB, listener appends"), gap,
               QStringLiteral("100 ms"));
        report(QStringLiteral("whole 10 MB run, listener appends"), total, QStringLiteral("-"));
    }
    {
        // As the output box receives it: each chunk at the end of a surface
        // no view shows.
        DOSOutputs dos(prompter);
        Surface output;
        output.setUndoRecording(false);
        double total = 0;
        const double gap = runWatchingTheLoop(
            dos, cat,
            [&](const QString &c) {
                output.setSelStart(output.length());
                output.setSelText(c);
            },
            &total);
        report(QStringLiteral("longest event-loop gap, 10 MB, inserted into a surface"), gap,
               QStringLiteral("100 ms"));
        report(QStringLiteral("whole 10 MB run, inserted into a surface"), total,
               QStringLiteral("-"));
    }
    return 0;
}
