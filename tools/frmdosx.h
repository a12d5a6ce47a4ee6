#pragma once
// The host of one captured tool run: it owns the runner (`objDOS`), keeps
// what the tool writes (`Text1`) and shows it at the end of an output box
// as it arrives, in the style the caller chose. It never blocks: the run
// starts in DosExecute and finished() reports its end.
//
// Output is bounded: `Text1` and the box each keep the last kKeptOutput
// characters of the run; the first time older output goes, the box says
// "[Earlier output dropped]" where the run's output starts. The box records
// no undo steps for any of it. Lines that name a place in the source (a
// compiler message or a stack frame, see toollocations.h) are collected
// into the run's ToolLocations as they arrive, all of them, and underlined
// as links in the box. A line break is CR LF, CR or LF, as in the box,
// also when a CR LF pair arrives in two chunks.

#include "surface/surface.h"
#include "tools/dosoutputs.h"
#include "tools/toollocations.h"

#include <QObject>
#include <QPointer>

namespace qln {

class Prompter;

class frmDosX : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kKeptOutput = DOSOutputs::kKeptOutput;

    explicit frmDosX(Prompter &prompter, QObject *parent = nullptr);

    DOSOutputs &objDOS() { return *m_objDOS; }

    // Where the locations named by the output go (nullptr: nowhere). The
    // caller begins the list for each run.
    void setLocations(ToolLocations *locations) { m_locations = locations; }

    // Starts the command line (blanks around it removed) in `folder`;
    // output goes to the end of `target` in `style`. Returns whether a tool
    // was started; when it was not, finished() is not emitted.
    bool DosExecute(const QString &commandLine, Surface *target, const Surface::TextStyle &style,
                    const QString &folder = QString());
    // What the last run wrote (its last kKeptOutput characters).
    QString text() const { return m_Text1; }
    // Older output of the last run was dropped.
    bool dropped() const { return m_dropped; }

    bool isRunning() const { return m_objDOS->isRunning(); }
    // Ends the tool; finished() follows.
    void stop() { m_objDOS->stop(); }

    // A line typed for the running tool: shown in the box in `style` after
    // the output so far, and sent with a line break. False when the tool
    // takes no input.
    bool sendInput(const QString &line, const Surface::TextStyle &style);

    // The output side on its own, as a run drives it (public so that output
    // can be replayed without a process): a run's output goes to the end
    // of `target` in `style`; each chunk of output as the runner hands it
    // over (it reaches the box when the event loop next comes round); the
    // end of the output, which shows what is left and reads its last line
    // even without a line break. However the output is cut into chunks,
    // the box, the links and the locations come out the same.
    void beginOutput(Surface *target, const Surface::TextStyle &style);
    void receiveOutput(const QString &chunk);
    void endOutput();

signals:
    // The run ended: everything written has been shown.
    void finished(const QString &text, const qln::RunEnd &end);
    // New output was put into the output box.
    void outputShown();

private:
    // Puts the output received so far into the box; a CR at its end waits
    // for the next chunk unless `all`, so that a CR LF split between two
    // chunks is one line break.
    void flush(bool all);
    void insertAtEnd(const QString &text, const Surface::TextStyle &style);
    void dropOldOutput();
    void findLinks(bool toTheEnd);
    void collectLocations(const QString &chunk, bool toTheEnd);

    DOSOutputs *m_objDOS;
    QString m_Text1;
    QPointer<Surface> m_target;
    Surface::TextStyle m_style;
    QString m_pending;
    bool m_flushQueued = false;
    bool m_dropped = false;
    bool m_boxDropped = false;
    int m_outputStart = 0; // where the run's output starts in the box
    int m_scanFrom = 0;    // the first box position not yet searched for links
    ToolLocations *m_locations = nullptr;
    QString m_partialLine;       // the output's last line, still to be completed
    bool m_skippingLine = false; // the line so far is too long to be a location
};

} // namespace qln
