#!/usr/bin/env bash
# Prints the folder that holds mingw-w64's own start-up source (crt/crtexe.c and the runtime's
# internal headers), of the version the i686 runtime installed here was built from. Fetched once
# from Debian's source package with apt's own tools (signatures and hashes checked as for any
# package), into a private apt state, so the system's package lists are left alone; then kept in
# the user's cache for every tree and every clone.
set -euo pipefail

package=mingw-w64-i686-dev
version=$(dpkg-query -W -f='${Version}' "$package")
cache=${VESPERINE_CACHE_DIR:-${XDG_CACHE_HOME:-${HOME:-/var/tmp}/.cache}/vesperine}/mingw-w64-crt-$version
if [[ -f $cache/crt/crtexe.c ]]; then
  echo "$cache"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/fetch" "$work/crt"
echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
  "http://deb.debian.org/debian bookworm main" >"$work/sources.list"
apt_options=(
  -o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
  -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o Debug::NoLocking=1
  -o APT::Sandbox::User=root -q -q
)
apt-get "${apt_options[@]}" update >&2
(cd "$work/fetch" && apt-get "${apt_options[@]}" source --download-only "mingw-w64=$version" >&2)
# Python reads the bzip2 tarball itself: no bzip2 program needed.
python3 - "$work"/fetch/mingw-w64_*.orig.tar.bz2 "$work/crt" <<'PYTHON'
import sys, tarfile
with tarfile.open(sys.argv[1], "r:bz2") as archive:
    for member in archive:
        parts = member.name.split("/")
        if member.isfile() and parts[1:3] in (["mingw-w64-crt", "include"], ["mingw-w64-crt", "crt"]) \
                and (parts[2] == "include" or parts[3:] == ["crtexe.c"]):
            member.name = "/".join(parts[2:])
            archive.extract(member, sys.argv[2])
PYTHON
mkdir -p "$(dirname "$cache")"
rm -rf "$cache.partial"
mv "$work/crt" "$cache.partial"
mv "$cache.partial" "$cache"
echo "$cache"
