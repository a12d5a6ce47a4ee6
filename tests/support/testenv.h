#pragma once
// Test isolation: a temporary XDG_CONFIG_HOME for the settings file, so no
// test touches the user's own settings.

#include <QTemporaryDir>

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

} // namespace qln::test
