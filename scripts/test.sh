#!/usr/bin/env bash
# Installs what is missing, builds into build/ (or $TOLVAR_BUILD_DIR) and
# runs every test there. Extra arguments go to CMake.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$@"
ctest --test-dir "${TOLVAR_BUILD_DIR:-$top/build}" --output-on-failure -j "$(nproc)"
