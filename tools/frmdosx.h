#pragma once
// The host of one captured tool run: it owns the runner (`objDOS`), keeps
// everything the tool writes (`Text1`) and shows it at the end of an output
// box as it arrives, in the style the caller chose. It never blocks: the
// run starts in DosExecute and finished() reports its end.

#include "surface/surface.h"
#include "tools/dosoutputs.h"

#include <QObject>
#include <QPointer>

namespace qln {

class Prompter;

class frmDosX : public QObject {
    Q_OBJECT
public:
    explicit frmDosX(Prompter &prompter, QObject *parent = nullptr);

    DOSOutputs &objDOS() { return *m_objDOS; }

    // Starts the command line (blanks around it removed) in `folder`;
    // output goes to the end of `target` in `style`. Returns whether a tool
    // was started; when it was not, finished() is not emitted.
    bool DosExecute(const QString &commandLine, Surface *target, const Surface::TextStyle &style,
                    const QString &folder = QString());
    // Everything the last run wrote.
    QString text() const { return m_Text1; }

    bool isRunning() const { return m_objDOS->isRunning(); }
    // Ends the tool; finished() follows.
    void stop() { m_objDOS->stop(); }

signals:
    // The run ended: everything written has been shown.
    void finished(const QString &text, const qln::RunEnd &end);
    // New output was put into the output box.
    void outputShown();

private:
    void objDOS_ReceiveOutputs(const QString &chunk);
    void flush();

    DOSOutputs *m_objDOS;
    QString m_Text1;
    QPointer<Surface> m_target;
    Surface::TextStyle m_style;
    QString m_pending;
    bool m_flushQueued = false;
};

} // namespace qln
