#!/bin/sh
# Installs what is missing, builds everything and runs the whole test suite
# headless through CTest. Afterwards it lists every test function that was
# skipped, with the reason it gave (a missing Java kit, a printer on the
# machine, not running as root), since CTest counts those as passed.
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"
build="${QUILLON_BUILD:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)"
cd "$build"
status=0
QT_QPA_PLATFORM=offscreen ctest --output-on-failure || status=$?
skipped="$(grep -E '^SKIP +: ' Testing/Temporary/LastTest.log | sed 's/^SKIP *: */  /' || true)"
if [ -n "$skipped" ]; then
    echo "Skipped test functions ($(echo "$skipped" | wc -l)), each with its reason:"
    echo "$skipped"
else
    echo "No test function was skipped."
fi
exit $status
