#!/bin/sh
# Rewrites the expected files of the golden tests (tests/formatting/golden:
# NAME.colours beside each colour/NAME.java, NAME.indented.java beside each
# indent/NAME.java) from what the code does now, then shows what changed.
# Review the diff: every change is a change of the program's behaviour.
# Builds tst_golden in build/ (or the folder QUILLON_BUILD names) first.
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUILLON_BUILD:-$root/build}"
golden=tests/formatting/golden
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target tst_golden
QUILLON_REGEN_GOLDEN=1 QT_QPA_PLATFORM=offscreen "$build/bin/tst_golden" >/dev/null
cd "$root"
git diff --stat -- "$golden"
git status --short -- "$golden" | grep -v '^ M' || true
git diff -- "$golden"
