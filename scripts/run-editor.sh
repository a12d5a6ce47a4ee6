#!/bin/sh
# Installs what is missing, builds the editor and starts it on the given
# file, or on samples/Hello.java when none is named.
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"
build="${QUILLON_BUILD:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)" --target quillon
if [ $# -eq 0 ]; then
  set -- "$root/samples/Hello.java"
fi
exec "$build/bin/quillon" "$@"
