#!/usr/bin/env bash
# The release command (README, Releases): builds the saver for 64-bit and 32-bit Windows and the web
# page, then packs into dist/ (or --out FOLDER) VesperineLight-VERSION-x64.msi (scripts/make_msi.sh),
# -windows.zip (x64/ and x86/Vesperine.scr, textures/, README.txt, LICENSE.txt), -web.zip (the static
# site of build/web/site), SHA256SUMS of those three, and winget/manifests/o/Ondrel/VesperineLight/
# VERSION/. The README tells the signing variables (VESPERINE_SIGN_*, VESPERINE_TIMESTAMP_URL),
# VESPERINE_DOWNLOAD_URL and what keeps two unsigned releases byte for byte the same.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
python=${VESPERINE_PYTHON:-/usr/bin/python3}
tools=$root/scripts/release_tools.py
out=$root/dist
case $#:${1:-} in
  0:) ;;
  2:--out) out=$(realpath -m "$2") ;;
  *) echo "usage: release.sh [--out FOLDER]" >&2 && exit 2 ;;
esac
# Paths given relative to the caller's folder, before the script moves to the top of the tree.
for variable in VESPERINE_SIGN_CERT VESPERINE_SIGN_KEY; do
  [[ -z ${!variable:-} ]] || declare "$variable=$(realpath -m "${!variable}")"
done
cd "$root"

bash scripts/setup.sh
echo "== build the saver for 64-bit and 32-bit Windows"
bash scripts/build.sh win64 Vesperine
bash scripts/build.sh win32 Vesperine
echo "== build the web page"
bash scripts/build.sh web
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/win64/CMakeCache.txt)
if [[ ! $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
  echo "release: no version in build/win64/CMakeCache.txt" >&2
  exit 1
fi
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH
name=VesperineLight-$version
download_url=${VESPERINE_DOWNLOAD_URL:-https://downloads.invalid/vesperine-light/$version}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# sign FILE: Authenticode-signs FILE in place when a certificate was given.
sign() {
  [[ -n ${VESPERINE_SIGN_CERT:-} ]] || return 0
  local key=(-pkcs12 "$VESPERINE_SIGN_CERT")
  [[ -z ${VESPERINE_SIGN_KEY:-} ]] || key=(-certs "$VESPERINE_SIGN_CERT" -key "$VESPERINE_SIGN_KEY")
  local options=(-h sha256 -n "Vesperine Light" "${key[@]}")
  # The password from a file, not the command line, where every user could read it.
  [[ -z ${VESPERINE_SIGN_PASS:-} ]] || options+=(-readpass "$stage/pass")
  [[ -z ${VESPERINE_TIMESTAMP_URL:-} ]] || options+=(-ts "$VESPERINE_TIMESTAMP_URL")
  printf '%s' "${VESPERINE_SIGN_PASS:-}" >"$stage/pass"
  osslsigncode sign "${options[@]}" -in "$1" -out "$1.signed" >/dev/null
  rm -f "$stage/pass"
  mv "$1.signed" "$1"
  echo "release: signed $(basename "$(dirname "$1")")/$(basename "$1")"
}

echo "== pack $name into $out"
rm -rf "$out"
mkdir -p "$out" "$stage/zip/x64" "$stage/zip/x86" "$stage/zip/textures"
for tree in x64:win64 x86:win32; do
  cp "build/${tree#*:}/resources/Vesperine.scr" "$stage/zip/${tree%:*}/"
  sign "$stage/zip/${tree%:*}/Vesperine.scr"
done
cp resources/textures/* "$stage/zip/textures/"
# Windows editors want CRLF line ends.
sed "s/@VERSION@/$version/g; s/\$/\r/" packaging/README.txt >"$stage/zip/README.txt"
sed 's/$/\r/' LICENSE >"$stage/zip/LICENSE.txt"
"$python" "$tools" zip "$out/$name-windows.zip" "$SOURCE_DATE_EPOCH" "$stage/zip"

mkdir "$stage/web"
cp -r build/web/site/{index.html,vesperine.js,vesperine.wasm,desktop.png,textures} "$stage/web/"
"$python" "$tools" zip "$out/$name-web.zip" "$SOURCE_DATE_EPOCH" "$stage/web"

{
  read -r product_code
  read -r upgrade_code
} < <(bash scripts/make_msi.sh "$version" "$stage/zip/x64/Vesperine.scr" "$out/$name-x64.msi")
sign "$out/$name-x64.msi"

(cd "$out" && sha256sum "$name-x64.msi" "$name-windows.zip" "$name-web.zip" >SHA256SUMS)

manifests=$out/winget/manifests/o/Ondrel/VesperineLight/$version
"$python" "$tools" winget "$manifests" "$version" "$out/$name-x64.msi" \
  "$download_url/$name-x64.msi" "$product_code" "$upgrade_code"
if [[ -z ${VESPERINE_DOWNLOAD_URL:-} ]]; then
  echo "release: the winget installer manifest names a placeholder download (set" \
    "VESPERINE_DOWNLOAD_URL)"
fi
(cd "$out" && find . -type f | LC_ALL=C sort)
