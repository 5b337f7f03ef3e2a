#!/usr/bin/env bash
# Fails when a source includes a header from a room above its own, or from a sibling room of the
# same floor. The rooms, bottom up (docs/ARCHITECTURE.md):
#   1 raster, process   2 engine, settings   3 textures   4 animation   5 shell, tools
# A room may include its own headers and those of any lower floor. Tests, benchmarks and fuzzers
# stand above every room and are not checked.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

declare -A floor=([raster]=1 [process]=1 [engine]=2 [settings]=2 [textures]=3 [animation]=4
  [shell]=5 [tools]=5)

checked=0
faults=0
for room in "${!floor[@]}"; do
  for file in "$room"/*.cpp "$room"/*.h "$room"/*.rc; do
    [[ -f $file ]] || continue
    checked=$((checked + 1))
    while IFS=: read -r line text; do
      target=${text#*\"}
      target=${target%%\"*}
      included=${target%%/*}
      [[ -n $included && $target == */* && -n ${floor[$included]:-} ]] || continue
      if [[ $included != "$room" ]] && ((floor[$included] >= floor[$room])); then
        echo "$file:$line: $room (floor ${floor[$room]}) includes $target (floor ${floor[$included]})"
        faults=$((faults + 1))
      fi
    done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
  done
done
if ((faults > 0)); then
  echo "layering: $faults includes point up or sideways"
  exit 1
fi
echo "layering: $checked files, every include points down"
