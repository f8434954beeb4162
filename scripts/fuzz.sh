#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs one: fuzz.sh TARGET [libFuzzer options...]
# e.g. fuzz.sh fuzz_response -runs=1000000
set -euo pipefail
cd "$(dirname "$0")/.."
target=$1
shift
# Extra configure options, e.g. FUZZ_CMAKE_OPTIONS=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
read -r -a FUZZ_CMAKE_OPTIONS <<< "${FUZZ_CMAKE_OPTIONS:-}"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_COMPILER=clang "${FUZZ_CMAKE_OPTIONS[@]}"
cmake --build build-fuzz --target "$target"
corpus=fuzz/corpus-$target
mkdir -p "$corpus"
exec "$(find build-fuzz/fuzz -type f -name "$target" -perm -u+x | head -n 1)" "$corpus" "$@"
