#!/usr/bin/env bash
# Installs what is missing, builds and starts the desktop program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
build=${TOLVAR_BUILD_DIR:-$top/build}
if [ -x "$build/bin/tolvar" ]; then
  exec "$build/bin/tolvar" "$@"
fi
exec "$build/bin/tolvar-cli" --help
