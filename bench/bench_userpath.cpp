// What the user feels in the main window, set against the floor (a bare
// QPlainTextEdit holding the same text, shown in the same run): a typed
// character with colouring, spelling correction and completion on, until
// the view has painted, and the area it repainted; a very long line (idle
// CPU, typing, scrolling sideways); Page Down frames through 10 MB. Real
// Java source from the kit, offscreen platform.
//
//   bench_userpath keystroke   Java typed into 1 MB and 10 MB, editor and
//                              floor key by key
//   bench_userpath longline    a 2 MB single-line file and a 200 KB line
//   bench_userpath pagedown    top to bottom of 10 MB, editor and floor
//   bench_userpath             all three
#include "benchsupport.h"
#include "settings/prefloader.h"
#include "shell/ui/frmedit.h"
#include "surface/surface.h"
#include "surface/ui/surfaceview.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

using namespace qln;
using namespace qln::bench;

namespace {

// The main window, shown and focused, and a counter of its view's paints.
struct Editor {
    explicit Editor(BenchPrompter &prompter) : w(QString(), &prompter, ProbePlaces{})
    {
        w.resize(1000, 760);
        w.show();
        if (!QTest::qWaitForWindowExposed(&w))
            std::printf("the window was not shown; figures leave out painting\n");
        w.activateWindow();
        w.rtfedit()->setFocus();
        paints = std::make_unique<PaintCounter>(w.rtfedit()->viewport());
    }
    Surface &surface() { return *w.surface(); }
    SurfaceView *view() { return w.rtfedit(); }
    void settle()
    {
        view()->flush();
        paints->reset();
        waitPainted(*paints);
        QApplication::processEvents();
    }
    void setText(const QString &text)
    {
        surface().setText(text);
        settle();
    }
    void caretTo(int pos)
    {
        surface().setSelStart(pos);
        view()->ensureCursorVisible();
        settle();
    }
    // One key, until the view has painted.
    void key(Qt::Key k, const QString &text = QString())
    {
        paints->reset();
        sendKey(view(), k, text);
        waitPainted(*paints);
    }
    // Open through the menu with the file dialog answered.
    void open(BenchPrompter &prompter, const QString &path)
    {
        prompter.fileName = path;
        paints->reset();
        w.menuItem(QStringLiteral("Open"))->trigger();
        view()->flush();
        waitPainted(*paints);
    }
    // Made before the window: settings and recovery folders of its own.
    struct OwnFolders {
        OwnFolders() { ownFolders(); }
    } folders;
    frmedit w;
    std::unique_ptr<PaintCounter> paints;
};

QScrollBar *scrollBarOf(QWidget *w, Qt::Orientation orientation)
{
    for (QScrollBar *bar : w->findChildren<QScrollBar *>())
        if (bar->orientation() == orientation && bar->isVisible())
            return bar;
    return nullptr;
}

// Java typed into the middle of 1 MB and of 10 MB, key by key, the editor
// and the floor in turn (so that a burst of load elsewhere falls on both):
// letters, blanks (where a misspelt word is corrected), dots (where names
// complete), Enter (where the next line is indented) and the rest, each
// until painted.
void keystroke(BenchPrompter &prompter)
{
    Editor ed(prompter);
    FloorEditor floor;
    if (!floor.show(ed.view()->viewport()->size(), ed.view()->font()))
        std::printf("the floor's window was not shown\n");
    const QString typed = typedJava(600);
    std::printf("typed: %lld characters of Java, %lld lines, %lld dots, %lld blanks\n",
                qlonglong(typed.size()), qlonglong(typed.count(QLatin1Char('\r'))),
                qlonglong(typed.count(QLatin1Char('.'))), qlonglong(typed.count(QLatin1Char(' '))));
    enum Kind { Letter, Blank, Dot, Enter, Other, Kinds };
    const char *kindNames[Kinds] = {"letter or digit", "blank", "dot", "Enter", "other"};
    auto kindOf = [](QChar c) {
        if (c.isLetterOrNumber())
            return Letter;
        if (c == QLatin1Char(' '))
            return Blank;
        if (c == QLatin1Char('.'))
            return Dot;
        if (c == QLatin1Char('\r'))
            return Enter;
        return Other;
    };
    for (const int mb : {1, 10}) {
        const QString src = javaSource(qsizetype(mb) * 1024 * 1024);
        std::printf("input: %s\n", qPrintable(javaSourceOrigin()));
        const int middle = int(src.count(QLatin1Char('\n'))) / 2;
        ed.setText(src);
        ed.caretTo(ed.surface().lineIndex(middle));
        floor.setText(src);
        floor.setCaretLine(middle);

        std::vector<double> ours[Kinds], floors[Kinds], allOurs, allFloors;
        qint64 ourArea = 0, floorArea = 0;
        for (const QChar c : typed) {
            const Kind kind = kindOf(c);
            const double e = timeMs([&] { ed.key(keyFor(c), QString(c)); });
            ourArea += ed.paints->area;
            const double f = timeMs([&] { floor.type(c); });
            floorArea += floor.paints().area;
            ours[kind].push_back(e);
            floors[kind].push_back(f);
            allOurs.push_back(e);
            allFloors.push_back(f);
        }
        const QString label =
            QStringLiteral("typed Java, three assistants on, until painted, %1 MB").arg(mb);
        printFigures(QStringLiteral("editor: ") + label, figuresOf(allOurs), "ms", true);
        printFigures(QStringLiteral("floor: ") + label, figuresOf(allFloors), "ms", true);
        printBeside(label, figuresOf(allOurs), QStringLiteral("floor"), figuresOf(allFloors),
                    QStringLiteral("2x floor"));
        for (int k = 0; k < Kinds; ++k) {
            if (ours[k].empty())
                continue;
            const QString what = QStringLiteral("typed Java, %1 (%2 keys), %3 MB")
                                     .arg(QLatin1String(kindNames[k]))
                                     .arg(ours[k].size())
                                     .arg(mb);
            printFigures(QStringLiteral("editor: ") + what, figuresOf(ours[k]), "ms", true);
            printBeside(what, figuresOf(ours[k]), QStringLiteral("floor"), figuresOf(floors[k]),
                        QStringLiteral("2x floor"));
        }
        const QSize vp = ed.view()->viewport()->size();
        summary(QStringLiteral("repainted area per keystroke, %1 MB: editor %2 px, floor %3 px "
                               "(viewport %4x%5 = %6 px)")
                    .arg(mb)
                    .arg(ourArea / typed.size())
                    .arg(floorArea / typed.size())
                    .arg(vp.width())
                    .arg(vp.height())
                    .arg(qint64(vp.width()) * vp.height()));
        // What the editor made of it: corrections and completions change
        // the text, the floor's stays as typed.
        const QString got = ed.surface().mid(ed.surface().lineIndex(middle), typed.size() + 400);
        int typos = 0, left = 0;
        for (const auto &[wrong, right] : javaTypos()) {
            typos += int(typed.count(wrong));
            left += int(got.count(wrong));
        }
        std::printf("  typos typed %d, corrected by the editor %d\n", typos, typos - left);

        // Enter at the end of an indented line that opens a block, in the
        // middle: the new line keeps its blanks and gets a unit more; the
        // lines below move down and are repainted. Beside it the plain Enter
        // of "Keep indentation" off. The two alternate key by key, so that a
        // busy machine weighs on both; each is taken back, untimed, before
        // the next.
        const int open =
            ed.surface().indexOf(QStringLiteral("{\r\n    "), ed.surface().lineIndex(middle));
        ed.surface().clearUndo();
        std::vector<double> plainTimes, keptTimes;
        const int enterKeys = 201;
        for (int i = 0; i < 2 * enterKeys; ++i) {
            const bool keep = i % 2 == 1;
            ed.w.preferences().keepindent = keep;
            if (ed.surface().canUndo())
                ed.surface().undo();
            ed.caretTo(open + 1);
            (keep ? keptTimes : plainTimes).push_back(timeMs([&] {
                ed.key(Qt::Key_Return, QStringLiteral("\r"));
            }));
        }
        std::printf("the kept line: \"%s\"\n",
                    qPrintable(ed.surface().lineText(ed.surface().lineFromChar(open) + 1)));
        ed.surface().undo();
        ed.w.preferences().keepindent = true;
        const Figures plainEnter = figuresOf(plainTimes);
        const Figures keptEnter = figuresOf(keptTimes);
        printFigures(QStringLiteral("editor: plain Enter, %1 MB").arg(mb), plainEnter, "ms", true);
        printFigures(QStringLiteral("editor: Enter keeping the indentation, %1 MB").arg(mb),
                     keptEnter, "ms", true);
        summary(QStringLiteral("Enter keeping the indentation, until painted, %1 MB: min %2 "
                               "median %3 p99 %4 ms | plain Enter min %5 median %6 p99 %7 ms "
                               "(limits median 2 ms, p99 10 ms)")
                    .arg(mb)
                    .arg(keptEnter.min, 0, 'f', 3)
                    .arg(keptEnter.median, 0, 'f', 3)
                    .arg(keptEnter.p99, 0, 'f', 3)
                    .arg(plainEnter.min, 0, 'f', 3)
                    .arg(plainEnter.median, 0, 'f', 3)
                    .arg(plainEnter.p99, 0, 'f', 3));
    }
}

// Idle CPU, typing and sideways scrolling on one long line.
void longLine(BenchPrompter &prompter)
{
    const QString line = javaLine(2 * 1024 * 1024);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("OneLine.java"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(line.toUtf8() + '\n') < 0) {
            std::printf("cannot write %s\n", qPrintable(path));
            return;
        }
    }
    Editor ed(prompter);
    const double openMs = timeMs([&] { ed.open(prompter, path); });
    std::printf("opened the 2 MB single-line file in %.1f ms (one run)\n", openMs);
    ed.w.activateWindow();
    ed.view()->setFocus();
    ed.caretTo(ed.surface().length() / 2);

