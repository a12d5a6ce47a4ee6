#!/bin/sh
# Installs the Debian packages the editor and its tests need, when missing.
# The Java kit with its sources (src.zip) serves the Tools menu, the real-kit
# tests and the benchmarks.
set -e
need=""
for p in qt6-base-dev qt6-base-dev-tools libgl-dev cmake g++ make unzip \
         openjdk-17-jdk-headless openjdk-17-source; do
  dpkg -s "$p" >/dev/null 2>&1 || need="$need $p"
done
if [ -n "$need" ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $need
fi
