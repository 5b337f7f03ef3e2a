#!/usr/bin/env bash
# The project's run command, for now: the fill engine on a picture of our own, headless. It builds
# vesperine-render, draws a desktop-like picture and a small texture with ImageMagick, asks the
# probe about a point of the sky, fills the sky's area with the texture and says where the result
# is. Arguments: an optional X,Y to use instead of the sky's point, and an optional threshold.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
at=${1:-300,150}
threshold=${2:-21}

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" native vesperine-render
render=$root/build/native/tools/vesperine-render

demo=$root/build/demo
mkdir -p "$demo"
desktop=$demo/desktop.png
texture=$demo/texture.png
filled=$demo/filled.png

# A desktop: a sky in a smooth gradient, a sun, two hills, a few icons and a taskbar. PNG24 keeps
# the files plain 8-bit RGB whatever ImageMagick would otherwise choose; without antialiasing the
# shapes have hard edges, so the sky is an area of its own.
convert -size 800x600 gradient:'#1d3b72-#a4c8e6' +antialias \
  -fill '#f6d55c' -draw 'circle 640,110 640,160' \
  -fill '#4a8a3f' -draw 'ellipse 220,610 430,210 180,360' \
  -fill '#2e6b2a' -draw 'ellipse 660,640 360,190 180,360' \
  -fill '#e8e8e8' -draw 'rectangle 24,24 64,64' -draw 'rectangle 24,92 64,132' \
  -fill '#c06030' -draw 'rectangle 32,32 56,56' -draw 'rectangle 32,100 56,124' \
  -fill '#c0c0c0' -draw 'rectangle 0,568 799,599' \
  -fill '#204080' -draw 'rectangle 4,572 84,595' \
  PNG24:"$desktop"
# A texture: a 32x32 tile with a diamond, so the tiling shows.
convert -size 32x32 xc:'#7a2a5a' \
  -fill '#e8a0c0' -draw 'polygon 16,2 30,16 16,30 2,16' \
  -fill '#fff4c0' -draw 'circle 16,16 16,11' \
  PNG24:"$texture"

answer=$("$render" probe --desktop "$desktop" --at "$at" --threshold "$threshold")
if [[ $answer == 1 ]]; then
  echo "probe at $at (threshold $threshold): 1, the area is large enough to fill"
else
  echo "probe at $at (threshold $threshold): $answer, the area is too small to be worth a fill"
fi
"$render" fill --desktop "$desktop" --texture "$texture" --at "$at" --threshold "$threshold" \
  --out "$filled"
echo "desktop picture: $desktop"
echo "texture:         $texture"
echo "filled picture:  $filled"
