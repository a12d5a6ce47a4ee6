#include "formatting/indenter.h"

#include "formatting/colorizeall.h"
#include "formatting/commandhost.h"
#include "settings/preferences.h"
#include "base/editorstate.h"
#include "base/prompter.h"
#include "surface/surface.h"

#include <limits>

namespace qln {

namespace {

// Surface::find without options: any case, a match wholly in [start, end).
int findAnyCase(QStringView text, const QString &needle, int start, int end)
{
    const int n = int(needle.size());
    if (n == 0 || start < 0 || start > end - n)
        return -1;
    return int(text.left(end).indexOf(needle, start, Qt::CaseInsensitive));
}

// The level is a 16-bit number; a step past its limits is skipped, as an
// overflowing statement is.
void raise(qint16 &level)
{
    if (level < std::numeric_limits<qint16>::max())
        ++level;
}
void lower(qint16 &level)
{
    if (level > std::numeric_limits<qint16>::min())
        --level;
}

struct LineIndent {
    int blanks = 0; // leading tabs and blanks removed
    int units = 0;  // indentation units inserted
};

// The arithmetic of IndentLine on the text of the line [s, e) as it stands.
// Leading blanks are removed before steps 4 and 5 search the line again,
// so those searches start after them.
LineIndent indentOf(QStringView text, int s, int e, qint16 &level, const QString &begin,
                    const QString &end)
{
    LineIndent r;
    const bool opens = findAnyCase(text, begin, s, e) >= 0;
    if (opens)
        lower(level);
    const bool closes = findAnyCase(text, end, s, e) >= 0;
    if (closes && opens)
        raise(level);
    while (s + r.blanks < e
           && (text[s + r.blanks] == QLatin1Char('\t') || text[s + r.blanks] == QLatin1Char(' ')))
        ++r.blanks;
    const int from = s + r.blanks;
    for (int p = findAnyCase(text, begin, from, e); p >= 0; p = findAnyCase(text, begin, p + 1, e))
        raise(level);
    for (int p = findAnyCase(text, end, from, e); p >= 0; p = findAnyCase(text, end, p + 1, e))
        if (level > 0)
            --level;
    r.units = std::max<int>(0, level);
    if (opens)
        raise(level);
    if (closes && opens)
        lower(level);
    return r;
}

// The indentation takes the format the inserted text would take with the
// caret at the line start: the character before it, or on the first line
// the first character left after the blanks.
int indentFormatSource(int s, int blanks)
{
    return s > 0 ? s - 1 : s + blanks;
}

} // namespace

int IndentLine(int &lineStart, int &lineEnd, Surface &surface, qint16 &level, const QString &unit,
               const QString &blockBegin, const QString &blockEnd)
{
    const int s = lineStart;
    // Only the line itself is read.
    const LineIndent r =
        indentOf(surface.span(0, std::max(0, lineEnd)), s, lineEnd, level, blockBegin, blockEnd);
    surface.setSelStart(s);
    if (qint64(surface.length()) - r.blanks + qint64(unit.size()) * r.units > kMaxIndentedLength)
        return lineEnd;
    const QString indent = unit.repeated(r.units);
    if (r.blanks > 0 || !indent.isEmpty())
        surface.replacePieces(s, r.blanks, {Surface::Piece{-1, 0, indent,
                                                           indentFormatSource(s, r.blanks)}});
    lineEnd += int(indent.size()) - r.blanks;
    return lineEnd;
}

IndentPlan PlanIndentAll(QStringView text, const QString &unit, const QString &blockBegin,
                         const QString &blockEnd)
{
    IndentPlan plan;
    plan.length = text.size();
    plan.lines.reserve(size_t(text.count(QLatin1Char('\n'))));
    qint16 level = 0;
    for (qsizetype s = 0;;) {
        const qsizetype next = text.indexOf(QLatin1Char('\n'), s);
        if (next < 0)
            break;
        const LineIndent r = indentOf(text, int(s), int(next), level, blockBegin, blockEnd);
        plan.length += qint64(unit.size()) * r.units - r.blanks;
        if (plan.length > kMaxIndentedLength) {
            plan.length = -1;
            plan.lines.clear();
            return plan;
        }
        plan.lines.push_back(IndentPlan::Line{int(s), r.blanks, r.units});
        s = next + 1;
    }
    plan.level = level;
    return plan;
}

qint16 IndentAllLines(Surface &surface, const QString &unit, const QString &blockBegin,
                      const QString &blockEnd, ProgressSink *progress, bool *tooLarge,
                      const IndentPlan *plan)
{
    if (tooLarge)
        *tooLarge = false;
    // The lines are worked out on the text as it was and the new text is
    // applied in one edit: each line's result depends only on its own text
    // and the level, so this equals re-indenting line after line.
    IndentPlan own;
    if (!plan) {
        own = PlanIndentAll(surface.span(0, surface.length()), unit, blockBegin, blockEnd);
        plan = &own;
    }
    if (plan->length < 0) {
        if (tooLarge)
            *tooLarge = true;
        return 0;
    }
    const double factor = 100.0 / surface.lineCount();
    int shown = progress ? progress->value() : 0;
    std::vector<Surface::Piece> pieces;
    int rangeStart = -1, keptFrom = 0;
    qint64 delta = 0; // length change of the lines before the current one
    int caret = -1;   // where the caret ends, in the new text
    int count = 0;
    for (const IndentPlan::Line &line : plan->lines) {
        ++count;
        if (progress) {
            const int value = int(count * factor);
            if (value != shown) {
                progress->setValue(value);
                shown = value;
            }
        }
        const int s = line.start;
        const qint64 added = qint64(unit.size()) * line.units;
        caret = int(s + delta + added);
        if (line.blanks == 0 && added == 0)
            continue;
        if (rangeStart < 0)
            rangeStart = keptFrom = s;
        if (s > keptFrom)
            pieces.push_back(Surface::Piece{keptFrom, s - keptFrom, {}, -1});
        if (added > 0)
            pieces.push_back(Surface::Piece{-1, 0, unit.repeated(line.units),
                                            indentFormatSource(s, line.blanks)});
        keptFrom = s + line.blanks;
        delta += added - line.blanks;
    }
    if (rangeStart >= 0 && !surface.replacePieces(rangeStart, keptFrom - rangeStart, pieces)) {
        if (tooLarge)
            *tooLarge = true;
        return 0;
    }
    if (caret >= 0)
        surface.setSelStart(caret);
    return plan->level;
}

qint64 IndentedLength(const QString &text, const QString &unit, const QString &blockBegin,
                      const QString &blockEnd)
{
    return PlanIndentAll(text, unit, blockBegin, blockEnd).length;
}

bool confirmLongRun(CommandHost &host, int length)
{
    const QString question = ColorizeTimeQuestion(length);
    return question.isEmpty()
           || host.prompter().message(question, QStringLiteral("Do you wish to continue?"),
                                      MsgIcon::Question, MsgButtons::YesNo)
                  == MsgAnswer::Yes;
}

bool saveFirstOrStop(CommandHost &host)
{
    const std::optional<MsgAnswer> answer = AskSaveFirst(host);
    if (answer == MsgAnswer::Yes)
        host.saveDocument(); // goes on whether or not the file was written
    return answer != MsgAnswer::Cancel;
}

BulkRun::BulkRun(CommandHost &host, const QString &runCaption) : m_host(host)
{
    host.setStatusText(QStringLiteral("Please wait"));
    m_caption = host.caption();
    host.setBusy(true);
    host.setSurfacePainted(false);
    host.setWindowEnabled(false);
    host.progress().setVisible(true);
    editorState().suppressChange = true;
    editorState().suppressSelChange = true;
    host.setCaption(runCaption);
}

BulkRun::~BulkRun()
{
    editorState().suppressChange = false;
    editorState().suppressSelChange = false;
    m_host.progress().setVisible(false);
    m_host.setWindowEnabled(true);
    m_host.setBusy(false);
    m_host.setSurfacePainted(true);
    m_host.focusSurface();
    m_host.surface().setSelStart(0);
    QString caption = m_caption;
    if (!caption.isEmpty() && !caption.endsWith(QLatin1Char('*')))
        caption += QLatin1Char('*');
    m_host.setCaption(caption);
    m_host.setStatusText(QStringLiteral("Done"));
}

QString indentTooLargeMessage()
{
    return QStringLiteral("The indented document would be larger than 64 MB. "
                          "Nothing was changed.");
}

QString indentNotice()
{
    return QStringLiteral("block begining or block ending characters found in stirngs or "
                          "comments will NOT be ignored\r\nstill working on this. i'll try to "
                          "fix this in later versions.");
}

void indentallrtf(CommandHost &host)
{
    host.prompter().message(indentNotice(), QString(), MsgIcon::None, MsgButtons::Ok);
    if (!saveFirstOrStop(host) || !confirmLongRun(host, host.surface().length()))
        return;
    Surface &surface = host.surface();
    const Preferences &prefs = host.preferences();
    // Worked out before anything shows or changes (with the hourglass on),
    // so a result too large is refused with the window as it was; the run
    // then only applies it.
    host.setBusy(true);
    const IndentPlan plan = PlanIndentAll(surface.span(0, surface.length()), prefs.indentstring,
                                          prefs.blockBeginning, prefs.blockEnding);
    bool tooLarge = plan.length < 0;
    if (!tooLarge) {
        const BulkRun run(host, QStringLiteral("Autoindenting"));
        IndentAllLines(surface, prefs.indentstring, prefs.blockBeginning, prefs.blockEnding,
                       &host.progress(), &tooLarge, &plan);
    }
    host.setBusy(false);
    if (tooLarge)
        host.prompter().message(indentTooLargeMessage(), QStringLiteral("Auto Indent"),
                                MsgIcon::Exclamation, MsgButtons::Ok);
}

} // namespace qln
