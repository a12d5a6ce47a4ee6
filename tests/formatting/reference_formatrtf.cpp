#include "formatting/reference_formatrtf.h"

#include "formatting/commandhost.h"
#include "settings/convert.h"
#include "settings/preferences.h"
#include "surface/surface.h"

#include <cmath>
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

bool maskingOn(const QString &ignore, const QString &placeholder)
{
    auto hasBreak = [](const QString &s) {
        return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n'));
    };
    return !ignore.isEmpty() && !placeholder.isEmpty() && !hasBreak(ignore)
           && !hasBreak(placeholder);
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

void ColorLine(int &start, int &end, Surface &surface, const QString &delimiter1,
               const QString &delimiter2, const QString &ignore, const QString &placeholder,
               const QString &comment, BgrColor stringsColor, BgrColor commentsColor,
               const FontStyleTable &fontstyle, int stringsCategory, int commentsCategory)
{
    if (end < 0)
        return;
    if (start == -1)
        start = 0;

    // Mask, remembering each replaced text so that exactly those places get
    // exactly their old text back.
    struct Masked {
        int pos;
        QString text;
    };
    std::vector<Masked> masked;
    const bool mask = maskingOn(ignore, placeholder);
    const bool wasRecording = surface.setUndoRecording(false);
    if (mask) {
        int cur = start;
        for (int m; (m = surface.find(ignore, cur, end)) != -1;) {
            masked.push_back(Masked{m, surface.selText()});
            surface.setSelText(placeholder);
            end += int(placeholder.size()) - int(ignore.size());
            cur = m + int(placeholder.size());
        }
    }

    int scan = start == 0 ? -1 : start;
    int a = surface.find(delimiter1, start, end);
    int b = surface.find(delimiter2, start, end);
    while (a != -1 || b != -1) {
        const QString &delimiter =
            a == -1 ? delimiter2 : b == -1 ? delimiter1 : a < b ? delimiter1 : delimiter2;
        scan = ref::ColorStringSpan(fontstyle, stringsCategory, delimiter, stringsColor, scan, end,
                               surface);
        a = surface.find(delimiter1, scan + 1, end);
        b = surface.find(delimiter2, scan + 1, end);
        if (scan + 1 > end)
            break;
    }

    if (mask) {
        int shift = 0;
        for (const Masked &m : masked) {
            surface.setSelStart(m.pos + shift);
            surface.setSelLength(int(placeholder.size()));
            surface.setSelText(m.text);
            end -= int(placeholder.size()) - int(m.text.size());
            shift += int(m.text.size()) - int(placeholder.size());
        }
    }
    surface.setUndoRecording(wasRecording);

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
    done += ref::ColorWordList(prefs.arrckeyword, prefs.ckeywordcount, fs, 1, start, length, surface,
                          colourOrBlack(prefs.ckeywordcolor), progress, factor, done);
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
    int blockStart = -1, blockEnd = length;
    ref::ColorBlockComments(blockStart, blockEnd, surface, fs, 5, strings, comments,
                       prefs.multiLineCommentStart, prefs.multiLineCommentEnd);
    if (progress)
        progress->setValue(100);
}

} // namespace qln::ref
