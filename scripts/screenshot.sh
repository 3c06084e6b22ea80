#!/usr/bin/env bash
# Saves pictures of the main dialog (both method families), the tuning
# dialog and a filled data grid (with a selection, a focus cell and an open
# in-place edit), drawn by a real X server (Xvfb), into the folder given
# (default ./screenshots), to look at the layout by eye.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLVAR_BUILD_DIR:-$top/build}
out=$(realpath -m "${1:-screenshots}")
mkdir -p "$out"
TOLVAR_SCREENSHOT_DIR="$out" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/bin/app_test" --gtest_filter='DialogLayout.*'
TOLVAR_SCREENSHOT_DIR="$out" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/bin/grid_test" --gtest_filter='GridLayout.*'
ls "$out"
