#!/usr/bin/env bash
# The desktop program against tolvar-cli on the same input: a Huber run on
# n = 1,000,000, u = 10 (time, peak memory, identical reports), and the
# data editor opening and saving n = 100,000, u = 10.
#   bench/desktop_scale.sh [BUILD_DIR]     (default build-bench; needs
#   tolvar_make_input, tolvar-cli and tolvar_desktop_scale built there)
set -euo pipefail
build=${1:-build-bench}
work=${TMPDIR:-/tmp}/tolvar_desktop_scale
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
"$build/bin/tolvar_make_input" 1000000 10 "$work/big.EIN"
"$build/bin/tolvar_make_input" 100000 10 "$work/edit.EIN"
export QT_QPA_PLATFORM=offscreen
for run in 1 2 3; do
  echo "== run $run"
  /usr/bin/time -f "tolvar-cli:             %e s wall, %M KB peak" \
    "$build/bin/tolvar-cli" -q -m huber "$work/big.EIN" "$work/cli.AUS"
  /usr/bin/time -f "tolvar_desktop_scale:   %e s wall, %M KB peak" \
    "$build/bin/tolvar_desktop_scale" compute "$work/big.EIN" "$work/desktop.AUS"
  cmp "$work/cli.AUS" "$work/desktop.AUS" && echo "reports identical"
done
for run in 1 2 3; do
  "$build/bin/tolvar_desktop_scale" edit "$work/edit.EIN"
done
