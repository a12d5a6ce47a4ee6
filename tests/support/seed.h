#pragma once
// Random tests that can be replayed. Every program draws one seed: the
// value of QUILLON_SEED when it is set, else a fresh one. A generator made
// from it says the seed when the test function using it fails, so
//   QUILLON_SEED=<n> ./tst_name
// runs the same inputs again.

#include <QRandomGenerator>

namespace qln::test {

// The seed of this test program, the same for every call.
quint32 testSeed();

// A generator seeded with testSeed(). Each test function makes its own, so
// a function run alone sees the same numbers as in the whole program. Going
// out of scope in a failed test function (a failed QVERIFY returns from it)
// it prints "QUILLON_SEED=<n> replays this run".
class SeededRandom : public QRandomGenerator {
public:
    SeededRandom();
    ~SeededRandom();
    SeededRandom(const SeededRandom &) = delete;
    SeededRandom &operator=(const SeededRandom &) = delete;
};

} // namespace qln::test
