#!/usr/bin/env bash
# The saver started on a desktop of its own ("Screen-saver", as Windows starts it when resuming
# shows the logon screen) over a black screen, the copy Windows gives it there: it must show the
# user's wallpaper as the desktop shows it instead, laid out per "WallpaperStyle" and
# "TileWallpaper" over the desktop colour. Checked for Fill, Fit, Tile and Center.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin secure_desktop 800 600
# The wallpaper settings go again with the test: the other tests share the prefix.
e2e_restore_on_exit '[HKEY_CURRENT_USER\Control Panel\Desktop]' '"Wallpaper"=-' \
  '"WallpaperStyle"=-' '"TileWallpaper"=-' '[HKEY_CURRENT_USER\Control Panel\Colors]' \
  '"Background"=-'
e2e_step "scene"
e2e_tile
# No fill while the screen is checked.
e2e_saver_settings "$E2E_DIR/tile.png" 50000 60000
picture=$E2E_DIR/wallpaper.ppm
e2e_check make-wallpaper "$picture"
convert "$picture" PNG24:"$E2E_DIR/wallpaper.png"
xsetroot -solid black

# check_style NAME WALLPAPERSTYLE TILEWALLPAPER
check_style() {
  e2e_step "$1"
  e2e_registry '[HKEY_CURRENT_USER\Control Panel\Desktop]' \
    "\"Wallpaper\"=\"$(win_path "$E2E_DIR/wallpaper.png" | sed 's/\\/\\\\/g')\"" \
    "\"WallpaperStyle\"=\"$2\"" "\"TileWallpaper\"=\"$3\"" \
    '[HKEY_CURRENT_USER\Control Panel\Colors]' '"Background"="10 80 30"'
  e2e_start saver-"$1".log "$E2E_HELPER" desktop Screen-saver "$(win_path "$E2E_SAVER") /s"
  e2e_wait_saver_shown "$E2E_DIR/black.ppm"
  sleep 0.5
  e2e_shot "$E2E_DIR/$1.ppm"
  xdotool key space
  e2e_expect_exit "$E2E_PID" 20 0 "$1: a key press"
  e2e_check wallpaper "$E2E_DIR/$1.ppm" "$picture" "$1" 10,80,30
}

e2e_shot "$E2E_DIR/black.ppm"
check_style fill 10 0
check_style fit 6 0
check_style tile 0 1
check_style center 0 0
