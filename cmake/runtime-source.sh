#!/usr/bin/env bash
# runtime-source.sh crt|gcc: prints the folder that holds the source of a runtime piece the i686
# saver rebuilds for the 486, of the version the installed mingw-w64 toolchain was built from:
#   crt  mingw-w64's start-up object (crt/crtexe.c and the runtime's internal headers), from
#        Debian's mingw-w64 source package;
#   gcc  GCC's unwinder and C++ exception runtime (gcc/*.h, the files of include/, libgcc/,
#        libgcc/config/i386/, libstdc++-v3/libsupc++/ and libstdc++-v3/src/c++11/), from Debian's
#        gcc-12-source package.
# Fetched once with apt's own tools (signatures and hashes checked as for any package), into a
# private apt state, so the system's package lists are left alone; then kept in the user's cache
# for every tree and every clone.
set -euo pipefail

piece=${1:?crt or gcc}
case $piece in
  crt)
    version=$(dpkg-query -W -f='${Version}' mingw-w64-i686-dev)
    marker=crt/crtexe.c
    ;;
  gcc)
    # 12.2.0-14+deb12u1+25.2+b1: the GCC source's version, then the cross package's own (25.2),
    # then a rebuild's.
    version=$(dpkg-query -W -f='${Version}' gcc-mingw-w64-i686-win32)
    version=${version%%+$(dpkg-query -W -f='${source:Version}' gcc-mingw-w64-i686-win32)*}
    marker=libgcc/unwind-dw2.c
    ;;
  *)
    echo "runtime-source.sh: no runtime piece named $piece" >&2
    exit 2
    ;;
esac
cache=${VESPERINE_CACHE_DIR:-${XDG_CACHE_HOME:-${HOME:-/var/tmp}/.cache}/vesperine}/$piece-source-$version
if [[ -f $cache/$marker ]]; then
  echo "$cache"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/fetch" "$work/source"
kind=deb
[[ $piece == crt ]] && kind=deb-src
echo "$kind [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
  "http://deb.debian.org/debian bookworm main" >"$work/sources.list"
apt_options=(
  -o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
  -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o Debug::NoLocking=1
  -o APT::Sandbox::User=root -q -q
)
apt-get "${apt_options[@]}" update >&2
cd "$work/fetch"
if [[ $piece == crt ]]; then
  apt-get "${apt_options[@]}" source --download-only "mingw-w64=$version" >&2
  archive=$(echo mingw-w64_*.orig.tar.bz2)
else
  apt-get "${apt_options[@]}" download "gcc-12-source=$version" >&2
  dpkg-deb --fsys-tarfile gcc-12-source_*.deb | tar -x --wildcards '*/gcc-*-dfsg.tar.xz'
  archive=$(echo usr/src/gcc-*/gcc-*-dfsg.tar.xz)
fi
# Python reads the archive itself: no bzip2 or xz program needed. Only the folders named above.
python3 - "$piece" "$archive" "$work/source" <<'PYTHON'
import sys, tarfile
piece, archive, target = sys.argv[1:]
def wanted(parts):
    if piece == "crt":
        return parts[1:3] in (["mingw-w64-crt", "include"], ["mingw-w64-crt", "crt"]) and \
            (parts[2] == "include" or parts[3:] == ["crtexe.c"])
    folder = "/".join(parts[1:-1])
    if folder == "gcc":
        return parts[-1].endswith(".h")
    return folder in ("include", "libgcc", "libgcc/config/i386", "libstdc++-v3/libsupc++",
                      "libstdc++-v3/src/c++11")
with tarfile.open(archive) as source:
    for member in source:
        parts = member.name.split("/")
        if member.isfile() and len(parts) > 2 and wanted(parts):
            member.name = "/".join(parts[2 if piece == "crt" else 1:])
            source.extract(member, target)
PYTHON
mkdir -p "$(dirname "$cache")"
rm -rf "$cache.partial"
mv "$work/source" "$cache.partial"
mv "$cache.partial" "$cache"
echo "$cache"
