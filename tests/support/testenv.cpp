#include "support/testenv.h"

#include "settings/prefloader.h"
#include "settings/settingsstore.h"

#include <QtGlobal>

namespace qln::test {

TestEnv::TestEnv() : m_oldConfig(qgetenv("XDG_CONFIG_HOME"))
{
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
}

TestEnv::~TestEnv()
{
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
}

MemorySettingsBackend *installFactorySettings(Prompter &prompter)
{
    auto backend = std::make_unique<MemorySettingsBackend>();
    MemorySettingsBackend *memory = backend.get();
    setSettingsStore(std::make_unique<SettingsStore>(std::move(backend)));
    PrefModel model;
    FirstRunInputs inputs;
    inputs.designed.fontName = QStringLiteral("Monospace");
    inputs.designed.fontSize = QStringLiteral("10");
    inputs.designed.heightTwips = 6000;
    inputs.designed.widthTwips = 9000;
    inputs.designed.screenHeightTwips = 9000;
    inputs.designed.screenWidthTwips = 12000;
    FirstRun(settingsStore(), model, prompter, inputs);
    memory->clearWrites();
    return memory;
}

} // namespace qln::test
