#pragma once
// The command-line coding language of the tool dialog. A code such as
//   textbox2.text & " " & options & " " & textbox1.text
// joins file-box operands (TextBox#.Text/.Path/.FileTitle/.FileName/
// .FileExt), the option string (Options) and double-quoted literals with
// "&", which adds nothing of its own. Codes are normalised while typed,
// validated from a per-character classification that is exactly what the
// coding box's colours show, and evaluated into the command line that
// /bin/sh runs.

#include "surface/charformat.h"
#include "tools/javaxmodel.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace qln {

class Prompter;
class Surface;

inline constexpr int kMaxCodeLength = 255;

// Colours of the coding box.
inline constexpr BgrColor kCodeKeywordColour = 16711680;   // box, part names, Options
inline constexpr BgrColor kCodeSeparatorColour = 16711935; // " ", "&", "."
inline constexpr BgrColor kCodeLiteralColour = 356435;     // text between double quotes
inline constexpr BgrColor kCodeOtherColour = 0;            // anything else: invalid

// What each character of a code is, as the colouring marks it.
enum class CodeClass {
    Other,     // black: makes the code invalid, unless it is a double quote
    Keyword,   // TextBox1..3, Options, Text, Path, FileTitle, FileName, FileExt
    Separator, // blank, "&", "." outside literals
    Literal,   // strictly between a pair of double quotes
};
// One class per character. TextBox3 is a keyword only while the archive box
// is in use. Quotes pair up left to right; an unpaired quote opens nothing.
std::vector<CodeClass> classifyCode(const QString &code, bool archiveInUse);

// Normalisation as the coding box applies it on every change: each keyword
// typed in any letter case (whole word) takes its canonical form, and runs
// of blanks shrink, in the order and manner of the 15 replacement pairs.
QString NormaliseCode(const QString &code, bool archiveInUse);

// The length limit, before normalisation: a code of 256 characters or more
// shows "Maximum 255 characters allowed" once and is cut to 255. Returns
// true when it cut.
bool limitCodeLength(QString &code, Prompter &prompter);

// A change of the coding box: the length limit, then normalisation; the
// result becomes state.code.
void codeChanged(JavaXState &state, const QString &text, Prompter &prompter);

// Validates a normalised code and splits it into its tokens ("&" connectors
// are dropped). Returns false for an invalid code; tokens then hold what
// was split so far.
bool ParseCode(const QString &code, bool archiveInUse, QStringList *tokens = nullptr);

// Everything an evaluation reads besides the code.
struct CodeContext {
    FileBoxes boxes;
    QString mode;          // Jar adds its extras after everything else
    QString options;       // the option string (BuildOptionString)
    QString manifestExtra; // Jar: "-m"'s argument when ticked
    QString extractExtra;  // Jar: "-x"'s argument when ticked, else box 1 (escaped)
    QString className;     // Run: what TextBox1.FileName gives instead ("" for the name;
                           // a package the code writes before it is not repeated)
};

// The command line the code gives, or nothing for an invalid code.
// File-box operands are escaped for the shell; literals and the option
// string go in as written. In the Jar mode, when Options occurs, the two
// extras (trimmed) follow everything else as " " + manifest + " " + extract
// unless both are empty.
std::optional<QString> EvaluateCode(const QString &code, const CodeContext &context);

// Backslashes every character special to sh except the wildcards "*" and
// "?", so a file name reaches the tool as one word and runs nothing. A line
// break is quoted ('\n'): a backslash before it would remove it.
QString shellEscape(const QString &text);

// A value that names a file or folder, as exactly one sh word: every
// character special to sh is escaped, the wildcards "*" and "?" too unless
// keepWildcards, and a name that starts with "-" gets "./" in front, so the
// tool never takes it for an option. "" stays "".
QString shellPath(const QString &path, bool keepWildcards);
// How a file box's text goes in: its wildcards stay wildcards ("src/*.java"
// names every source), unless the text names an existing file or folder as
// written; then a "*" in it is part of the name.
QString fileBoxArgument(const QString &boxText, const QString &value);

// True for the Jar mode's names: "Jar" or "JAR (JAVA ARCHIVE TOOL)", any case.
bool isJarMode(const QString &mode);

// The default code of a mode (held in memory, not read from the store);
// "" for a name that is not a mode.
QString defaultCode(const QString &mode);

// The Jar extras as the option grid gives them; both empty outside Jar.
CodeContext codeContext(const JavaXState &state);

enum class BuildOutcome {
    NotReady,             // a mode is loading: nothing done
    Built,                // state.commandLine holds the new command line
    InvalidDefaultLoaded, // invalid; the user took the default code (state.code), not evaluated yet
    InvalidBlink,         // invalid; the user declined: caret to 0 and blink the coding box
};
// Rebuilds the option string and evaluates the code into state.commandLine,
// with the arguments the input's package adds (deriveArguments; the state
// and its code are not changed by them).
// An invalid code opens the editing panel (panelOpen, run button disabled),
// keeps the previous command line and asks the "Invalid Code" question.
// Counts as success for Built and InvalidDefaultLoaded.
BuildOutcome BuildCommandLine(JavaXState &state, Prompter &prompter);
inline bool succeeded(BuildOutcome o)
{
    return o == BuildOutcome::Built || o == BuildOutcome::InvalidDefaultLoaded;
}

// The three lines of the "Invalid Code" question, joined by CR LF.
QString invalidCodeQuestion();

// Colours the coding box: resets everything to black, then keywords and
// separators with the word-colouring routine and literals with the
// line-colouring routine of the formatting engine. Validation reads
// classifyCode, which gives the same classes as these colours.
void colourCode(Surface &codingBox, bool archiveInUse);

} // namespace qln
