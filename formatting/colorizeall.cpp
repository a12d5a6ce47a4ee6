#include "formatting/colorizeall.h"

#include "base/editorstate.h"
#include "formatting/commandhost.h"
#include "settings/convert.h"
#include "settings/preferences.h"
#include "surface/surface.h"

#include <cmath>

namespace qln {

namespace {

// The estimate model: 15 seconds per 80000 characters on the machine the
// message names; only documents above 45000 characters get an estimate.
constexpr int kEstimateThreshold = 45000;
constexpr double kSecondsPer80000 = 15.0;

BgrColor colourOrBlack(const QString &text)
{
    try {
        return toColour(text);
    } catch (const ConversionError &) {
        return 0;
    }
}

void setProgress(ProgressSink *progress, double value)
{
    if (progress && std::isfinite(value))
        progress->setValue(int(std::lrint(value)));
}

} // namespace

std::optional<MsgAnswer> AskSaveFirst(CommandHost &host)
{
    if (!host.caption().endsWith(QLatin1Char('*')))
        return std::nullopt;
    return host.prompter().message(QStringLiteral("Would you like to save the file?"),
                                   QStringLiteral("Save file first?"), MsgIcon::Question,
                                   MsgButtons::YesNoCancel);
}

QString EstimateText(double seconds)
{
    const double minutes = std::floor(seconds / 60.0);
    const double rest = seconds - 60.0 * minutes;
    return QString::number(minutes, 'f', 0) + QStringLiteral(" minutes ")
           + QString::number(rest, 'g', 15) + QStringLiteral(" seconds");
}

QString ColorizeTimeQuestion(int length)
{
    if (length <= kEstimateThreshold)
        return QString();
    const double low = kSecondsPer80000 * double(length) / 80000.0;
    const double high = low * 3;
    if (!(high / 3 > 10))
        return QString();
    return QStringLiteral("Approximately ") + EstimateText(low) + QStringLiteral(" to ")
           + EstimateText(high) + QStringLiteral(" needed on a 933 MHz computer for the process");
}

namespace {

// The stages over [from, to): from is a line start that no text block or
// comment spans, to a line start or the end of the text. With progress and
// status the whole text is coloured (from 0 to the end) and both are told
// of each stage. Returns true when a text block or comment opened before
// `to` does not close before it; the span is then not fully coloured.
bool colourStages(Surface &surface, const Preferences &prefs, int from, int to,
                  ProgressSink *progress, const std::function<void(const QString &)> &status,
                  bool lastLineToo)
{
    auto say = [&](const QString &text) {
        if (status)
            status(text);
    };
    const int length = surface.length();
    const bool toEnd = to >= length;
    const int limit = toEnd ? -1 : to;
    to = std::min(to, length);
    const auto &fs = prefs.fontstyle;

    // Reset. An empty document has no characters: the format for typed
    // text takes the reset instead, as setting the empty selection would.
    const Surface::TextStyle plain{colourOrBlack(prefs.ctextcolor), false, false, false};
    if (length == 0) {
        surface.setSelStart(0);
        surface.setSelStyle(plain.color, false, false, false);
    } else if (to > from) {
        surface.setStyleRanges({{from, to - from}}, plain);
    }

    // Stage 1: the word lists; the bar runs from 0 to 100 across all three.
    say(QStringLiteral("Please wait. Stage 1 of 3"));
    const int words = prefs.ckeywordcount + prefs.cothercount + prefs.cmorecount;
    const double factor = words > 0 ? 100.0 / words : 0.0;
    int done = 0;
    int start = from;
    done += ColorWordList(prefs.arrckeyword, prefs.ckeywordcount, fs, 1, start, to, surface,
                          colourOrBlack(prefs.ckeywordcolor), progress, factor, done);
    start = from;
    done += ColorWordList(prefs.arrcother, prefs.cothercount, fs, 2, start, to, surface,
                          colourOrBlack(prefs.cothercolor), progress, factor, done);
    start = from;
    done += ColorWordList(prefs.arrcmore, prefs.cmorecount, fs, 3, start, to, surface,
                          colourOrBlack(prefs.cmorecolor), progress, factor, done);

    // Stage 2: strings and single-line comments, line by line. The text
    // after the last line feed has no end and is left alone.
    const BgrColor strings = colourOrBlack(prefs.cstringscolor);
    const BgrColor comments = colourOrBlack(prefs.ccommentscolor);
    const double lineFactor = 100.0 / std::max(1, surface.lineCount());
    say(QStringLiteral("Please wait. Stage 2 of 3"));
    // Only formats change here, so the line table gives every line feed.
    const int lineCount = surface.lineCount();
    int next = from > 0 ? from - 1 : -1;
    for (int count = surface.lineFromChar(from) + 1;; ++count) {
        const int previous = next;
        next = count < lineCount ? surface.lineIndex(count) - 1 : -1;
        if (next == -1) {
            if (toEnd && lastLineToo && previous + 1 < surface.length()) {
                int lineStart = previous, lineEnd = surface.length();
                ColorLine(lineStart, lineEnd, surface, prefs.string1, prefs.string2,
                          prefs.ignoreString, kIgnorePlaceholder, prefs.singleLineComment, strings,
                          comments, fs, 4, 5);
            }
            break;
        }
        if (next >= to)
            break;
        setProgress(progress, count * lineFactor);
        int lineStart = previous, lineEnd = next;
        ColorLine(lineStart, lineEnd, surface, prefs.string1, prefs.string2, prefs.ignoreString,
                  kIgnorePlaceholder, prefs.singleLineComment, strings, comments, fs, 4, 5);
    }

    // Stage 3: text blocks, then multi-line comments. The rest of a line a
    // text block closes on is coloured again as a line of its own: the line
    // pass read it as if the text block were code.
    say(QStringLiteral("Please wait. Stage 3 of 3"));
    setProgress(progress, 0);
    const BgrColor keywords = colourOrBlack(prefs.ckeywordcolor);
    const BgrColor others = colourOrBlack(prefs.cothercolor);
    const BgrColor more = colourOrBlack(prefs.cmorecolor);
    const bool blockOpen = ColorTextBlocks(
        surface, prefs.string1, prefs.string2, prefs.ignoreString, fs, 4, strings, comments,
        prefs.multiLineCommentStart, prefs.multiLineCommentEnd,
        [&](int from, int lineFeed) {
            if (lineFeed < 0 && !lastLineToo)
                return;
            const int to = lineFeed < 0 ? surface.length() : lineFeed;
            surface.setStyleRanges({{from, to - from}}, plain);
            int st = from;
            ColorWordList(prefs.arrckeyword, prefs.ckeywordcount, fs, 1, st, to, surface, keywords,
                          nullptr, 0, 0);
            ColorWordList(prefs.arrcother, prefs.cothercount, fs, 2, st, to, surface, others,
                          nullptr, 0, 0);
            ColorWordList(prefs.arrcmore, prefs.cmorecount, fs, 3, st, to, surface, more, nullptr,
                          0, 0);
            int a = from, b = to;
            ColorLine(a, b, surface, prefs.string1, prefs.string2, prefs.ignoreString,
                      kIgnorePlaceholder, prefs.singleLineComment, strings, comments, fs, 4, 5);
        },
        from, limit);
    if (blockOpen)
        return true;
    int blockStart = from > 0 ? from : -1, blockEnd = length;
    const bool commentOpen =
        ColorBlockComments(blockStart, blockEnd, surface, fs, 5, strings, comments,
                           prefs.multiLineCommentStart, prefs.multiLineCommentEnd, limit);
    setProgress(progress, 100);
    return commentOpen;
}

} // namespace

void ColorizeAllStages(Surface &surface, const Preferences &prefs, ProgressSink *progress,
                       const std::function<void(const QString &)> &status, bool lastLineToo)
{
    surface.stopColouringAhead(); // every character gets its colour here
    colourStages(surface, prefs, 0, surface.length(), progress, status, lastLineToo);
}

int ColorizeAhead(Surface &surface, const Preferences &prefs, int from, int upTo, int span)
{
    const int length = surface.length();
    from = std::clamp(from, 0, length);
    if (from > 0 && from < length && surface.at(from - 1) != QLatin1Char('\n'))
        from = surface.lineIndex(surface.lineFromChar(from)); // back to its line's start
    // A span ends at a line start, and where a text block or comment runs on
    // past it, further on: to where it closes, found by doubling the span.
    auto lineStartAfter = [&](qint64 pos) {
        if (pos >= length)
            return length;
        const int line = surface.lineFromChar(int(pos));
        return line + 1 < surface.lineCount() ? surface.lineIndex(line + 1) : length;
    };
    int to = lineStartAfter(std::max<qint64>(upTo, from + qint64(std::max(span, 1))));
    while (colourStages(surface, prefs, from, to, nullptr, {}, true) && to < length)
        to = lineStartAfter(to + qint64(to - from));
    return to;
}

void ColorizeDocument(Surface &surface, const Preferences &prefs)
{
    const int start = surface.selStart(), length = surface.selLength();
    SuppressGuard guard(true, true);
    ColorizeAllStages(surface, prefs, nullptr, {}, true);
    surface.setSelection(start, length);
}

bool colorizeallrtf(CommandHost &host)
{
    const auto save = AskSaveFirst(host);
    if (save == MsgAnswer::Cancel)
        return false;
    if (save == MsgAnswer::Yes)
        host.saveDocument(); // a failed save does not stop the run

    Surface &surface = host.surface();
    const QString question = ColorizeTimeQuestion(surface.length());
    if (!question.isEmpty()
        && host.prompter().message(question, QStringLiteral("Do you wish to continue?"),
                                   MsgIcon::Question, MsgButtons::YesNo)
               != MsgAnswer::Yes)
        return false;

    host.setBusy(true);
    host.setSurfacePainted(false);
    host.setWindowEnabled(false);
    ProgressSink &progress = host.progress();
    progress.setVisible(true);
    {
        SuppressGuard guard(true, true);
        ColorizeAllStages(surface, host.preferences(), &progress,
                          [&host](const QString &text) { host.setStatusText(text); });
    }
    progress.setVisible(false);
    host.setWindowEnabled(true);
    host.setBusy(false);
    host.setSurfacePainted(true);
    host.focusSurface();
    surface.setSelStart(0);
    host.setStatusText(QStringLiteral("Done"));
    return true;
}

} // namespace qln
