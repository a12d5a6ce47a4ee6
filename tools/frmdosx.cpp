#include "tools/frmdosx.h"

#include <QTimer>

namespace qln {

namespace {

// The box and Text1 are cut back once they are this much over the kept
// amount: a cut moves the whole text, so it happens once per half megabyte.
constexpr qsizetype kCutSlack = 512 * 1024;
// A longer line of output is no location and no link: one that long is
// not a compiler's message, and waiting for its end would keep it all.
constexpr qsizetype kLongestLinkLine = 64 * 1024;
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
    connect(m_objDOS, &DOSOutputs::ReceiveOutputs, this, &frmDosX::receiveOutput);
    connect(m_objDOS, &DOSOutputs::finished, this, [this](const RunEnd &end) {
        endOutput();
        emit finished(m_Text1, end);
    });
}

void frmDosX::beginOutput(Surface *target, const Surface::TextStyle &style)
{
    m_target = target;
    m_style = style;
    m_Text1.clear();
    m_pending.clear();
    m_dropped = false;
    m_boxDropped = false;
    m_partialLine.clear();
    m_skippingLine = false;
    m_outputStart = target ? target->length() : 0;
    m_scanFrom = m_outputStart;
}

void frmDosX::endOutput()
{
    flush(true);
    findLinks(true);
    collectLocations(QString(), true);
}

bool frmDosX::DosExecute(const QString &commandLine, Surface *target,
                         const Surface::TextStyle &style, const QString &folder)
{
    beginOutput(target, style);
    m_objDOS->setWorkingDirectory(folder);
    m_objDOS->setCommandLine(commandLine.trimmed());
    return m_objDOS->ExecuteCommand(QString());
}

bool frmDosX::sendInput(const QString &line, const Surface::TextStyle &style)
{
    if (!m_objDOS->isInputOpen())
        return false;
    flush(true); // the typed line comes after everything the tool wrote
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
    const qsizetype size = m_partialLine.size();
    const QChar *text = m_partialLine.constData();
    qsizetype from = 0;
    while (from < size || (toTheEnd && m_skippingLine)) {
        qsizetype end = from;
        while (end < size && text[end] != QLatin1Char('\n') && text[end] != QLatin1Char('\r'))
            ++end;
        qsizetype next = end + 1;
        if (end == size) {
            if (!toTheEnd)
                break; // the rest of the line is still to come
            next = size;
        } else if (text[end] == QLatin1Char('\r')) {
            if (end + 1 == size && !toTheEnd)
                break; // a CR LF pair may be cut here
            if (end + 1 < size && text[end + 1] == QLatin1Char('\n'))
                ++next;
        }
        if (!m_skippingLine && end - from <= kLongestLinkLine) {
            if (std::optional<ToolLocation> loc =
                    parseToolLocation(QStringView(text + from, end - from)))
                m_locations->add(std::move(*loc));
            else
                m_locations->addOtherLine(QStringView(text + from, end - from));
        } else {
            m_locations->addOtherLine(QStringView()); // a line too long to tell anything
        }
        m_skippingLine = false;
        from = next;
        if (from >= size)
            break;
    }
    m_partialLine.remove(0, std::min(from, size));
    // A line without end that is already too long is no location: only
    // its end is waited for (a CR at the end may still be half of one).
    const qsizetype kept =
        m_partialLine.size() - (m_partialLine.endsWith(QLatin1Char('\r')) ? 1 : 0);
    if (kept > kLongestLinkLine) {
        m_skippingLine = true;
        m_partialLine.remove(0, kept);
    }
}

void frmDosX::receiveOutput(const QString &chunk)
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
        flush(false);
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

void frmDosX::flush(bool all)
{
    if (m_pending.isEmpty() || !m_target) {
        m_pending.clear();
        return;
    }
    // The box turns a lone CR into a line break of its own; a CR whose LF
    // is in the next chunk waits for it.
    const bool holdCr = !all && m_pending.endsWith(QLatin1Char('\r'));
    if (holdCr)
        m_pending.chop(1);
    // Only the last kKeptOutput characters can stay in the box anyway.
    if (m_pending.size() > kKeptOutput)
        m_pending.remove(0, m_pending.size() - kKeptOutput);
    if (!m_pending.isEmpty()) {
        insertAtEnd(m_pending, m_style);
        findLinks(false);
        if (m_target->length() - m_outputStart > kKeptOutput + kCutSlack)
            dropOldOutput();
        emit outputShown();
    }
    m_pending = holdCr ? QStringLiteral("\r") : QString();
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
        if (line.size() <= kLongestLinkLine)
            if (std::optional<ToolLocation> loc = parseToolLocation(line))
                links.emplace_back(from + loc->linkStart, loc->linkLength);
        from = next;
    }
    m_scanFrom = from;
    if (links.empty())
        return;
    // Underlined in the output's own colour; a link is a whole location.
    NoUndo quiet(box);
    box.setStyleRanges(links,
                       Surface::TextStyle{m_style.color, m_style.bold, m_style.italic, true});
}

} // namespace qln
