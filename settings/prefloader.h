#pragma once
// Moving preferences between the settings store, the preferences dialog's
// controls (PrefModel) and the shared in-memory values (Preferences).
//
// A stored value that does not convert (a count edited by hand, a colour
// "red") stops the routine that reads it, as a runtime error would: FirstRun,
// loadDefPref and load_arrays return early with what they had done so far
// kept; load_properties skips only the one value. None of them throws.
// loadDefPref reads "Keep indentation" (keepindent) apart from the rest: a
// bad value leaves only that box as it was, and an absent one reads as on.

#include "settings/preferences.h"
#include "settings/prefmodel.h"

#include <QStringList>
#include <functional>

namespace qln {

class Prompter;
class SettingsStore;

enum class LoadOutcome {
    Loaded,    // the controls hold the store (or as much of it as converted)
    Reinstall, // the user agreed: reload the dialog, which runs first run
    Quit       // the user refused: the program ends
};

// Paths first run probes; replaceable in tests.
struct ProbePlaces {
    QStringList kitFolders; // in probing order; later finds overwrite earlier
    QString programFolder;  // where the object tree file is looked for
};
// The places on this machine: kits under /usr/lib/jvm in ascending
// version order, the kit of javac on PATH, then $JAVA_HOME.
ProbePlaces defaultProbePlaces();
// The kit folders directly under root (symbolic links resolved, each folder
// once) in ascending version order: the JAVA_VERSION of the kit's "release"
// file when there is one, else the first dotted number in the folder's name;
// a leading "1." (1.8) reads as the major version (8). Folders without a
// version come first; equal versions go by name.
QStringList kitFoldersUnder(const QString &root);
// The kit folder of the javac found on PATH (links resolved), or "".
QString kitOfJavacOnPath();

struct SplashHooks {
    std::function<void()> show; // called before the defaults are written
};

// Defaults that depend on the main window as designed, supplied by the
// caller so that first run needs no widgets. Sizes are in twips; first run
// writes fheight and fwidth as given and centres the window on the screen
// for ftop and fleft: (screen - window) / 2.
struct DesignedValues {
    QString fontName; // deffontname, given way to fixedPitchFamily's choice
    QString fontSize; // deffontsize, as text (e.g. "10")
    float heightTwips = 0, widthTwips = 0;
    float screenHeightTwips = 0, screenWidthTwips = 0;
};

// Everything first run needs besides the store and the dialog's model.
struct FirstRunInputs {
    ProbePlaces places;
    DesignedValues designed;
    QString manifestPath; // passed on to loadDefPref
    SplashHooks splash;
};

// The family the surface starts with: the one asked for when this machine
// has it and it is fixed-width; else the desktop's fixed-width font, or the
// first fixed-width family installed when that font is proportional too.
// Without a GUI application (no font database) the one asked for.
QString fixedPitchFamily(const QString &wanted);

// Writes the factory defaults when the store lacks the "firstrun" marker
// (a store whose marker is 1 is never rewritten), then calls loadDefPref.
// Returns what loadDefPref returned, or Loaded when a stored marker that is
// not a number abandons first run before it.
LoadOutcome FirstRun(SettingsStore &store, PrefModel &model, Prompter &prompter,
                     const FirstRunInputs &inputs);

// Copies the store into the dialog's controls. When the marker is missing
// it asks whether to reinstall the defaults instead and returns the answer.
LoadOutcome loadDefPref(SettingsStore &store, PrefModel &model, Prompter &prompter,
                        const QString &manifestPath);
void SaveDefPref(const PrefModel &model, SettingsStore &store);
void load_arrays(SettingsStore &store, Preferences &prefs);
void load_properties(SettingsStore &store, const PrefModel &model, Preferences &prefs);
// Sorts the spelling pairs by their wrong form (binary, stable), refills the
// dialog's lists and writes the pairs back.
void sortSpellingList(Preferences &prefs, PrefModel &model, SettingsStore &store);

// The four lines of the reinstall question, joined by CR LF.
QString reinstallQuestion();

} // namespace qln
