#!/usr/bin/env bash
# The Windows 95, 98 and Me branches of the real saver: wine reports each version in turn to it
# (the AppDefaults "Version" of Vesperine.scr; wine's trace shows that the version took), and a
# PASSWORD.CPL stand-in with a real prompt window (password_prompt_double.cpp) lies in the system
# folder, where Windows 9x keeps the real one, as does the MPR.DLL stand-in of the Win32 tests
# (loaded instead of wine's own through a per-program DLL override). On each version:
#
#   - DLLs planted under the names gdiplus.dll, PASSWORD.CPL, MPR.DLL, cryptbase.dll, rsaenh.dll
#     and comdlg32.dll beside the saver and in its current folder are never loaded, though DLL
#     overrides let wine load them; every DLL of the run comes from the system folder or the
#     side-by-side store; the system's GDI+ decodes the texture and the stand-ins in the system
#     folder serve every prompt.
#   - With "ScreenSaveUsePassword" set, a key press opens the prompt; Escape refuses it and the
#     saver keeps running with the cursor hidden; a key press right after (within 200 ms) opens no
#     second prompt; a later one does, and Return lets the saver close with 0.
#   - SystemParametersInfoA(SPI_SCREENSAVERRUNNING) is called once with TRUE and once with FALSE
#     (read from wine's trace of the call).
#   - Without a password the first key press closes the saver, with no prompt.
#   - "/a N" calls PwdChangePasswordA("SCRSAVE", window N, 0, 0) and ends with 0.
#
# The stand-ins are built for the tree's own architecture, so this runs in the i686 tree only: a
# 64-bit Windows of that family never existed.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

: "${E2E_PROMPT_DOUBLE:?}" "${E2E_MPR_DOUBLE:?}" "${E2E_PLANTED:?}"
e2e_begin win9x_password 640 480

e2e_step "settings"
system=$WINEPREFIX/drive_c/windows/system32
# Wine's own MPR.DLL goes back in place at the end.
cp "$system/mpr.dll" "$E2E_DIR/wine-mpr.dll"
cp "$E2E_PROMPT_DOUBLE" "$system/password.cpl"
cp "$E2E_MPR_DOUBLE" "$system/mpr.dll"
e2e_plant_saver "$E2E_SAVER"
saver=$E2E_PLANTED_SAVER
appdefaults='HKEY_CURRENT_USER\Software\Wine\AppDefaults\Vesperine.scr'
e2e_restore_on_exit '[HKEY_CURRENT_USER\Control Panel\Desktop]' '"ScreenSaveUsePassword"=-'
# No fill tick during the test: a minute between fills.
e2e_scene 60000

prompts=$E2E_DIR/prompts.log
export VESPERINE_E2E_PROMPT_LOG
VESPERINE_E2E_PROMPT_LOG=$(win_path "$prompts")
mpr_log=$E2E_DIR/mpr.log
export VESPERINE_MPR_LOG
VESPERINE_MPR_LOG=$(win_path "$mpr_log")

# wait_prompt_lines N: until the prompt log has N lines.
wait_prompt_lines() {
  local started=$SECONDS
  until (($(wc -l <"$prompts") >= $1)); do
    ((SECONDS - started < 20)) || e2e_fail "the prompt log has not $1 lines: $(cat "$prompts")"
    sleep 0.05
  done
}

