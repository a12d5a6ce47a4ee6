#pragma once
// Test isolation: a temporary XDG_CONFIG_HOME for the settings file and a
// temporary XDG_STATE_HOME for crash-recovery copies, so no test touches
// the user's own settings or files.

#include <QTemporaryDir>

namespace qln {
class MemorySettingsBackend;
class Prompter;
}

namespace qln::test {

class TestEnv {
public:
    TestEnv();
    ~TestEnv();
    QString configHome() const { return m_dir.path(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString stateHome() const { return m_dir.filePath(QStringLiteral("state")); }

private:
    QTemporaryDir m_dir;
};

// Makes the program-wide settings store an in-memory one holding the
// factory defaults, as a previous run leaves it (so no first-run splash
// shows). Returns the backend, which records later writes. Outside a
// TestEnv it also points XDG_CONFIG_HOME and XDG_STATE_HOME at folders of
// its own, so benchmark windows keep their settings and recovery copies
// away from the user's.
MemorySettingsBackend *installFactorySettings(Prompter &prompter);

} // namespace qln::test
