#include "tools/frmdosx.h"

#include <QTimer>

namespace qln {

namespace {

// The box and Text1 are cut back once they are this much over the kept
// amount: a cut moves the whole text, so it happens once per half megabyte.
constexpr qsizetype kCutSlack = 512 * 1024;
const Surface::TextStyle kMarkerStyle{kMarkerColour, true, false, false};

// Edits of the output box leave no undo steps.
class NoUndo {
public:
    explicit NoUndo(Surface &s) : m_s(s), m_was(s.setUndoRecording(false)) {}
    ~NoUndo() { m_s.setUndoRecording(m_was); }

private:
    Surface &m_s;
    bool m_was;
};

} // namespace

frmDosX::frmDosX(Prompter &prompter, QObject *parent)
    : QObject(parent), m_objDOS(new DOSOutputs(prompter, this))
{
    connect(m_objDOS, &DOSOutputs::ReceiveOutputs, this, &frmDosX::objDOS_ReceiveOutputs);
    connect(m_objDOS, &DOSOutputs::finished, this, [this](const RunEnd &end) {
        flush();
        findLinks(true);
        collectLocations(QString(), true);
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
    m_dropped = false;
    m_boxDropped = false;
    m_partialLine.clear();
    m_outputStart = target ? target->length() : 0;
    m_scanFrom = m_outputStart;
    m_objDOS->setWorkingDirectory(folder);
    m_objDOS->setCommandLine(commandLine.trimmed());
    return m_objDOS->ExecuteCommand(QString());
}

bool frmDosX::sendInput(const QString &line, const Surface::TextStyle &style)
{
    if (!m_objDOS->isInputOpen())
        return false;
    flush();
    insertAtEnd(line + QStringLiteral("\r\n"), style);
    emit outputShown();
    return m_objDOS->writeInput(line + QLatin1Char('\n'));
}

void frmDosX::collectLocations(const QString &chunk, bool toTheEnd)
{
    if (!m_locations) {
        m_partialLine.clear();
        return;
    }
    // Whole lines only: a line may come in several chunks.
    m_partialLine += chunk;
    qsizetype from = 0;
    while (true) {
        qsizetype end = m_partialLine.indexOf(QLatin1Char('\n'), from);
        if (end < 0) {
            if (!toTheEnd || from >= m_partialLine.size())
                break;
            end = m_partialLine.size();
        }
        QStringView line = QStringView(m_partialLine).mid(from, end - from);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (std::optional<ToolLocation> loc = parseToolLocation(line))
            m_locations->add(std::move(*loc));
        from = end + 1;
    }
    m_partialLine.remove(0, std::min(from, m_partialLine.size()));
    // A line without end is no location; keep it from growing without end.
    if (m_partialLine.size() > 64 * 1024)
        m_partialLine.clear();
}

void frmDosX::objDOS_ReceiveOutputs(const QString &chunk)
{
    collectLocations(chunk, false);
    m_Text1 += chunk;
    if (m_Text1.size() > kKeptOutput + kCutSlack) {
        m_Text1.remove(0, m_Text1.size() - kKeptOutput);
        m_dropped = true;
    }
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

void frmDosX::insertAtEnd(const QString &text, const Surface::TextStyle &style)
{
    Surface &box = *m_target;
    NoUndo quiet(box);
    box.setSelStart(box.length());
    box.setSelStyle(style.color, style.bold, style.italic, style.underline);
    box.setSelText(text);
    box.setSelStart(box.length());
}

void frmDosX::flush()
{
    if (m_pending.isEmpty() || !m_target) {
        m_pending.clear();
        return;
    }
    // Only the last kKeptOutput characters can stay in the box anyway.
    if (m_pending.size() > kKeptOutput)
        m_pending.remove(0, m_pending.size() - kKeptOutput);
    insertAtEnd(m_pending, m_style);
    m_pending.clear();
    findLinks(false);
    if (m_target->length() - m_outputStart > kKeptOutput + kCutSlack)
        dropOldOutput();
    emit outputShown();
}

void frmDosX::dropOldOutput()
{
    Surface &box = *m_target;
    NoUndo quiet(box);
    if (!m_boxDropped) {
        // Said once, where the run's output starts.
        m_boxDropped = true;
        box.setSelStart(m_outputStart);
        box.setSelStyle(kMarkerStyle.color, kMarkerStyle.bold, false, false);
        box.setSelText(kDroppedMarker);
        m_outputStart += int(kDroppedMarker.size());
        m_scanFrom += int(kDroppedMarker.size());
    }
    const int excess = box.length() - m_outputStart - int(kKeptOutput);
    if (excess <= 0)
        return;
    // Cut at the start of a line when one is near.
    int cut = m_outputStart + excess;
    const int lineFeed = box.indexOf(QStringLiteral("\n"), cut, std::min(box.length(), cut + 4096));
    if (lineFeed >= 0)
        cut = lineFeed + 1;
    box.replace(m_outputStart, cut - m_outputStart, QString());
    m_scanFrom = std::max(m_outputStart, m_scanFrom - (cut - m_outputStart));
    box.setSelStart(box.length());
}

void frmDosX::findLinks(bool toTheEnd)
{
    if (!m_target)
        return;
    Surface &box = *m_target;
    // Output is appended at the end, where the surface's gap stays: this
    // view costs nothing, and nothing below changes the text.
    const int end = box.length();
    const QStringView text = box.span(0, end);
    std::vector<std::pair<int, int>> links;
    int from = std::clamp(m_scanFrom, 0, end);
    while (from < end) {
        int lineEnd = int(text.indexOf(QLatin1Char('\n'), from));
        if (lineEnd < 0) {
            if (!toTheEnd)
                break; // the rest of this line is still to come
            lineEnd = end;
        }
        const int next = lineEnd < end ? lineEnd + 1 : end;
        int contentEnd = lineEnd;
        if (contentEnd > from && text.at(contentEnd - 1) == QLatin1Char('\r'))
            --contentEnd;
        const QStringView line = QStringView(text).mid(from, contentEnd - from);
        if (std::optional<ToolLocation> loc = parseToolLocation(line))
            links.emplace_back(from + loc->linkStart, loc->linkLength);
        from = next;
    }
    m_scanFrom = from;
    if (links.empty())
        return;
    // Underlined in the output's own colour; a link is a whole location.
    NoUndo quiet(box);
    box.setStyleRanges(links, Surface::TextStyle{m_style.color, m_style.bold, m_style.italic, true});
}

} // namespace qln
