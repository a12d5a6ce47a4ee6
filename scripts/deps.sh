#!/bin/sh
# Installs the Debian packages the editor and its tests need, when missing:
# the compiler and Qt 6, the keyboard library Qt's build files look for, the
# icon theme the toolbar's pictures come from (Adwaita ships them as PNG
# files, so no SVG image plugin is needed), and the Java kit with its sources
# (src.zip) for the Tools menu, the real-kit tests and the benchmarks.
# With --fuzz, also clang and its runtime libraries (libFuzzer and the
# sanitizers) for scripts/fuzz.sh.
set -e
extra=""
if [ "${1:-}" = --fuzz ]; then
  extra="clang libclang-rt-14-dev"
fi
need=""
for p in qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev cmake g++ make unzip \
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
