#!/usr/bin/env bash
# Runs a Windows test program under wine (64-bit) and passes its exit code through. ctest starts
# every Windows test through this script (it is the toolchain's emulator).
#
#   wine-run.sh [--default-prefix DIR] PROGRAM [ARGS...]
#   wine-run.sh [--default-prefix DIR] --prepare     (only make sure the prefix is ready)
#
# The wine prefix is $VESPERINE_WINEPREFIX when set (scripts/test.sh shares one across a run),
# else DIR. A new prefix is set up once, under a lock, before any program uses it: its first start
# takes several seconds, and programs started during it would race with wineboot. DISPLAY should
# name an X server the caller started; without one this script starts its own Xvfb for the
# program and waits for wine to wind down before stopping it.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

default_prefix=${TMPDIR:-/tmp}/vesperine-wineprefix-$EUID
if [[ ${1:-} == --default-prefix ]]; then
  default_prefix=$2
  shift 2
fi
if (($# == 0)); then
  echo "usage: wine-run.sh [--default-prefix DIR] (PROGRAM [ARGS...] | --prepare)" >&2
  exit 2
fi

# wine wants an absolute path.
WINEPREFIX=$(realpath -m "${VESPERINE_WINEPREFIX:-$default_prefix}")
export WINEPREFIX
export WINEARCH=win64
export WINEDEBUG=-all
# No .NET or HTML engine: wine would otherwise offer to download them, in a dialog nobody answers.
export WINEDLLOVERRIDES="mscoree,mshtml="

prepare_prefix() {
  local ready=$WINEPREFIX/.vesperine-ready
  [[ -f $ready ]] && return 0
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [[ ! -f $ready ]]; then
      wineboot -i >/dev/null 2>&1 </dev/null
      # wineboot returns before the services it started have settled; wait for the server to go.
      timeout 120 wineserver -w
      touch "$ready"
    fi
  ) 9>"$WINEPREFIX/.vesperine-lock"
}

own_xvfb=
# shellcheck disable=SC2317  # run by the EXIT trap
finish() {
  if [[ -n $own_xvfb ]]; then
    # Nothing started on our display may outlive it.
    timeout 60 wineserver -w || true
    vesperine_stop_xvfb
  fi
}

if [[ -z ${DISPLAY:-} ]]; then
  # shellcheck source-path=SCRIPTDIR source=xvfb.sh
  source "$here/xvfb.sh"
  vesperine_start_xvfb /dev/null
  own_xvfb=1
  trap finish EXIT
fi

prepare_prefix
if [[ $1 == --prepare ]]; then
  exit 0
fi

if [[ -z $own_xvfb ]]; then
  exec wine "$@"
fi
status=0
wine "$@" || status=$?
exit "$status"
