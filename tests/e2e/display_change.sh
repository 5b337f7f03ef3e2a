#!/usr/bin/env bash
# A change of the display while the saver runs. Wine changes no mode of a real X screen here, but
# its virtual desktop (wine's desktop in an X window of its own) takes a new size through
# ChangeDisplaySettings and sends WM_DISPLAYCHANGE as Windows does: the saver starts on an
# 800x600 virtual desktop of one colour, the display grows to 1024x768, and the saver's window
# must cover all of it at once: the captured 800x600 in its corner, black beyond, the caption at
# the new top right; the next fill still lands on the canvas. A WM_DPICHANGED, which wine never
# sends by itself, leaves the window as large as it is.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin display_change 1280 1024
desktop_keys=('[HKEY_CURRENT_USER\Software\Wine\Explorer]' '[HKEY_CURRENT_USER\Control Panel\Colors]')
e2e_restore_on_exit "${desktop_keys[0]}" '"Desktop"=-' \
  '[-HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' "${desktop_keys[1]}" '"Background"=-'

e2e_step "an 800x600 virtual desktop"
e2e_registry "${desktop_keys[0]}" '"Desktop"="Default"' \
  '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' '"Default"="800x600"' \
  "${desktop_keys[1]}" '"Background"="200 0 200"'
e2e_tile
# The first fill 4 s after the start floods the whole one-coloured canvas.
e2e_saver_settings "$E2E_DIR/tile.png" 50000 4000
vesperine_wine_server_stop
vesperine_wine_server_start "$E2E_DIR/wine.log"
window=$(xdotool search --name 'Wine desktop' | head -n1)
[[ -n $window ]] || e2e_fail "wine shows no virtual desktop"

e2e_step "run"
e2e_start saver.log "$E2E_SAVER" /s
started=$SECONDS
until xdotool search --name '^Screen Saver$' >/dev/null 2>&1; do
  ((SECONDS - started < 60)) || e2e_fail "the saver was not shown within 60 s"
  sleep 0.1
done
sleep 1
vesperine_wine "$E2E_HELPER" display-mode 1024 768 >"$E2E_DIR/mode.txt" 2>>"$E2E_DIR/wine.log" ||
  e2e_fail "the display did not change: $(tr -d '\r' <"$E2E_DIR/mode.txt")"
sleep 1
# xdotool prints the window's position and size as shell assignments: X, Y, WIDTH, HEIGHT.
geometry=$(xdotool getwindowgeometry --shell "$window")
eval "$geometry"
((WIDTH == 1024 && HEIGHT == 768)) || e2e_fail "the virtual desktop is ${WIDTH}x$HEIGHT"
e2e_shot "$E2E_DIR/grown.ppm"
e2e_check grown "$E2E_DIR/grown.ppm" "$X" "$Y" 1024 768 800 600 200,0,200 "$tile"

e2e_step "a change of DPI"
vesperine_wine "$E2E_HELPER" dpi-change 2>>"$E2E_DIR/wine.log" | tr -d '\r' >"$E2E_DIR/dpi.txt"
[[ $(<"$E2E_DIR/dpi.txt") == "saver-rect 0 0 1024 768" ]] ||
  e2e_fail "after WM_DPICHANGED: $(<"$E2E_DIR/dpi.txt")"

e2e_step "the cycle goes on"
sleep 4
e2e_expect_running "$E2E_PID" "after the display change"
e2e_shot "$E2E_DIR/filled.ppm"
e2e_check grown "$E2E_DIR/filled.ppm" "$X" "$Y" 1024 768 800 600 200,0,200 "$tile" textured
xdotool key space
e2e_expect_exit "$E2E_PID" 20 0 "a key press"
