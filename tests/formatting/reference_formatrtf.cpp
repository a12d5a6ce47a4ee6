#include "formatting/reference_formatrtf.h"

#include "formatting/commandhost.h"
#include "settings/convert.h"
#include "settings/preferences.h"
#include "surface/surface.h"

#include <QRegularExpression>
#include <cmath>
#include <functional>
#include <optional>
#include <vector>

namespace qln::ref {

namespace {

void setSelectionStyle(Surface &s, const FontStyleTable &fs, int category, BgrColor color)
{
    const bool valid = category >= 1 && category <= 5;
    s.setSelColor(color);
    s.setSelBold(valid && fs[size_t(category)][1]);
    s.setSelItalic(valid && fs[size_t(category)][2]);
    s.setSelUnderline(valid && fs[size_t(category)][3]);
}

BgrColor colourOrBlack(const QString &text)
{
    try {
        return toColour(text);
    } catch (const ConversionError &) {
        return 0;
    }
}

} // namespace

int ColorWordList(const QStringList &words, int count, const FontStyleTable &fontstyle,
                  int category, int &start, int end, Surface &surface, BgrColor color,
                  ProgressSink *progress, double progressFactor, int wordsDoneBefore)
{
    if (end < 0)
        return 0;
    if (start == -1)
        start = 0;
    count = std::clamp(count, 0, int(words.size()) - 1);
    int options = FindMatchCase;
    if (category >= 1 && category <= 5 && fontstyle[size_t(category)][4])
        options |= FindWholeWord;
    for (int i = 1; i <= count; ++i) {
        surface.setSelStart(start);
        for (;;) {
            if (progress && progress->isVisible())
                progress->setValue(int(std::lrint((i + wordsDoneBefore) * progressFactor)));
            const int p = surface.find(words.at(i), surface.selStart(), end, options);
            if (p == -1)
                break;
            setSelectionStyle(surface, fontstyle, category, color);
            surface.setSelStart(p + 1);
        }
    }
    return count;
}

namespace {

// The inert runs from `from` to `to`, found left to right: the ignore
// string, else the escape and the character after it.
struct InertFlags {
    int from = 0;
    std::vector<bool> flags; // for [from, to)
    bool at(int pos) const
    {
        return pos >= from && pos - from < int(flags.size()) && flags[size_t(pos - from)];
    }
};

InertFlags inertFlags(const Surface &surface, int from, int to, const QString &ignore,
                      const QString &escape)
{
    InertFlags inert;
    inert.from = from;
    if (to <= from)
        return inert;
    const QString text = surface.mid(from, to - from);
    inert.flags.assign(size_t(text.size()), false);
    const bool withIgnore = !ignore.isEmpty() && !ignore.contains(QLatin1Char('\r'))
                            && !ignore.contains(QLatin1Char('\n'));
    const int n = int(text.size());
    auto at = [&](int i, const QString &s) {
        return i + s.size() <= n && text.mid(i, s.size()).compare(s, Qt::CaseInsensitive) == 0;
    };
    for (int i = 0; i < n;) {
        int run = 0;
        if (withIgnore && at(i, ignore))
            run = int(ignore.size());
        else if (!escape.isEmpty() && i + escape.size() < n && at(i, escape))
            run = int(escape.size()) + 1;
        for (int k = 0; k < run; ++k)
            inert.flags[size_t(i + k)] = true;
        i += std::max(run, 1);
    }
    return inert;
}

// Surface::find, passing over matches that touch an inert run.
int findOutside(Surface &surface, const QString &needle, int from, int end, const InertFlags &inert)
{
    for (int p = surface.find(needle, from, end); p != -1; p = surface.find(needle, p + 1, end)) {
        bool touches = false;
        for (int k = 0; k < needle.size(); ++k)
            touches = touches || inert.at(p + k);
        if (!touches)
            return p;
    }
    return -1;
}

} // namespace

void ColorLine(int &start, int &end, Surface &surface, const QString &delimiter1,
               const QString &delimiter2, const QString &ignore, const QString &placeholder,
               const QString &comment, BgrColor stringsColor, BgrColor commentsColor,
               const FontStyleTable &fontstyle, int stringsCategory, int commentsCategory)
{
    Q_UNUSED(placeholder);
    if (end < 0)
        return;
    if (start == -1)
        start = 0;
    const int lineEnd = std::min(end, surface.length());
    const InertFlags inert =
        inertFlags(surface, start, lineEnd, ignore, EscapeOf(ignore, delimiter1, delimiter2));

    int scan = start == 0 ? -1 : start;
    int a = findOutside(surface, delimiter1, start, end, inert);
    int b = findOutside(surface, delimiter2, start, end, inert);
    while (a != -1 || b != -1) {
        const bool first = a != -1 && (b == -1 || a < b);
        const QString &delimiter = first ? delimiter1 : delimiter2;
        const int n = int(delimiter.size());
        // One string, opened by the delimiter found first.
        const int p = first ? a : b;
        surface.setSelStart(p);
        surface.setSelLength(n);
        const auto c = surface.selColor();
        scan = p;
        if (!c || *c != stringsColor) {
            const int q = findOutside(surface, delimiter, p + 1, end, inert);
            if (q != -1) {
                surface.setSelStart(p + n);
                surface.setSelLength(q - (p + n));
                setSelectionStyle(surface, fontstyle, stringsCategory, stringsColor);
                scan = q;
            }
        }
        a = findOutside(surface, delimiter1, scan + 1, end, inert);
        b = findOutside(surface, delimiter2, scan + 1, end, inert);
        if (scan + 1 > end)
            break;
    }

    for (int m = surface.find(comment, start, end); m != -1;
         m = surface.find(comment, m + 1, end)) {
        const auto c = surface.selColor();
        if (c && *c != stringsColor) {
            surface.setSelStart(m);
            surface.setSelLength(end - m);
            setSelectionStyle(surface, fontstyle, commentsCategory, commentsColor);
        }
    }
}

int ColorStringSpan(const FontStyleTable &fontstyle, int category, const QString &delimiter,
                    BgrColor color, int &scan, int end, Surface &surface)
{
    const int p = surface.find(delimiter, scan + 1, end);
    if (p == -1)
        return scan;
    const auto c = surface.selColor();
    if (c && *c == color)
        return p;
    const int q = surface.find(delimiter, p + 1, end);
    if (q == -1)
        return p;
    const int n = int(delimiter.size());
    surface.setSelStart(p + n);
    surface.setSelLength(q - (p + n));
    setSelectionStyle(surface, fontstyle, category, color);
    return q;
}

void ColorBlockComments(int &start, int &end, Surface &surface, const FontStyleTable &fontstyle,
                        int category, BgrColor stringsColor, BgrColor commentsColor,
                        const QString &startMarker, const QString &endMarker)
{
    Q_UNUSED(end);
    auto coloured = [&] {
        const auto c = surface.selColor();
        return c && (*c == stringsColor || *c == commentsColor);
    };
    int scan = start - 1;
    for (;;) {
        const int p = surface.find(startMarker, scan + 1);
        if (p == -1)
            return;
        scan = p;
        if (coloured())
            continue;
        int q = surface.find(endMarker, scan + 2);
        if (q == -1)
            return;
        scan = q;
        while (coloured()) {
            q = surface.find(endMarker, q + 2);
            if (q == -1)
                return;
            scan = q;
        }
        surface.setSelStart(p);
        surface.setSelLength(q - p + int(endMarker.size()));
        setSelectionStyle(surface, fontstyle, category, commentsColor);
    }
}

void ColorTextBlocks(Surface &surface, const QString &delimiter1, const QString &delimiter2,
                     const QString &ignore, const FontStyleTable &fontstyle, int category,
                     BgrColor stringsColor, BgrColor commentsColor, const QString &startMarker,
                     const QString &endMarker, const std::function<void(int, int)> &recolourLine)
{
    if (delimiter1.isEmpty())
        return;
    const QString block = delimiter1.repeated(3);
    const int nb = int(block.size());
    const QString escape = EscapeOf(ignore, delimiter1, delimiter2);
    const bool withComments = !startMarker.isEmpty() && !endMarker.isEmpty();
    // The comments passed over are not coloured here (ColorBlockComments
    // does that later); their characters read as the comments colour.
    std::vector<bool> passed(size_t(surface.length()), false);
    auto coloured = [&](int pos, int n) {
        std::optional<BgrColor> c;
        for (int i = pos; i < pos + n; ++i) {
            const BgrColor ci =
                passed[size_t(i)] ? (commentsColor & 0xFFFFFF) : surface.formatAt(i).color;
            if (c && *c != ci)
                return false;
            c = ci;
        }
        return c && (*c == stringsColor || *c == commentsColor);
    };
    // Each next occurrence is searched again once the scan has passed it.
    int t = -2, p = withComments ? -2 : -1;
    for (int scan = -1;;) {
        if (t == -2 || (t >= 0 && t <= scan))
            t = surface.find(block, scan + 1);
        if (p == -2 || (p >= 0 && p <= scan))
            p = surface.find(startMarker, scan + 1);
        if (t == -1)
            return;
        if (p != -1 && (t == -1 || p <= t)) {
            scan = p;
            if (coloured(p, int(startMarker.size())))
                continue;
            int q = surface.find(endMarker, p + 2);
            while (q != -1 && coloured(q, int(endMarker.size())))
                q = surface.find(endMarker, q + 2);
            if (q == -1)
                return;
            scan = q;
            for (int i = p; i < q + int(endMarker.size()); ++i)
                passed[size_t(i)] = true;
            continue;
        }
        scan = t;
        const int feedAfter = surface.find(QStringLiteral("\n"), t + nb);
        const QString after =
            surface.mid(t + nb, (feedAfter == -1 ? surface.length() : feedAfter) - (t + nb));
        if (!QString(after).remove(QRegularExpression(QStringLiteral("[ \t\f\r]"))).isEmpty()
            || coloured(t, nb))
            continue;
        const InertFlags inert = inertFlags(surface, t + nb, surface.length(), ignore, escape);
        const int close = findOutside(surface, block, t + nb, -1, inert);
        if (close == -1)
            return;
        surface.setSelStart(t + nb);
        surface.setSelLength(close - (t + nb));
        setSelectionStyle(surface, fontstyle, category, stringsColor);
        scan = close + nb - 1;
        const int rest = close + nb;
        const int feed = surface.find(QStringLiteral("\n"), rest);
        if (recolourLine && rest < (feed == -1 ? surface.length() : feed))
            recolourLine(rest, feed);
    }
}

int MaskIgnoreText(int start, int end, Surface &surface, const QString &ignore,
                   const QString &placeholder)
{
    if (ignore.isEmpty())
        return end;
    const bool wasRecording = surface.setUndoRecording(false);
    int cur = start;
    for (int m; (m = surface.find(ignore, cur, end)) != -1;) {
        surface.setSelText(placeholder);
        end += int(placeholder.size()) - int(ignore.size());
        cur = m + int(placeholder.size());
    }
    surface.setUndoRecording(wasRecording);
    return end;
}

int UnmaskIgnoreText(int start, int end, Surface &surface, const QString &ignore,
                     const QString &placeholder)
{
    if (placeholder.isEmpty())
        return end;
    const bool wasRecording = surface.setUndoRecording(false);
    int cur = start;
    for (int m; (m = surface.find(placeholder, cur, end)) != -1;) {
        surface.setSelText(ignore);
        end -= int(placeholder.size()) - int(ignore.size());
        cur = m + int(ignore.size());
    }
    surface.setUndoRecording(wasRecording);
    return end;
}

void ColorizeAllStages(Surface &surface, const Preferences &prefs, ProgressSink *progress)
{
    const int length = surface.length();
    const auto &fs = prefs.fontstyle;
    surface.setSelStart(0);
    surface.setSelLength(length);
    surface.setSelColor(colourOrBlack(prefs.ctextcolor));
    surface.setSelBold(false);
    surface.setSelItalic(false);
    surface.setSelUnderline(false);

    const int words = prefs.ckeywordcount + prefs.cothercount + prefs.cmorecount;
    const double factor = words > 0 ? 100.0 / words : 0.0;
    int done = 0, start = 0;
    done += ref::ColorWordList(prefs.arrckeyword, prefs.ckeywordcount, fs, 1, start, length,
                               surface, colourOrBlack(prefs.ckeywordcolor), progress, factor, done);
    start = 0;
    done += ref::ColorWordList(prefs.arrcother, prefs.cothercount, fs, 2, start, length, surface,
                               colourOrBlack(prefs.cothercolor), progress, factor, done);
    start = 0;
    done += ref::ColorWordList(prefs.arrcmore, prefs.cmorecount, fs, 3, start, length, surface,
                               colourOrBlack(prefs.cmorecolor), progress, factor, done);

    const BgrColor strings = colourOrBlack(prefs.cstringscolor);
    const BgrColor comments = colourOrBlack(prefs.ccommentscolor);
    int next = -1, count = 0;
    const double lineFactor = 100.0 / surface.lineCount();
    for (;;) {
        const int previous = next;
        next = surface.find(QStringLiteral("\n"), previous + 1);
        ++count;
        if (next == -1)
            break;
        if (progress)
            progress->setValue(int(std::lrint(count * lineFactor)));
        int a = previous, b = next;
        ref::ColorLine(a, b, surface, prefs.string1, prefs.string2, prefs.ignoreString,
                       kIgnorePlaceholder, prefs.singleLineComment, strings, comments, fs, 4, 5);
    }

    if (progress)
        progress->setValue(0);
    ref::ColorTextBlocks(
        surface, prefs.string1, prefs.string2, prefs.ignoreString, fs, 4, strings, comments,
        prefs.multiLineCommentStart, prefs.multiLineCommentEnd, [&](int from, int lineFeed) {
            if (lineFeed < 0)
                return; // the last line, left alone as the line pass leaves it
            surface.setSelStart(from);
            surface.setSelLength(lineFeed - from);
            surface.setSelColor(colourOrBlack(prefs.ctextcolor));
            surface.setSelBold(false);
            surface.setSelItalic(false);
            surface.setSelUnderline(false);
            int st = from;
            ref::ColorWordList(prefs.arrckeyword, prefs.ckeywordcount, fs, 1, st, lineFeed, surface,
                               colourOrBlack(prefs.ckeywordcolor), nullptr, 0, 0);
            ref::ColorWordList(prefs.arrcother, prefs.cothercount, fs, 2, st, lineFeed, surface,
                               colourOrBlack(prefs.cothercolor), nullptr, 0, 0);
            ref::ColorWordList(prefs.arrcmore, prefs.cmorecount, fs, 3, st, lineFeed, surface,
                               colourOrBlack(prefs.cmorecolor), nullptr, 0, 0);
            int a = from, b = lineFeed;
            ref::ColorLine(a, b, surface, prefs.string1, prefs.string2, prefs.ignoreString,
                           kIgnorePlaceholder, prefs.singleLineComment, strings, comments, fs, 4,
                           5);
        });
    int blockStart = -1, blockEnd = length;
    ref::ColorBlockComments(blockStart, blockEnd, surface, fs, 5, strings, comments,
                            prefs.multiLineCommentStart, prefs.multiLineCommentEnd);
    if (progress)
        progress->setValue(100);
}

} // namespace qln::ref
