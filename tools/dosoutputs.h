#pragma once
// DOSOutputs runs one command line through /bin/sh -c with standard output
// and standard error merged into one pipe and standard input closed, and
// hands what the tool writes to its listener in chunks of at most 256 bytes
// while it runs. It never blocks the event loop: ExecuteCommand starts the
// run and returns, finished() reports the end, stop() kills the tool and
// everything it started (the child leads a process group of its own).

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

namespace qln {

class Prompter;

// Texts of the run sequence.
inline const QString kExecutingMarker = QStringLiteral("\r\n[Executing]\r\n");
inline const QString kCompiledMarker = QStringLiteral("[Congrats. Compiled Successfully]\r\n");
inline const QString kDoneMarker = QStringLiteral("[Done]\r\n");
inline constexpr quint32 kMarkerColour = 16711680;     // blue, bold
inline constexpr quint32 kToolOutputColour = 356435;   // olive green, bold

inline const QString kCommandLineEmpty = QStringLiteral("Command Line empty");
inline const QString kCreatePipeFailed = QStringLiteral("CreatePipe failed. Error: ");
inline const QString kCommandNotFound = QStringLiteral("File or command not found");

// How a run ended.
struct RunEnd {
    bool started = false; // false: nothing ran (the error was shown)
    bool stopped = false; // ended by stop()
    bool crashed = false; // ended by a signal it did not ask for
    int exitCode = 0;
};

class DOSOutputs : public QObject {
    Q_OBJECT
public:
    // The largest chunk forwarded at once, in bytes.
    static constexpr int kChunkBytes = 256;

    explicit DOSOutputs(Prompter &prompter, QObject *parent = nullptr);
    ~DOSOutputs() override; // kills a tool still running

    QString CommandLine() const { return m_commandLine; }
    void setCommandLine(const QString &commandLine) { m_commandLine = commandLine; }
    // Everything received during the last run, in order.
    QString Outputs() const { return m_outputs; }

    // Folder the tool starts in; "" keeps the program's current folder.
    void setWorkingDirectory(const QString &folder) { m_workingDirectory = folder; }
    // The interpreter put in front of the command line (tests replace it).
    void setShell(const QString &shell) { m_shell = shell; }

    // Starts the stored command line, replaced first by commandLine when
    // that is not empty. A command line of blanks only shows "Command Line
    // empty"; a pipe or process that cannot be created shows its message.
    // Returns whether the tool was started; finished() follows either way
    // when it was, and when the failure is only known after the call.
    bool ExecuteCommand(const QString &commandLine = QString());
    bool isRunning() const;
    // Kills the tool and its process group; finished() follows.
    void stop();

    // The separate-window launch: the command line detached in
    // terminal + " -e /bin/sh -c ..." (terminal "" : detached without a
    // window). Nothing is captured. Returns whether it started; an empty
    // command line starts nothing. folder: where it starts ("" the current
    // folder), as a captured run would start there.
    static bool launchDetached(const QString &commandLine, const QString &terminal,
                               const QString &folder = QString());
    // launchDetached with x-terminal-emulator when it is installed.
    static bool launchInSeparateWindow(const QString &commandLine, const QString &folder = QString());

signals:
    // One chunk of the tool's output, decoded as UTF-8 (a character split
    // between chunks comes whole with the later one).
    void ReceiveOutputs(const QString &chunk);
    void finished(const qln::RunEnd &end);

private:
    void drain(bool all);
    void forward(const QByteArray &bytes);
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void onError(QProcess::ProcessError error);
    void reportEnd();

    Prompter &m_prompter;
    QString m_commandLine;
    QString m_outputs;
    QString m_workingDirectory;
    QString m_shell = QStringLiteral("/bin/sh");
    QProcess *m_process = nullptr;
    QStringDecoder m_decoder;
    RunEnd m_end;
    bool m_stopRequested = false;
    bool m_drainQueued = false;
    bool m_ended = true;
};

// The markers that close a captured run: "[Congrats. Compiled
// Successfully]" in the Compile mode when the tool ran to its end and its
// trimmed output is empty, then "[Done]".
QStringList closingMarkers(const QString &mode, const QString &output, const RunEnd &end);

} // namespace qln

Q_DECLARE_METATYPE(qln::RunEnd)
