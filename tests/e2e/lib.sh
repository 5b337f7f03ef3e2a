# shellcheck shell=bash
# Sourced by the end-to-end drivers: a private Xvfb of the size a test needs, the e2e wine prefix
# (set up by prefix.sh), and helpers to start the saver, drive it with xdotool and look at the
# screen. ctest passes the E2E_* variables (tests/e2e/CMakeLists.txt).
set -euo pipefail

E2E_LIB_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
: "${E2E_SAVER:?}" "${E2E_HELPER:?}" "${E2E_WORK:?}" "${E2E_WINEPREFIX:?}" "${E2E_SOURCE:?}"

# shellcheck source-path=SCRIPTDIR source=../../scripts/wine.sh
source "$E2E_LIB_DIR/../../scripts/wine.sh"
vesperine_wine_env "$E2E_WINEPREFIX" "${E2E_WINEARCH:-win64}"
E2E_STEP=start

e2e_log() { echo "[$(date +%T.%N | cut -c1-12)] $*"; }

e2e_fail() {
  echo "FAIL ($E2E_STEP): $*" >&2
  exit 1
}

e2e_step() {
  E2E_STEP=$1
  e2e_log "-- $1"
}

# Registry lines that e2e_finish imports, to leave the shared prefix as the driver found it.
E2E_RESTORE=()

# e2e_restore_on_exit LINE...: regedit lines (keys and values) imported when the driver ends,
# however it ends.
e2e_restore_on_exit() { E2E_RESTORE+=("$@"); }

