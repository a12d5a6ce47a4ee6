#pragma once
// Shared by the tool front end's tests: a store with the tool sections'
// factory values, the dialog model of one mode, and the installed kit.

#include "settings/prefloader.h"
#include "settings/schema.h"
#include "settings/settingsstore.h"
#include "tools/javaxmodel.h"
#include "tools/toolmodes.h"

#include <QFile>
#include <memory>

namespace qln::test {

// A store holding only the factory values of the five tool sections.
inline std::unique_ptr<SettingsStore> factoryStore()
{
    auto store = std::make_unique<SettingsStore>(std::make_unique<MemorySettingsBackend>());
    for (const schema::Entry &e : schema::entries())
        if (e.section.startsWith(QLatin1String("JavaX-")) && e.origin == schema::Origin::Factory)
            store->save(e.section, e.key, e.def);
    return store;
}

// The dialog model of a mode with its catalogue, no store involved.
inline JavaXState stateFor(const QString &mode)
{
    JavaXState s;
    s.mode = mode;
    if (const ModeDef *def = findMode(mode)) {
        for (const OptionDef &o : def->options)
            s.options[size_t(o.slot)].def = o;
        s.boxes.archiveInUse = def->archiveInUse;
    }
    s.ready = true;
    return s;
}

// The kit's bin folder (ending with "/") as the program finds it: the kit
// of javac on PATH, else the last kit under /usr/lib/jvm with a compiler.
// Empty when no kit has javac, java and jar.
inline QString kitBin()
{
    QString kit = kitOfJavacOnPath();
    if (kit.isEmpty())
        for (const QString &k : defaultProbePlaces().kitFolders)
            if (QFile::exists(k + QStringLiteral("/bin/javac")))
                kit = k;
    for (const char *tool : {"javac", "java", "jar"})
        if (kit.isEmpty() || !QFile::exists(kit + QStringLiteral("/bin/") + QLatin1String(tool)))
            return QString();
    return kit + QStringLiteral("/bin/");
}

} // namespace qln::test
