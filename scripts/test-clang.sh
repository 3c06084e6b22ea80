#!/usr/bin/env bash
# Builds everything with clang into build-clang/ (or $TOLVAR_CLANG_BUILD_DIR)
# and runs every test there: the code must build, link and give the same
# results with clang as with g++. Installs clang when it is missing. Extra
# arguments go to CMake (e.g. -DTOLVAR_BUILD_GUI=OFF for the core alone).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLVAR_CLANG_BUILD_DIR:-$top/build-clang}
"$top/scripts/install-deps.sh"
if ! command -v clang++ >/dev/null; then
  if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends clang
fi
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "$@"
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
