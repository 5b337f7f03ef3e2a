#!/usr/bin/env bash
# Runs a Windows test program under wine and passes its exit code through. ctest starts every
# Windows test through this script (the toolchain files make it the emulator).
#
#   wine-run.sh [--arch win64|win32] [--default-prefix DIR] PROGRAM [ARGS...]
#   wine-run.sh [--arch win64|win32] [--default-prefix DIR] --prepare   (only set the prefix up)
#
# The wine prefix is $VESPERINE_WINEPREFIX (win64) or $VESPERINE_WINEPREFIX32 (win32) when set
# (scripts/test.sh shares one of each across a run), else DIR. Without DISPLAY this script starts
# its own Xvfb for the program and waits for wine to wind down before stopping it.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=wine.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine.sh"

arch=win64
default_prefix=${TMPDIR:-/tmp}/vesperine-wineprefix-$EUID
while [[ ${1:-} == --arch || ${1:-} == --default-prefix ]]; do
  [[ $1 == --arch ]] && arch=$2 || default_prefix=$2
  shift 2
done
if (($# == 0)); then
  echo "usage: wine-run.sh [--arch win64|win32] [--default-prefix DIR] (PROGRAM [ARGS...] | --prepare)" >&2
  exit 2
fi
if [[ $arch == win32 ]]; then
  vesperine_wine_env "${VESPERINE_WINEPREFIX32:-$default_prefix}" win32
else
  vesperine_wine_env "${VESPERINE_WINEPREFIX:-$default_prefix}" win64
fi

own_display=
if [[ -z ${DISPLAY:-} ]]; then
  vesperine_start_xvfb /dev/null
  own_display=1
  # Nothing started on our display may outlive it.
  trap 'timeout 60 wineserver -w || true; vesperine_stop_xvfb' EXIT
fi
vesperine_wine_prepare
[[ $1 == --prepare ]] && exit 0
[[ -n $own_display ]] || exec "$VESPERINE_WINE" "$@"
"$VESPERINE_WINE" "$@"
