#pragma once
// Spell correction: replaces whole-word occurrences of wrong forms by their
// right forms within a range of a surface, and the "&Spell correct all"
// command built on it.

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace qln {

class CommandHost;
class ProgressSink;
class Surface;

// For i = 1 .. count (index 0 of the lists is unused), replaces every
// whole-word, any-case occurrence of wrongForms[i] within [start, end) by
// rightForms[i], pair after pair, each pair seeing the text as the earlier
// ones left it. Each search of a pair continues after the text it inserted;
// `end` stays where it was passed even as the text moves. A start above 0
// is moved one character back first. lengthChange grows by
// (right length - wrong length) for every replacement. When progress is
// visible its value is set to step * i for pair i, where step is 100 / count
// rounded half to even (values above 100 are refused by the bar). Inserted
// text takes the format of the first character it replaces; the caret ends
// after the last replacement of the last pair, or at start when that pair
// replaced nothing. Nothing happens when end is -1 or count is 0 or less.
void SpellCorrectRange(const QStringList &wrongForms, const QStringList &rightForms, int count,
                       int &lengthChange, int &start, int end, Surface &surface,
                       ProgressSink *progress);

// The words an edit of [from, to) touched within the line [lineFrom,
// lineTo): from the start of the word that ends at `from` to the end of the
// word that starts at `to`, as (start, end). Correcting that span gives what
// correcting the whole line gives when the rest of the line holds no word
// to correct. Empty when that cannot be told word by word: some wrong form
// is not made of word characters only, or a character beside the span
// case-folds into a word character (a match could reach across it).
std::optional<std::pair<int, int>> SpellWordSpan(const QStringList &wrongForms, int count,
                                                 const Surface &surface, int from, int to,
                                                 int lineFrom, int lineTo);

// The progress step of SpellCorrectRange for `count` pairs.
int spellProgressStep(int count);

// The "&Spell correct all" command: save question, then the whole document
// corrected with the preferences' spelling list while the window is
// disabled and the surface hidden; the caret ends at 0 and the caption is
// marked modified, even when nothing was replaced.
void spellcorrectallrtf(CommandHost &host);

} // namespace qln