# shellcheck disable=SC2317  # run by the EXIT trap
e2e_finish() {
  local status=$?
  if ((${#E2E_RESTORE[@]} > 0)); then
    (e2e_registry "${E2E_RESTORE[@]}") || status=1
  fi
  vesperine_wine_server_stop
  vesperine_stop_xvfb
  if ((status == 0)); then
    e2e_log "PASS"
  else
    e2e_log "failed; screenshots and logs stay in $E2E_DIR"
  fi
  exit "$status"
}

# e2e_begin NAME WIDTH HEIGHT [two-monitors|DEPTH]: a clean work folder, an Xvfb of that size (and
# depth, 24 unless told) and a wine server started anew on it, so that wine's desktop takes this
# display's size and format. Set the root picture after this. With "two-monitors" the screen is
# the 1824x768 pair of vesperine_start_two_monitors.
e2e_begin() {
  E2E_DIR=$E2E_WORK/$1
  E2E_WIDTH=$2
  E2E_HEIGHT=$3
  rm -rf "$E2E_DIR"
  mkdir -p "$E2E_DIR"
  [[ -f $WINEPREFIX/.vesperine-ready ]] || e2e_fail "the e2e wine prefix is not set up"
  vesperine_wine_server_stop
  trap e2e_finish EXIT
  if [[ ${4:-} == two-monitors ]]; then
    vesperine_start_two_monitors "$E2E_DIR/xvfb.log" || e2e_fail "Xephyr did not start"
  else
    vesperine_start_xvfb "$E2E_DIR/xvfb.log" "$E2E_WIDTH" "$E2E_HEIGHT" "${4:-24}" ||
      e2e_fail "Xvfb did not start"
  fi
  e2e_log "Xvfb ${E2E_WIDTH}x${E2E_HEIGHT} on $DISPLAY, work folder $E2E_DIR"
  vesperine_wine_server_start "$E2E_DIR/wine.log"
}

# e2e_set_desktop PICTURE.ppm: shows the picture on the root window, which is what the saver
# captures as the desktop, and checks that the screen shows it.
e2e_set_desktop() {
  local png=${1%.ppm}.png shot=$E2E_DIR/root.ppm
  convert "$1" PNG24:"$png"
  display -window root "$png" || true # exits with 1 after setting the background
  e2e_shot "$shot"
  e2e_check same "$shot" "$1" >/dev/null || e2e_fail "the root window does not show $png"
}

e2e_shot() { import -window root -depth 8 "$1"; }

e2e_check() { python3 "$E2E_LIB_DIR/screen_check.py" "$@"; }

e2e_cursor_pixels() { python3 "$E2E_LIB_DIR/xcursor.py"; }

# e2e_registry LINE...: imports a REGEDIT4 file made of the given lines.
e2e_registry() {
  vesperine_regedit "$E2E_DIR/settings-$RANDOM.reg" "$@" >>"$E2E_DIR/wine.log" 2>&1 ||
    e2e_fail "regedit could not import the settings"
}

# The REG_MULTI_SZ value "Texture" holding the given files, as a regedit line.
e2e_texture_line() { echo "\"Texture\"=$(texture_multi_sz "$@")"; }

# e2e_saver_settings TEXTURE REFRESH_MS INTERVAL_MS: the saver's key, written whole.
e2e_saver_settings() {
  e2e_registry '[-HKEY_CURRENT_USER\Software\Ondrel\Vesperine]' \
    '[HKEY_CURRENT_USER\Software\Ondrel\Vesperine]' \
    "$(e2e_texture_line "$1")" \
    "\"Refresh Time\"=dword:$(printf '%08x' "$2")" \
    "\"Time Interval\"=dword:$(printf '%08x' "$3")"
}

# e2e_desktop: the test desktop, made to the screen's size, on the root window; sets `desktop`.
e2e_desktop() {
  desktop=$E2E_DIR/desktop.ppm
  e2e_check make-desktop "$E2E_WIDTH" "$E2E_HEIGHT" "$desktop"
  e2e_set_desktop "$desktop"
}

# e2e_tile: the test tile as $E2E_DIR/tile.ppm (sets `tile`) and as tile.png, the texture file.
e2e_tile() {
  tile=$E2E_DIR/tile.ppm
  e2e_check make-tile "$tile"
  convert "$tile" PNG24:"$E2E_DIR/tile.png"
}

# e2e_scene INTERVAL_MS: the scene most drivers share: the test tile as the only texture, a
# "Refresh Time" of 50000 ms and the given "Time Interval", and the test desktop on the root
# window. Sets `tile` and `desktop` (the pictures, as .ppm).
e2e_scene() {
  e2e_tile
  e2e_saver_settings "$E2E_DIR/tile.png" 50000 "$1"
  e2e_desktop
}

# e2e_texture_scene VALUE: the saver's key with VALUE (regedit's hex(7):... form) as its "Texture",
# a fill every 500 ms, and the test desktop on the root window (sets `desktop`).
e2e_texture_scene() {
  e2e_registry '[-HKEY_CURRENT_USER\Software\Ondrel\Vesperine]' \
    '[HKEY_CURRENT_USER\Software\Ondrel\Vesperine]' "\"Texture\"=$1" \
    '"Refresh Time"=dword:0000c350' '"Time Interval"=dword:000001f4'
  e2e_desktop
}

# e2e_expect_filling_then_key: the saver started (E2E_PID), its start-up boxes answered, runs on
# with what it loaded: within 3 s something below the caption is filled, and a key ends it with 0.
e2e_expect_filling_then_key() {
  sleep 3
  e2e_shot "$E2E_DIR/running.ppm"
  e2e_expect_running "$E2E_PID" "with the textures that loaded"
  if e2e_check same "$E2E_DIR/running.ppm" "$desktop" 0 40 "$E2E_WIDTH" $((E2E_HEIGHT - 40)) \
    >/dev/null 2>&1; then
    e2e_fail "nothing was filled in 3 s"
  fi
  xdotool key space
  e2e_expect_exit "$E2E_PID" 20 0 "a key press"
}

# e2e_start LOG PROGRAM ARGS...: starts a wine program in the background; its pid in E2E_PID.
# The wine loader becomes the Windows process, so its exit status is the program's exit code
# (-1 shows as 255).
e2e_start() {
  local log=$1
  shift
  vesperine_wine "$@" >>"$E2E_DIR/$log" 2>&1 &
  E2E_PID=$!
}

# e2e_wait_exit PID SECONDS: sets E2E_STATUS to the exit code; fails when the process still runs
# after that long.
e2e_wait_exit() {
  local pid=$1 limit=$2 started=$SECONDS
  while kill -0 "$pid" 2>/dev/null; do
    ((SECONDS - started < limit)) || e2e_fail "process $pid still runs after $limit s"
    sleep 0.05
  done
  E2E_STATUS=0
  wait "$pid" || E2E_STATUS=$?
}

# e2e_expect_exit PID SECONDS CODE WHAT
e2e_expect_exit() {
  e2e_wait_exit "$1" "$2"
  ((E2E_STATUS == $3)) || e2e_fail "$4: exit code $E2E_STATUS, expected $3"
  e2e_log "$4: exit code $E2E_STATUS"
}

e2e_expect_running() {
  kill -0 "$1" 2>/dev/null || e2e_fail "the saver ended: $2"
}

# The text of the box that tells of a texture file that did not load, as e2e_helper prints it
# (line breaks as \n).
e2e_texture_error_text() {
  echo "Error loading textures from file\\n$1!\\nWrong texture name or missed file. This texture will not be displayed."
}

# e2e_wait_message_box TEXT: waits (up to 60 s) until the saver's "Message" box shows TEXT; sets
# E2E_OK_X and E2E_OK_Y, the middle of its OK button on the screen.
e2e_wait_message_box() {
  local started=$SECONDS report
  while :; do
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the saver ended while a box was awaited: $1"
    report=$(vesperine_wine "$E2E_HELPER" message-box 2>>"$E2E_DIR/wine.log" | tr -d '\r') || true
    if [[ $report == "message-box "* ]]; then
      # shellcheck disable=SC2034  # read by the drivers
      read -r _ E2E_OK_X E2E_OK_Y _ <<<"$report"
      [[ ${report#message-box * * } == "$1" ]] && return 0
    fi
    ((SECONDS - started < 60)) || e2e_fail "no box showing \"$1\" within 60 s (last: $report)"
    sleep 0.1
  done
}

# e2e_wait_saver_shown DESKTOP [RIGHT]: waits until the full-screen saver's window exists and its
# first paint (the caption) is on the screen: the top right corner (of the primary monitor, whose
# right edge is RIGHT) no longer shows the desktop.
e2e_wait_saver_shown() {
  local desktop=$1 right=${2:-$E2E_WIDTH} started=$SECONDS shot=$E2E_DIR/waiting.ppm
  while :; do
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the saver ended before it was shown"
    ((SECONDS - started < 60)) || e2e_fail "the saver was not shown within 60 s"
    if xdotool search --name '^Screen Saver$' >/dev/null 2>&1; then
      e2e_shot "$shot"
      if ! e2e_check same "$shot" "$desktop" $((right - 200)) 0 200 30 >/dev/null 2>&1; then
        return 0
      fi
    fi
    sleep 0.1
  done
}

# e2e_expect_windows_version LOG VERSION: the log of a program started with WINEDEBUG=+ver shows
# that wine told it the version VERSION (an AppDefaults "Version" name).
e2e_expect_windows_version() {
  local expected
  case $2 in
    win95) expected="4.0 platform 1" ;;
    win98) expected="4.10 platform 1" ;;
    winme) expected="4.90 platform 1" ;;
    nt40) expected="4.0 platform 2" ;;
    win2k) expected="5.0 platform 2" ;;
    winxp) expected="5.1 platform 2" ;;
    winxp64) expected="5.2 platform 2" ;;
    win7) expected="6.1 platform 2" ;;
    win10) expected="10.0 platform 2" ;;
    *) e2e_fail "no version known for $2" ;;
  esac
  grep -q "version_init got $expected " "$1" ||
    e2e_fail "wine did not report $2 ($expected): $(grep -o 'version_init got [^b]*' "$1" | head -1)"
}

