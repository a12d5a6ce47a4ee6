#!/bin/sh
# Builds the libraries, the helpers and the tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (-DQUILLON_SANITIZE=ON; the benchmarks are left
# out) in build-asan/, or in the folder QUILLON_BUILD names, and runs the
# whole test suite headless through CTest. Each test runs with the
# sanitizers' options the build sets (tests/CMakeLists.txt): any fault,
# undefined behaviour or leak ends it with a stack. A failed test reruns
# alone with `cd build-asan && ctest -R NAME --output-on-failure`.
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"
build="${QUILLON_BUILD:-$root/build-asan}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_SANITIZE=ON
cmake --build "$build" -j"$(nproc)"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
