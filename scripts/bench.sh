#!/usr/bin/env bash
# Builds the native tree in Release and runs the benchmarks. Arguments go to Google Benchmark,
# e.g. bench.sh --benchmark_filter=Fill --benchmark_repetitions=5
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" native vesperine_bench
exec "$root/build/native/bench/vesperine_bench" "$@"
