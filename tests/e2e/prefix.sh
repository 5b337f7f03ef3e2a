#!/usr/bin/env bash
# The e2e tests' wine prefix, one per ctest run: "setup" makes it anew (on a private Xvfb, which
# wineboot needs), "cleanup" stops its wine server and removes it.
set -euo pipefail

: "${E2E_WINEPREFIX:?}"
export WINEPREFIX=$E2E_WINEPREFIX WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

stop_server() {
  if [[ -d $WINEPREFIX ]]; then
    wineserver -k 2>/dev/null || true
    timeout 30 wineserver -w 2>/dev/null || true
  fi
}

case ${1:-} in
  setup)
    stop_server
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    number_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$number_file" </dev/null \
      >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null || true; rm -f "$number_file"' EXIT
    for ((tries = 0; tries < 200; tries++)); do
      [[ -s $number_file ]] && break
      sleep 0.05
    done
    DISPLAY=":$(<"$number_file")" wineboot -i </dev/null >/dev/null 2>&1
    timeout 120 wineserver -w
    touch "$WINEPREFIX/.vesperine-ready"
    echo "e2e wine prefix ready: $WINEPREFIX"
    ;;
  cleanup)
    stop_server
    rm -rf "$WINEPREFIX"
    ;;
  *)
    echo "usage: prefix.sh setup|cleanup" >&2
    exit 2
    ;;
esac