    // CPU used while nothing happens: 5 s of event loop, five times.
    std::vector<double> cpu;
    for (int run = 0; run < 5; ++run) {
        const double before = cpuSeconds();
        QEventLoop loop;
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        cpu.push_back((cpuSeconds() - before) / 5.0 * 100.0);
    }
    const Figures idle = figuresOf(cpu);
    printFigures(QStringLiteral("idle CPU, 2 MB single line shown and focused, 5 s"), idle, "%");
    summary(QStringLiteral("idle CPU with a 2 MB single line: min %1% median %2% of one core "
                           "over 5 s (limit 1%)")
                .arg(idle.min, 0, 'f', 2)
                .arg(idle.median, 0, 'f', 2));

    // At least 5 samples; more while the whole stays within 30 s.
    auto enough = [](const std::vector<double> &v, int most) {
        double total = 0;
        for (double ms : v)
            total += ms;
        return int(v.size()) >= most || (v.size() >= 5 && total > 30000);
    };
    auto typeOnLine = [&](const QString &what, const QString &limit) {
        std::vector<double> times;
        while (!enough(times, 11))
            times.push_back(timeMs([&] { ed.key(Qt::Key_A, QStringLiteral("a")); }));
        const Figures f = figuresOf(times);
        printFigures(what, f, "ms", true);
        summary(QStringLiteral("%1: min %2 median %3 ms (limit %4)")
                    .arg(what)
                    .arg(f.min, 0, 'f', 3)
                    .arg(f.median, 0, 'f', 3)
                    .arg(limit));
    };
    typeOnLine(QStringLiteral("keystroke in the middle of a 2 MB line, until painted"),
               QStringLiteral("20 ms"));

