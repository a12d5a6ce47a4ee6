#!/bin/sh
# Draws the bundled window picture of the splash and about windows. The
# toolbar's pictures come from the icon theme (scripts/deps.sh installs
# one); a bundled drawing is added here only for a button no theme name fits.
# Run from anywhere; writes into shell/ui/icons/.
set -e
cd "$(dirname "$0")/../shell/icons"
FONT=DejaVu-Sans-Bold
# The splash picture.
convert -size 96x96 xc:none -fill '#2a5caa' -draw 'roundrectangle 2,2 93,93 14,14' \
  -fill white -font "$FONT" -pointsize 56 -gravity center -annotate +0+0 'Q' -strip splash.png
