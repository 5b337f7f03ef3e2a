#!/usr/bin/env bash
# Texture files that do not load, listed around two good ones: the saver shows one "Message" box
# per failed file, in list order (among them names that are no files: a named pipe whose server
# never writes, the console, a drive that does not exist), each waiting until its OK button is
# clicked (with the pointer, through xdotool); closing a box must not end the saver. Then the saver
# runs with the good textures, named in Japanese and in Polish: it fills, and a key ends it with 0.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin start_messages 640 480
e2e_step "settings"
e2e_tile
cp "$E2E_DIR/tile.png" "$E2E_DIR/日本.png"
cp "$E2E_DIR/tile.png" "$E2E_DIR/Łódź.png"
echo "not a picture" >"$E2E_DIR/broken.png"
# Windows names, written as they are: a pipe, the console and a missing drive are no host paths.
failing=("$(win_path "$E2E_DIR/gone-1.png")" '\\.\pipe\vesperine-texture' CON
  "$(win_path "$E2E_DIR/broken.png")" 'Q:\textures\gone-2.jpg')
rm -f "$WINEPREFIX/dosdevices/q:"
e2e_texture_scene 'hex(7):00'
# The registry keeps UTF-16, so the list comes from a UTF-16 file: the names stay whole whatever
# the code page regedit runs in.
printf '%s\n' "${failing[@]:0:3}" "$(win_path "$E2E_DIR/日本.png")" "${failing[3]}" \
  "$(win_path "$E2E_DIR/Łódź.png")" "${failing[4]}" | python3 -c '
import sys
data = "".join(line.rstrip("\n") + "\0" for line in sys.stdin) + "\0"
hexed = ",".join("%02x" % b for b in data.encode("utf-16-le"))
text = ("Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Ondrel\\Vesperine]\r\n\"Texture\"=hex(7):" + hexed + "\r\n")
sys.stdout.buffer.write(b"\xff\xfe" + text.encode("utf-16-le"))' >"$E2E_DIR/texture.reg"
vesperine_wine regedit /S "$(win_path "$E2E_DIR/texture.reg")" >>"$E2E_DIR/wine.log" 2>&1 ||
  e2e_fail "regedit could not import texture.reg"

e2e_step "boxes"
vesperine_wine "$E2E_HELPER" hold-pipe '\\.\pipe\vesperine-texture' 120 >"$E2E_DIR/pipe.log" 2>&1 &
pipe_server=$!
for _ in $(seq 100); do grep -q ready "$E2E_DIR/pipe.log" 2>/dev/null && break; sleep 0.1; done
grep -q ready "$E2E_DIR/pipe.log" || e2e_fail "the pipe server did not start"
xdotool mousemove 600 400
e2e_start saver.log "$E2E_SAVER" /s
for file in "${failing[@]}"; do
  e2e_wait_message_box "$(e2e_texture_error_text "$file")"
  e2e_log "box for $file: clicking OK at $E2E_OK_X,$E2E_OK_Y"
  # The box waits: a moment later it is still there and the saver still runs.
  sleep 1
  e2e_wait_message_box "$(e2e_texture_error_text "$file")"
  xdotool mousemove "$E2E_OK_X" "$E2E_OK_Y" click 1
done

e2e_step "run"
e2e_wait_saver_shown "$desktop"
e2e_expect_filling_then_key
kill "$pipe_server" 2>/dev/null || true
