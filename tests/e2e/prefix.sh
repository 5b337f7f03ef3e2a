#!/usr/bin/env bash
# The e2e tests' wine prefix, one per ctest run: "setup" makes it anew, "cleanup" stops its wine
# server and removes it.
set -euo pipefail
: "${E2E_WINEPREFIX:?}"
# shellcheck source-path=SCRIPTDIR source=../../scripts/wine.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine.sh"
vesperine_wine_env "$E2E_WINEPREFIX" "${E2E_WINEARCH:-win64}"

case ${1:-} in
  setup)
    unset DISPLAY # wineboot gets a private Xvfb of its own
    vesperine_wine_fresh
    echo "e2e wine prefix ready: $WINEPREFIX"
    ;;
  cleanup) vesperine_wine_remove ;;
  *)
    echo "usage: prefix.sh setup|cleanup" >&2
    exit 2
    ;;
esac
