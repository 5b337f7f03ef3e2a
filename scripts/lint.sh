#!/usr/bin/env bash
# Checks that the C++ sources follow .clang-format and that the shell scripts pass shellcheck
# (warnings and errors). Prints what is off and exits non-zero when anything is.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

# The tracked files when this is a git checkout, otherwise every source outside build/.
list_files() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files "$@"
  else
    local patterns=() pattern
    for pattern; do patterns+=(-o -path "./$pattern"); done
    find . -path ./build -prune -o \( "${patterns[@]:1}" \) -type f -print | sed 's|^\./||'
  fi
}

status=0
mapfile -t sources < <(list_files '*.cpp' '*.h')
((${#sources[@]} == 0)) || clang-format --dry-run --Werror "${sources[@]}" || status=1
mapfile -t scripts < <(list_files '*.sh' '.ci/run')
((${#scripts[@]} == 0)) || shellcheck -x -S warning "${scripts[@]}" || status=1
((status)) || echo "lint: ${#sources[@]} C++ files formatted, ${#scripts[@]} scripts clean"
exit "$status"
