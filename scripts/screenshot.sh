#!/usr/bin/env bash
# Saves pictures of the program's windows (among them the dimensions dialog
# and the data editor on both pages with data, enlarged too) and of a filled
# data grid (with a selection, a focus cell and an open in-place edit),
# drawn by a real X server (Xvfb) and framed by a small window manager
# (IceWM), into the folder given (default ./screenshots), to look at the
# layout by eye. The same run checks each window's frame: title bar, close
# box, resizing and minimum size, and that the data editor knows where the
# window manager put it (a drop lands under the pointer).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLVAR_BUILD_DIR:-$top/build}
out=$(realpath -m "${1:-screenshots}")
mkdir -p "$out"
export TOLVAR_SCREENSHOT_DIR="$out" QT_QPA_PLATFORM=xcb TOLVAR_APP_TEST="$build/bin/app_test" \
  TOLVAR_EDITOR_TEST="$build/bin/editor_test" TOLVAR_WINDOW_MANAGER=icewm
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  # Waits up to 10 seconds until the command succeeds.
  await() { for _ in $(seq 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done; return 1; }
  await xprop -root || { echo "no X server" >&2; exit 1; }
  icewm & wm=$!
  # The window manager has taken over once it names itself on the root window.
  await sh -c "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q \"window id\"" || { echo "no window manager" >&2; exit 1; }
  status=0
  "$TOLVAR_APP_TEST" --gtest_filter="DialogLayout.*:Screenshots.*" || status=$?
  "$TOLVAR_EDITOR_TEST" --gtest_filter="GridLayout.*:*UnderWindowManager.*" || status=$?
  kill "$wm"
  exit "$status"'
ls "$out"
