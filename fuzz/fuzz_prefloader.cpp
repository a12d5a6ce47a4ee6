// The preferences loaders over any settings file text. Whatever the file
// holds, the in-memory lists keep their counts in range; and what the
// dialog's Save writes from the controls as loaded, Load reads back into
// the same controls (saved again, the store is the same, key for key).
#include "fuzzsupport.h"
#include "settings/preferences.h"
#include "settings/prefloader.h"
#include "settings/prefmodel.h"
#include "settings/settingsstore.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>

using namespace qln;

namespace {

// A store in memory with ordered lookups, so that a file naming thousands
// of list entries costs no quadratic time in the harness itself.
class MapBackend : public SettingsBackend {
public:
    std::optional<QString> value(const QString &section, const QString &key) const override
    {
        const auto s = m_data.constFind(section);
        if (s == m_data.cend())
            return std::nullopt;
        const auto k = s->constFind(key);
        return k == s->cend() ? std::nullopt : std::optional<QString>(*k);
    }
    void setValue(const QString &section, const QString &key, const QString &value) override
    {
        m_data[section][key] = value;
    }
    void removeAll() override { m_data.clear(); }
    QStringList sections() const override { return m_data.keys(); }
    QStringList keys(const QString &section) const override { return m_data.value(section).keys(); }
    const QMap<QString, QMap<QString, QString>> &data() const { return m_data; }

private:
    QMap<QString, QMap<QString, QString>> m_data;
};

// Save of the dialog's controls into a new store in memory, with the
// marker Load looks for first.
std::unique_ptr<SettingsStore> saved(const PrefModel &model, MapBackend *&backend)
{
    auto owned = std::make_unique<MapBackend>();
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
    MapBackend *first = nullptr, *second = nullptr;
    const auto once = saved(model, first);
    PrefModel reloaded;
    FUZZ_CHECK(loadDefPref(*once, reloaded, prompter, QString()) == LoadOutcome::Loaded);
    const auto twice = saved(reloaded, second);
    FUZZ_CHECK(first->data() == second->data());
    return 0;
}
