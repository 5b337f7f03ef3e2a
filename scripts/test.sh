#!/usr/bin/env bash
# The project's test command. Installs what is missing, builds the native, sanitize, fuzz, win64
# and win32 trees, and runs the tests of the native tree, the native tests again under
# AddressSanitizer and UBSan, a short run of each fuzz target, and, under wine, the tests of the
# win64 tree. The win32 tree is a compile check: this machine runs no 32-bit programs.
#
# All Windows tests of one run share a fresh wine prefix (or $VESPERINE_WINEPREFIX, kept as it is)
# and a private Xvfb; both are stopped on the way out, whatever happens.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
started=$SECONDS

bash scripts/setup.sh
mkdir -p build
# shellcheck source-path=SCRIPTDIR source=wine.sh
source "$root/scripts/wine.sh"

own_prefix=
prepare_pid=
cleanup() {
  local status=$?
  if [[ -n $prepare_pid ]]; then
    kill "$prepare_pid" 2>/dev/null || true
    wait "$prepare_pid" 2>/dev/null || true
  fi
  if [[ -n ${VESPERINE_WINEPREFIX:-} && -d $VESPERINE_WINEPREFIX ]]; then
    WINEPREFIX=$VESPERINE_WINEPREFIX wineserver -k 2>/dev/null || true
    WINEPREFIX=$VESPERINE_WINEPREFIX timeout 30 wineserver -w 2>/dev/null || true
  fi
  vesperine_stop_xvfb
  if [[ -n $own_prefix ]]; then
    rm -rf "$own_prefix"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

vesperine_start_xvfb build/xvfb.log
if [[ -z ${VESPERINE_WINEPREFIX:-} ]]; then
  own_prefix=$(mktemp -d "$root/build/wineprefix.XXXXXX")
  export VESPERINE_WINEPREFIX=$own_prefix
fi
# A new prefix takes a while to set up, mostly waiting: do it while the compilers run.
scripts/wine-run.sh --prepare >build/wine-prepare.log 2>&1 &
prepare_pid=$!

# A tree that does not build is reported at the end; the others are still tested.
failed=()
built=()
# The sanitized tree needs only the programs its tests run, the fuzz tree only its fuzz targets.
sanitize_targets=(vesperine_unit_tests vesperine-render)
fuzz_targets=(fill_fuzz texture_list_fuzz settings_fuzz command_tail_fuzz texture_paint_fuzz image_header_fuzz)
for tree in native sanitize fuzz win64 win32; do
  echo "== build $tree"
  targets=()
  if [[ $tree == sanitize ]]; then
    targets=("${sanitize_targets[@]}")
  elif [[ $tree == fuzz ]]; then
    targets=("${fuzz_targets[@]}")
  fi
  if bash scripts/build.sh "$tree" "${targets[@]}"; then
    built+=("$tree")
  else
    failed+=("build-$tree")
  fi
done

if ! wait "$prepare_pid"; then
  prepare_pid=
  echo "test: the wine prefix could not be set up:" >&2
  cat build/wine-prepare.log >&2
  exit 1
fi
prepare_pid=
# One wine server for the whole run, so that each test program starts in a fraction of a second.
# Its system processes (services.exe and the like) are started here too, outside ctest: they live
# as long as the server and keep the standard error of the program that started them, so ctest
# would wait for them forever.
(
  export WINEPREFIX=$VESPERINE_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  wineserver -p
  wine cmd /c exit
) </dev/null >>build/wine-prepare.log 2>&1

ctest_log=build/ctest.log
: >"$ctest_log"
if [[ " ${built[*]} " == *" native "* ]]; then
  echo "== native tests"
  ctest --test-dir build/native --output-on-failure --timeout 600 -j2 | tee -a "$ctest_log" ||
    failed+=(native)
fi
if [[ " ${built[*]} " == *" sanitize "* ]]; then
  echo "== native tests under AddressSanitizer and UBSan"
  # Some tests ask for absurd amounts of memory on purpose and expect a null answer.
  ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1 \
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --test-dir build/sanitize --output-on-failure --timeout 600 -j2 -E source_lint |
    tee -a "$ctest_log" || failed+=(sanitize)
fi
if [[ " ${built[*]} " == *" fuzz "* ]]; then
  echo "== fuzz targets, a short run each"
  ctest --test-dir build/fuzz -L fuzz --output-on-failure -j2 | tee -a "$ctest_log" || failed+=(fuzz)
fi
if [[ " ${built[*]} " == *" win64 "* ]]; then
  echo "== Windows tests (wine, DISPLAY=$DISPLAY)"
  ctest --test-dir build/win64 --output-on-failure --timeout 600 | tee -a "$ctest_log" ||
    failed+=(win64)
fi

# One closing line for both trees, from ctest's own summaries.
passed_total=0
failed_total=0
while read -r _ _ _ failed_count _ _ _ _ count; do
  passed_total=$((passed_total + count - failed_count))
  failed_total=$((failed_total + failed_count))
done < <(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$ctest_log" || true)
echo "test: finished in $((SECONDS - started)) s"
echo "tests: $passed_total passed, $failed_total failed"
if ((${#failed[@]} > 0)); then
  echo "test: FAILED in ${failed[*]}" >&2
  exit 1
fi
