#!/usr/bin/env bash
# Draws the desktop of the demo, the README's animation and the measurements: a wallpaper with
# large areas of even colour (sky, sun, hills, a lake, icons and a taskbar), drawn for 1280x720
# and scaled to any size.
#
#   landscape.sh WIDTH HEIGHT OUT.png
set -euo pipefail
w=$1 h=$2
x() { echo $(($1 * w / 1280)); }
y() { echo $(($1 * h / 720)); }
icon() { echo "rectangle $(x "$1"),$(y "$2") $(x "$3"),$(y "$4")"; }
convert -size "${w}x$h" gradient:'#1d3b72-#a4c8e6' +antialias \
  -fill '#f6d55c' -draw "circle $(x 1010),$(y 150) $(x 1010),$(y 215)" \
  -fill '#4a8a3f' -draw "ellipse $(x 330),$(y 760) $(x 620),$(y 330) 180,360" \
  -fill '#2e6b2a' -draw "ellipse $(x 1000),$(y 800) $(x 520),$(y 300) 180,360" \
  -fill '#3d6fa8' -draw "ellipse $(x 700),$(y 650) $(x 210),$(y 45) 0,360" \
  -fill '#e8e8e8' -draw "$(icon 24 24 72 72)" -draw "$(icon 24 100 72 148)" \
  -fill '#c06030' -draw "$(icon 34 34 62 62)" -draw "$(icon 34 110 62 138)" \
  -fill '#c0c0c0' -draw "rectangle 0,$((h - $(y 36))) $((w - 1)),$((h - 1))" \
  -fill '#204080' -draw "rectangle $(x 4),$((h - $(y 32))) $(x 100),$((h - $(y 5)))" \
  PNG24:"$3"
