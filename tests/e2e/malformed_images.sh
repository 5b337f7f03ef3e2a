#!/usr/bin/env bash
# Hundreds of broken texture files, made here from the sample textures (malformed_images.py), in
# one "Texture" list: the real decoder must refuse or load each without a crash or a hang. Every
# file settles within 5 s (the next box or the shown window comes), the boxes name exactly the
# refused files, one each and in list order, each closed through its OK button (e2e_helper
# answer-messages); then the saver runs with what loaded and a key ends it with 0. Which files
# load is the decoder's business; only files that cannot be pictures (0 and 1 byte) and the
# hostile ones (pictures declared too large, other picture types) must fail, and the intact samples
# must load. The counts are printed.
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_begin malformed_images 640 480
e2e_step "images"
images=$E2E_DIR/images
python3 "$E2E_LIB_DIR/malformed_images.py" "$E2E_SOURCE/resources/textures" "$images" \
  >"$E2E_DIR/images.txt"
# A drive of their own keeps the names short (M:\123.png), and the list small.
ln -sfn "$images" "$WINEPREFIX/dosdevices/m:"
names=()
whats=()
while read -r name what; do
  names+=("M:\\$name")
  whats+=("$what")
done <"$E2E_DIR/images.txt"
total=${#names[@]}
((total >= 300)) || e2e_fail "only $total files were made"
value=$(printf '%s\n' "${names[@]}" | python3 -c '
import sys
data = b"".join(line.rstrip("\n").encode() + b"\0" for line in sys.stdin) + b"\0"
print("hex(7):" + ",".join("%02x" % b for b in data))')
# Without a window manager, wine waits up to 2 s for one to let go of each closed box (a managed
# window). A copy of the saver under a name of its own runs with unmanaged windows instead; the
# other drivers' saver keeps wine's default.
saver=$E2E_DIR/VesperineMalformed.scr
cp "$E2E_SAVER" "$saver"
e2e_registry '[HKEY_CURRENT_USER\Software\Wine\AppDefaults\VesperineMalformed.scr\X11 Driver]' \
  '"Managed"="N"'
e2e_texture_scene "$value"

e2e_step "boxes"
started=$(date +%s%N)
e2e_start saver.log "$saver" /s
messages=$E2E_DIR/messages.txt
vesperine_wine "$E2E_HELPER" answer-messages "$(win_path "$messages")" 5 >>"$E2E_DIR/wine.log" 2>&1 ||
  e2e_fail "the boxes did not come and go in time: $(tail -n 1 "$messages" 2>/dev/null)"
ended=$(date +%s%N)
e2e_expect_running "$E2E_PID" "after the boxes"

e2e_step "check the boxes"
mapfile -t shown < <(tr -d '\r' <"$messages")
last=${shown[-1]}
unset 'shown[-1]'
refused=()
at=0
for text in "${shown[@]}"; do
  # The next listed file this box names; none of the files skipped may be named later.
  while ((at < total)) && [[ $text != "$(e2e_texture_error_text "${names[at]}")" ]]; do
    at=$((at + 1))
  done
  ((at < total)) || e2e_fail "a box out of list order or of unknown text: $text"
  refused+=("$at")
  at=$((at + 1))
done
is_refused() { [[ " ${refused[*]} " == *" $1 "* ]]; }
samples=" $(cd "$E2E_SOURCE/resources/textures" && echo *) "
for ((at = 0; at < total; at++)); do
  if [[ ${whats[at]} == *-cut[01].* || ${whats[at]} == hostile-* ]]; then
    is_refused "$at" || e2e_fail "${whats[at]} (${names[at]}) loaded"
  elif [[ $samples == *" ${whats[at]} "* ]]; then
    ! is_refused "$at" || e2e_fail "the intact ${whats[at]} (${names[at]}) was refused"
  fi
done
e2e_log "$total files: $((total - ${#refused[@]})) loaded, ${#refused[@]} refused, one box each" \
  "in list order; $(((ended - started) / 1000000)) ms from the start to the shown saver," \
  "longest wait for the next box or the window ${last#shown } ms"
loaded=()
for ((at = 0; at < total; at++)); do
  is_refused "$at" || loaded+=("${whats[at]}")
done
e2e_log "loaded: ${loaded[*]}"

e2e_step "run"
e2e_expect_filling_then_key
rm -f "$WINEPREFIX/dosdevices/m:"
