#!/usr/bin/env bash
# The installer as a Windows user and an administrator meet it, under wine in a prefix of its own:
#   1. msiexec /i /qn installs silently: the saver in the 64-bit system folder, the sample
#      textures in the default AppFolder, one Add/Remove Programs entry (name, publisher, version,
#      icon); no setting of the user's is written and the saver is not selected;
#   2. the installed saver, started from the system folder with no settings at all, fills the
#      screen with a sample texture and shows no message;
#   3. a package of a higher version installed over it leaves one entry, of the new version;
#   4. msiexec /x /qn removes every file, folder and key the installer made.
set -euo pipefail
: "${RELEASE_SOURCE:?}" "${RELEASE_DIST:?}" "${RELEASE_WORK:?}"
python=${VESPERINE_PYTHON:-/usr/bin/python3}

# The end-to-end helpers, on a prefix and work folder of this test's own.
export E2E_SAVER=unused E2E_HELPER=unused E2E_SOURCE=$RELEASE_SOURCE
export E2E_WORK=$RELEASE_WORK E2E_WINEPREFIX=$RELEASE_WORK/wineprefix
# shellcheck source-path=SCRIPTDIR source=../e2e/lib.sh
source "$RELEASE_SOURCE/tests/e2e/lib.sh"

rm -rf "$RELEASE_WORK"
mkdir -p "$RELEASE_WORK"
E2E_DIR=$RELEASE_WORK E2E_WIDTH=800 E2E_HEIGHT=600
trap e2e_finish EXIT
vesperine_start_xvfb "$E2E_DIR/xvfb.log" "$E2E_WIDTH" "$E2E_HEIGHT" || e2e_fail "Xvfb did not start"
vesperine_wine_fresh "$E2E_DIR/wine.log" || e2e_fail "the wine prefix could not be set up"

