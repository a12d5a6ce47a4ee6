#!/bin/sh
# Installs the Debian packages the editor and its tests need, when missing.
set -e
need=""
for p in qt6-base-dev qt6-base-dev-tools libgl-dev cmake g++ make unzip; do
  dpkg -s "$p" >/dev/null 2>&1 || need="$need $p"
done
if [ -n "$need" ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $need
fi
