#!/usr/bin/env bash
# Builds one tree by its CMake presets (CMakePresets.json), configuring it first when it has never
# been: build.sh native|sanitize|fuzz|win64|win32|web [TARGET...]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
tree=$1
shift
[[ -f build/$tree/build.ninja ]] || cmake --preset "$tree" >/dev/null
cmake --build --preset "$tree" ${1:+--target "$@"}