msi=$(echo "$RELEASE_DIST"/VesperineLight-*-x64.msi)
version=${msi##*/VesperineLight-}
version=${version%-x64.msi}
drive=$WINEPREFIX/drive_c
saver=$drive/windows/system32/Vesperine.scr
app_folder="$drive/Program Files/Ondrel/Vesperine"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

# msiexec ARGS...: runs msiexec and waits until every program of the prefix has ended.
msiexec() {
  vesperine_wine msiexec "$@" >>"$E2E_DIR/msiexec.log" 2>&1 || e2e_fail "msiexec $* failed"
  timeout 120 wineserver -w
}

# The Add/Remove Programs entries named "Vesperine Light", as "KEY|VERSION|PUBLISHER" lines.
arp_entries() {
  vesperine_wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' | awk '
    /^HKEY_/ { if (name == "Vesperine Light") print key "|" version "|" publisher
               key = $0; name = version = publisher = "" }
    $1 == "DisplayName" { sub(/^ *DisplayName +REG_SZ +/, ""); name = $0 }
    $1 == "DisplayVersion" { version = $3 }
    $1 == "Publisher" { publisher = $3 }
    END { if (name == "Vesperine Light") print key "|" version "|" publisher }'
}

e2e_step "install $version"
msiexec /i "$(win_path "$msi")" /qn
[[ -f $saver ]] || e2e_fail "Vesperine.scr is not in the 64-bit system folder"
cmp -s "$saver" <("$python" -c 'import sys, zipfile
sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read("x64/Vesperine.scr"))' \
  "$RELEASE_DIST"/*-windows.zip) || e2e_fail "the installed saver is not the released one"
for texture in "$RELEASE_SOURCE"/resources/textures/*; do
  cmp -s "$texture" "$app_folder/${texture##*/}" || e2e_fail "${texture##*/} is not in $app_folder"
done
mapfile -t entries < <(arp_entries)
[[ ${#entries[@]} == 1 && ${entries[0]} == *"|$version|Ondrel" ]] ||
  e2e_fail "Add/Remove Programs: ${entries[*]:-no entry}"
product_key=${entries[0]%%|*}
product_code=${product_key##*\\}
icon=$(vesperine_wine reg query 'HKLM\Software\Classes\Installer\Products' /s 2>/dev/null | tr -d '\r' |
  sed -n 's/^ *ProductIcon *REG_SZ *//p')
[[ -n $icon && -f $(winepath -u "$icon" 2>/dev/null) ]] || e2e_fail "no product icon ($icon)"
if vesperine_wine reg query 'HKCU\Control Panel\Desktop' /v SCRNSAVE.EXE >/dev/null 2>&1 ||
  vesperine_wine reg query 'HKCU\Software\Ondrel' >/dev/null 2>&1; then
  e2e_fail "the installer wrote the user's settings"
fi
e2e_log "installed: $product_code, icon $icon"

e2e_step "first start of the installed saver"
vesperine_wine_server_stop
vesperine_wine_server_start "$E2E_DIR/wine.log"
desktop=$E2E_DIR/desktop.ppm
convert -size "${E2E_WIDTH}x${E2E_HEIGHT}" xc:'#305080' -depth 8 "ppm:$desktop"
e2e_set_desktop "$desktop"
e2e_start saver.log 'C:\windows\system32\Vesperine.scr' /s
e2e_wait_saver_shown "$desktop"
shot=$E2E_DIR/filled.ppm
started=$SECONDS
# The first fill comes after "Time Interval" (3.5 s by default); it covers the one-colour screen.
while :; do
  e2e_expect_running "$E2E_PID" "before its first fill"
  if xdotool search --name '^Message$' >/dev/null 2>&1; then
    e2e_shot "$E2E_DIR/message.ppm"
    e2e_fail "the saver shows a message (see message.ppm)"
  fi
  e2e_shot "$shot"
  e2e_check same "$shot" "$desktop" 0 100 100 100 >/dev/null 2>&1 || break
  ((SECONDS - started < 30)) || e2e_fail "no fill within 30 s"
  sleep 0.5
done
textures=()
for texture in "$RELEASE_SOURCE"/resources/textures/*; do
  convert "$texture" -depth 8 "ppm:$E2E_DIR/${texture##*/}.ppm"
  textures+=("$E2E_DIR/${texture##*/}.ppm")
done
e2e_check textured "$shot" "${textures[@]}" || e2e_fail "the fill shows no sample texture"
xdotool key space
e2e_expect_exit "$E2E_PID" 20 0 "key press"
vesperine_wine_server_stop

e2e_step "upgrade"
IFS=. read -r major minor patch <<<"$version"
newer=$major.$minor.$((patch + 1))
newer_msi=$E2E_DIR/VesperineLight-$newer-x64.msi
bash "$RELEASE_SOURCE/scripts/make_msi.sh" "$newer" "$saver" "$newer_msi" >/dev/null
msiexec /i "$(win_path "$newer_msi")" /qn
mapfile -t entries < <(arp_entries)
[[ ${#entries[@]} == 1 && ${entries[0]} == *"|$newer|Ondrel" ]] ||
  e2e_fail "after the upgrade, Add/Remove Programs: ${entries[*]:-no entry}"
[[ -f $saver && -f "$app_folder/${texture##*/}" ]] || e2e_fail "the upgrade lost files"
e2e_log "one entry, version $newer"

e2e_step "uninstall"
msiexec /x "$(win_path "$newer_msi")" /qn
left=()
[[ ! -e $saver ]] || left+=("$saver")
[[ ! -e "$drive/Program Files/Ondrel" ]] || left+=("$drive/Program Files/Ondrel")
[[ -z $(arp_entries) ]] || left+=("the Add/Remove Programs entry")
if vesperine_wine reg query 'HKLM\Software\Classes\Installer\Products' /s 2>/dev/null |
  grep -q 'Vesperine Light'; then
  left+=("the product's registration")
fi
[[ -z $(find "$drive/windows/Installer" -mindepth 1 2>/dev/null) ]] ||
  left+=("$(find "$drive/windows/Installer" -mindepth 1)")
((${#left[@]} == 0)) || e2e_fail "left behind: ${left[*]}"
e2e_log "removed everything"
