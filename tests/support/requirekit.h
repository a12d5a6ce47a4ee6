#pragma once
// Tests that need the installed Java kit (or its sources) say so with
// QLN_REQUIRE_KIT. Where the variable CI is set, a missing kit fails the
// test: a machine set up by scripts/deps.sh has it. Elsewhere the test is
// skipped with a message that names what to install.

#include <QString>
#include <QTest>

namespace qln::test {

inline bool underCi()
{
    const QByteArray ci = qgetenv("CI").trimmed().toLower();
    return !ci.isEmpty() && ci != "0" && ci != "false";
}

inline QByteArray missingKitText(const char *what)
{
    return QByteArray(what)
           + " is missing: install the Debian packages openjdk-17-jdk-headless and "
             "openjdk-17-source "
             "(sh scripts/deps.sh does)";
}

} // namespace qln::test

// `present`: whether what the test needs is there; `what`: what it needs,
// e.g. "the Java kit's lib/src.zip".
#define QLN_REQUIRE_KIT(present, what)                              \
    do {                                                            \
        if (!(present)) {                                           \
            if (qln::test::underCi())                               \
                QFAIL(qln::test::missingKitText(what).constData()); \
            QSKIP(qln::test::missingKitText(what).constData());     \
        }                                                           \
    } while (false)
