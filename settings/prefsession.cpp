#include "settings/prefsession.h"

#include "settings/convert.h"
#include "settings/schema.h"
#include "settings/settingsstore.h"

#include <QDir>

namespace qln {

PreferencesSession::PreferencesSession(SettingsStore &store, Prompter &prompter,
                                       Preferences &shared, FirstRunInputs inputs)
    : m_store(store), m_prompter(prompter), m_prefs(shared), m_inputs(std::move(inputs))
{
}

LoadOutcome PreferencesSession::startUp()
{
    for (;;) {
        // A reloaded dialog starts with fresh controls.
        m_model = PrefModel{};
        const LoadOutcome outcome = FirstRun(m_store, m_model, m_prompter, m_inputs);
        if (outcome == LoadOutcome::Quit)
            return LoadOutcome::Quit;
        if (outcome == LoadOutcome::Reinstall)
            continue; // each round is the user's own "Yes"
        break;
    }

    load_arrays(m_store, m_prefs);

    const QString treeSearch = m_store.get(schema::kPreferences, QStringLiteral("autotreesearch"));
    if (isTreeSearchOn(treeSearch) && loadObjectTree)
        loadObjectTree(m_store.get(schema::kPreferences, QStringLiteral("tree")));

    load_properties(m_store, m_model, m_prefs);

    // Kept with a trailing separator, ready for a file name to be appended.
    QString temp = QDir::tempPath();
    if (!temp.endsWith(QLatin1Char('/')))
        temp += QLatin1Char('/');
    m_prefs.tempFolder = temp;
    return LoadOutcome::Loaded;
}

LoadOutcome PreferencesSession::reload()
{
    const LoadOutcome outcome = loadDefPref(m_store, m_model, m_prompter, m_inputs.manifestPath);
    if (outcome == LoadOutcome::Reinstall)
        return startUp();
    return outcome;
}

void PreferencesSession::apply()
{
    SaveDefPref(m_model, m_store);
    load_arrays(m_store, m_prefs);
    load_properties(m_store, m_model, m_prefs);
    sortSpellingList(m_prefs, m_model, m_store);
}

} // namespace qln
