#!/bin/sh
# Draws the thirteen completion pictures (16x16). The shape and letter give
# the kind (square P package, circle C class, circle I interface, square m
# method, diamond v variable), the colour the access (green public or
# undefined, amber protected), a red corner marks final members.
# Run from anywhere; writes into completion/ui/icons/.
set -e
cd "$(dirname "$0")"
FONT=DejaVu-Sans-Bold
PUB='#2f9a45'
PRO='#d98a14'
shape() { # kind colour -> draw arguments
  case "$1" in
    p) echo "roundrectangle 1,2 14,14 2,2" ;;
    c|i) echo "circle 7.5,7.5 7.5,1" ;;
    m) echo "roundrectangle 1,1 14,14 4,4" ;;
    v) echo "polygon 7.5,0 15,7.5 7.5,15 0,7.5" ;;
  esac
}
icon() { # file kind colour letter final
  draw=$(shape "$2")
  convert -size 16x16 xc:none -fill "$3" -stroke '#303030' -strokewidth 1 -draw "$draw" \
    -stroke none -fill white -font "$FONT" -pointsize 10 -gravity center \
    -annotate +0+0 "$4" "$1.tmp.png"
  if [ "$5" = final ]; then
    convert "$1.tmp.png" -fill '#d01818' -stroke white -strokewidth 1 \
      -draw "polygon 8,0 15,0 15,7" -strip "$1.png"
  else
    convert "$1.tmp.png" -strip "$1.png"
  fi
  rm -f "$1.tmp.png"
}
icon package p '#8a6a3a' P
icon class c "$PUB" C
icon interface i "$PUB" I
icon protected-class c "$PRO" C
icon protected-interface i "$PRO" I
icon method m "$PUB" m
icon final-method m "$PUB" m final
icon variable v "$PUB" v
icon final-variable v "$PUB" v final
icon protected-method m "$PRO" m
icon protected-final-method m "$PRO" m final
icon protected-variable v "$PRO" v
icon protected-final-variable v "$PRO" v final
