#!/usr/bin/env bash
# The project's test command (README, Getting started): installs what is missing, then builds and
# tests every tree by its CMake presets. The Windows tests share a fresh 64-bit and 32-bit wine
# prefix ($VESPERINE_WINEPREFIX and $VESPERINE_WINEPREFIX32 when set, kept as they are) and a private
# Xvfb, all stopped on the way out. Ends with one line: "tests: N passed, N failed".
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
started=$SECONDS
# One word a tree, in the order they are built and tested.
trees=(native sanitize fuzz win64 win32 web)

bash scripts/setup.sh
# shellcheck source-path=SCRIPTDIR source=wine.sh
source scripts/wine.sh
mkdir -p build/test
rm -f build/test/*.xml

own_prefixes=() preparing=()
# shellcheck disable=SC2317  # run by the EXIT trap
cleanup() {
  local status=$? prefix
  kill "${preparing[@]}" 2>/dev/null || true
  for prefix in "${VESPERINE_WINEPREFIX:-}" "${VESPERINE_WINEPREFIX32:-}"; do
    [[ -z $prefix ]] || (vesperine_wine_env "$prefix" && vesperine_wine_server_stop)
  done
  vesperine_stop_xvfb
  rm -rf "${own_prefixes[@]}"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

vesperine_start_xvfb build/test/xvfb.log
# A new prefix takes a while to set up, mostly waiting: do it while the compilers run. Then one
# wine server a prefix for the whole run, so that each test program starts in a moment.
for bits in 64 32; do
  variable=VESPERINE_WINEPREFIX${bits%64}
  if [[ -z ${!variable:-} ]]; then
    own_prefixes+=("$(mktemp -d "$root/build/wineprefix.XXXXXX")")
    export "$variable=${own_prefixes[-1]}"
  fi
  (scripts/wine-run.sh --arch "win$bits" --prepare &&
    vesperine_wine_env "${!variable}" "win$bits" && vesperine_wine_server_start /dev/stdout) \
    >"build/test/wine$bits.log" 2>&1 &
  preparing+=($!)
done

# A tree that does not build is reported at the end; the others are still tested.
failed=() built=()
for tree in "${trees[@]}"; do
  echo "== build $tree"
  if cmake --preset "$tree" >"build/test/configure-$tree.log" && cmake --build --preset "$tree"
  then
    built+=("$tree")
  else
    cat "build/test/configure-$tree.log"
    failed+=("build-$tree")
  fi
done

for pid in "${preparing[@]}"; do
  if ! wait "$pid"; then
    echo "test: a wine prefix could not be set up:" >&2
    cat build/test/wine*.log >&2
    exit 1
  fi
done
preparing=()

for tree in "${built[@]}"; do
  echo "== $tree tests"
  ctest --preset "$tree" --output-junit "$root/build/test/$tree.xml" || failed+=("$tree")
done

# One closing line for every tree, from ctest's JUnit reports.
shopt -s nullglob
read -r passed failed_count < <(python3 - build/test/*.xml <<'EOF'
import sys, xml.etree.ElementTree as tree
suites = [tree.parse(path).getroot() for path in sys.argv[1:]]
total = sum(int(s.get("tests", 0)) - int(s.get("disabled", 0)) - int(s.get("skipped", 0)) for s in suites)
failures = sum(int(s.get("failures", 0)) for s in suites)
print(total - failures, failures)
EOF
)
echo "test: finished in $((SECONDS - started)) s"
echo "tests: $passed passed, $failed_count failed"
if ((${#failed[@]} > 0)); then
  echo "test: FAILED in ${failed[*]}" >&2
  exit 1
fi
