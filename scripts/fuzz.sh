#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UBSan) in build/fuzz and runs each in
# turn, for a time or a number of inputs:
#
#   fuzz.sh [--seconds N | --runs N] [TARGET...]     (default: --seconds 60, every target)
#
# Each run starts from the seeds in fuzz/corpus/TARGET and the inputs earlier runs kept in
# build/fuzz/fuzz/corpus/TARGET; a finding is written to build/fuzz/fuzz/findings/ and makes the
# script fail. The short runs of the test suite are the same runs as ctest tests (label "fuzz").
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
limit=(-max_total_time=60)
case ${1:-} in
  --seconds) limit=(-max_total_time="$2") && shift 2 ;;
  --runs) limit=(-runs="$2") && shift 2 ;;
esac
targets=("$@")

bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" fuzz "${targets[@]:-fuzz_targets}"
if ((${#targets[@]} == 0)); then
  # Every fuzz target, as fuzz/CMakeLists.txt names them: each is a test of the label "fuzz".
  mapfile -t targets < <(ctest --test-dir "$root/build/fuzz" -N -L fuzz | sed -n 's/^ *Test *#[0-9]*: //p')
fi
out=$root/build/fuzz/fuzz
mkdir -p "$out/findings"
status=0
for target in "${targets[@]}"; do
  mkdir -p "$out/corpus/$target"
  log=$out/$target.log
  started=$SECONDS
  verdict=clean
  "$out/$target" "${limit[@]}" -timeout=60 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$out/findings/$target-" "$out/corpus/$target" "$root/fuzz/corpus/$target" \
    >"$log" 2>&1 || verdict="FINDING (see $log)" status=1
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz: $target: ${runs:-?} inputs in $((SECONDS - started)) s, $verdict"
done
exit "$status"
