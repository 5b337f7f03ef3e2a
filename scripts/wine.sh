# shellcheck shell=bash
# Sourced, not run: the one place that knows how to run Windows programs here. Its functions (those
# that can fail print why on standard error and return non-zero):
#
#   vesperine_wine_env PREFIX [win64|win32]  exports WINEPREFIX (made absolute), WINEARCH, WINEDEBUG
#                                 and WINEDLLOVERRIDES; sets VESPERINE_WINE, the loader (win64 unless told)
#   vesperine_wine ARGS...        runs a program (or wine's own: regedit, reg, cmd) in the prefix
#   vesperine_wine_prepare [LOG]  sets the prefix up once (under a lock); at once when it is ready
#   vesperine_wine_fresh [LOG]    removes the prefix and sets it up anew
#   vesperine_wine_remove         stops the prefix's programs and removes it
#   vesperine_wine_server_start [LOG]  a wine server that stays, with its desktop process started
#   vesperine_wine_server_stop    ends every program of the prefix and waits for its server
#   vesperine_start_xvfb [LOG [WIDTH HEIGHT [DEPTH]]]  an Xvfb (1280x1024x24); exports DISPLAY
#   vesperine_start_two_monitors [LOG]  Xephyr's 1024x768 at (0, 0), 800x600 at (1024, 0); the same
#   vesperine_stop_xvfb           stops what the two above started
#   vesperine_start_program LOG PROGRAM [ARGS...]  starts it in the background; its pid in VESPERINE_PID
#   vesperine_wait_window TITLE   waits for a window of that title while VESPERINE_PID runs (60 s)
#   win_path FILE                 the Windows name of a file of this machine (Z:\...)
#   texture_multi_sz FILE...      the files' names as a REG_MULTI_SZ value in regedit's form
#   vesperine_regedit FILE LINE...  writes the lines as a REGEDIT4 file and imports it
#   vesperine_saver_settings FILE INTERVAL REFRESH TEXTURE...  the saver's "Texture", "Time
#                                 Interval" and "Refresh Time" (milliseconds; "default" deletes the
#                                 value, so that the saver takes its default; "" leaves it as stored)
#
# Run rather than sourced, it gives a program of another language a screen and a prefix:
#   wine.sh session SCREEN PREFIX ARCH LOG COMMAND...  runs COMMAND on a private Xvfb (SCREEN:
#                                 WIDTHxHEIGHT or two-monitors) with the prefix set up, its server
#                                 started and VESPERINE_WINE exported; stops them after it

vesperine_wine_env() {
  WINEPREFIX=$(realpath -m "$1")
  WINEARCH=${2:-win64}
  # No .NET or HTML engine: wine would otherwise offer to download them, in a dialog nobody answers.
  export WINEPREFIX WINEARCH WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # `wine` is the 32-bit launcher once wine32 is installed: it would start a 64-bit program as a
  # child of start.exe. wine64 makes the started process the program itself (its pid, its /proc,
  # its exit code).
  VESPERINE_WINE=wine
  [[ $WINEARCH != win64 || ! -x /usr/lib/wine/wine64 ]] || VESPERINE_WINE=/usr/lib/wine/wine64
}

vesperine_wine() { "$VESPERINE_WINE" "$@"; }

vesperine_wine_prepare() {
  local log=${1:-/dev/null} ready=$WINEPREFIX/.vesperine-ready own_display=
  [[ -f $ready ]] && return 0
  mkdir -p "$WINEPREFIX"
  if [[ -z ${DISPLAY:-} ]]; then
    vesperine_start_xvfb "$log" 640 480 || return 1
    own_display=1
  fi
  (
    flock 9
    if [[ ! -f $ready ]]; then
      vesperine_wine wineboot -i </dev/null >>"$log" 2>&1
      # wineboot returns before the services it started have settled; wait for the server to go.
      timeout 120 wineserver -w && touch "$ready"
    fi
  ) 9>"$WINEPREFIX/.vesperine-lock"
  local status=$?
  [[ -z $own_display ]] || vesperine_stop_xvfb
  ((status == 0)) || echo "wine: the prefix $WINEPREFIX could not be set up" >&2
  return "$status"
}

vesperine_wine_remove() { vesperine_wine_server_stop && rm -rf "$WINEPREFIX"; }

vesperine_wine_fresh() { vesperine_wine_remove && vesperine_wine_prepare "$@"; }

# The server keeps wine's desktop process for as long as it runs: each start of that process
# clears the root window (which holds the desktop picture a saver captures), and its system
# processes, started here rather than under ctest, keep the standard error of whatever started
# them, which would wait for them forever.
vesperine_wine_server_start() {
  wineserver -p
  vesperine_wine cmd /c exit </dev/null >>"${1:-/dev/null}" 2>&1
}

vesperine_wine_server_stop() {
  [[ -d ${WINEPREFIX:-} ]] || return 0
  wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
}

