#!/usr/bin/env bash
# Configures (when needed) and builds one of the build trees, with Ninja.
#
#   build.sh native|sanitize|win64|win32|fuzz [TARGET...]
#
#   native    build/native    g++ for this machine: the core, its tests, benchmarks and tools
#   sanitize  build/sanitize  the same with AddressSanitizer and UBSan, with debug information
#   win64     build/win64     mingw-w64 x86_64: the Windows programs, tests run under wine
#   win32     build/win32     mingw-w64 i686: compile check only
#   fuzz      build/fuzz      clang with libFuzzer, AddressSanitizer and UBSan: the fuzz targets
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tree=${1:-}
shift || true
build_type=Release
case $tree in
  native) toolchain=() ;;
  sanitize) toolchain=(-DVESPERINE_SANITIZE=ON) build_type=RelWithDebInfo ;;
  win64) toolchain=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake") ;;
  win32) toolchain=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake") ;;
  fuzz)
    toolchain=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVESPERINE_FUZZ=ON)
    build_type=RelWithDebInfo
    ;;
  *)
    echo "usage: build.sh native|sanitize|win64|win32|fuzz [TARGET...]" >&2
    exit 2
    ;;
esac
dir=$root/build/$tree

# A tree configured earlier by hand with another generator cannot be switched to Ninja in place.
cache=$dir/CMakeCache.txt
if [[ -f $cache ]] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$cache"; then
  rm -rf "$dir"
fi

if [[ ! -f $dir/build.ninja ]]; then
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" "${toolchain[@]}"
fi
targets=()
for target in "$@"; do
  targets+=(--target "$target")
done
cmake --build "$dir" -j2 "${targets[@]}"
