#!/bin/sh
# Installs the Debian packages the editor and its tests need, when missing:
# the compiler and Qt 6, the keyboard library Qt's build files look for, the
# icon theme the toolbar's pictures come from (Adwaita ships them as PNG
# files, so no SVG image plugin is needed), and the Java kit with its sources
# (src.zip) for the Tools menu, the real-kit tests and the benchmarks.
# The sanitized test build (scripts/run-sanitized-tests.sh) needs nothing
# more: g++ brings the AddressSanitizer and UndefinedBehaviorSanitizer
# runtimes. ccache keeps rebuilds short; xvfb and xauth give the tests that
# need an X server (primary selection, lock keys) a virtual one. With --fuzz, also clang and its
# runtime libraries (libFuzzer and the sanitizers) for scripts/fuzz.sh; with
# --format, clang-format for scripts/check-format.sh; with --package, what
# scripts/check-package.sh builds and checks the Debian package with.
set -e
extra=""
for option in "$@"; do
  case "$option" in
    --fuzz) extra="$extra clang libclang-rt-14-dev" ;;
    --format) extra="$extra clang-format" ;;
    --package) extra="$extra dpkg-dev file desktop-file-utils appstream" ;;
    *) echo "usage: scripts/deps.sh [--fuzz] [--format] [--package]" >&2; exit 2 ;;
  esac
done
need=""
for p in qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev libx11-dev cmake g++ make unzip ccache xvfb xauth \
         adwaita-icon-theme openjdk-17-jdk-headless openjdk-17-source $extra; do
  dpkg -s "$p" >/dev/null 2>&1 || need="$need $p"
done
if [ -n "$need" ] && [ "$(id -u)" -ne 0 ]; then
  echo "These packages are missing:$need" >&2
  echo "Install them as root (apt-get install$need) or run this script as root." >&2
  exit 1
fi
if [ -n "$need" ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $need
fi
