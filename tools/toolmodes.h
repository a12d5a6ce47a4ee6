#pragma once
// The five tool modes, their option catalogues and the per-mode settings of
// the tool dialog, over the plain model of javaxmodel.h: loading a mode,
// the option string, the default input file and the checks before a run.
// Questions go through the Prompter; values live in the sections
// "JavaX-" + mode of the settings store.

#include "tools/commandlanguage.h"
#include "tools/javaxmodel.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace qln {

class Prompter;
class SettingsStore;

struct ModeDef {
    QString name;              // "Compile", "Run", "Appletviewer", "Jar", "Native2Ascii"
    QString executableCaption; // FraJavaX
    QString runCaption;        // cmdJavaX
    bool archiveInUse = false; // fra2 shown, txt2's tag "T"
    QString archiveCaption;
    bool hasCatalogue = false;
    std::vector<OptionDef> options; // in slot order
};

// The modes in the order of the mode list.
const std::vector<ModeDef> &toolModes();
// The mode of that name without regard to case, or nullptr.
const ModeDef *findMode(const QString &name);

// The 22 entries of the encoding list, in order.
const QStringList &encodingList();
inline const QString kEncodingTip = QStringLiteral("<encoding>");
inline const QString kSelectText = QStringLiteral("<Select>");
inline const QString kOtherCaption = QStringLiteral("Other");
inline const QString kIgnoreDashesCaption =
    QStringLiteral("Ignore Dashes (eg. -classpath as classpath)");
inline const QString kLeaveSpacesCaption = QStringLiteral(
    "Leave Space between options (eg. -classpath  -d) If unchecked (eg. -classpath-d)");
inline const QString kLaunchSeparateCaption = QStringLiteral("Launch in separate window");
inline const QString kLaunchModeCaption = QStringLiteral("Launch Mode");
inline const QString kOptionNotSupported = QStringLiteral("Option not supported");

// The part of text after its last blank (all of it without one).
QString LastWord(const QString &text);

// Every mode name except current (exact comparison), in list order. The
// list then shows kSelectText as its text.
QStringList FillModeList(const QString &current);

// The value of the Options operand: ticked slots in index order, each as
// separator + switch (its first character dropped with dash dropping) +
// " " + argument when there is one (Jar's -m and -x arguments excepted:
// they go to the end of the command line); an argument that is a path or a
// list of paths (the browsable slots) is one sh word (shellPath, wildcards
// escaped), any other is shell text as typed; Jar with an archive puts "f" or
// "-f" + separator in front; then separator + the other options.
QString BuildOptionString(const JavaXState &state);

// Settings keys of the tool sections.
namespace toolkeys {
inline const QString kExe = QStringLiteral("exe");
inline const QString kCommandLineOptions = QStringLiteral("CommandLineOptions");
inline const QString kIgnoreDashes = QStringLiteral("IgnoreDashes");
inline const QString kLeaveSpaces = QStringLiteral("LeaveSpaces");
inline const QString kLaunchInSeparateWindow = QStringLiteral("LaunchInSeparateWindow");
inline const QString kOtherOptions = QStringLiteral("otherOPT");
inline const QString kShowOptions = QStringLiteral("showOptions");
inline const QString kLastInFile = QStringLiteral("LastInFile");
inline const QString kLastArchive = QStringLiteral("Lasttxt2");
inline QString chk(int slot)
{
    return QStringLiteral("chk") + QString::number(slot);
}
inline QString txt(int slot)
{
    return QStringLiteral("txt") + QString::number(slot);
}
} // namespace toolkeys
// "JavaX-" + mode.
QString toolSectionOf(const QString &mode);

// The reset before a mode loads (at dialog load and on every switch from
// the mode list): saves the executable box as "exe" of the current mode,
// clears the 13 slots and the encoding list, closes the editing panel and
// empties the command line.
void resetDialog(JavaXState &state, SettingsStore &store);

// Loads a mode into the model: captions and catalogue (or "Option not
// supported" and an empty grid for a name without one), showOptions (stored
// back), the stored code, check boxes, executable and saved options, the
// default input file, then the ready flag and a rebuild of the command line.
// The mode is kept exactly as passed. Returns what the rebuild gave.
BuildOutcome LoadJavaXMode(JavaXState &state, const QString &mode, SettingsStore &store,
                           Prompter &prompter, const QString &documentPath);

// A click on slot i's check box (the tick already set): enabling follows
// the tick, then the command line is rebuilt.
BuildOutcome chkOPT_Click(JavaXState &state, int slot, Prompter &prompter);
// The enabling of every slot and of the encoding list, without a rebuild.
void applyTicks(JavaXState &state);
// A choice or edit of the encoding list: slot 6's argument becomes the
// last word of the text, then the command line is rebuilt.
BuildOutcome encodingChanged(JavaXState &state, const QString &text, Prompter &prompter);

enum class FileBox { Input, Archive, Executable };
// A change of a file box: leading blanks go, the text is saved (LastInFile,
// Lasttxt2 or exe of the current mode) and the command line is rebuilt.
BuildOutcome fileBoxChanged(JavaXState &state, FileBox box, const QString &text,
                            SettingsStore &store, Prompter &prompter);

// "Save Options" and "Load Options". Loading only ticks slots the mode uses.
void saveOptions(const JavaXState &state, SettingsStore &store);
void loadOptions(JavaXState &state, SettingsStore &store);
// Closing the editing panel with "OK": rebuilds; on success closes the
// panel, enables the run button and saves IgnoreDashes, LeaveSpaces, the
// code and LaunchInSeparateWindow. Returns false to stay in the panel.
bool closeCodePanel(JavaXState &state, SettingsStore &store, Prompter &prompter);
// The grid shown or hidden, stored as showOptions.
void setOptionsShown(JavaXState &state, bool shown, SettingsStore &store);

// Chooses the input file (and in the Jar mode the archive) when a mode
// loads, from the open document or the mode's LastInFile; the change of
// the input box saves LastInFile. Does not rebuild (the load does).
void PickDefaultInput(JavaXState &state, const QString &documentPath, SettingsStore &store);

// Validation of one file box before a run. The input box may name several
// files with "*" (the user is asked whether to go on); the archive and the
// executable must exist.
bool CheckInputBox(FileBox box, const QString &text, const QString &label, Prompter &prompter);

// What the run button does before handing over to the runner.
struct RunPlan {
    bool proceed = false; // false: the run ends here (a check failed, or Native2Ascii)
    QString
        workingFolder; // the input file's folder (Jar: the archive's), "" to keep the current one
};
// The folder a run starts in: the input file's (Jar: the archive's) when it
// exists, else "" (the program's current folder).
QString runFolderOf(const JavaXState &state);

// Trims the three boxes, works out the working folder and runs the checks
// of the mode with their questions. A "-d" output folder that does not
// exist may be replaced by "./" (the working folder) when the user goes on.
// A Compile or Run whose input lies in a folder that does not match its
// package, or under a root that cannot be read, says so and asks whether to
// go on. An Appletviewer run on a kit without one says that the kit has none.
RunPlan prepareRun(JavaXState &state, Prompter &prompter);

} // namespace qln
