#!/usr/bin/env bash
# Command tails of the real saver on the NT family (wine's default):
#   /p without a window, /p 0, /p:N, /p with a number that names no window, /x, /?, /a and /a N
#   end with -1 (255 on Linux) and leave the screen as it was;
#   an empty tail, a blank tail (blanks and a tab) and the /c forms open the settings dialog,
#   which the test cancels with Escape (exit code 2).
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin command_line 640 480
e2e_step "settings"
e2e_scene 1000

saver=$(win_path "$E2E_SAVER")
no_window=999999 # names no window

# run_tail WHAT TAIL: the saver started with exactly "PROGRAM TAIL" as its command line.
run_tail() {
  e2e_log "$1"
  e2e_start "tail.log" "$E2E_HELPER" raw "$saver$2"
}

expect_nothing() {
  local what=$1
  run_tail "$what" "$2"
  e2e_expect_exit "$E2E_PID" 30 255 "'$2'"
  e2e_shot "$E2E_DIR/after.ppm"
  e2e_check same "$E2E_DIR/after.ppm" "$desktop" >/dev/null ||
    e2e_fail "'$2' changed the screen"
}

expect_settings() {
  run_tail "$1" "$2"
  e2e_cancel_dialog "'$2'"
}

e2e_step "tails that end with -1"
expect_nothing "preview without a window" " /p"
expect_nothing "preview of window 0" " /p 0"
expect_nothing "preview after a colon" " /p:$no_window"
expect_nothing "preview of no window" " /p $no_window"
expect_nothing "unknown switch" " /x"
expect_nothing "question mark" " /?"
expect_nothing "change password on NT" " /a"
expect_nothing "change password on NT, with a window" " -a $no_window"

e2e_step "settings tails"
expect_settings "empty tail" ""
expect_settings "blank tail" $'   \t '
expect_settings "/c" " /c"
expect_settings "/c with a number that names no window" " /c:$no_window"
expect_settings "/c with a blank before the number" " -C 12345"
