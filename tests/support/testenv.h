#pragma once
// Test isolation: a temporary XDG_CONFIG_HOME for the settings file, so no
// test touches the user's own settings.

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

private:
    QTemporaryDir m_dir;
    QByteArray m_oldConfig;
};

// Makes the program-wide settings store an in-memory one holding the
// factory defaults, as a previous run leaves it (so no first-run splash
// shows). Returns the backend, which records later writes.
MemorySettingsBackend *installFactorySettings(Prompter &prompter);

} // namespace qln::test
