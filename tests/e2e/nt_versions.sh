#!/usr/bin/env bash
# The saver on each Windows of the NT family it was written for, as wine reports them to it (the
# AppDefaults "Version" of Vesperine.scr; wine's trace shows that the version took). On each:
#   - /s covers the screen, fills whole areas of similar colour with the tiled texture, shows the
#     caption at the top right, and a key press ends it with 0;
#   - /p shows the preview picture in its host and ends with 0 when the host closes it;
#   - /c shows the settings dialog;
#   - in full screen and in the dialog, every DLL comes from the system folders or the
#     side-by-side store: stand-ins planted beside the saver and in its current folder under
#     system components' names (GDI+, cryptbase, rsaenh, COMDLG32 and more) are never loaded.
# E2E_VERSIONS lists wine's names of the versions; E2E_VERSION_SAVER, when set, is the saver to
# run instead of the tree's own (the i686 one in a 64-bit prefix, as on a 64-bit Windows).
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
: "${E2E_VERSIONS:?}"

built=${E2E_VERSION_SAVER:-$E2E_SAVER}
[[ -f $built ]] || e2e_fail "no saver at $built"
e2e_begin "nt_versions-${E2E_VERSIONS// /-}" 640 480
e2e_step "scene"
e2e_plant_saver "$built"
saver=$E2E_PLANTED_SAVER
e2e_scene 400
picture=$E2E_DIR/picture.ppm
convert "$E2E_SOURCE/resources/preview.bmp" -depth 8 "$picture"
e2e_log "$built: $(file -b "$built" | cut -d, -f1)"

for version in $E2E_VERSIONS; do
  e2e_step "$version: full screen"
  e2e_registry '[HKEY_CURRENT_USER\Software\Wine\AppDefaults\Vesperine.scr]' \
    "\"Version\"=\"$version\""
  xdotool mousemove 320 240
  WINEDEBUG=+ver,+loaddll e2e_start "saver-$version.log" "$saver" /s
  e2e_wait_saver_shown "$desktop"
  e2e_expect_windows_version "$E2E_DIR/saver-$version.log" "$version"
  # Four or five fills.
  sleep 2
  shot=$E2E_DIR/$version.ppm
  e2e_shot "$shot"
  xdotool key space
  e2e_expect_exit "$E2E_PID" 20 0 "$version: a key press"
  e2e_check monitors "$desktop" "$tile" 21 "0,0,$E2E_WIDTH,$E2E_HEIGHT" "$shot"
  e2e_expect_system_dlls "$E2E_DIR/saver-$version.log"

  e2e_step "$version: settings dialog"
  WINEDEBUG=+ver,+loaddll e2e_start "dialog-$version.log" "$saver" /c
  e2e_cancel_dialog "/c on $version"
  e2e_expect_windows_version "$E2E_DIR/dialog-$version.log" "$version"
  e2e_expect_system_dlls "$E2E_DIR/dialog-$version.log"
done

# The previews come last: once a virtual desktop has been made, wine opens the windows of
# programs started later on it rather than on the screen.
for version in $E2E_VERSIONS; do
  e2e_step "$version: preview"
  e2e_registry '[HKEY_CURRENT_USER\Software\Wine\AppDefaults\Vesperine.scr]' \
    "\"Version\"=\"$version\""
  # The host's log holds the trace of the host and of the preview it starts.
  WINEDEBUG=+ver e2e_start_preview "$saver" "e2epreview-$version"
  e2e_wait_preview_picture "$picture"
  e2e_close_preview
  e2e_expect_windows_version "$E2E_DIR/host-e2epreview-$version.log" "$version"
done
