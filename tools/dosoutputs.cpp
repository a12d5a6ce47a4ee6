#include "tools/dosoutputs.h"

#include "shell/prompter.h"

#include <QStandardPaths>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>

namespace qln {

namespace {
// Bytes forwarded per visit of the event loop. A tool that prints fast
// keeps the pipe full; handing over a bounded amount and coming back later
// lets the window repaint in between.
constexpr qint64 kBytesPerVisit = 64 * 1024;
} // namespace

DOSOutputs::DOSOutputs(Prompter &prompter, QObject *parent)
    : QObject(parent), m_prompter(prompter)
{
    qRegisterMetaType<qln::RunEnd>();
}

DOSOutputs::~DOSOutputs()
{
    if (m_process) {
        m_process->disconnect(this);
        if (m_process->state() != QProcess::NotRunning) {
            const qint64 pid = m_process->processId();
            if (pid > 0) {
                ::kill(-pid_t(pid), SIGKILL);
                ::kill(pid_t(pid), SIGKILL);
            }
        }
        // QProcess reaps the killed child in its destructor.
        delete m_process;
    }
}

bool DOSOutputs::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

bool DOSOutputs::ExecuteCommand(const QString &commandLine)
{
    if (!commandLine.isEmpty())
        m_commandLine = commandLine;
    if (m_commandLine.trimmed().isEmpty()) {
        m_prompter.message(kCommandLineEmpty, QString(), MsgIcon::Critical, MsgButtons::Ok);
        return false;
    }
    if (isRunning())
        return false; // one tool at a time

    if (m_process) {
        m_process->disconnect(this);
        m_process->deleteLater();
    }
    m_process = new QProcess(this);
    m_process->setProgram(m_shell);
    m_process->setArguments({QStringLiteral("-c"), m_commandLine});
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardInputFile(QProcess::nullDevice());
    if (!m_workingDirectory.isEmpty())
        m_process->setWorkingDirectory(m_workingDirectory);
    // A group of its own, so that stop() reaches what the tool started.
    m_process->setChildProcessModifier([] { ::setpgid(0, 0); });

    connect(m_process, &QProcess::readyReadStandardOutput, this, [this] { drain(false); });
    connect(m_process, &QProcess::finished, this, &DOSOutputs::onFinished);
    connect(m_process, &QProcess::errorOccurred, this, &DOSOutputs::onError);

    m_outputs.clear();
    m_decoder = QStringDecoder(QStringDecoder::Utf8);
    m_end = RunEnd{};
    m_end.started = true;
    m_stopRequested = false;
    m_drainQueued = false;
    m_ended = false;

    m_process->start(QIODevice::ReadOnly);
    if (m_ended) // the start failed inside start() and was reported already
        return false;
    const qint64 pid = m_process->processId();
    if (pid > 0)
        ::setpgid(pid_t(pid), pid_t(pid)); // the same from this side: no window for a stop() race
    return true;
}

void DOSOutputs::stop()
{
    if (!isRunning())
        return;
    m_stopRequested = true;
    const qint64 pid = m_process->processId();
    if (pid > 0) {
        ::kill(-pid_t(pid), SIGKILL);
        ::kill(pid_t(pid), SIGKILL);
    }
}

void DOSOutputs::forward(const QByteArray &bytes)
{
    const QString text = m_decoder.decode(bytes);
    if (text.isEmpty())
        return; // only the first bytes of a character: it comes with the next chunk
    m_outputs += text;
    emit ReceiveOutputs(text);
}

void DOSOutputs::drain(bool all)
{
    if (!m_process)
        return;
    qint64 budget = kBytesPerVisit;
    char buffer[kChunkBytes];
    while (all || budget > 0) {
        const qint64 n = m_process->read(buffer, kChunkBytes);
        if (n <= 0)
            return;
        budget -= n;
        forward(QByteArray(buffer, int(n)));
        if (!m_process)
            return;
    }
    if (m_process->bytesAvailable() > 0 && !m_drainQueued) {
        m_drainQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_drainQueued = false;
            drain(false);
        });
    }
}

void DOSOutputs::onFinished(int exitCode, QProcess::ExitStatus status)
{
    drain(true);
    m_end.exitCode = exitCode;
    m_end.stopped = m_stopRequested;
    m_end.crashed = status == QProcess::CrashExit && !m_stopRequested;
    reportEnd();
}

void DOSOutputs::onError(QProcess::ProcessError error)
{
    if (error != QProcess::FailedToStart || m_ended)
        return;
    const int code = errno;
    m_end.started = false;
    // Qt names a failed pipe in its error text; anything else means the
    // interpreter itself could not be started.
    if (m_process->errorString().contains(QLatin1String("pipe"), Qt::CaseInsensitive))
        m_prompter.message(kCreatePipeFailed + QString::number(code), QString(), MsgIcon::Critical,
                           MsgButtons::Ok);
    else
        m_prompter.message(kCommandNotFound, QString(), MsgIcon::Critical, MsgButtons::Ok);
    reportEnd();
}

void DOSOutputs::reportEnd()
{
    if (m_ended)
        return;
    m_ended = true;
    emit finished(m_end);
}

bool DOSOutputs::launchDetached(const QString &commandLine, const QString &terminal,
                                const QString &folder)
{
    if (commandLine.isEmpty())
        return false;
    const QString shell = QStringLiteral("/bin/sh");
    if (!terminal.isEmpty())
        return QProcess::startDetached(terminal, {QStringLiteral("-e"), shell, QStringLiteral("-c"),
                                                  commandLine}, folder);
    return QProcess::startDetached(shell, {QStringLiteral("-c"), commandLine}, folder);
}

bool DOSOutputs::launchInSeparateWindow(const QString &commandLine, const QString &folder)
{
    return launchDetached(commandLine,
                          QStandardPaths::findExecutable(QStringLiteral("x-terminal-emulator")), folder);
}

QStringList closingMarkers(const QString &mode, const QString &output, const RunEnd &end)
{
    QStringList markers;
    if (mode.compare(QLatin1String("Compile"), Qt::CaseInsensitive) == 0 && end.started &&
        !end.stopped && !end.crashed && output.trimmed().isEmpty())
        markers << kCompiledMarker;
    markers << kDoneMarker;
    return markers;
}

} // namespace qln
