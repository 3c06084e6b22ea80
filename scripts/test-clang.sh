#!/usr/bin/env bash
# Builds everything with clang into build-clang/ (or $TOLVAR_CLANG_BUILD_DIR)
# and runs every test there: the code must build, link and give the same
# results with clang as with g++. Extra arguments go to CMake (e.g.
# -DTOLVAR_BUILD_GUI=OFF for the core alone).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
TOLVAR_BUILD_DIR=${TOLVAR_CLANG_BUILD_DIR:-$top/build-clang} exec "$top/scripts/test.sh" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "$@"
