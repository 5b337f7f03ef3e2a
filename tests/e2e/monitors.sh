#!/usr/bin/env bash
# The full-screen saver on two monitors side by side (1024x768 primary, 800x600 beside it, a dead
# corner of 800x168 below the second): the known desktop across the virtual screen and the 16x16
# test texture, a fill every 400 ms. Every screenshot must show the desktop or whole textured
# areas on both monitors and the caption at the primary's top right; over the run fills land on
# both monitors. That no fill starts in the dead corner is proven natively (saver_cycle_test):
# Xephyr keeps no pixels there, so a screenshot cannot show what the saver painted.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin monitors 1824 768 two-monitors
e2e_step "scene"
e2e_scene 400

e2e_step "run"
xdotool mousemove 500 400
e2e_start saver.log "$E2E_SAVER" /s
e2e_wait_saver_shown "$desktop" 1024
# The first screenshot is the one that showed the caption: the desktop still shows in most areas.
cp "$E2E_DIR/waiting.ppm" "$E2E_DIR/shot-0.ppm"
shots=("$E2E_DIR/shot-0.ppm")
for round in 1 2; do
  sleep 2.5
  shots+=("$E2E_DIR/shot-$round.ppm")
  e2e_shot "${shots[-1]}"
done
e2e_expect_running "$E2E_PID" "during the fills"

e2e_step "end"
xdotool key space
e2e_expect_exit "$E2E_PID" 20 0 "a key press"

e2e_step "check the screenshots"
e2e_check monitors "$desktop" "$tile" 21 "0,0,1024,768;1024,0,800,600" "${shots[@]}"
