#!/usr/bin/env bash
# Makes docs/cycle.gif, the README's picture of one cycle: vesperine-render (build/native) plays
# the saver's ticks on a generated wallpaper with the sample textures, and ImageMagick joins the
# frames: each fill held for a moment, then the wipe back to the desktop.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
out=$root/docs/cycle.gif
bash scripts/setup.sh
bash scripts/build.sh native vesperine-render >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A small desktop with large areas of even colour.
width=480 height=300
bash scripts/landscape.sh "$width" "$height" "$work/desktop.png"

# Eight fills, then the wipe: two rows a tick, so height / 2 ticks, and two more to see the end.
fills=8
textures=()
for texture in resources/textures/*; do textures+=(--texture "$texture"); done
mkdir "$work/frames"
build/native/tools/vesperine-render run --desktop "$work/desktop.png" "${textures[@]}" --seed 11 \
  --ticks $((fills + height / 2 + 2)) --refresh-ms $((fills * 3500)) --out "$work/last.png" --frames "$work/frames"

# The desktop first; each fill for 0.8 s; every fifth wipe frame for 0.04 s; the desktop again.
frames=(-delay 100 "$work/desktop.png")
mapfile -t pictures < <(LC_ALL=C ls "$work/frames")
for ((i = 0; i < ${#pictures[@]}; i++)); do
  if ((i < fills)); then
    frames+=(-delay 80 "$work/frames/${pictures[i]}")
  elif (((i - fills) % 5 == 0)); then
    frames+=(-delay 4 "$work/frames/${pictures[i]}")
  fi
done
frames+=(-delay 150 "$work/last.png")
convert -loop 0 "${frames[@]}" -layers Optimize "$out"
echo "animate: $out ($(stat -c %s "$out") bytes, ${#pictures[@]} frames of the cycle)"
