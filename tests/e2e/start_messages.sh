#!/usr/bin/env bash
# Texture files that do not load, listed around a good one: the saver shows one "Message" box per
# failed file, in list order, each waiting until its OK button is clicked (with the pointer, through
# xdotool); closing a box must not end the saver. Then the saver runs with the good texture: it
# fills, and a key ends it with 0.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin start_messages 640 480
e2e_step "settings"
desktop=$E2E_DIR/desktop.ppm
tile=$E2E_DIR/tile.ppm
e2e_check make-desktop "$E2E_WIDTH" "$E2E_HEIGHT" "$desktop"
e2e_check make-tile "$tile"
convert "$tile" PNG24:"$E2E_DIR/tile.png"
echo "not a picture" >"$E2E_DIR/broken.png"
failing=("$E2E_DIR/gone-1.png" "$E2E_DIR/broken.png" "$E2E_DIR/gone-2.jpg")
e2e_registry '[-HKEY_CURRENT_USER\Software\Ondrel\Vesperine]' \
  '[HKEY_CURRENT_USER\Software\Ondrel\Vesperine]' \
  "\"Texture\"=$(texture_multi_sz "${failing[0]}" "$E2E_DIR/tile.png" "${failing[1]}" \
    "${failing[2]}")" \
  '"Refresh Time"=dword:0000c350' '"Time Interval"=dword:000001f4'
e2e_set_desktop "$desktop"

e2e_step "boxes"
xdotool mousemove 600 400
e2e_start saver.log "$E2E_SAVER" /s
for file in "${failing[@]}"; do
  e2e_wait_message_box "$(e2e_texture_error_text "$(win_path "$file")")"
  e2e_log "box for $(basename "$file"): clicking OK at $E2E_OK_X,$E2E_OK_Y"
  # The box waits: a moment later it is still there and the saver still runs.
  sleep 1
  e2e_wait_message_box "$(e2e_texture_error_text "$(win_path "$file")")"
  xdotool mousemove "$E2E_OK_X" "$E2E_OK_Y" click 1
done

e2e_step "run"
e2e_wait_saver_shown "$desktop"
sleep 3
e2e_shot "$E2E_DIR/running.ppm"
e2e_expect_running "$E2E_PID" "after the boxes"
if e2e_check same "$E2E_DIR/running.ppm" "$desktop" 0 40 "$E2E_WIDTH" $((E2E_HEIGHT - 40)) \
  >/dev/null 2>&1; then
  e2e_fail "nothing was filled in 3 s"
fi
xdotool key space
e2e_expect_exit "$E2E_PID" 20 0 "a key press"
