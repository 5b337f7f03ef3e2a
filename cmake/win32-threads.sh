#!/usr/bin/env bash
# Compiler and linker launcher of the shipped saver: runs the win32-thread-model twin of the
# posix-model compiler that CMake hands over (x86_64-w64-mingw32-g++-posix becomes
# x86_64-w64-mingw32-g++-win32), with the same arguments.
set -euo pipefail

compiler=$1
shift
case $compiler in
  *-posix) exec "${compiler%-posix}-win32" "$@" ;;
  *)
    echo "win32-threads.sh: $compiler is not a posix-model mingw-w64 compiler" >&2
    exit 1
    ;;
esac
