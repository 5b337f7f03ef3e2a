#!/usr/bin/env bash
# Draws the saver's pictures with ImageMagick: the 80x88 preview bitmap, the icon and the sample
# textures. The results are committed, so a build never needs ImageMagick; run this again only to
# change a picture. Plasma is seeded, so a rerun draws the same shapes.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
convert=${CONVERT:-convert}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A tile that repeats without seams: a quarter mirrored across both axes.
mirror_tile() {
  "$convert" "$1" \( +clone -flop \) +append \( +clone -flip \) -append "$2"
}

# ---- Sample textures ----------------------------------------------------------------------------
textures=$here/textures
mkdir -p "$textures"

"$convert" -seed 7 -size 32x32 plasma:darkorange-purple "$work/plasma.png"
mirror_tile "$work/plasma.png" "$work/amber.png"
"$convert" "$work/amber.png" -strip PNG24:"$textures/amber_plasma.png"

"$convert" -size 64x64 xc: -fx '(floor(i/8)+floor(j/8))%2' \
  +level-colors '#2f3b52,#9fb4d8' -strip -type TrueColor BMP3:"$textures/slate_checks.bmp"

"$convert" -size 64x64 xc: \
  -channel R -fx '0.9*(0.5+0.25*sin(2*pi*i/32)+0.25*sin(2*pi*j/16))' \
  -channel G -fx '0.35+0.3*(0.5+0.25*sin(2*pi*i/32)+0.25*sin(2*pi*j/16))' \
  -channel B -fx '0.6-0.35*(0.5+0.25*sin(2*pi*i/32)+0.25*sin(2*pi*j/16))' +channel \
  -strip -quality 90 "$textures/dusk_waves.jpg"

"$convert" -size 64x64 pattern:hexagons +level-colors '#1e5b2a,#c9e27a' -colors 8 -strip \
  "$textures/leaf_hexagons.gif"

"$convert" -size 64x64 pattern:bricks +level-colors '#6b2418,#e8b48a' -strip -type Palette \
  -colors 16 BMP3:"$textures/brick_palette.bmp"

# ---- Preview bitmap (resource 114): 80x88, 24 bits per pixel --------------------------------------
"$convert" -size 80x88 gradient:'#1b1640-#e07a3c' \
  \( -size 80x88 xc:none -fill '#120e24' -draw 'polygon 0,70 14,62 30,66 46,56 62,63 80,58 80,88 0,88' \) \
  -composite "$work/sky.png"
"$convert" -size 80x88 xc:black -fill white \
  -draw 'ellipse 24,26 15,11 0,360' -draw 'polygon 44,40 70,34 76,52 58,60 46,54' \
  -blur 0x1 -threshold 50% "$work/areas.png"
"$convert" -size 80x88 tile:"$textures/amber_plasma.png" "$work/tiled.png"
"$convert" "$work/sky.png" "$work/tiled.png" "$work/areas.png" -composite \
  -fill white -draw 'point 10,8' -draw 'point 64,12' -draw 'point 40,6' -draw 'point 72,22' \
  -strip -type TrueColor BMP3:"$here/preview.bmp"

# ---- Icon (resource 100): 48, 32 and 16 pixels ------------------------------------------------------
"$convert" -size 48x48 gradient:'#241c52-#e88a44' \
  \( -size 48x48 xc:black -fill white -draw 'roundrectangle 1,1 46,46 9,9' \) \
  -alpha off -compose CopyOpacity -composite "$work/tile.png"
"$convert" -size 48x48 tile:"$textures/slate_checks.bmp" \
  \( -size 48x48 xc:black -fill white -draw 'circle 24,30 24,16' \) \
  -alpha off -compose CopyOpacity -composite "$work/sun.png"
"$convert" "$work/tile.png" "$work/sun.png" -composite "$work/icon48.png"
"$convert" "$work/icon48.png" \( +clone -resize 32x32 \) \( -clone 0 -resize 16x16 \) \
  -strip "$here/vesperine.ico"
