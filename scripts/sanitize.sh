#!/usr/bin/env bash
# Builds the tests without a GUI (core, io, cli, normex) and the fuzz harnesses
# with clang, AddressSanitizer and UndefinedBehaviorSanitizer into
# build-sanitize/ (or $TOLVAR_SANITIZE_DIR), runs those tests, then runs each
# harness for $TOLVAR_FUZZ_SECONDS seconds (default 60), one after the other,
# starting from its seed corpus in fuzz/corpus/. Fails on any finding; a
# harness leaves the input that failed in build-sanitize/fuzz-runs/<name>/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLVAR_SANITIZE_DIR:-$top/build-sanitize}
seconds=${TOLVAR_FUZZ_SECONDS:-60}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
# The later build type wins over build.sh's Release.
CC=clang CXX=clang++ TOLVAR_BUILD_DIR=$build "$top/scripts/test.sh" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTOLVAR_BUILD_GUI=OFF -DTOLVAR_BUILD_FUZZ=ON "$@"

for seeds in "$top"/fuzz/corpus/*/; do
  name=$(basename "$seeds")
  work=$build/fuzz-runs/$name
  rm -rf "$work"
  mkdir -p "$work/corpus"
  echo "== $name: ${seconds} s"
  "$build/bin/${name}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$work/" "$work/corpus" "$seeds"
done
