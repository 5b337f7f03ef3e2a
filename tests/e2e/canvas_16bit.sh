#!/usr/bin/env bash
# The Win32 canvas and cycle tests once more on a 16-bit screen (the other Windows tests run on a
# 24-bit one): GDI must report 16 bits a pixel there and the canvases take the 5-6-5 layout
# (VESPERINE_EXPECT_SCREEN_BITS makes the canvas test check both), so the engine's 16-bit paths
# run on real DIB sections.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
: "${E2E_WIN32_TESTS:?}"

e2e_begin canvas_16bit 1280 1024 16
e2e_step "tests"
log=$E2E_DIR/tests.log
status=0
VESPERINE_EXPECT_SCREEN_BITS=16 vesperine_wine "$E2E_WIN32_TESTS" --gtest_filter='Canvas.*:SaverAnimation.*' \
  >"$log" 2>&1 || status=$?
tr -d '\r' <"$log" | grep -E '^\[ *(OK|FAILED|PASSED) *\]|Failure|Expected|Which is' || true
((status == 0)) || e2e_fail "the tests failed on the 16-bit screen (exit code $status)"
grep -Eq '^\[  PASSED  \] [1-9][0-9]* tests' "$log" || e2e_fail "no test ran"
