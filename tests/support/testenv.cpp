#include "support/testenv.h"

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

} // namespace qln::test
