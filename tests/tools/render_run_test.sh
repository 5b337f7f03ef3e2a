#!/usr/bin/env bash
# Runs `vesperine-render run` on pictures made here with ImageMagick and checks its pictures against
# expectations built independently: tiles drawn by ImageMagick, wipe bands drawn as rectangles,
# and the random generator replayed in shell arithmetic.
# Usage: render_run_test.sh TOOL CONVERT COMPARE
# shellcheck source-path=SCRIPTDIR source=harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

out=$work/result.png
frames=$work/frames
mkdir "$frames"

# Passes when picture $2 equals picture $3 pixel for pixel.
expect_same() {
  local count
  count=$("$compare" -metric AE "$2" "$3" null: 2>&1)
  if [ "$count" = 0 ]; then pass; else fail "$1: $count pixels differ"; fi
}

# Runs the tool, which must succeed silently, then compares --out with the expected picture.
expect_run() {
  local description=$1 expected=$2
  shift 2
  rm -f "$out"
  run run "$@" --out "$out"
  if [ "$status" != 0 ] || [ -s "$work/stderr" ]; then
    fail "$description: exit status $status: $(cat "$work/stderr")"
    return
  fi
  expect_same "$description" "$out" "$expected"
}

# A failure: the status, one line on standard error, and no picture written anywhere.
expect_error() {
  local expected_status=$1 description=$2
  shift 2
  rm -f "$out" "$frames"/*
  run "$@"
  error_reported "$expected_status" "$description" || return
  if [ -e "$out" ] || [ -n "$(ls -A "$frames")" ]; then
    fail "$description: wrote pictures"
  else
    pass
  fi
}

# ---- Pictures ---------------------------------------------------------------------------------
desktop=$work/desktop.png
odd=$work/odd.png
amber=$work/amber.png
teal=$work/teal.gif
"$convert" -size 40x30 xc:'#336699' "$desktop"
"$convert" -size 40x31 xc:'#336699' "$odd"
"$convert" -size 7x5 xc:'#f0a000' -fill '#c02010' -draw 'rectangle 0,0 2,1' "$amber"
"$convert" -size 6x4 xc:'#10a0a0' -fill '#e0e0e0' -draw 'point 1,1' "$teal"
"$convert" -size 40x30 tile:"$amber" "$work/amber-tiled.png"
"$convert" -size 40x31 tile:"$amber" "$work/amber-tiled-odd.png"
"$convert" -size 40x30 tile:"$teal" "$work/teal-tiled.png"
printf 'not a picture\n' >"$work/text.png"

# The tiled picture with rows $3 to $4 back to the desktop colour.
restored() {
  "$convert" "$1" -fill '#336699' -draw "rectangle 0,$3 39,$4" "$2"
}
restored "$work/amber-tiled.png" "$work/bottom-restored.png" 28 29
restored "$work/amber-tiled-odd.png" "$work/row0-left.png" 1 30

one=(--desktop "$desktop" --texture "$amber" --seed 1)
# One fill per cycle: the second tick switches to the wipe.
short=(--refresh-ms 3500 --interval-ms 3500)

# ---- Fills and the wipe -------------------------------------------------------------------------
expect_run "no ticks leave the desktop" "$desktop" "${one[@]}" --ticks 0
expect_run "one tick textures a uniform desktop whole" "$work/amber-tiled.png" "${one[@]}" --ticks 1
expect_run "the switch to the wipe restores the bottom rows" "$work/bottom-restored.png" \
  "${one[@]}" "${short[@]}" --ticks 2
# The first band repeats the switch's rows: 15 bands for 30 rows.
expect_run "the wipe ends on the desktop" "$desktop" "${one[@]}" "${short[@]}" --ticks 17
expect_run "after the wipe, filling resumes" "$work/amber-tiled.png" "${one[@]}" "${short[@]}" \
  --ticks 19
expect_run "odd height: row 0 waits for its own tick" "$work/row0-left.png" --desktop "$odd" \
  --texture "$amber" --seed 1 "${short[@]}" --ticks 17
expect_run "odd height: then the wipe is whole" "$odd" --desktop "$odd" --texture "$amber" \
  --seed 1 "${short[@]}" --ticks 18

# Frames: one per repainting tick (2 fills, the switch, 15 bands; the tick that ends the wipe
# paints nothing), numbered from 1.
rm -f "$frames"/*
run run "${one[@]}" --refresh-ms 7000 --interval-ms 3500 --ticks 19 --out "$out" --frames "$frames"
if [ "$status" = 0 ] && [ "$(ls "$frames" | wc -l)" = 18 ] && [ -e "$frames/frame-0018.png" ]; then
  pass
  expect_same "frame 1 is the first fill" "$frames/frame-0001.png" "$work/amber-tiled.png"
  expect_same "frame 3 is the switch" "$frames/frame-0003.png" "$work/bottom-restored.png"
  expect_same "frame 18 is the last band" "$frames/frame-0018.png" "$desktop"
else
  fail "frames: status $status, files: $(ls "$frames" | tr '\n' ' ') $(cat "$work/stderr")"
fi

# ---- The generator and the texture order ------------------------------------------------------
# The first fill draws x, y, then the texture index; replay that in shell arithmetic.
first_texture() {
  local state=$1 draw _
  for _ in 1 2 3; do
    state=$(((state * 214013 + 2531011) & 0xFFFFFFFF))
    draw=$(((state >> 16) & 0x7FFF))
  done
  echo $((draw % 2))
}
tiles=("$work/amber-tiled.png" "$work/teal-tiled.png")
seen_textures=
for seed in 1 2 3 4 4294967295; do
  index=$(first_texture "$seed")
  seen_textures="$seen_textures$index"
  expect_run "seed $seed picks texture $index" "${tiles[$index]}" --desktop "$desktop" \
    --texture "$amber" --texture "$teal" --seed "$seed" --ticks 1
done
case $seen_textures in
  *0*1* | *1*0*) pass ;;
  *) fail "the seeds tried all pick one texture ($seen_textures): choose others" ;;
esac

# A texture that cannot be read is reported and left out; the others keep their order.
rm -f "$out"
run run --desktop "$desktop" --texture "$work/text.png" --texture "$amber" --seed 2 --ticks 1 \
  --out "$out"
if [ "$status" = 0 ] && [ "$(wc -l <"$work/stderr")" = 1 ] &&
  grep -q "text.png" "$work/stderr"; then
  expect_same "a failed texture is left out" "$out" "$work/amber-tiled.png"
else
  fail "a failed texture: status $status, stderr: $(cat "$work/stderr")"
fi

# ---- Failures ---------------------------------------------------------------------------------
ticks=(--ticks 1 --out "$out")
expect_error 2 "missing --seed" run --desktop "$desktop" --texture "$amber" "${ticks[@]}"
expect_error 2 "--at given to run" run "${one[@]}" "${ticks[@]}" --at 1,1
expect_error 2 "--texture twice for fill" fill --desktop "$desktop" --texture "$amber" \
  --texture "$teal" --at 1,1 --out "$out"
for value in -1 4294967296; do
  expect_error 2 "seed '$value'" run --desktop "$desktop" --texture "$amber" --seed "$value" \
    "${ticks[@]}"
done
expect_error 2 "ticks '-1'" run "${one[@]}" --ticks -1 --out "$out"
expect_error 1 "missing frames folder" run "${one[@]}" "${ticks[@]}" --frames "$work/none"
expect_error 1 "unwritable output leaves no frames" run "${one[@]}" --ticks 3 \
  --out "$work/none/result.png" --frames "$frames"

summary
