#include "tools/frmdosx.h"

#include <QTimer>

namespace qln {

frmDosX::frmDosX(Prompter &prompter, QObject *parent)
    : QObject(parent), m_objDOS(new DOSOutputs(prompter, this))
{
    connect(m_objDOS, &DOSOutputs::ReceiveOutputs, this, &frmDosX::objDOS_ReceiveOutputs);
    connect(m_objDOS, &DOSOutputs::finished, this, [this](const RunEnd &end) {
        flush();
        emit finished(m_Text1, end);
    });
}

bool frmDosX::DosExecute(const QString &commandLine, Surface *target,
                         const Surface::TextStyle &style, const QString &folder)
{
    m_target = target;
    m_style = style;
    m_Text1.clear();
    m_pending.clear();
    m_objDOS->setWorkingDirectory(folder);
    m_objDOS->setCommandLine(commandLine.trimmed());
    return m_objDOS->ExecuteCommand(QString());
}

void frmDosX::objDOS_ReceiveOutputs(const QString &chunk)
{
    m_Text1 += chunk;
    m_pending += chunk;
    if (m_flushQueued)
        return;
    // A tool can print far faster than a text view takes single chunks:
    // everything that arrives before the event loop comes round again goes
    // into the box as one insertion, so the window keeps repainting.
    m_flushQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_flushQueued = false;
        flush();
    });
}

void frmDosX::flush()
{
    if (m_pending.isEmpty() || !m_target)
        return;
    Surface &box = *m_target;
    box.setSelStart(box.length());
    box.setSelStyle(m_style.color, m_style.bold, m_style.italic, m_style.underline);
    box.setSelText(m_pending);
    box.setSelStart(box.length());
    m_pending.clear();
    emit outputShown();
}

} // namespace qln
