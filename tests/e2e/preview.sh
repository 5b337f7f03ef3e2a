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
tile=$E2E_DIR/tile.ppm
e2e_check make-tile "$tile"
convert "$tile" PNG24:"$E2E_DIR/tile.png"
e2e_saver_settings "$E2E_DIR/tile.png" 50000 500
picture=$E2E_DIR/picture.ppm
convert "$E2E_SOURCE/resources/preview.bmp" -depth 8 "$picture"

e2e_step "start"
report=$E2E_DIR/host.txt
stop=$E2E_DIR/stop
e2e_start host.log explorer /desktop=e2epreview,152x112 "$E2E_HELPER" host "$(win_path "$report")" \
  0 0 "$(win_path "$stop")" "$(win_path "$E2E_SAVER")" /p "{window}"
started=$SECONDS
until grep -q '^window' "$report" 2>/dev/null; do
  ((SECONDS - started < 60)) || e2e_fail "the host did not report its window"
  sleep 0.1
done
e2e_log "host: $(head -1 "$report")"

# Where the virtual desktop's X window lies on the screen.
desktop_window=
until [[ -n $desktop_window ]]; do
  ((SECONDS - started < 60)) || e2e_fail "no X window of the virtual desktop"
  desktop_window=$(xdotool search --name '^e2epreview' 2>/dev/null | head -1 || true)
  sleep 0.1
done
read -r left top < <(xdotool getwindowgeometry "$desktop_window" |
  sed -n 's/^ *Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
e2e_log "virtual desktop at ($left, $top)"

shot=$E2E_DIR/shot.ppm
until e2e_shot "$shot" && e2e_check preview "$shot" "$left" "$top" "$picture" >/dev/null 2>&1; do
  ((SECONDS - started < 60)) || e2e_check preview "$shot" "$left" "$top" "$picture" ||
    e2e_fail "the preview picture did not appear"
  grep -q '^exit' "$report" && e2e_fail "the preview ended: $(tail -1 "$report")"
  sleep 0.2
done
e2e_log "the preview picture stands at (36, 12)"

e2e_step "input"
xdotool mousemove $((left + 76)) $((top + 56)) click 1 key a key Return
xdotool mousemove_relative 30 20 click 3
sleep 1.5
grep -q '^exit' "$report" && e2e_fail "input ended the preview: $(tail -1 "$report")"
e2e_shot "$shot"
e2e_check preview "$shot" "$left" "$top" "$picture"

e2e_step "close"
touch "$stop"
# The virtual desktop's process outlives the host; the wine server goes down with the test.
started=$SECONDS
until grep -q '^exit\|^still-running' "$report"; do
  ((SECONDS - started < 30)) || e2e_fail "the host did not report the end of the preview"
  sleep 0.1
done
result=$(tail -1 "$report" | tr -d '\r')
[[ $result == "exit 0" ]] || e2e_fail "the preview ended with '$result', expected exit 0"
e2e_log "closed by its host: $result"
