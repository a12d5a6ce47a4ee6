#!/bin/sh
# Installs what is missing, builds the editor and starts it on the given
# file, or on samples/Hello.java when none is named.
set -e
# The editor is a window: without a display it could only build and then
# fail to start, so say what is missing before anything is installed.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run-editor.sh: no display: run it in a desktop session (DISPLAY or WAYLAND_DISPLAY set), e.g. a terminal of the desktop or ssh -X" >&2
  exit 1
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"
build="${QUILLON_BUILD:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)" --target quillon
if [ $# -eq 0 ]; then
  set -- "$root/samples/Hello.java"
fi
exec "$build/bin/quillon" "$@"
