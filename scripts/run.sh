#!/usr/bin/env bash
# The project's run command: installs what is missing, builds the saver (build/win64) and starts it
# full screen under wine.
#
# With an X display ($DISPLAY reachable) the saver runs on it, in the user's own wine prefix
# ($WINEPREFIX or ~/.wine); when the user has no textures registered yet, the sample textures of
# resources/textures/ are registered first. Any input ends it, as a screen saver.
#
# Without a display it runs a demo on a virtual screen instead: a private Xvfb and a private wine
# prefix under build/demo/, a generated wallpaper as the desktop, the sample textures with a short
# "Time Interval" and "Refresh Time", and screenshots of one cycle (the fills and the wipe) in
# build/demo/; a key press ends the saver at the end.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/setup.sh
bash scripts/build.sh win64 Vesperine
saver=$root/build/win64/resources/Vesperine.scr

export WINEARCH=win64 WINEDEBUG=-all
# No .NET or HTML engine: wine would otherwise offer to download them in a dialog.
export WINEDLLOVERRIDES="mscoree,mshtml="
key='HKCU\Software\Ondrel\Vesperine'

# shellcheck source-path=SCRIPTDIR source=wine_registry.sh
source "$root/scripts/wine_registry.sh"

# register_settings FILE [LINE...]: writes the sample textures (and any further value lines) into
# the saver's key with regedit.
register_settings() {
  local file=$1
  shift
  printf '%s\r\n' REGEDIT4 "" '[HKEY_CURRENT_USER\Software\Ondrel\Vesperine]' \
    "\"Texture\"=$(texture_multi_sz "$root"/resources/textures/*)" "$@" >"$file"
  wine regedit /S "$(win_path "$file")"
}

display_reachable() {
  [[ -n ${DISPLAY:-} ]] && xdotool getdisplaygeometry >/dev/null 2>&1
}

if display_reachable; then
  # Read the whole answer first: under pipefail an early-exiting grep would make the query fail.
  textures=$(wine reg query "$key" /v Texture 2>/dev/null || true)
  if [[ ! $textures =~ REG_MULTI_SZ.*[A-Za-z] ]]; then
    echo "run: registering the sample textures in $key"
    register_settings "$root/build/win64/sample-textures.reg"
  fi
  echo "run: starting the saver on $DISPLAY; any key, click or mouse move ends it"
  status=0
  wine "$saver" /s || status=$?
  echo "run: the saver ended with exit code $status"
  exit "$status"
fi

# ---- No display: the demo on a virtual screen ----------------------------------------------------
demo=$root/build/demo
width=1280
height=720
mkdir -p "$demo"
rm -f "$demo"/cycle-*.png
export WINEPREFIX=$demo/wineprefix

# shellcheck source-path=SCRIPTDIR source=xvfb.sh
source "$root/scripts/xvfb.sh"
cleanup() {
  local status=$?
  wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
  vesperine_stop_xvfb
  exit "$status"
}
trap cleanup EXIT

echo "run: no X display; the demo runs on a virtual ${width}x${height} screen"
vesperine_start_xvfb "$demo/xvfb.log" "$width" "$height" || exit 1

if [[ ! -f $WINEPREFIX/.vesperine-ready ]]; then
  echo "run: setting up the demo's wine prefix (once, about half a minute)"
  wineboot -i </dev/null >"$demo/wine.log" 2>&1
  timeout 120 wineserver -w || true
  touch "$WINEPREFIX/.vesperine-ready"
fi
# One wine server for the whole demo, its desktop process started before the wallpaper is shown.
wineserver -p
wine cmd /c exit </dev/null >>"$demo/wine.log" 2>&1

# Six fills, one every 0.7 s, then the wipe.
interval=700
refresh=4200
register_settings "$demo/settings.reg" \
  "\"Time Interval\"=dword:$(printf '%08x' $interval)" \
  "\"Refresh Time\"=dword:$(printf '%08x' $refresh)" >>"$demo/wine.log" 2>&1

# A wallpaper with large areas of even colour: sky, sun, hills, a lake, icons and a taskbar.
wallpaper=$demo/wallpaper.png
convert -size ${width}x${height} gradient:'#1d3b72-#a4c8e6' +antialias \
  -fill '#f6d55c' -draw 'circle 1010,150 1010,215' \
  -fill '#4a8a3f' -draw 'ellipse 330,760 620,330 180,360' \
  -fill '#2e6b2a' -draw 'ellipse 1000,800 520,300 180,360' \
  -fill '#3d6fa8' -draw 'ellipse 700,650 210,45 0,360' \
  -fill '#e8e8e8' -draw 'rectangle 24,24 72,72' -draw 'rectangle 24,100 72,148' \
  -fill '#c06030' -draw 'rectangle 34,34 62,62' -draw 'rectangle 34,110 62,138' \
  -fill '#c0c0c0' -draw "rectangle 0,$((height - 36)) $((width - 1)),$((height - 1))" \
  -fill '#204080' -draw "rectangle 4,$((height - 32)) 100,$((height - 5))" \
  PNG24:"$wallpaper"
display -window root "$wallpaper" || true # exits with 1 after setting the background

echo "run: starting the saver"
wine "$saver" /s >>"$demo/wine.log" 2>&1 &
saver_pid=$!
started=$SECONDS
until xdotool search --name '^Screen Saver$' >/dev/null 2>&1; do
  if ! kill -0 "$saver_pid" 2>/dev/null || ((SECONDS - started > 60)); then
    import -window root "$demo/cycle-failed.png"
    echo "run: the saver did not show its window (see $demo/cycle-failed.png)" >&2
    exit 1
  fi
  sleep 0.1
done

# One picture a fill (after each 0.7 s tick), then pictures of the wipe as it moves up.
shot=0
take() {
  shot=$((shot + 1))
  import -window root "$demo/$(printf 'cycle-%02d-%s.png' "$shot" "$1")"
}
sleep 0.3
take start
for ((fill = 1; fill <= refresh / interval; fill++)); do
  sleep 0.7
  take "fill$fill"
done
for ((band = 1; band <= 8; band++)); do
  sleep 0.15
  take wipe
done

xdotool key space
status=0
wait "$saver_pid" || status=$?
echo "run: the saver ended with exit code $status after a key press"
echo "run: screenshots of one cycle in $demo:"
ls "$demo"/cycle-*.png
