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
    # shellcheck source-path=SCRIPTDIR source=../../scripts/xvfb.sh
    source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/xvfb.sh"
    trap vesperine_stop_xvfb EXIT
    vesperine_start_xvfb /dev/null 640 480
    wineboot -i </dev/null >/dev/null 2>&1
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