# shellcheck disable=SC2317  # called below, once for each version
check_version() {
  local version=$1 log=$E2E_DIR/saver-$1-password.log pixels lines flags
  e2e_step "$version: a refused and an accepted password"
  e2e_registry "[$appdefaults]" "\"Version\"=\"$version\"" \
    '[HKEY_CURRENT_USER\Control Panel\Desktop]' '"ScreenSaveUsePassword"=dword:00000001'
  : >"$prompts"
  # The pointer lies where the prompt opens (100,100 to 340,180): there it shows the prompt's cursor.
  xdotool mousemove 150 130
  WINEDEBUG=+ver,+system,+loaddll e2e_start "${log##*/}" "$saver" /s
  e2e_wait_saver_shown "$desktop"
  e2e_expect_windows_version "$log" "$version"
  sleep 0.5
  pixels=$(e2e_cursor_pixels)
  ((pixels == 0)) || e2e_fail "the cursor shows $pixels pixels over the saver"
  xdotool key a
  wait_prompt_lines 1
  sleep 0.5
  pixels=$(e2e_cursor_pixels)
  ((pixels > 0)) || e2e_fail "no cursor over the prompt: the cursor check sees nothing"
  e2e_log "prompt open, the cursor shows ($pixels pixels)"
  # Escape refuses; the key right behind it (xdotool's 12 ms apart) asks to close again at once.
  xdotool key Escape x
  wait_prompt_lines 2
  sleep 1
  e2e_expect_running "$E2E_PID" "after a refused password"
  (($(wc -l <"$prompts") == 2)) ||
    e2e_fail "a key press right after the refusal opened a prompt: $(cat "$prompts")"
  pixels=$(e2e_cursor_pixels)
  ((pixels == 0)) || e2e_fail "the cursor shows $pixels pixels after the refused password"
  e2e_log "refused: still running, cursor hidden, no second prompt within 200 ms"
  xdotool key b
  wait_prompt_lines 3
  xdotool key Return
  e2e_expect_exit "$E2E_PID" 20 0 "the accepted password"
  read -r -a lines < <(tr -d '\r' <"$prompts" | awk '{print $1 ":" $2 ":" $3}' | paste -sd' ')
  e2e_log "prompts: ${lines[*]}"
  [[ ${lines[0]} == prompt-open:* && ${lines[1]} == prompt-close:*:0 &&
    ${lines[2]} == prompt-open:* && ${lines[3]} == prompt-close:*:1 ]] ||
    e2e_fail "prompt log out of order: ${lines[*]}"
  local closed reopened
  closed=$(cut -d: -f2 <<<"${lines[1]}")
  reopened=$(cut -d: -f2 <<<"${lines[2]}")
  ((reopened - closed >= 200)) || e2e_fail "a prompt opened $((reopened - closed)) ms after the last"

  e2e_step "$version: the running flag"
  # SystemParametersInfoA (97, flag, ...): wine's trace of each call, and of nothing else with 97.
  mapfile -t flags < <(grep -o 'SystemParametersInfoA (97, [0-9]*' "$log" | sed 's/.*, //')
  [[ ${flags[*]} == "1 0" ]] ||
    e2e_fail "SPI_SCREENSAVERRUNNING calls: '${flags[*]}', expected one with 1, then one with 0"
  e2e_log "SPI_SCREENSAVERRUNNING set once and cleared once"

  e2e_step "$version: DLLs from the system only"
  grep -Eiq 'loaded .*gdiplus\.dll.*builtin' "$log" ||
    e2e_fail "the saver did not load the system's GDI+"
  grep -Eiq 'loaded .*system32[\\]+password\.cpl.*native' "$log" ||
    e2e_fail "the saver did not load PASSWORD.CPL from the system folder"
  e2e_expect_system_dlls "$log"
  e2e_log "GDI+ and PASSWORD.CPL of the system loaded, and no DLL from elsewhere"

  e2e_step "$version: no password"
  e2e_registry '[HKEY_CURRENT_USER\Control Panel\Desktop]' '"ScreenSaveUsePassword"=dword:00000000'
  : >"$prompts"
  e2e_start "saver-$version-nopassword.log" "$saver" /s
  e2e_wait_saver_shown "$desktop"
  sleep 0.5
  xdotool key a
  e2e_expect_exit "$E2E_PID" 20 0 "a key press without a password"
  [[ ! -s $prompts ]] || e2e_fail "a prompt opened without a password: $(cat "$prompts")"

  e2e_step "$version: change password"
  local report=$E2E_DIR/host-$version.txt stop=$E2E_DIR/stop-$version started window result call
  rm -f "$mpr_log"
  e2e_start "host-$version.log" "$E2E_HELPER" host "$(win_path "$report")" 152 112 \
    "$(win_path "$stop")" "$(win_path "$saver")" /a "{window}"
  started=$SECONDS
  until grep -q '^exit' "$report" 2>/dev/null; do
    ((SECONDS - started < 30)) || e2e_fail "/a did not end within 30 s"
    sleep 0.1
  done
  touch "$stop"
  e2e_wait_exit "$E2E_PID" 30
  window=$(tr -d '\r' <"$report" | awk '$1 == "window" {print $2}')
  result=$(tr -d '\r' <"$report" | awk '$1 == "exit" {print $2}')
  [[ $result == 0 ]] || e2e_fail "/a $window ended with '$result', expected 0"
  call=$(tr -d '\r' <"$mpr_log" 2>/dev/null || true)
  [[ $call == "PwdChangePasswordA SCRSAVE $window 0 0" ]] ||
    e2e_fail "MPR.DLL saw '$call', expected 'PwdChangePasswordA SCRSAVE $window 0 0'"
  e2e_log "/a $window: $call, exit code 0"
  [[ ! -s $E2E_PLANTED_LOG ]] || e2e_fail "planted DLLs were loaded: $(cat "$E2E_PLANTED_LOG")"
  e2e_log "no planted DLL was loaded"
}

for version in win95 win98 winme; do
  check_version "$version"
done
cp "$E2E_DIR/wine-mpr.dll" "$system/mpr.dll"
