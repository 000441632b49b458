#!/usr/bin/env bash
# Builds tests/outer, a project that takes this repository with
# add_subdirectory(), and runs its program.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-outer}"
cmake -S "$here/tests/outer" -B "$build" -DKEZDCQR_SOURCE_DIR="$here" >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
"$build/outer"
echo "outer project: add_subdirectory() gives the library alone, and its client runs"
