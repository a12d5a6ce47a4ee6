#include "support/seed.h"

#include <QTest>
#include <QtGlobal>

namespace qln::test {

quint32 testSeed()
{
    static const quint32 seed = [] {
        if (!qEnvironmentVariableIsSet("QUILLON_SEED"))
            return QRandomGenerator::system()->generate();
        const QByteArray text = qgetenv("QUILLON_SEED").trimmed();
        bool ok = false;
        const uint value = text.toUInt(&ok);
        if (!ok)
            qFatal("QUILLON_SEED=%s is not a whole number from 0 to 4294967295", text.constData());
        return quint32(value);
    }();
    return seed;
}

SeededRandom::SeededRandom() : QRandomGenerator(testSeed()) {}

SeededRandom::~SeededRandom()
{
    if (QTest::currentTestFailed())
        qInfo("QUILLON_SEED=%u replays this run", testSeed());
}

} // namespace qln::test
