# shellcheck shell=bash
# Sourced, not run: starts and stops a private Xvfb on a free display. Xvfb picks the display
# number itself (-displayfd), so two runs side by side never race for one.

# vesperine_start_xvfb [LOG [WIDTH HEIGHT [DEPTH]]]: starts Xvfb with a screen of that size
# (1280x1024 unless told) and depth (24 unless told), exports DISPLAY and sets VESPERINE_XVFB_PID; Xvfb's own messages go to LOG.
# -noreset keeps the root window's picture when the last client leaves (display, import and
# xdotool are clients too); without it Xvfb starts afresh with a black root window.
vesperine_start_xvfb() {
  local log=${1:-/dev/null} width=${2:-1280} height=${3:-1024} depth=${4:-24}
  local number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${width}x${height}x${depth}" -nolisten tcp -noreset 3>"$number_file" \
    </dev/null >"$log" 2>&1 &
  VESPERINE_XVFB_PID=$!
  local tries
  for ((tries = 0; tries < 200; tries++)); do
    if [[ -s $number_file ]] && [[ $(<"$number_file") =~ ^[0-9]+$ ]]; then
      DISPLAY=":$(<"$number_file")"
      export DISPLAY
      rm -f "$number_file"
      return 0
    fi
    if ! kill -0 "$VESPERINE_XVFB_PID" 2>/dev/null; then
      break
    fi
    sleep 0.05
  done
  rm -f "$number_file"
  echo "xvfb: Xvfb did not start (see $log)" >&2
  vesperine_stop_xvfb
  return 1
}

# vesperine_start_two_monitors [LOG]: two monitors side by side, as wine sees them through
# Xinerama: the primary 1024x768 at (0, 0) and a second 800x600 at (1024, 0), a virtual screen of
# 1824x768 whose bottom-right 800x168 lies on no monitor. Xephyr shows them nested in an Xvfb;
# with RandR left on, wine would see one monitor. Exports DISPLAY (Xephyr's) and sets
# VESPERINE_XEPHYR_PID; vesperine_stop_xvfb stops both servers.
vesperine_start_two_monitors() {
  local log=${1:-/dev/null}
  vesperine_start_xvfb "$log" 1900 800 || return 1
  local number_file tries
  number_file=$(mktemp)
  Xephyr -displayfd 3 +xinerama -extension RANDR -screen 1024x768x24 -screen 800x600x24 \
    -nolisten tcp -noreset 3>"$number_file" </dev/null >>"$log" 2>&1 &
  VESPERINE_XEPHYR_PID=$!
  for ((tries = 0; tries < 200; tries++)); do
    if [[ -s $number_file ]] && [[ $(<"$number_file") =~ ^[0-9]+$ ]]; then
      DISPLAY=":$(<"$number_file")"
      export DISPLAY
      rm -f "$number_file"
      return 0
    fi
    kill -0 "$VESPERINE_XEPHYR_PID" 2>/dev/null || break
    sleep 0.05
  done
  rm -f "$number_file"
  echo "xvfb: Xephyr did not start (see $log)" >&2
  vesperine_stop_xvfb
  return 1
}

vesperine_stop_xvfb() {
  if [[ -n ${VESPERINE_XEPHYR_PID:-} ]]; then
    kill "$VESPERINE_XEPHYR_PID" 2>/dev/null || true
    wait "$VESPERINE_XEPHYR_PID" 2>/dev/null || true
    VESPERINE_XEPHYR_PID=
  fi
  if [[ -n ${VESPERINE_XVFB_PID:-} ]]; then
    kill "$VESPERINE_XVFB_PID" 2>/dev/null || true
    wait "$VESPERINE_XVFB_PID" 2>/dev/null || true
    VESPERINE_XVFB_PID=
  fi
}
