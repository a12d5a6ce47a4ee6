// The preferences loaders over any settings file text.
#include "fuzzsupport.h"
#include "settings/prefloader.h"
#include "settings/prefmodel.h"
#include "settings/preferences.h"
#include "settings/settingsstore.h"

#include <QFile>
#include <QTemporaryDir>

using namespace qln;

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
    loadDefPref(store, model, prompter, QString());
    load_arrays(store, prefs);
    load_properties(store, model, prefs);
    FUZZ_CHECK(prefs.arrckeyword.size() > prefs.ckeywordcount && prefs.ckeywordcount >= 0);
    FUZZ_CHECK(prefs.arrcother.size() > prefs.cothercount && prefs.cothercount >= 0);
    FUZZ_CHECK(prefs.arrcmore.size() > prefs.cmorecount && prefs.cmorecount >= 0);
    FUZZ_CHECK(prefs.arrsfrom.size() == prefs.arrsto.size());
    return 0;
}
