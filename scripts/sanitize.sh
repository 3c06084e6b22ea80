#!/usr/bin/env bash
# Builds the tests without a GUI (core, io, cli, normex) and the fuzz harnesses
# with clang, AddressSanitizer and UndefinedBehaviorSanitizer into
# build-sanitize/ (or $TOLVAR_SANITIZE_DIR), runs those tests, then runs each
# harness for $TOLVAR_FUZZ_SECONDS seconds (default 60), one after the other,
# starting from its seed corpus in fuzz/corpus/<name>/ (which every harness
# must have). Fails on any finding; a harness leaves the input that failed
# in build-sanitize/fuzz-runs/<name>/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLVAR_SANITIZE_DIR:-$top/build-sanitize}
seconds=${TOLVAR_FUZZ_SECONDS:-60}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
# The later build type wins over build.sh's Release.
CC=clang CXX=clang++ TOLVAR_BUILD_DIR=$build "$top/scripts/test.sh" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTOLVAR_BUILD_GUI=OFF -DTOLVAR_BUILD_FUZZ=ON "$@"

# Every harness built runs from its seed corpus: one without a corpus folder
# fails here rather than going unrun. An input that takes longer than 30 s
# is a finding. Each harness gets a scratch folder of its own, removed
# after it whatever way it ended.
harnesses=("$build"/bin/*_fuzz)
[ -e "${harnesses[0]}" ] || { echo "no fuzz harness built in $build/bin" >&2; exit 1; }
for harness in "${harnesses[@]}"; do
  name=$(basename "$harness" _fuzz)
  seeds=$top/fuzz/corpus/$name
  if [ ! -d "$seeds" ]; then
    echo "fuzz harness $name has no corpus folder fuzz/corpus/$name" >&2
    exit 1
  fi
  work=$build/fuzz-runs/$name
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/scratch"
  echo "== $name: ${seconds} s"
  status=0
  TMPDIR=$work/scratch "$harness" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$work/" "$work/corpus" "$seeds" || status=$?
  rm -rf "$work/scratch"
  [ "$status" -eq 0 ] || exit "$status"
done
