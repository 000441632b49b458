#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one for a fixed time
# (seconds, default 60) from its seed corpus. A crash fails the run and
# leaves its input in build-fuzz/crashes/; keep it as a regression test in
# tests/regress/.
set -euo pipefail
seconds="${1:-60}"
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD:-$here/build-fuzz}"

"$here/scripts/install-deps.sh" --fuzz
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEZDCQR_BUILD_FUZZ=ON \
  -DKEZDCQR_BUILD_TESTS=OFF -DKEZDCQR_BUILD_TOOLS=OFF -DKEZDCQR_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target query_fuzzer datapath_fuzzer expression_fuzzer format_fuzzer

mkdir -p "$build/crashes"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in query datapath expression format; do
  work="$build/corpus/$target"
  mkdir -p "$work"
  cp -n "$here/fuzz/corpus/$target/"* "$work/" 2>/dev/null || true
  echo "== ${target}_fuzzer for ${seconds}s"
  "$build/fuzz/${target}_fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$build/crashes/${target}-" -print_final_stats=1 "$work" 2>&1 | tail -n 12
done
