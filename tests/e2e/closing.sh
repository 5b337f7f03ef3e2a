#!/usr/bin/env bash
# What ends the full-screen saver, with real input from xdotool: a key press, a mouse button and a
# mouse move of 5 pixels each end it with exit code 0; a move of 4 pixels, a key release and a
# wheel turn do not. A second /s while one runs brings the first to the front and ends with 0.
# The cursor is hidden over the running saver.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin closing 640 480
e2e_step "settings"
e2e_scene 1000

# Starts the saver with the pointer at (300, 200) and waits until it is shown.
start_saver() {
  xdotool mousemove 300 200
  e2e_start "saver-$1.log" "$E2E_SAVER" /s
  e2e_wait_saver_shown "$desktop"
  # The WM_MOUSEMOVE that comes with the window's showing must not end it.
  sleep 0.5
  e2e_expect_running "$E2E_PID" "$1: right after it was shown"
}

e2e_step "input that does not close"
start_saver still
pixels=$(e2e_cursor_pixels)
((pixels == 0)) || e2e_fail "the cursor shows $pixels pixels over the saver"
xdotool mousemove_relative 2 2 # 4 pixels from where the saver started
sleep 0.7
e2e_expect_running "$E2E_PID" "a mouse move of 4 pixels"
xdotool mousemove 300 200 keyup a keyup Shift_L
sleep 0.7
e2e_expect_running "$E2E_PID" "key releases"
xdotool click 4 click 5
sleep 0.7
e2e_expect_running "$E2E_PID" "wheel turns"
e2e_log "still running after a 4-pixel move, key releases and wheel turns"

e2e_step "a second /s"
first=$E2E_PID
e2e_start second.log "$E2E_SAVER" /s
e2e_expect_exit "$E2E_PID" 60 0 "the second /s"
e2e_expect_running "$first" "the first saver, after the second /s"
windows=$(vesperine_wine "$E2E_HELPER" saver-windows 2>>"$E2E_DIR/wine.log" | tr -d '\r')
[[ $windows == "saver-windows 1 1" ]] ||
  e2e_fail "after the second /s: '$windows', expected one saver window, in the foreground"

e2e_step "a key press"
xdotool key x
e2e_expect_exit "$first" 20 0 "a key press"

e2e_step "a mouse button"
start_saver button
xdotool click 1
e2e_expect_exit "$E2E_PID" 20 0 "a left button click"

e2e_step "a mouse move of 5 pixels"
start_saver move
xdotool mousemove_relative 3 2
e2e_expect_exit "$E2E_PID" 20 0 "a mouse move of 5 pixels"
