# Sourced helpers for writing the saver's settings into a wine prefix with regedit.
# shellcheck shell=bash

# The Windows name of a file of this machine (wine maps / to drive Z:).
win_path() {
  local path
  path=$(realpath -m "$1")
  echo "Z:${path//\//\\}"
}

# texture_multi_sz FILE...: the files' Windows names as one REG_MULTI_SZ value in regedit's form,
# hex(7):..., each name and a NUL, then one more NUL.
texture_multi_sz() {
  local bytes=() file path i
  for file in "$@"; do
    path=$(win_path "$file")
    for ((i = 0; i < ${#path}; i++)); do
      bytes+=("$(printf '%02x' "'${path:i:1}")")
    done
    bytes+=(00)
  done
  bytes+=(00)
  local IFS=,
  echo "hex(7):${bytes[*]}"
}
