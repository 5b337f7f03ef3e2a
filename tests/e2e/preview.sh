#!/usr/bin/env bash
# The preview: "/p HWND" with a host window of 152x112 shows the built-in 80x88 picture at
# (36, 12) on black, keeps running through clicks, key presses and mouse moves, and ends with 0
# when its host closes it.
#
# Wine draws a child window of another process's window only when that window is the desktop
# window, so the host is the desktop window of a wine virtual desktop of 152x112, whose whole
# picture is one X window that screenshots read.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin preview 640 480
e2e_step "settings"
e2e_tile
e2e_saver_settings "$E2E_DIR/tile.png" 50000 500
picture=$E2E_DIR/picture.ppm
convert "$E2E_SOURCE/resources/preview.bmp" -depth 8 "$picture"

e2e_step "start"
e2e_start_preview "$E2E_SAVER"
e2e_wait_preview_picture "$picture"

e2e_step "input"
xdotool mousemove $((E2E_PREVIEW_LEFT + 76)) $((E2E_PREVIEW_TOP + 56)) click 1 key a key Return
xdotool mousemove_relative 30 20 click 3
sleep 1.5
! grep -q '^exit' "$E2E_PREVIEW_REPORT" ||
  e2e_fail "input ended the preview: $(tail -1 "$E2E_PREVIEW_REPORT")"
e2e_shot "$E2E_DIR/shot.ppm"
e2e_check_preview "$E2E_DIR/shot.ppm" "$picture"

e2e_step "close"
e2e_close_preview
