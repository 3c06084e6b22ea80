#!/usr/bin/env bash
# Installs what is missing, builds and runs every test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
ctest --test-dir "${TOLVAR_BUILD_DIR:-$top/build}" --output-on-failure -j "$(nproc)"
