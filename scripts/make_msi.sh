#!/usr/bin/env bash
# Builds the 64-bit installer of one version from a built saver, with wixl (packaging/
# vesperine.wxs). The same saver, textures and version give the same bytes: the files are staged
# with the last commit's time, and the package code and the summary's times, which wixl takes from
# a random number and the clock, are set from the inputs afterwards.
#
#   make_msi.sh VERSION SAVER.scr OUT.msi
#
# Prints the product code and the upgrade code, one a line.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
python=${VESPERINE_PYTHON:-/usr/bin/python3}
tools=$root/scripts/release_tools.py
if (($# != 3)); then
  echo "usage: make_msi.sh VERSION SAVER.scr OUT.msi" >&2
  exit 2
fi
version=$1 saver=$2 out=$3
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp -r "$root/packaging/vesperine.wxs" "$root"/resources/{vesperine.ico,textures} "$stage/"
cp "$saver" "$stage/Vesperine.scr"
{
  printf '%s\n' '<?xml version="1.0" encoding="utf-8"?>' '<Include>'
  index=0
  while IFS= read -r name; do
    echo "  <File Id=\"Texture$((index++))\" Name=\"$name\" Source=\"textures/$name\"/>"
  done < <(LC_ALL=C ls "$stage/textures")
  echo '</Include>'
} >"$stage/textures.wxi"
# The cabinet keeps each file's time.
find "$stage" -exec touch -h -d "@$epoch" {} +

upgrade_code=$(sed -n 's/.*UpgradeCode="\([0-9A-F-]*\)".*/\1/p' "$stage/vesperine.wxs")
product_code=$("$python" "$tools" guid "$upgrade_code" product "$version" x64)
inputs=$(cd "$stage" && LC_ALL=C find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum |
  sha256sum)
package_code=$("$python" "$tools" guid "$upgrade_code" package "$version" "${inputs%% *}")

(
  cd "$stage"
  wixl -a x64 -I . -D Version="$version" -D ProductCode="$product_code" \
    -D PackageCode="$package_code" -D SaverFile=Vesperine.scr -D IconFile=vesperine.ico \
    -o package.msi vesperine.wxs
)
"$python" "$tools" msi-summary "$stage/package.msi" "$package_code" "$epoch"
mv "$stage/package.msi" "$out"
echo "$product_code"
echo "{$upgrade_code}"
