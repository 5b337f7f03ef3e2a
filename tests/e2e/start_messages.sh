#!/usr/bin/env bash
# Texture files that do not load, listed around a good one: the saver shows one "Message" box per
# failed file, in list order, each waiting until its OK button is clicked (with the pointer, through
# xdotool); closing a box must not end the saver. Then the saver runs with the good texture: it
# fills, and a key ends it with 0.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin start_messages 640 480
e2e_step "settings"
tile=$E2E_DIR/tile.ppm
e2e_check make-tile "$tile"
convert "$tile" PNG24:"$E2E_DIR/tile.png"
echo "not a picture" >"$E2E_DIR/broken.png"
failing=("$E2E_DIR/gone-1.png" "$E2E_DIR/broken.png" "$E2E_DIR/gone-2.jpg")
e2e_texture_scene "$(texture_multi_sz "${failing[0]}" "$E2E_DIR/tile.png" "${failing[1]}" \
  "${failing[2]}")"

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
e2e_expect_filling_then_key