# e2e_start_preview SAVER [NAME]: starts SAVER with /p in a 152x112 host, the desktop window of
# the wine virtual desktop NAME (e2epreview unless told; see preview.sh), and waits until the host
# reports. A virtual desktop outlives its host: a driver with several previews names each anew.
# Sets E2E_PREVIEW_REPORT (the host's report), E2E_PREVIEW_STOP (the file that closes it) and
# E2E_PREVIEW_LEFT and E2E_PREVIEW_TOP (where the virtual desktop lies on the screen).
e2e_start_preview() {
  local name=${2:-e2epreview}
  E2E_PREVIEW_REPORT=$E2E_DIR/host-$name.txt
  E2E_PREVIEW_STOP=$E2E_DIR/stop-$name
  e2e_start "host-$name.log" explorer "/desktop=$name,152x112" "$E2E_HELPER" host \
    "$(win_path "$E2E_PREVIEW_REPORT")" 0 0 "$(win_path "$E2E_PREVIEW_STOP")" "$(win_path "$1")" \
    /p "{window}"
  local started=$SECONDS window=
  until grep -q '^window' "$E2E_PREVIEW_REPORT" 2>/dev/null; do
    ((SECONDS - started < 60)) || e2e_fail "the host did not report its window"
    sleep 0.1
  done
  e2e_log "host: $(head -1 "$E2E_PREVIEW_REPORT")"
  until [[ -n $window ]]; do
    ((SECONDS - started < 60)) || e2e_fail "no X window of the virtual desktop"
    window=$(xdotool search --name "^$name" 2>/dev/null | head -1 || true)
    sleep 0.1
  done
  read -r E2E_PREVIEW_LEFT E2E_PREVIEW_TOP < <(xdotool getwindowgeometry "$window" |
    sed -n 's/^ *Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
  e2e_log "virtual desktop at ($E2E_PREVIEW_LEFT, $E2E_PREVIEW_TOP)"
}

# e2e_check_preview SHOT PICTURE: fails unless SHOT shows PICTURE in the preview's host.
e2e_check_preview() { e2e_check preview "$1" "$E2E_PREVIEW_LEFT" "$E2E_PREVIEW_TOP" "$2"; }

# e2e_wait_preview_picture PICTURE: waits (up to 60 s) until the preview shows PICTURE.
e2e_wait_preview_picture() {
  local shot=$E2E_DIR/preview.ppm started=$SECONDS
  until e2e_shot "$shot" && e2e_check_preview "$shot" "$1" >/dev/null 2>&1; do
    ((SECONDS - started < 60)) || e2e_check_preview "$shot" "$1" ||
      e2e_fail "the preview picture did not appear"
    ! grep -q '^exit' "$E2E_PREVIEW_REPORT" ||
      e2e_fail "the preview ended: $(tail -1 "$E2E_PREVIEW_REPORT")"
    sleep 0.2
  done
  e2e_log "the preview picture stands at (36, 12)"
}

# e2e_close_preview: the host closes the preview, which must end with 0.
e2e_close_preview() {
  touch "$E2E_PREVIEW_STOP"
  # The virtual desktop's process outlives the host; the wine server goes down with the test.
  local started=$SECONDS result
  until grep -q '^exit\|^still-running' "$E2E_PREVIEW_REPORT"; do
    ((SECONDS - started < 30)) || e2e_fail "the host did not report the end of the preview"
    sleep 0.1
  done
  result=$(tail -1 "$E2E_PREVIEW_REPORT" | tr -d '\r')
  [[ $result == "exit 0" ]] || e2e_fail "the preview ended with '$result', expected exit 0"
  e2e_log "closed by its host: $result"
}

# e2e_cancel_dialog WHAT: waits (up to 30 s) for the settings dialog of the program started last
# (E2E_PID), cancels it with Escape and expects exit code 2.
e2e_cancel_dialog() {
  local started=$SECONDS dialog=
  until [[ -n $dialog ]]; do
    kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "$1 ended without showing the dialog"
    ((SECONDS - started < 30)) || e2e_fail "$1 showed no dialog within 30 s"
    sleep 0.1
    dialog=$(xdotool search --onlyvisible --classname '^vesperine' 2>/dev/null | head -1 || true)
  done
  # Without a window manager the keyboard follows the pointer: put it over the dialog.
  xdotool mousemove --window "$dialog" 5 5
  while kill -0 "$E2E_PID" 2>/dev/null; do
    ((SECONDS - started < 30)) || e2e_fail "$1: the dialog did not close on Escape"
    xdotool key Escape
    sleep 0.5
  done
  e2e_expect_exit "$E2E_PID" 5 2 "$1 (dialog cancelled)"
}

# e2e_plant_saver SAVER: copies SAVER as Vesperine.scr into E2E_DIR/saver and plants the stand-ins
# of planted_dll.cpp (under system components' names) beside it and in E2E_DIR/current, which
# becomes the current folder. Each stand-in logs to E2E_PLANTED_LOG when a process loads it (shown
# first with rundll32); the program's AppDefaults let wine load a planted DLL before its own.
# Sets E2E_PLANTED_SAVER.
e2e_plant_saver() {
  : "${E2E_PLANTED:?}"
  local folder=$E2E_DIR/saver current=$E2E_DIR/current file overrides=()
  mkdir -p "$folder" "$current"
  E2E_PLANTED_SAVER=$folder/Vesperine.scr
  cp "$1" "$E2E_PLANTED_SAVER"
  cp "$E2E_PLANTED"/* "$folder/"
  cp "$E2E_PLANTED"/* "$current/"
  E2E_PLANTED_LOG=$E2E_DIR/planted.log
  export VESPERINE_E2E_PLANTED_LOG
  VESPERINE_E2E_PLANTED_LOG=$(win_path "$E2E_PLANTED_LOG")
  vesperine_wine rundll32 "$(win_path "$current/password.cpl")",Control >>"$E2E_DIR/wine.log" 2>&1 ||
    true
  grep -q 'loaded' "$E2E_PLANTED_LOG" 2>/dev/null ||
    e2e_fail "a loaded planted DLL leaves no line in its log"
  rm -f "$E2E_PLANTED_LOG"
  for file in "$E2E_PLANTED"/*; do
    file=${file##*/}
    overrides+=("\"${file%.dll}\"=\"native,builtin\"")
  done
  e2e_restore_on_exit '[-HKEY_CURRENT_USER\Software\Wine\AppDefaults\Vesperine.scr]'
  e2e_registry '[HKEY_CURRENT_USER\Software\Wine\AppDefaults\Vesperine.scr\DllOverrides]' \
    "${overrides[@]}"
  cd "$current"
}

# e2e_expect_system_dlls LOG: no planted DLL has been loaded, and every DLL that the saver of LOG
# (started with WINEDEBUG=+loaddll) loaded came from the system folders or the side-by-side store.
e2e_expect_system_dlls() {
  [[ ! -s $E2E_PLANTED_LOG ]] || e2e_fail "planted DLLs were loaded: $(cat "$E2E_PLANTED_LOG")"
  grep -Eiq 'loaded L"[^"]*user32\.dll"' "$1" || e2e_fail "no DLL loads in $1"
  local strays
  strays=$(grep -Eio 'loaded L"[^"]*"' "$1" |
    grep -Eiv 'C:[\\]+windows[\\]+(system32|syswow64|winsxs)[\\]|Vesperine\.scr"' || true)
  [[ -z $strays ]] || e2e_fail "DLLs loaded from outside the system: $strays"
}