    // Sideways: the horizontal scroll bar's single steps from the start.
    ed.caretTo(0);
    if (QScrollBar *bar = scrollBarOf(ed.view(), Qt::Horizontal)) {
        bar->setValue(0);
        ed.settle();
        std::vector<double> steps;
        while (!enough(steps, 200) && bar->value() < bar->maximum())
            steps.push_back(timeMs([&] {
                ed.paints->reset();
                bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
                waitPainted(*ed.paints);
            }));
        const Figures f = figuresOf(steps);
        printFigures(QStringLiteral("horizontal scroll step on the 2 MB line, until painted"), f,
                     "ms", true);
        summary(QStringLiteral("sideways scroll step on a 2 MB line: min %1 median %2 p99 %3 "
                               "max %4 ms over %5 steps")
                    .arg(f.min, 0, 'f', 3)
                    .arg(f.median, 0, 'f', 3)
                    .arg(f.p99, 0, 'f', 3)
                    .arg(f.max, 0, 'f', 3)
                    .arg(f.count));
    } else {
        std::printf("no horizontal scroll bar shown: sideways scrolling not measured\n");
    }

    // A 200 KB line among ordinary ones.
    const QString normal = javaSource(256 * 1024);
    const QString longOne = line.left(200 * 1024);
    ed.setText(normal + longOne + QStringLiteral("\r\n") + normal);
    ed.caretTo(int(normal.size()) + int(longOne.size()) / 2);
    typeOnLine(QStringLiteral("keystroke in the middle of a 200 KB line, until painted"),
               QStringLiteral("5 ms"));
}

