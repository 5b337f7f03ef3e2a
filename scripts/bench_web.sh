#!/usr/bin/env bash
# The fill in WebAssembly against native, on the same 1920x1080 canvases (uniform, ramp, maze), as
# ratios; the page's wipe frame time; and the page's time from opening to its first fill. Builds
# build/native's benchmarks and the web tree, then runs both in this session. Prints figures only.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" native vesperine_bench >/dev/null
bash "$root/scripts/build.sh" web >/dev/null
exec node "$root/web/bench/bench.mjs" "$root/build/web/bench" "$root/build/web/site" \
  "$root/build/native/bench/vesperine_bench"
