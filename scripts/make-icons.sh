#!/bin/sh
# Draws the bundled toolbar and window pictures (used when the desktop has no
# icon theme). Run from anywhere; writes into shell/icons/.
set -e
cd "$(dirname "$0")/../shell/icons"
FONT=DejaVu-Sans-Bold
icon() { # name background glyph [glyph colour]
  convert -size 24x24 xc:none -fill "$2" -stroke '#303030' -strokewidth 1 \
    -draw 'roundrectangle 1,1 22,22 4,4' -fill "${4:-white}" -stroke none \
    -font "$FONT" -pointsize "${5:-11}" -gravity center -annotate +0+0 "$3" \
    -strip "$1.png"
}
icon new '#f4f4f4' 'N' '#2060c0'
icon open '#e8b84a' 'O' '#503000'
icon save '#3f6fb5' 'S'
icon saveas '#3f6fb5' 'S+' white 9
icon print '#7a7a7a' 'P'
icon cut '#c04848' 'X'
icon copy '#4a9a5a' 'C'
icon paste '#a07040' 'V'
icon bold '#ffffff' 'B' black 15
icon italic '#ffffff' 'I' black 15
icon underline '#ffffff' 'U' black 15
icon find '#6a4ab0' '?' white 14
icon run '#2e8b3a' '>' white 15
icon compile '#b06a20' 'Jc' white 10
icon appletviewer '#2a7fa0' 'Ap' white 10
icon jar '#8a5a2a' 'Jar' white 8
icon htmlconverter '#c05a90' '<>' white 10
icon autoindentall '#5a6a80' '->' white 10
icon colorizeall '#d04040' 'Co' '#ffff60' 10
icon spellcorrectall '#408040' 'abc' white 8
icon preferences '#606060' 'Pr' white 10
icon help '#2060c0' 'i' white 15
# The splash picture.
convert -size 96x96 xc:none -fill '#2a5caa' -draw 'roundrectangle 2,2 93,93 14,14' \
  -fill white -font "$FONT" -pointsize 56 -gravity center -annotate +0+0 'Q' -strip splash.png
