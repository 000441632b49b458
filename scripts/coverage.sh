#!/usr/bin/env bash
# Line coverage of the library and kezq by the default test run (gcov through
# gcovr), in a build folder of its own: scripts/coverage.sh [build-dir].
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-cov}
jobs=$(nproc 2>/dev/null || echo 2)
command -v gcovr >/dev/null || { echo "coverage: gcovr is missing (apt-get install gcovr)" >&2; exit 1; }
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=--coverage \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build" -j "$jobs" >/dev/null
find "$build" -name '*.gcda' -delete
"$top/scripts/with-pg.sh" sh -c "cd '$build' && ctest -j $jobs -LE slow --output-on-failure" >/dev/null
cd "$top"
gcovr --root "$top" --object-directory "$build" --exclude '(.*/)?(tests|bench|fuzz|examples|build[^/]*)/.*' \
  --print-summary -o "$build/coverage.txt" | tail -n 3
