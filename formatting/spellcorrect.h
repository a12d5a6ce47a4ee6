#pragma once
// Spell correction: replaces whole-word occurrences of wrong forms by their
// right forms within a range of a surface, and the "&Spell correct all"
// command built on it.

#include <QString>
#include <QStringList>

#include <QStringView>

namespace qln {

class CommandHost;
class ProgressSink;
class Surface;

// For i = 1 .. count (index 0 of the lists is unused), replaces every
// whole-word, any-case occurrence of wrongForms[i] within [start, end) that
// does not follow a "." (a member: obj.teh()) by rightForms[i] in the
// letter case of what it replaces (CasePatterned), pair after pair, each
// pair seeing the text as the earlier ones left it. Words are runs of
// letters, digits, "_" and "$", as Java names are. Each search of a pair continues after the text
// it inserted; `end` stays where it was passed even as the text moves. A start above 0 is moved one
// character back first. lengthChange grows by (right length - wrong length) for every replacement.
// When progress is visible its value is set to step * i for pair i, where step is 100 / count
// rounded half to even (values above 100 are refused by the bar). Inserted
// text takes the format of the first character it replaces; the caret ends
// after the last replacement of the last pair, or at start when that pair
// replaced nothing. Nothing happens when end is -1 or count is 0 or less.
void SpellCorrectRange(const QStringList &wrongForms, const QStringList &rightForms, int count,
                       int &lengthChange, int &start, int end, Surface &surface,
                       ProgressSink *progress);

// The right form in the letter case of the word it replaces: a word in
// capitals gives capitals (TEH -> THE), a capitalised word (or one capital
// letter) a capitalised right form (Teh -> The), any other the right form
// as it is stored.
QString CasePatterned(QStringView replaced, const QString &right);

// Where the word that a character typed at `at` finishes begins: the run of
// word characters right before `at`. -1 when there is none or it follows a
// "." (a member's name, not a word).
int FinishedWordStart(const Surface &surface, int at);

// The progress step of SpellCorrectRange for `count` pairs.
int spellProgressStep(int count);

// The "&Spell correct all" command: save question, then the whole document
// corrected with the preferences' spelling list while the window is
// disabled and the surface hidden; the caret ends at 0 and the caption is
// marked modified, even when nothing was replaced.
void spellcorrectallrtf(CommandHost &host);

} // namespace qln
