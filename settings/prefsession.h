#pragma once
// The preferences dialog without its widgets: the dialog's controls
// (PrefModel), the shared in-memory preferences they feed, and the
// sequences the dialog runs when it loads and on Apply, OK and Cancel.
// The dialog binds its widgets to model() and calls these methods.

#include "settings/prefloader.h"

#include <functional>

namespace qln {

class PreferencesSession {
public:
    // The store, prompter and shared preferences outlive the session.
    PreferencesSession(SettingsStore &store, Prompter &prompter, Preferences &shared,
                       FirstRunInputs inputs);

    // Loads the object tree file at a path; set by the owner of the tree.
    std::function<void(const QString &path)> loadObjectTree;

    // The dialog's load: first run (which ends with loadDefPref), the word
    // lists, the object tree when automatic tree search is on, the colours
    // and flags, the temporary folder. A reinstall answer repeats it with
    // fresh controls. Returns Loaded, or Quit when the user refused to
    // restore the defaults (the program then ends).
    LoadOutcome startUp();

    // The main window's preferences command: refill the controls.
    LoadOutcome refresh() { return reload(); }
    // Apply and OK: save the controls, reload the shared values, sort the
    // spelling list.
    void apply();
    void ok() { apply(); }
    // Cancel: discard edits by reloading the controls from the store.
    LoadOutcome cancel() { return reload(); }

    PrefModel &model() { return m_model; }
    const PrefModel &model() const { return m_model; }
    Preferences &prefs() { return m_prefs; }

private:
    // loadDefPref, running the start-up load again on a reinstall answer.
    LoadOutcome reload();

    SettingsStore &m_store;
    Prompter &m_prompter;
    Preferences &m_prefs;
    FirstRunInputs m_inputs;
    PrefModel m_model;
};

} // namespace qln
