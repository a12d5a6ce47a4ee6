#!/bin/sh
# Renders the application icon's PNG sizes from packaging/icons/quillon.svg
# (needs rsvg-convert, Debian package librsvg2-bin). The PNG files are kept
# in the repository, so building and packaging need no SVG renderer; run
# this after changing the drawing.
set -e
cd "$(dirname "$0")/icons"
if ! command -v rsvg-convert >/dev/null 2>&1; then
  echo "render-icons.sh: rsvg-convert is missing (apt-get install librsvg2-bin)" >&2
  exit 1
fi
for size in 48 128; do
  rsvg-convert -w "$size" -h "$size" quillon.svg -o "quillon-$size.png"
done
