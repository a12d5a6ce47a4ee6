#pragma once
// Data tables in one call a row: row("name", a, b) stands for
// QTest::newRow("name") << a << b.

#include <QTest>

namespace qln::test {

template <typename... Values> void row(const char *name, const Values &...values)
{
    (QTest::newRow(name) << ... << values);
}

} // namespace qln::test
