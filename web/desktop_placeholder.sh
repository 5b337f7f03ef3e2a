#!/usr/bin/env bash
set -euo pipefail
width=1280 height=720
convert -size ${width}x${height} gradient:'#1d3b72-#a4c8e6' +antialias \
  -fill '#f6d55c' -draw 'circle 1010,150 1010,215' \
  -fill '#4a8a3f' -draw 'ellipse 330,760 620,330 180,360' \
  -fill '#2e6b2a' -draw 'ellipse 1000,800 520,300 180,360' \
  -fill '#3d6fa8' -draw 'ellipse 700,650 210,45 0,360' \
  -fill '#e8e8e8' -draw 'rectangle 24,24 72,72' -draw 'rectangle 24,100 72,148' \
  -fill '#c06030' -draw 'rectangle 34,34 62,62' -draw 'rectangle 34,110 62,138' \
  -fill '#c0c0c0' -draw "rectangle 0,$((height - 36)) $((width - 1)),$((height - 1))" \
  -fill '#204080' -draw "rectangle 4,$((height - 32)) 100,$((height - 5))" \
  -define png:exclude-chunks=date,time PNG24:"$1"
