#include "support/testenv.h"

#include "settings/prefloader.h"
#include "settings/settingsstore.h"

#include <QTemporaryDir>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace qln::test {

namespace {
// The environments alive, newest last. Tests often make the next one before
// the last one goes (m_env = make_unique...), so the variables always
// point at the newest one alive, and at the values before the first one
// when none is left.
std::vector<TestEnv *> g_envs;
std::optional<QByteArray> g_outerConfig, g_outerState; // nothing: unset

std::optional<QByteArray> variable(const char *name)
{
    return qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name))
                                           : std::nullopt;
}

void setVariable(const char *name, const std::optional<QByteArray> &value)
{
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
}

void point(const std::optional<QByteArray> &config, const std::optional<QByteArray> &state)
{
    setVariable("XDG_CONFIG_HOME", config);
    setVariable("XDG_STATE_HOME", state);
}
} // namespace

TestEnv::TestEnv()
{
    if (g_envs.empty()) {
        g_outerConfig = variable("XDG_CONFIG_HOME");
        g_outerState = variable("XDG_STATE_HOME");
    }
    g_envs.push_back(this);
    point(configHome().toLocal8Bit(), stateHome().toLocal8Bit());
}

TestEnv::~TestEnv()
{
    std::erase(g_envs, this);
    if (g_envs.empty())
        point(g_outerConfig, g_outerState);
    else
        point(g_envs.back()->configHome().toLocal8Bit(), g_envs.back()->stateHome().toLocal8Bit());
}

MemorySettingsBackend *installFactorySettings(Prompter &prompter)
{
    if (g_envs.empty()) {
        static QTemporaryDir config, state;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    }
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
