// Exec to first paint: the editor as users start it (the `quillon` program
// next to this one, unchanged) and the floor (bench_startfloor, a bare
// QPlainTextEdit program reading the same file), each started afresh as a
// process with a file of 0, 1 and 10 MB of real Java source, rounds
// interleaved: editor, floor, editor, floor... The time runs from just
// before the exec to the end of the first paint of the main window, so it
// holds process start and linking, settings, the object tree, reading the
// file and building the window. The qlnfirstpaint plugin (bench/startup)
// notes the moments inside the process. Every start gets its own empty
// home, settings and recovery folders. Under the offscreen platform, and
// under the X server in DISPLAY when one is set.
//
//   bench_startup [rounds]        (7 rounds unless given)
#include "benchsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

using namespace qln::bench;

namespace {

double monotonicMs()
{
    timespec ts = {};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1000 + double(ts.tv_nsec) / 1e6;
}

// One start: exec to the application object, exec to first paint, and the
// CPU the process had used by then; nothing when it never painted.
struct Start {
    double toApp = 0, toPaint = 0, cpu = 0;
};

std::optional<Start> startOnce(const QString &program, const QString &file, const QString &platform)
{
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    env.insert(QStringLiteral("QT_PLUGIN_PATH"),
               QCoreApplication::applicationDirPath() + QStringLiteral("/benchplugins"));
    env.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("qlnfirstpaint"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.setStandardErrorFile(QProcess::nullDevice());
    const QStringList args = file.isEmpty() ? QStringList{} : QStringList{file};
    const double t0 = monotonicMs();
    child.start(program, args);
    if (!child.waitForStarted(10000))
        return std::nullopt;
    QByteArray out;
    while (!out.contains("firstpaint painted") && child.state() == QProcess::Running
           && monotonicMs() - t0 < 120000)
        if (child.waitForReadyRead(1000))
            out += child.readAll();
    if (!child.waitForFinished(5000)) {
        child.kill();
        child.waitForFinished();
    }
    out += child.readAll();
    Start s;
    bool painted = false;
    for (const QByteArray &line : out.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() != 5 || f[0] != "firstpaint")
            continue;
        if (f[1] == "app") {
            s.toApp = f[2].toDouble() - t0;
        } else if (f[1] == "painted") {
            s.toPaint = f[2].toDouble() - t0;
            s.cpu = f[4].toDouble();
            painted = true;
        }
    }
    if (!painted)
        std::printf("  %s never painted: %s\n", qPrintable(program), out.constData());
    return painted ? std::optional<Start>(s) : std::nullopt;
}

void measure(const QString &platform, const QString &file, const QString &label, int rounds)
{
    const QString bin = QCoreApplication::applicationDirPath();
    const QString editor = bin + QStringLiteral("/quillon");
    const QString floor = bin + QStringLiteral("/bench_startfloor");
    std::vector<double> edApp, edPaint, edCpu, flApp, flPaint, flCpu;
    // One start of each first, not counted: the files and libraries come
    // into the page cache.
    startOnce(editor, file, platform);
    startOnce(floor, file, platform);
    for (int r = 0; r < rounds; ++r) {
        if (const auto s = startOnce(editor, file, platform)) {
            edApp.push_back(s->toApp);
            edPaint.push_back(s->toPaint);
            edCpu.push_back(s->cpu);
        }
        if (const auto s = startOnce(floor, file, platform)) {
            flApp.push_back(s->toApp);
            flPaint.push_back(s->toPaint);
            flCpu.push_back(s->cpu);
        }
    }
    if (edPaint.empty() || flPaint.empty()) {
        std::printf("%s, %s: nothing measured\n", qPrintable(platform), qPrintable(label));
        return;
    }
    const QString what = QStringLiteral("%1, %2").arg(platform, label);
    printFigures(QStringLiteral("editor: exec to application object, ") + what, figuresOf(edApp));
    printFigures(QStringLiteral("floor: exec to application object, ") + what, figuresOf(flApp));
    printFigures(QStringLiteral("editor: CPU to first paint, ") + what, figuresOf(edCpu));
    printFigures(QStringLiteral("floor: CPU to first paint, ") + what, figuresOf(flCpu));
    const Figures ed = figuresOf(edPaint), fl = figuresOf(flPaint);
    printFigures(QStringLiteral("editor: exec to first paint, ") + what, ed, "ms", true);
    printFigures(QStringLiteral("floor: exec to first paint, ") + what, fl, "ms", true);
    printBeside(QStringLiteral("exec to first paint, ") + what, ed, QStringLiteral("floor"), fl,
                label.startsWith(QLatin1String("10 MB")) ? QStringLiteral("500 ms; 0.5x floor")
                                                         : QStringLiteral("500 ms"));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? qMax(1, QByteArray(argv[1]).toInt()) : 7;
    QTemporaryDir files;
    struct Input {
        QString label, path;
    };
    std::vector<Input> inputs{{QStringLiteral("no file"), QString()}};
    for (const int mb : {1, 10}) {
        const QString src = javaSource(qsizetype(mb) * 1024 * 1024);
        if (src.isEmpty()) {
            std::printf("no Java kit with lib/src.zip found: only the start without a file\n");
            break;
        }
        const QString path = files.filePath(QStringLiteral("Big%1.java").arg(mb));
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(src.toUtf8()) < 0)
            continue;
        inputs.push_back({QStringLiteral("%1 MB").arg(mb), path});
    }
    std::printf("input: %s; %d rounds, editor and floor interleaved\n",
                qPrintable(javaSourceOrigin()), rounds);
    QStringList platforms{QStringLiteral("offscreen")};
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        platforms << QStringLiteral("xcb");
    else
        std::printf("DISPLAY is not set: offscreen only\n");
    for (const QString &platform : platforms)
        for (const Input &input : inputs)
            measure(platform, input.path, input.label, rounds);
    return 0;
}
