#pragma once
// Moving preferences between the settings store, the preferences dialog's
// controls (PrefModel) and the shared in-memory values (Preferences).

#include "settings/prefmodel.h"
#include "settings/preferences.h"

namespace qln {

class Prompter;
class SettingsStore;

enum class LoadOutcome {
    Loaded,    // the controls hold the store
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

struct SplashHooks {
    std::function<void()> show; // called before the defaults are written
};

// Writes the factory defaults when the store lacks the "firstrun" marker,
// then calls loadDefPref. Returns what loadDefPref returned.
LoadOutcome FirstRun(SettingsStore &store, PrefModel &model, Prompter &prompter,
                     const ProbePlaces &places, const SplashHooks &splash = {});

LoadOutcome loadDefPref(SettingsStore &store, PrefModel &model, Prompter &prompter,
                        const QString &manifestPath);
void SaveDefPref(const PrefModel &model, SettingsStore &store);
void load_arrays(SettingsStore &store, Preferences &prefs);
void load_properties(SettingsStore &store, const PrefModel &model, Preferences &prefs);
// Sorts the spelling pairs by their wrong form (binary), refills the
// dialog's lists and writes the pairs back.
void sortSpellingList(Preferences &prefs, PrefModel &model, SettingsStore &store);

} // namespace qln
