#pragma once
// Data tables in one call a row: row("name", a, b) stands for
// QTest::newRow("name") << a << b, and columns<QString, int>("a", "b")
// for QTest::addColumn<QString>("a") and QTest::addColumn<int>("b").

#include <QTest>

namespace qln::test {

template <typename... Types, typename... Names> void columns(const Names &...names)
{
    static_assert(sizeof...(Types) == sizeof...(Names), "a name for every column");
    (QTest::addColumn<Types>(names), ...);
}

template <typename... Values> void row(const char *name, const Values &...values)
{
    (QTest::newRow(name) << ... << values);
}

} // namespace qln::test

// The tests read qln's names unqualified (using namespace qln); these come
// with them.
namespace qln {
using test::columns;
using test::row;
} // namespace qln
