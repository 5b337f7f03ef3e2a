#!/usr/bin/env bash
# Runs vesperine-render on pictures made here with ImageMagick and checks its answers, its output
# pictures and its failures.
# Usage: render_cli_test.sh TOOL CONVERT COMPARE
# shellcheck source-path=SCRIPTDIR source=harness.sh
source "$(dirname "${BASH_SOURCE[0]}")/harness.sh"

out_dir=$work/out
out=$out_dir/result.png
mkdir "$out_dir"

# Passes when the command succeeds, else fails with the message.
check() {
  local message=$1
  shift
  if "$@"; then pass; else fail "$message"; fi
}

# A picture from an awk expression that prints "r g b" for each pixel (x, y), 8 bits a channel.
make_picture() {
  awk -v w="$2" -v h="$3" "BEGIN {
    print \"P3\", w, h, 255
    for (y = 0; y < h; y++) for (x = 0; x < w; x++) print $4
  }" >"$work/picture.ppm"
  "$convert" "$work/picture.ppm" "$1"
}

# A failure: the given status, one line on standard error, nothing on standard output, no file.
expect_error() {
  local expected_status=$1 description=$2
  shift 2
  rm -f "$out_dir"/*
  run "$@"
  error_reported "$expected_status" "$description" || return
  if [ -s "$work/stdout" ]; then
    fail "$description: printed to standard output: $(cat "$work/stdout")"
  elif [ -n "$(ls -A "$out_dir")" ]; then
    fail "$description: left files behind: $(ls -A "$out_dir")"
  else
    pass
  fi
}

expect_probe() {
  local expected=$1 description=$2
  shift 2
  run probe "$@"
  if [ "$status" != 0 ]; then
    fail "$description: exit status $status: $(cat "$work/stderr")"
  elif [ "$(cat "$work/stdout")" != "$expected" ]; then
    fail "$description: printed '$(cat "$work/stdout")', expected '$expected'"
  else
    pass
  fi
}

# Runs a fill into $out and compares it with the expected picture, allowing `fuzz` per pixel.
expect_fill() {
  local description=$1 expected=$2 fuzz=$3
  shift 3
  rm -f "$out_dir"/*
  run fill "$@" --out "$out"
  if [ "$status" != 0 ]; then
    fail "$description: exit status $status: $(cat "$work/stderr")"
    return
  fi
  local count
  count=$("$compare" -metric AE -fuzz "$fuzz" "$out" "$expected" null: 2>&1)
  check "$description: $count pixels differ from the expected picture" [ "$count" = 0 ]
}

# ---- Pictures -------------------------------------------------------------------------------
uniform=$work/uniform.png
checker=$work/checker.png
texture=$work/texture.png
varied=$work/varied.png
"$convert" -size 40x30 xc:'#336699' "$uniform"
make_picture "$checker" 40 30 '((x + y) % 2) * 255, ((x + y) % 2) * 255, ((x + y) % 2) * 255'
make_picture "$texture" 7 5 'x * 30 + 10, y * 50 + 20, (x * y * 13) % 256'
make_picture "$varied" 40 30 '(x % 8) * 32, (y % 8) * 32, ((x + y) % 4) * 64'
"$convert" -size 40x30 tile:"$texture" "$work/tiled.png"
printf 'not a picture\n' >"$work/text.png"
head -c 60 "$uniform" >"$work/truncated.png"
mkdir "$work/taken"

# ---- Failures ---------------------------------------------------------------------------------
with_texture=(--desktop "$uniform" --texture "$texture")
fill=(fill "${with_texture[@]}" --out "$out")
expect_error 2 "no arguments"
expect_error 2 "unknown command" paint "${with_texture[@]}" --out "$out" --at 1,1
expect_error 2 "options without a command" "${with_texture[@]}" --out "$out" --at 1,1
expect_error 2 "missing --at" "${fill[@]}"
expect_error 2 "missing --desktop" fill --texture "$texture" --out "$out" --at 1,1
expect_error 2 "missing --texture" fill --desktop "$uniform" --out "$out" --at 1,1
expect_error 2 "missing --out" fill "${with_texture[@]}" --at 1,1
expect_error 2 "unknown option" "${fill[@]}" --at 1,1 --colour red
expect_error 2 "stray argument" "${fill[@]}" --at 1,1 extra
expect_error 2 "repeated option" "${fill[@]}" --at 1,1 --at 2,2
expect_error 2 "option without its value" "${fill[@]}" --at
expect_error 2 "--texture given to probe" probe "${with_texture[@]}" --at 1,1
for threshold in abc 12x '' 1.5 ' 5' +5 2147483648 -2147483649; do
  expect_error 2 "threshold '$threshold'" "${fill[@]}" --at 1,1 --threshold "$threshold"
done
for point in 5 '5,' ,5 a,b 1,2,3 '5;6' '1, 2' 99999999999,1 40,0 0,30 -1,0 0,-1; do
  expect_error 2 "point '$point' on a 40x30 picture" "${fill[@]}" --at "$point"
done

expect_error 1 "missing desktop" fill --desktop "$work/none.png" --texture "$texture" \
  --out "$out" --at 1,1
expect_error 1 "desktop that is no picture" probe --desktop "$work/text.png" --at 1,1
expect_error 1 "truncated desktop" probe --desktop "$work/truncated.png" --at 1,1
expect_error 1 "missing texture" fill --desktop "$uniform" --texture "$work/none.png" \
  --out "$out" --at 1,1
expect_error 1 "output in a missing folder" fill "${with_texture[@]}" \
  --out "$work/none/result.png" --at 1,1
expect_error 1 "output over a folder" fill "${with_texture[@]}" --out "$work/taken" --at 1,1
if [ -z "$(ls -A "$work/taken")" ] && ! ls "$work"/taken.* >/dev/null 2>&1; then
  pass
else
  fail "output over a folder: a temporary file was left"
fi

printf 'earlier' >"$out"
run fill --desktop "$uniform" --texture "$work/none.png" --out "$out" --at 1,1
if [ "$status" = 1 ] && [ "$(cat "$out")" = earlier ]; then
  pass
else
  fail "a failed fill changed an existing output"
fi

for help in "--help" "fill --help" "probe --desktop x --help"; do
  run $help
  if [ "$status" = 0 ] && [ ! -s "$work/stderr" ] && grep -q 'render probe' "$work/stdout"; then
    pass
  else
    fail "'$help' did not print the usage"
  fi
done

# ---- Probe ------------------------------------------------------------------------------------
expect_probe 1 "uniform picture" --desktop "$uniform" --at 12,7
expect_probe 1 "options in another order" --at 39,29 --threshold 21 --desktop "$uniform"
expect_probe 0 "1-pixel checkerboard" --desktop "$checker" --at 12,7
expect_probe 1 "checkerboard under threshold 766" --desktop "$checker" --at 12,7 --threshold 766
expect_probe 0 "threshold 0" --desktop "$uniform" --at 12,7 --threshold 0
expect_probe 0 "smallest threshold" --desktop "$uniform" --at 12,7 --threshold -2147483648
expect_probe 1 "largest threshold" --desktop "$uniform" --at 12,7 --threshold 2147483647

# ---- Fill -------------------------------------------------------------------------------------
# The texture is anchored at the picture's corner, not at the picked point.
expect_fill "uniform fill" "$work/tiled.png" 0 "${with_texture[@]}" --at 17,11
check "output is not an 8-bit RGB PNG" [ "$(od -An -tu1 -j24 -N2 "$out" | tr -s ' ')" = " 8 2" ]
check "fill left other files: $(ls -A "$out_dir")" [ "$(ls -A "$out_dir")" = result.png ]
expect_fill "threshold 0 changes nothing" "$varied" 0 --desktop "$varied" --texture "$texture" \
  --at 3,3 --threshold 0

# The texture's alpha travels with it but is never painted.
"$convert" "$texture" -alpha set -channel A -fx '(i + j) % 2' +channel PNG32:"$work/alpha.png"
expect_fill "texture with alpha" "$work/tiled.png" 0 --desktop "$uniform" \
  --texture "$work/alpha.png" --at 0,0

# ---- Picture formats --------------------------------------------------------------------------
# A name, an extension and how ImageMagick writes it. stb reads no RLE-compressed BMP, which
# ImageMagick writes for few colours unless told otherwise. JPEG decoders round apart, more so
# where chroma is subsampled, hence the fuzz.
formats=(
  "gif|gif|"
  "8-bit bmp|bmp|-type Palette -compress none"
  "24-bit bmp|bmp|-type TrueColor -compress none"
  "jpeg|jpg|-sampling-factor 2x2 -quality 90"
)
for entry in "${formats[@]}"; do
  IFS='|' read -r name extension options <<<"$entry"
  fuzz=0
  [ "$extension" = jpg ] && fuzz=3%
  file=$work/format.$extension
  # shellcheck disable=SC2086 # the options are several words
  "$convert" "$varied" $options "$file"
  expect_fill "$name desktop" "$file" "$fuzz" --desktop "$file" --texture "$texture" --at 3,3 \
    --threshold 0
  # shellcheck disable=SC2086
  "$convert" "$texture" $options "$file"
  "$convert" -size 40x30 tile:"$file" "$work/tiled-format.png"
  expect_fill "$name texture" "$work/tiled-format.png" "$fuzz" --desktop "$uniform" \
    --texture "$file" --at 5,5
done

"$convert" -size 8x6 xc:'#ff0000' xc:'#0000ff' "$work/two-frames.gif"
expect_fill "animated GIF shows its first frame" "$work/two-frames.gif[0]" 0 \
  --desktop "$work/two-frames.gif" --texture "$texture" --at 1,1 --threshold 0

# 16-bit channels keep their high byte (0x12FF -> 0x12), where ImageMagick would round (0x13).
{
  printf 'P3 6 4 65535\n'
  for _ in $(seq 24); do printf '4863 22271 39552\n'; done
} >"$work/deep.ppm"
"$convert" "$work/deep.ppm" -depth 16 PNG48:"$work/deep.png"
"$convert" -size 6x4 xc:'rgb(18,86,154)' "$work/deep-expected.png"
expect_fill "16-bit PNG" "$work/deep-expected.png" 0 --desktop "$work/deep.png" \
  --texture "$texture" --at 1,1 --threshold 0

summary