# vesperine_x_server Xvfb|Xephyr LOG ARGS...: the server picks its display number itself and
# writes it (-displayfd), so two runs never race. -noreset keeps the root window's picture when
# the last client leaves (display, import and xdotool are clients too).
vesperine_x_server() {
  local name=$1 log=$2 number_file tries=0
  shift 2
  number_file=$(mktemp)
  "$name" -displayfd 3 "$@" -nolisten tcp -noreset 3>"$number_file" </dev/null >>"$log" 2>&1 &
  printf -v "VESPERINE_${name^^}_PID" %s "$!"
  until [[ $(<"$number_file") =~ ^[0-9]+$ ]]; do
    if ((++tries > 200)) || ! kill -0 "$!" 2>/dev/null; then
      rm -f "$number_file"
      echo "wine: $name did not start" >&2
      vesperine_stop_xvfb
      return 1
    fi
    sleep 0.05
  done
  DISPLAY=":$(<"$number_file")" && export DISPLAY
  rm -f "$number_file"
}

vesperine_start_xvfb() {
  vesperine_x_server Xvfb "${1:-/dev/null}" -screen 0 "${2:-1280}x${3:-1024}x${4:-24}"
}

# Xephyr shows the two monitors nested in an Xvfb; with RandR left on, wine would see one monitor.
# Their virtual screen of 1824x768 has a bottom-right 800x168 on no monitor.
vesperine_start_two_monitors() {
  vesperine_start_xvfb "${1:-/dev/null}" 1900 800 &&
    vesperine_x_server Xephyr "${1:-/dev/null}" +xinerama -extension RANDR \
      -screen 1024x768x24 -screen 800x600x24
}

vesperine_stop_xvfb() {
  local pid
  for pid in ${VESPERINE_XEPHYR_PID:-} ${VESPERINE_XVFB_PID:-}; do
    { kill "$pid" && wait "$pid"; } 2>/dev/null || true
  done
  VESPERINE_XEPHYR_PID='' VESPERINE_XVFB_PID=''
}

vesperine_start_program() {
  # The loader itself, not a function: a function would run in a subshell, whose pid is not wine's.
  "$VESPERINE_WINE" "${@:2}" >>"$1" 2>&1 &
  VESPERINE_PID=$!
}

vesperine_wait_window() {
  local title=$1 started=$SECONDS
  until xdotool search --name "^$title\$" >/dev/null 2>&1; do
    if ! kill -0 "$VESPERINE_PID" 2>/dev/null; then
      echo "wine: the program ended before its window \"$title\" showed" >&2
      return 1
    elif ((SECONDS - started > 60)); then
      echo "wine: no window \"$title\" within 60 s" >&2
      return 1
    fi
    sleep 0.05
  done
}

win_path() {
  local path
  path=$(realpath -m "$1")
  echo "Z:${path//\//\\}"
}

# hex(7):..., each name and a NUL, then one more NUL.
texture_multi_sz() {
  local bytes=() file path i
  for file in "$@"; do
    path=$(win_path "$file")
    for ((i = 0; i < ${#path}; i++)); do
      bytes+=("$(printf '%02x' "'${path:i:1}")")
    done
    bytes+=(00)
  done
  bytes+=(00)
  local IFS=,
  echo "hex(7):${bytes[*]}"
}

vesperine_regedit() {
  printf '%s\r\n' REGEDIT4 "" "${@:2}" >"$1"
  vesperine_wine regedit /S "$(win_path "$1")" || {
    echo "wine: regedit could not import $1" >&2
    return 1
  }
}

vesperine_saver_settings() {
  local file=$1 lines=() name=Time\ Interval value
  for value in "$2" "$3"; do
    if [[ $value == default ]]; then
      lines+=("\"$name\"=-")
    elif [[ -n $value ]]; then
      lines+=("\"$name\"=dword:$(printf '%08x' "$value")")
    fi
    name="Refresh Time"
  done
  shift 3
  vesperine_regedit "$file" '[HKEY_CURRENT_USER\Software\Ondrel\Vesperine]' \
    "\"Texture\"=$(texture_multi_sz "$@")" "${lines[@]}"
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
  set -euo pipefail
  if [[ ${1:-} != session ]] || (($# < 6)); then
    echo "usage: wine.sh session WIDTHxHEIGHT|two-monitors PREFIX win64|win32 LOG COMMAND..." >&2
    exit 2
  fi
  screen=$2 log=$5
  vesperine_wine_env "$3" "$4"
  export VESPERINE_WINE
  shift 5
  trap 'vesperine_wine_server_stop; vesperine_stop_xvfb' EXIT
  if [[ $screen == two-monitors ]]; then
    vesperine_start_two_monitors "$log"
  else
    vesperine_start_xvfb "$log" "${screen%x*}" "${screen#*x}"
  fi
  vesperine_wine_prepare "$log"
  vesperine_wine_server_start "$log"
  "$@"
fi
