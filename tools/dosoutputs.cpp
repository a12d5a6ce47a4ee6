#include "tools/dosoutputs.h"

#include "base/prompter.h"
#include "tools/processguard.h"
#include "tools/terminal.h"
#include "tools/toolwatch.h"

#include <QCoreApplication>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <memory>
#include <sys/types.h>
#include <unistd.h>

namespace qln {

namespace {
// Bytes forwarded per visit of the event loop. A tool that prints fast
// keeps the pipe full; handing over a bounded amount and coming back later
// lets the window repaint in between.
constexpr qint64 kBytesPerVisit = 64 * 1024;
// Output is cut back to the kept amount once it is this much over it, so
// the cut happens once per half megabyte, not on every chunk.
constexpr qsizetype kCutSlack = 512 * 1024;

void killGroup(qint64 group)
{
    if (group > 0)
        ::kill(-pid_t(group), SIGKILL);
}

bool blank(const QString &text)
{
    for (const QChar c : text)
        if (!c.isSpace())
            return false;
    return true;
}

} // namespace

QString Utf8Stream::decode(QByteArrayView piece)
{
    QByteArray bytes;
    QByteArrayView all = piece;
    if (!m_waiting.isEmpty()) {
        bytes = m_waiting;
        bytes.append(piece);
        all = bytes;
    }
    // The last character's first byte, when the piece ends before the
    // character does: a lead byte followed by fewer continuation bytes
    // than it announces. No character runs across any other byte, so the
    // rest decodes alone exactly as within the whole stream.
    qsizetype waiting = 0;
    for (qsizetype back = 1; back <= 3 && back <= all.size(); ++back) {
        const uchar c = uchar(all.at(all.size() - back));
        if ((c & 0xC0) == 0x80)
            continue; // a continuation byte
        if (c >= 0xC0) {
            const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            if (back < length)
                waiting = back;
        }
        break;
    }
    const QString text = QString::fromUtf8(all.first(all.size() - waiting));
    m_waiting = all.last(waiting).toByteArray();
    return text;
}

QString Utf8Stream::finish()
{
    const QString text = QString::fromUtf8(m_waiting);
    m_waiting.clear();
    return text;
}

QString exitCodeMarker(int code)
{
    return QStringLiteral("[Done, exit code %1]\r\n").arg(code);
}

DOSOutputs::DOSOutputs(Prompter &prompter, QObject *parent) : QObject(parent), m_prompter(prompter)
{
    qRegisterMetaType<qln::RunEnd>();
}

DOSOutputs::~DOSOutputs()
{
    if (m_process) {
        m_process->disconnect(this);
        if (m_process->state() != QProcess::NotRunning) {
            killGroup(m_group);
            const qint64 pid = m_process->processId();
            if (pid > 0)
                ::kill(pid_t(pid), SIGKILL);
        }
        // QProcess reaps the killed child in its destructor.
        delete m_process;
    }
    processguard::remove(m_group);
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
    processguard::install();
    toolwatch::prepare();
    m_process = new QProcess(this);
    m_process->setProgram(m_shell);
    m_process->setArguments({QStringLiteral("-c"), m_commandLine});
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    if (!m_wantInput)
        m_process->setStandardInputFile(QProcess::nullDevice());
    if (!m_workingDirectory.isEmpty())
        m_process->setWorkingDirectory(m_workingDirectory);
    // In the child: a process group of its own, so that stop() reaches what
    // the tool starts, and its watchdog, so that the group ends with the
    // program however the program ends.
    const pid_t parent = ::getpid();
    m_process->setChildProcessModifier([parent] { toolwatch::startInChild(parent); });

    connect(m_process, &QProcess::readyReadStandardOutput, this, [this] { drain(false); });
    connect(m_process, &QProcess::finished, this, &DOSOutputs::onFinished);
    connect(m_process, &QProcess::errorOccurred, this, &DOSOutputs::onError);

    m_outputs.clear();
    m_decoder = Utf8Stream();
    m_end = RunEnd{};
    m_end.started = true;
    m_stopRequested = false;
    m_drainQueued = false;
    m_ended = false;

    m_group = 0;
    m_inputOpen = false;
    m_process->start(m_wantInput ? QIODevice::ReadWrite : QIODevice::ReadOnly);
    if (m_ended) // the start failed inside start() and was reported already
        return false;
    const qint64 pid = m_process->processId();
    if (pid > 0) {
        ::setpgid(pid_t(pid), pid_t(pid)); // the same from this side: no window for a stop() race
        m_group = pid;
        processguard::add(m_group);
    }
    m_inputOpen = m_wantInput;
    return true;
}

bool DOSOutputs::writeInput(const QString &text)
{
    if (!isRunning() || !m_inputOpen)
        return false;
    return m_process->write(text.toUtf8()) >= 0;
}

void DOSOutputs::closeInput()
{
    if (!isRunning() || !m_inputOpen)
        return;
    m_inputOpen = false;
    m_process->closeWriteChannel();
}

bool DOSOutputs::isInputOpen() const
{
    return isRunning() && m_inputOpen;
}

void DOSOutputs::stop()
{
    if (!isRunning())
        return;
    m_stopRequested = true;
    killGroup(m_group);
    const qint64 pid = m_process->processId();
    if (pid > 0)
        ::kill(pid_t(pid), SIGKILL);
}

void DOSOutputs::forward(const QString &text)
{
    if (text.isEmpty())
        return; // only the first bytes of a character: it comes with the next chunk
    if (!m_end.printed && !blank(text))
        m_end.printed = true;
    m_outputs += text;
    if (m_outputs.size() > kKeptOutput + kCutSlack)
        m_outputs.remove(0, m_outputs.size() - kKeptOutput);
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
        forward(m_decoder.decode(QByteArrayView(buffer, n)));
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
    forward(m_decoder.finish());
    // What the tool left running in its group ends with the run; the
    // group is then gone before its number can be given to another.
    killGroup(m_group);
    processguard::remove(m_group);
    m_group = 0;
    m_inputOpen = false;
    m_end.stopped = m_stopRequested;
    m_end.crashed = status == QProcess::CrashExit && !m_stopRequested;
    // A crash reports the signal; sh counts it as 128 + the signal.
    m_end.exitCode = status == QProcess::CrashExit ? 128 + exitCode : exitCode;
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

bool DOSOutputs::launchInTerminal(const QString &commandLine, const QString &folder)
{
    if (commandLine.trimmed().isEmpty() || !QCoreApplication::instance())
        return false;
    const std::optional<TerminalLaunch> launch =
        terminalLaunch(commandLine, qEnvironmentVariable("TERMINAL"));
    if (!launch)
        return false;
    processguard::install();
    toolwatch::prepare();
    // A child of the application, not of a dialog: closing the dialog
    // leaves the window open; ending the program closes it.
    auto *terminal = new QProcess(QCoreApplication::instance());
    terminal->setProgram(launch->program);
    terminal->setArguments(launch->arguments);
    terminal->setStandardInputFile(QProcess::nullDevice());
    terminal->setStandardOutputFile(QProcess::nullDevice());
    terminal->setStandardErrorFile(QProcess::nullDevice());
    if (!folder.isEmpty())
        terminal->setWorkingDirectory(folder);
    const pid_t parent = ::getpid();
    terminal->setChildProcessModifier([parent] { toolwatch::startInChild(parent); });
    auto group = std::make_shared<qint64>(0);
    QObject::connect(terminal, &QProcess::finished, terminal, [terminal, group] {
        processguard::remove(*group);
        terminal->deleteLater();
    });
    QObject::connect(terminal, &QProcess::errorOccurred, terminal,
                     [terminal, group](QProcess::ProcessError e) {
                         if (e != QProcess::FailedToStart)
                             return;
                         processguard::remove(*group);
                         terminal->deleteLater();
                     });
    terminal->start();
    *group = terminal->processId();
    if (*group <= 0)
        return false;
    ::setpgid(pid_t(*group), pid_t(*group));
    processguard::add(*group);
    return true;
}

QStringList closingMarkers(const QString &mode, const RunEnd &end)
{
    QStringList markers;
    if (end.stopped)
        return {kStoppedMarker};
    if (mode.compare(QLatin1String("Compile"), Qt::CaseInsensitive) == 0 && end.started
        && !end.crashed && end.exitCode == 0 && !end.printed)
        markers << kCompiledMarker;
    markers << (end.started && end.exitCode != 0 ? exitCodeMarker(end.exitCode) : kDoneMarker);
    return markers;
}

} // namespace qln
