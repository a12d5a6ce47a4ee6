#pragma once
// Test isolation: a temporary XDG_CONFIG_HOME for the settings file and a
// temporary XDG_STATE_HOME for crash-recovery copies, so no test touches
// the user's own settings or files.

#include <QByteArray>
#include <QTemporaryDir>
#include <QtGlobal>

namespace qln {
class MemorySettingsBackend;
class Prompter;
} // namespace qln

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

// An environment variable set (or, given a null value, unset) for a scope;
// the old value comes back after.
class ScopedVariable {
public:
    ScopedVariable(const char *name, const QByteArray &value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedVariable()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    ScopedVariable(const ScopedVariable &) = delete;
    ScopedVariable &operator=(const ScopedVariable &) = delete;

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

} // namespace qln::test
