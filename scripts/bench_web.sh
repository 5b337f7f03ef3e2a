#!/usr/bin/env bash
# The fill in WebAssembly against native, on the same 1920x1080 canvases (uniform, ramp, maze), as
# ratios; the page's wipe frame time; and the page's time from opening to its first fill. Builds
# build/native's benchmarks and the web tree, then runs both in this session. Prints figures only.
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh
bash scripts/build.sh native vesperine_bench >/dev/null
bash scripts/build.sh web >/dev/null
exec node web/bench/bench.mjs build/web/bench build/web/site build/native/bench/vesperine_bench
