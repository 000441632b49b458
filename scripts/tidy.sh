#!/usr/bin/env bash
# Runs the .clang-tidy checks over the library's and kezq's sources (not the
# tests, benchmarks or fuzzers), two files at a time, with the compile
# commands of a configured build folder (default: build). Exits 1 when a
# check reports anything.
#   scripts/tidy.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
jobs=${TIDY_JOBS:-2}

if ! command -v clang-tidy >/dev/null; then
  echo "tidy: clang-tidy is not installed (apt-get install clang-tidy)" >&2
  exit 1
fi
if [[ ! -f $build/compile_commands.json ]]; then
  cmake -S . -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
fi

report=$(mktemp)
trap 'rm -f "$report"' EXIT
git ls-files 'foundation/*.cpp' 'database/*.cpp' 'nodes/*.cpp' 'factory/*.cpp' 'query/*.cpp' 'tools/*.cpp' |
  xargs -P "$jobs" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null >"$report" || true

if grep -q -E '(warning|error):' "$report"; then
  grep -E -A3 '(warning|error):' "$report"
  echo "tidy: $(grep -c -E '(warning|error):' "$report") finding(s)" >&2
  exit 1
fi
echo "tidy: no findings"
