#!/usr/bin/env bash
# The full-screen saver over a known desktop: 4 x 3 cells of flat colours and one gradient, and one
# 16x16 texture whose pixels all differ from their neighbours (so a textured area is never filled
# again). Screenshots taken through one whole cycle (3 fills of 1 s, the wipe, the next fills)
# must each be a state of the cycle: every pixel is the desktop's or the texture's tiled from the
# screen's top-left corner, every area of similar colour is either untouched or textured whole,
# the caption stands at the top right, and while the wipe runs the desktop is back exactly from
# some row down. The run must show fills, then the wipe, then the whole desktop again.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin fill_and_wipe 640 480
e2e_step "settings"
# 3 fills, one a second; the 4th tick starts the wipe.
e2e_saver_settings "$E2E_DIR/tile.png" 3000 1000

e2e_step "pictures"
desktop=$E2E_DIR/desktop.ppm
e2e_check make-desktop "$E2E_WIDTH" "$E2E_HEIGHT" "$desktop"
e2e_tile
e2e_set_desktop "$desktop"

e2e_step "run"
xdotool mousemove 320 240
e2e_start saver.log "$E2E_SAVER" /s
e2e_wait_saver_shown "$desktop"
mkdir -p "$E2E_DIR/shots"
# One screenshot after another: 3 s of fills, the wipe (240 bands of 10 ms or more), and a few
# more once the desktop is back below the caption (1 s before the next fill).
back_to_desktop() {
  e2e_check same "$1" "$desktop" 0 40 "$E2E_WIDTH" $((E2E_HEIGHT - 40)) >/dev/null 2>&1 &&
    e2e_check same "$1" "$desktop" 0 0 $((E2E_WIDTH - 400)) 40 >/dev/null 2>&1
}
started=$SECONDS
count=0
more=-1
while ((more != 0 && SECONDS - started < 40)); do
  count=$((count + 1))
  shot=$E2E_DIR/shots/$(printf '%03d' "$count").ppm
  e2e_shot "$shot"
  if ((more > 0)); then
    more=$((more - 1))
  elif ((more < 0 && SECONDS - started >= 5)) && back_to_desktop "$shot"; then
    more=4
  fi
done
e2e_expect_running "$E2E_PID" "during the cycle"
e2e_log "$count screenshots"

e2e_step "end"
xdotool key space
e2e_expect_exit "$E2E_PID" 20 0 "a key press"

e2e_step "check the screenshots"
e2e_check fill-cycle "$desktop" "$tile" 21 "$E2E_DIR"/shots/*.ppm
