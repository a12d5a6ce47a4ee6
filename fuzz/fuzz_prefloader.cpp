// The preferences loaders over any settings file text. Whatever the file
// holds, the in-memory lists keep their counts in range; and what the
// dialog's Save writes from the controls as loaded, Load reads back into
// the same controls (saved again, the store is the same, key for key).
#include "fuzzsupport.h"
#include "settings/prefloader.h"
#include "settings/prefmodel.h"
#include "settings/preferences.h"
#include "settings/settingsstore.h"

#include <QFile>
#include <QTemporaryDir>

using namespace qln;

namespace {

// Every section, key and value of a store in memory.
QStringList contents(const MemorySettingsBackend &backend)
{
    QStringList out;
    for (const QString &section : backend.sections())
        for (const QString &key : backend.keys(section))
            out << section + QLatin1Char('/') + key + QLatin1Char('=')
                       + backend.value(section, key).value_or(QStringLiteral("<none>"));
    return out;
}

// Save of the dialog's controls into a new store in memory, with the
// marker Load looks for first.
std::unique_ptr<SettingsStore> saved(const PrefModel &model, MemorySettingsBackend *&backend)
{
    auto owned = std::make_unique<MemorySettingsBackend>();
    backend = owned.get();
    auto store = std::make_unique<SettingsStore>(std::move(owned));
    store->save(QStringLiteral("Preferences"), QStringLiteral("firstrun"), QStringLiteral("1"));
    SaveDefPref(model, *store);
    return store;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::ensureApplication();
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("QLN.ini"));
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    SettingsStore store(makeQSettingsBackend(path));
    fuzz::QuietPrompter prompter;
    PrefModel model;
    Preferences prefs;
    const LoadOutcome outcome = loadDefPref(store, model, prompter, QString());
    load_arrays(store, prefs);
    load_properties(store, model, prefs);
    FUZZ_CHECK(prefs.arrckeyword.size() > prefs.ckeywordcount && prefs.ckeywordcount >= 0);
    FUZZ_CHECK(prefs.arrcother.size() > prefs.cothercount && prefs.cothercount >= 0);
    FUZZ_CHECK(prefs.arrcmore.size() > prefs.cmorecount && prefs.cmorecount >= 0);
    FUZZ_CHECK(prefs.arrsfrom.size() == prefs.arrsto.size());

    if (outcome != LoadOutcome::Loaded)
        return 0;
    MemorySettingsBackend *first = nullptr, *second = nullptr;
    const auto once = saved(model, first);
    PrefModel reloaded;
    FUZZ_CHECK(loadDefPref(*once, reloaded, prompter, QString()) == LoadOutcome::Loaded);
    const auto twice = saved(reloaded, second);
    FUZZ_CHECK(contents(*first) == contents(*second));
    return 0;
}
