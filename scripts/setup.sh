#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Vesperine Light need, and the
# npm packages of the web tree's tests (web/package-lock.json). Quick and quiet when they are all
# there already. wine32 (for the i686 programs) needs the i386 architecture, which is enabled first.
set -euo pipefail

packages=(
  cmake ninja-build g++ libgtest-dev googletest libbenchmark-dev libstb-dev clang libclang-rt-14-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64 wine32:i386 xvfb xdotool xserver-xephyr
  # The X extensions that 32-bit wine loads when present (recommends, so not installed with it):
  # without Xinerama it sees one monitor on the two-monitor screen.
  libxinerama1:i386 libxrandr2:i386 libxrender1:i386 libxcursor1:i386 libxi6:i386
  libxfixes3:i386 libxcomposite1:i386 libxxf86vm1:i386 x11-xserver-utils imagemagick nsis python3
  wixl msitools osslsigncode openssl git python3-jsonschema python3-yaml python3-olefile python3-pefile
  clang-format shellcheck emscripten chromium
)
# node and npm drive the web tests; a machine that has them from elsewhere keeps its own.
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)
# Each package under both names: "wine32:i386" as asked for, "libgtest-dev" for
# "libgtest-dev:amd64".
format='${db:Status-Status}:${Package} ${db:Status-Status}:${binary:Package} '
installed=" $(dpkg-query -W -f="$format" "${packages[@]}" 2>/dev/null || true) "
missing=()
for package in "${packages[@]}"; do
  [[ $installed == *" installed:$package "* ]] || missing+=("$package")
done
if ((${#missing[@]} > 0)); then
  echo "setup: installing ${missing[*]}"
  as_root=()
  ((EUID == 0)) || as_root=(sudo)
  if ((EUID != 0)) && ! command -v sudo >/dev/null; then
    echo "setup: need root (or sudo) to install ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386
  fi
  "${as_root[@]}" apt-get update -q
  "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The web tests' packages, as the lock file pins them; installed again when the lock changes. They
# drive Debian's chromium: nothing may download a browser.
web=$(cd "$(dirname "${BASH_SOURCE[0]}")/../web" && pwd)
if ! cmp -s "$web/package-lock.json" "$web/node_modules/.vesperine-lock"; then
  echo "setup: installing the web tests' npm packages"
  PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --prefix "$web" --no-audit --no-fund --loglevel=error
  cp "$web/package-lock.json" "$web/node_modules/.vesperine-lock"
fi
