#pragma once
// The colouring engine written the plain way: every pass is a sequence of
// Surface::find calls, and every hit is coloured by selecting it and setting
// the selection's colour, bold, italic and underline one after another. It
// is slow and obviously right, and the production engine must give exactly
// its results; the differential tests and the benchmark compare the two.

#include "formatting/formatrtf.h"

namespace qln {
struct Preferences;
}

namespace qln::ref {

int ColorWordList(const QStringList &words, int count, const FontStyleTable &fontstyle,
                  int category, int &start, int end, Surface &surface, BgrColor color,
                  ProgressSink *progress, double progressFactor, int wordsDoneBefore);
void ColorLine(int &start, int &end, Surface &surface, const QString &delimiter1,
               const QString &delimiter2, const QString &ignore, const QString &placeholder,
               const QString &comment, BgrColor stringsColor, BgrColor commentsColor,
               const FontStyleTable &fontstyle, int stringsCategory, int commentsCategory);
int ColorStringSpan(const FontStyleTable &fontstyle, int category, const QString &delimiter,
                    BgrColor color, int &scan, int end, Surface &surface);
void ColorBlockComments(int &start, int &end, Surface &surface, const FontStyleTable &fontstyle,
                        int category, BgrColor stringsColor, BgrColor commentsColor,
                        const QString &startMarker, const QString &endMarker);
void ColorTextBlocks(Surface &surface, const QString &delimiter1, const QString &delimiter2,
                     const QString &ignore, const FontStyleTable &fontstyle, int category,
                     BgrColor stringsColor, BgrColor commentsColor, const QString &startMarker,
                     const QString &endMarker, const std::function<void(int, int)> &recolourLine);
int MaskIgnoreText(int start, int end, Surface &surface, const QString &ignore,
                   const QString &placeholder);
int UnmaskIgnoreText(int start, int end, Surface &surface, const QString &ignore,
                     const QString &placeholder);

// Reset and the three stages of colourize-all, through the routines above.
void ColorizeAllStages(Surface &surface, const Preferences &prefs, ProgressSink *progress);

} // namespace qln::ref
