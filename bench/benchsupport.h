#pragma once
// Helpers of the benchmark programs: real Java source from the installed
// kit's src.zip, and a stopwatch that reports medians.

#include "base/prompter.h"
#include "formatting/commandhost.h"
#include "settings/preferences.h"
#include "surface/surface.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <algorithm>
#include <functional>
#include <vector>

class QPlainTextEdit;
class QWidget;
class QFont;
class QSize;

namespace qln::bench {

// About `bytes` characters of Java source with CR LF line breaks, taken from
// the kit's lib/src.zip (java.base/java/util first). Empty when no kit is
// installed.
QString javaSource(qsizetype bytes);
// javaSource, printing where it came from, or that nothing can be
// measured when there is no kit.
QString reportedJavaSource(qsizetype bytes);
// Where the source came from, for the printed report.
QString javaSourceOrigin();
// One line of real Java source `length` characters long: its lines joined
// by spaces (repeated statements when no kit is installed).
QString javaLine(qsizetype length);

// Milliseconds of one run of f.
double timeMs(const std::function<void()> &f);
// Median milliseconds over runs of f.
double medianMs(int runs, const std::function<void()> &f, double *p99 = nullptr);

void report(const QString &what, double ms, const QString &limit);

// --- figures ------------------------------------------------------------

// Min, median, 99th percentile and max of a set of samples (milliseconds
// unless said otherwise).
struct Figures {
    double min = 0, median = 0, p99 = 0, max = 0;
    int count = 0;
};
Figures figuresOf(std::vector<double> samples);
// runs times: prepare() untimed, then f() timed.
Figures measureRuns(int runs, const std::function<void()> &prepare, const std::function<void()> &f);
// One line: "what: min .. median .. [p99 .. max ..] unit".
void printFigures(const QString &what, const Figures &f, const char *unit = "ms",
                  bool withTail = false);
// The summary line the notes quote: ours beside the floor (or the engine)
// with the ratio of the medians and the limit asked for.
void printBeside(const QString &what, const Figures &ours, const QString &otherName,
                 const Figures &other, const QString &limit);
// A summary line of its own, easy to find in the output ("SUMMARY ...").
void summary(const QString &line);

// --- the process ----------------------------------------------------------

// Kilobytes of a line of /proc/self/status ("VmRSS:", "VmHWM:"), -1 when
// it cannot be read.
long statusKb(const char *key);
// Starts a new peak: the kernel sets VmHWM to the current RSS.
bool resetPeakMemory();
// User plus system CPU seconds the process used so far.
double cpuSeconds();

// --- windows ----------------------------------------------------------------

// Counts the paint events a widget receives and the area they cover (the
// sum of the areas of their region's rectangles).
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget *widget);
    ~PaintCounter() override;
    void reset()
    {
        paints = 0;
        area = 0;
    }
    int paints = 0;
    qint64 area = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_widget;
};

// Runs the event loop until counter saw a paint event since its last
// reset, or until nothing is left to do for a while (then false).
bool waitPainted(PaintCounter &counter, int idleRounds = 20);
// A key press and release sent to w.
void sendKey(QWidget *w, Qt::Key key, const QString &text = QString(),
             Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// The key for typing c (letters and digits by their own key).
Qt::Key keyFor(QChar c);

// The floor the editor's figures are set against: a bare QPlainTextEdit
// shown in a window of its own, holding the same text.
class FloorEditor {
public:
    FloorEditor();
    ~FloorEditor();
    // Shows the window with the edit at this size and font; false when it
    // was never exposed.
    bool show(const QSize &editSize, const QFont &font);
    // setPlainText until painted.
    void setText(const QString &text);
    // The caret to the start of a line (0-based).
    void setCaretLine(int line);
    // One character typed into the edit, until painted.
    void type(QChar c);
    QPlainTextEdit *edit() const;
    PaintCounter &paints() { return *m_paints; }

private:
    QWidget *m_window;
    QPlainTextEdit *m_edit;
    PaintCounter *m_paints;
};

// Answers every prompt at once without a window: boxes with only OK (or OK
// and Cancel) with OK, other boxes with `answer`; input boxes with
// inputText and file dialogs with fileName (no answer when empty).
class BenchPrompter : public Prompter {
public:
    explicit BenchPrompter(MsgAnswer answer = MsgAnswer::No) : answer(answer) {}
    MsgAnswer answer;
    QString inputText;
    QString fileName;
    bool reportMessages = false; // print every message (for unexpected ones)
    int messages = 0;
    QString lastMessage;

    MsgAnswer message(const MessageRequest &request) override;
    using Prompter::message;
    std::optional<QString> input(const QString &, const QString &, const QString &) override;
    std::optional<QString> file(const FileDialogRequest &) override;
    std::optional<QColor> color(const QColor &) override { return std::nullopt; }
    std::optional<FontChoice> font(const FontChoice &) override { return std::nullopt; }
    std::optional<QString> folder(const QString &, const QString &) override
    {
        return std::nullopt;
    }
};

// Factory settings with colouring, spelling correction (the pairs of
// javaTypos(), then 50 that never occur) and completion on, with the
// shipped object tree; the next window gets its own folders (ownFolders).
void assistantsOn(BenchPrompter &prompter);
// Common typos of Java words and their corrections.
QList<QPair<QString, QString>> javaTypos();
// About `length` characters of Java as a user types it: real statements of
// the kit's source, one a line (ended by a lone CR, the Enter key), every
// other word of javaTypos() misspelled, and a first line of names that
// complete (String.valueOf, System.out). Empty without a kit.
QString typedJava(qsizetype length);
// The next window made gets settings and recovery folders of its own
// (XDG_CONFIG_HOME and XDG_STATE_HOME pointed at a new temporary folder),
// so that no window finds another's recovery copy or settings file.
void ownFolders();

// 300 spelling pairs sorted by their wrong forms: the 100 most frequent
// words of src, each replaced by itself with an "X" added, then 200
// misspellings that do not occur.
QList<QPair<QString, QString>> spellingPairs(const QString &src);

// A progress sink that only remembers (values outside 0..100 are refused,
// as the window's bar refuses them).
class BenchProgress : public ProgressSink {
public:
    bool isVisible() const override { return m_visible; }
    void setVisible(bool v) override { m_visible = v; }
    int value() const override { return m_value; }
    void setValue(int v) override
    {
        if (v >= 0 && v <= 100)
            m_value = v;
    }

private:
    bool m_visible = false;
    int m_value = 0;
};

// The engines' host: a bare surface, no bar, no status, every question
// answered Yes.
class BareCommandHost : public CommandHost {
public:
    Surface &surface() override { return s; }
    Prompter &prompter() override { return prompts; }
    const Preferences &preferences() const override { return prefs; }
    ProgressSink &progress() override { return bar; }
    QString caption() const override { return title; }
    void setCaption(const QString &c) override { title = c; }
    void setStatusText(const QString &) override {}
    void setBusy(bool) override {}
    void setWindowEnabled(bool) override {}
    void setSurfacePainted(bool) override {}
    void focusSurface() override {}
    bool saveDocument() override { return true; }

    Surface s;
    BenchPrompter prompts{MsgAnswer::Yes};
    Preferences prefs;
    BenchProgress bar;
    QString title = QStringLiteral("Document [A.java] - Quillon");
};

} // namespace qln::bench