// Page Down from the top to the bottom, each frame a key until painted.
Figures pageDownFrames(QWidget *target, PaintCounter &paints, QScrollBar *bar,
                       const std::function<bool()> &atEnd)
{
    std::vector<double> frames;
    int stuck = 0;
    while (!atEnd() && stuck < 3) {
        const int before = bar ? bar->value() : 0;
        frames.push_back(timeMs([&] {
            paints.reset();
            sendKey(target, Qt::Key_PageDown);
            waitPainted(paints);
        }));
        stuck = bar && bar->value() == before ? stuck + 1 : 0;
    }
    return figuresOf(frames);
}

// The worst, 99th-percentile and median frame of each pass, gathered over
// the passes.
struct PassFigures {
    std::vector<double> maxes, p99s, medians;
    void add(const QString &what, int pass, const Figures &f)
    {
        printFigures(QStringLiteral("%1: Page Down frame, 10 MB, pass %2").arg(what).arg(pass + 1),
                     f, "ms", true);
        maxes.push_back(f.max);
        p99s.push_back(f.p99);
        medians.push_back(f.median);
    }
};

void pageDown(BenchPrompter &prompter, int passes)
{
    const QString src = reportedJavaSource(10 * 1024 * 1024);
    Editor ed(prompter);
    ed.setText(src);
    PassFigures editor;
    for (int pass = 0; pass < passes; ++pass) {
        ed.caretTo(0);
        QScrollBar *bar = scrollBarOf(ed.view(), Qt::Vertical);
        const int last = ed.surface().lineCount() - 1;
        editor.add(QStringLiteral("editor"), pass, pageDownFrames(ed.view(), *ed.paints, bar, [&] {
                       return ed.surface().lineFromChar(ed.surface().selStart()) >= last;
                   }));
    }

    FloorEditor floor;
    floor.show(ed.view()->viewport()->size(), ed.view()->font());
    floor.setText(src);
    PassFigures bare;
    for (int pass = 0; pass < passes; ++pass) {
        QPlainTextEdit *e = floor.edit();
        e->moveCursor(QTextCursor::Start);
        floor.paints().reset();
        waitPainted(floor.paints());
        bare.add(QStringLiteral("floor"), pass,
                 pageDownFrames(e, floor.paints(), e->verticalScrollBar(), [&] {
                     return e->textCursor().atEnd()
                            || e->textCursor().blockNumber() == e->document()->blockCount() - 1;
                 }));
    }
    auto line = [](const char *what, const std::vector<double> &ours,
                   const std::vector<double> &floors) {
        const Figures e = figuresOf(ours), f = figuresOf(floors);
        summary(QStringLiteral("Page Down 10 MB, %1 frame over %2 passes: editor min %3 median %4 "
                               "ms | floor min %5 median %6 ms (limit: no frame over 16 ms)")
                    .arg(QLatin1String(what))
                    .arg(e.count)
                    .arg(e.min, 0, 'f', 3)
                    .arg(e.median, 0, 'f', 3)
                    .arg(f.min, 0, 'f', 3)
                    .arg(f.median, 0, 'f', 3));
    };
    line("max", editor.maxes, bare.maxes);
    line("p99", editor.p99s, bare.p99s);
    line("median", editor.medians, bare.medians);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (javaSource(1024).isEmpty()) {
        std::printf("no Java kit with lib/src.zip found: nothing measured\n");
        return 0;
    }
    BenchPrompter prompter{MsgAnswer::No};
    assistantsOn(prompter);
    const bool all = args.isEmpty();
    if (all || args.contains(QLatin1String("keystroke")))
        keystroke(prompter);
    if (all || args.contains(QLatin1String("longline")))
        longLine(prompter);
    if (all || args.contains(QLatin1String("pagedown")))
        pageDown(prompter, 5);
    if (prompter.messages)
        std::printf("%d messages answered on the way (last: %s)\n", prompter.messages,
                    qPrintable(prompter.lastMessage));
    return 0;
}
