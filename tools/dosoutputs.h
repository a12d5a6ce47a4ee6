#pragma once
// DOSOutputs runs one command line through /bin/sh -c with standard output
// and standard error merged into one pipe, and hands what the tool writes
// to its listener in chunks of at most 256 bytes while it runs. Standard
// input is closed unless the caller keeps it open for typed lines. It never
// blocks the event loop: ExecuteCommand starts the run and returns,
// finished() reports the end, stop() kills the tool and everything it
// started (the child leads a process group of its own, which the process
// guard also ends when the program ends, and it dies with the program).
// Of the output it keeps only the last kKeptOutput characters.

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace qln {

class Prompter;

// Texts of the run sequence.
inline const QString kExecutingMarker = QStringLiteral("\r\n[Executing]\r\n");
inline const QString kCompiledMarker = QStringLiteral("[Congrats. Compiled Successfully]\r\n");
inline const QString kDoneMarker = QStringLiteral("[Done]\r\n");
inline const QString kStoppedMarker = QStringLiteral("[Stopped]\r\n");
// "[Done, exit code N]" + CR LF: the tool ended with a code other than 0.
QString exitCodeMarker(int code);
inline const QString kDroppedMarker = QStringLiteral("[Earlier output dropped]\r\n");
inline constexpr quint32 kMarkerColour = 16711680;   // blue, bold
inline constexpr quint32 kToolOutputColour = 356435; // olive green, bold

inline const QString kCommandLineEmpty = QStringLiteral("Command Line empty");
inline const QString kCreatePipeFailed = QStringLiteral("CreatePipe failed. Error: ");
inline const QString kCommandNotFound = QStringLiteral("File or command not found");

// A stream of bytes that arrives in pieces, decoded as UTF-8 exactly as
// the whole stream would be by QString::fromUtf8: the bytes that begin a
// character their piece does not complete wait for the next piece, and
// every byte that is not part of a UTF-8 character gives one U+FFFD,
// wherever the pieces were cut. (Qt's own stateful decoder loses the
// character after a bad byte at the end of a piece.)
class Utf8Stream {
public:
    QString decode(QByteArrayView piece);
    // The end of the stream: the bytes still waiting (each a U+FFFD).
    QString finish();

private:
    QByteArray m_waiting;
};

// How a run ended.
struct RunEnd {
    bool started = false; // false: nothing ran (the error was shown)
    bool stopped = false; // ended by stop()
    bool crashed = false; // ended by a signal it did not ask for
    int exitCode = 0;     // a crash counts as 128 + the signal, as sh reports it
    bool printed = false; // wrote something other than blanks and line breaks
};

class DOSOutputs : public QObject {
    Q_OBJECT
public:
    // The largest chunk forwarded at once, in bytes.
    static constexpr int kChunkBytes = 256;
    // The most output kept, in characters (4 MB).
    static constexpr qsizetype kKeptOutput = 4 * 1024 * 1024;

    explicit DOSOutputs(Prompter &prompter, QObject *parent = nullptr);
    ~DOSOutputs() override; // kills a tool still running

    QString CommandLine() const { return m_commandLine; }
    void setCommandLine(const QString &commandLine) { m_commandLine = commandLine; }
    // What the last run wrote, in order: all of it, or its last
    // kKeptOutput characters when it wrote more.
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

    // Whether the next run keeps its standard input open for writeInput
    // (off: the tool reads end of file at once).
    void setInputOpen(bool open) { m_wantInput = open; }
    // Sends text to the running tool's standard input (UTF-8). False when
    // there is no run or its input is closed.
    bool writeInput(const QString &text);
    // End of file for the tool.
    void closeInput();
    bool isInputOpen() const;

    // The separate-window launch: the command line in the first terminal
    // emulator found (see terminal.h), started in folder ("" the current
    // folder) as a captured run would start there, its window kept open
    // after the tool ends. Nothing is captured. The terminal is a child of
    // the program in a group of its own, so it ends with the program.
    // False when the command line is empty, no terminal is installed or it
    // cannot be started.
    static bool launchInTerminal(const QString &commandLine, const QString &folder = QString());

signals:
    // One chunk of the tool's output, decoded as UTF-8 (a character split
    // between chunks comes whole with the later one; see Utf8Stream).
    void ReceiveOutputs(const QString &chunk);
    void finished(const qln::RunEnd &end);

private:
    void drain(bool all);
    void forward(const QString &text);
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void onError(QProcess::ProcessError error);
    void reportEnd();

    Prompter &m_prompter;
    QString m_commandLine;
    QString m_outputs;
    QString m_workingDirectory;
    QString m_shell = QStringLiteral("/bin/sh");
    QProcess *m_process = nullptr;
    Utf8Stream m_decoder;
    RunEnd m_end;
    qint64 m_group = 0;
    bool m_wantInput = false;
    bool m_inputOpen = false;
    bool m_stopRequested = false;
    bool m_drainQueued = false;
    bool m_ended = true;
};

// The markers that close a captured run: "[Congrats. Compiled
// Successfully]" in the Compile mode when the tool ran to its end with code
// 0 and printed nothing but blanks; then "[Stopped]" when the user stopped
// it, "[Done, exit code N]" when it ended with another code than 0, else
// "[Done]" (also when nothing could be started).
QStringList closingMarkers(const QString &mode, const RunEnd &end);

} // namespace qln

Q_DECLARE_METATYPE(qln::RunEnd)
