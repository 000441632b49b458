#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one for a fixed time
# (seconds, default 60) from its seed corpus, one target at a time. A crash,
# leak or timeout fails the run and leaves its input in build-fuzz/crashes/;
# keep it as a regression test in tests/regress/. The last lines print the
# executions and time of every target (the figures of docs/reliability.md).
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]   e.g. scripts/fuzz.sh 300 query
set -euo pipefail
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(query datapath expression format)
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${FUZZ_BUILD:-$here/build-fuzz}"
jobs="${JOBS:-2}"

"$here/scripts/install-deps.sh" --fuzz
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEZDCQR_BUILD_FUZZ=ON \
  -DKEZDCQR_BUILD_TESTS=OFF -DKEZDCQR_BUILD_TOOLS=OFF -DKEZDCQR_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]/%/_fuzzer}"

mkdir -p "$build/crashes"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
summary=()
failed=0
for target in "${targets[@]}"; do
  work="$build/corpus/$target"
  log="$build/$target.log"
  mkdir -p "$work"
  cp -n "$here/fuzz/corpus/$target/"* "$work/" 2>/dev/null || true
  dict=()
  [ -f "$here/fuzz/$target.dict" ] && dict=(-dict="$here/fuzz/$target.dict")
  echo "== ${target}_fuzzer for ${seconds}s"
  status=0
  "$build/fuzz/${target}_fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    "${dict[@]}" -artifact_prefix="$build/crashes/${target}-" -print_final_stats=1 "$work" >"$log" 2>&1 || status=$?
  tail -n 12 "$log"
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  summary+=("$target: ${runs:-?} executions in ${seconds}s, exit status $status")
  [ "$status" -ne 0 ] && failed=1
done
printf '%s\n' "== summary" "${summary[@]}"
exit "$failed"
