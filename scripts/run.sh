#!/usr/bin/env bash
# The project's run command (README, Getting started): builds build/win64's saver and starts it
# full screen under wine, on the X display when there is one (the user's prefix, the sample textures
# registered when none are), else as a demo on a private Xvfb and prefix in build/demo/ that saves
# screenshots of one cycle. `run.sh web` builds the web page and serves it on 127.0.0.1, port
# $VESPERINE_WEB_PORT (8000 unless set), until Ctrl+C.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup.sh
if [[ ${1:-} == web ]]; then
  bash scripts/build.sh web
  port=${VESPERINE_WEB_PORT:-8000}
  echo "run: the web page is at http://127.0.0.1:$port/ (Ctrl+C stops the server)"
  exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build/web/site
fi
# shellcheck source-path=SCRIPTDIR source=wine.sh
source scripts/wine.sh
bash scripts/build.sh win64 Vesperine
saver=$root/build/win64/resources/Vesperine.scr
textures=("$root"/resources/textures/*)

if [[ -n ${DISPLAY:-} ]] && xdotool getdisplaygeometry >/dev/null 2>&1; then
  vesperine_wine_env "${WINEPREFIX:-$HOME/.wine}"
  # Read the whole answer first: under pipefail an early-exiting grep would make the query fail.
  stored=$(vesperine_wine reg query 'HKCU\Software\Ondrel\Vesperine' /v Texture 2>/dev/null || true)
  if [[ ! $stored =~ REG_MULTI_SZ.*[A-Za-z] ]]; then
    echo "run: registering the sample textures"
    vesperine_saver_settings build/win64/sample-textures.reg "" "" "${textures[@]}"
  fi
  echo "run: starting the saver on $DISPLAY; any key, click or mouse move ends it"
  status=0
  vesperine_wine "$saver" /s || status=$?
  echo "run: the saver ended with exit code $status"
  exit "$status"
fi

# No display: the demo on a virtual screen.
demo=$root/build/demo width=1280 height=720
mkdir -p "$demo"
rm -f "$demo"/cycle-*.png
vesperine_wine_env "$demo/wineprefix"
trap 'vesperine_wine_server_stop; vesperine_stop_xvfb' EXIT
echo "run: no X display; the demo runs on a virtual ${width}x${height} screen"
vesperine_start_xvfb "$demo/xvfb.log" "$width" "$height"
[[ -f $WINEPREFIX/.vesperine-ready ]] ||
  echo "run: setting up the demo's wine prefix (once, about half a minute)"
vesperine_wine_prepare "$demo/wine.log"
vesperine_wine_server_start "$demo/wine.log"

# Six fills, one every 0.7 s, then the wipe.
interval=700 refresh=4200
vesperine_saver_settings "$demo/settings.reg" "$interval" "$refresh" "${textures[@]}" \
  >>"$demo/wine.log" 2>&1
bash scripts/landscape.sh "$width" "$height" "$demo/wallpaper.png"
display -window root "$demo/wallpaper.png" || true # exits with 1 after setting the background

echo "run: starting the saver"
vesperine_start_program "$demo/wine.log" "$saver" /s
if ! vesperine_wait_window "Screen Saver"; then
  import -window root "$demo/cycle-failed.png"
  echo "run: the saver did not show its window (see $demo/cycle-failed.png)" >&2
  exit 1
fi

# One picture a fill (after each 0.7 s tick), then pictures of the wipe as it moves up.
shot=0
take() {
  sleep "$1"
  shot=$((shot + 1))
  import -window root "$demo/$(printf 'cycle-%02d-%s.png' "$shot" "$2")"
}
take 0.3 start
for ((fill = 1; fill <= refresh / interval; fill++)); do take 0.7 "fill$fill"; done
for _ in {1..8}; do take 0.15 wipe; done

xdotool key space
status=0
wait "$VESPERINE_PID" || status=$?
echo "run: the saver ended with exit code $status after a key press"
echo "run: screenshots of one cycle in $demo:"
ls "$demo"/cycle-*.png
