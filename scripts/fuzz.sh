#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan) in build/fuzz and runs each
# for a while: fuzz.sh [SECONDS_EACH] (default 60).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
missing=()
for package in clang libclang-rt-14-dev; do
  [[ $(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true) == *'ok installed'* ]] || missing+=("$package")
done
if ((${#missing[@]})); then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi
cmake -S "$root" -B "$root/build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DVESPERINE_FUZZ=ON
cmake --build "$root/build/fuzz" -j2 --target fill_fuzz texture_list_fuzz
for target in fill_fuzz texture_list_fuzz; do
  mkdir -p "$root/build/fuzz/corpus/$target"
  "$root/build/fuzz/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
    "$root/build/fuzz/corpus/$target"
done
