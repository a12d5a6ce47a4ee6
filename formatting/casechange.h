#pragma once
// The four case commands of the "C&hange Case" menu over the selection,
// and two shared helpers: the word-character test and the offer to suspend
// the automatic features during a long operation.

#include <QString>

namespace qln {

class CommandHost;
class Prompter;

// True for an empty text; otherwise false only when the first character is
// "0"-"9", "A"-"Z", "a"-"z", "." or "_" (every other character, including
// letters outside ASCII, delimits words).
bool IsWordDelimiter(const QString &text);

// The main window's three automatic-feature check boxes.
struct AutoFeatureSwitches {
    bool autoSyntaxColor = false;  // chkautosyntaxcolor
    bool autoSpellCorrect = false; // chkautospellcorrect
    bool autoTreeSearch = false;   // chkautotreesearch
};

// With any switch on, asks (Yes/No, question icon) whether to turn the
// features off during the process and returns true for Yes; with all off,
// returns true without asking. Callers store the answer in suppressChange;
// the switches themselves are not changed.
bool AskSuspendAutoFeatures(Prompter &prompter, const AutoFeatureSwitches &switches);

// "lowercase" and "UPPERCASE": the selection replaced by its lower (upper)
// case form in one edit; the suppression flags stay clear so the change
// handler runs once. Nothing happens with an empty selection.
void lowercase(CommandHost &host);
void uppercase(CommandHost &host);

// "Invert Case" and "Capitalize": walk the selection one character at a
// time with the surface hidden and suppressSelChange set; suppressChange
// holds the answer of AskSuspendAutoFeatures. Invert Case swaps the case of
// letters whose upper case is an ASCII word character; Capitalize upper-
// cases the first word character of every word (digits, "." and "_" are
// word characters). Only the selection is walked: the character after it
// is never examined. The caret ends where the walk ended. A character is
// only ever replaced by one character of Latin-1, so letters beyond it and
// letters whose other case is longer ("ß") stay and the length never changes.
void invertcase(CommandHost &host, const AutoFeatureSwitches &switches);
void capitalize(CommandHost &host, const AutoFeatureSwitches &switches);

} // namespace qln
