#!/usr/bin/env bash
# Runs the benchmarks of a build configured with -DKEZDCQR_BUILD_BENCH=ON
# (`make bench` configures, builds and calls this) and prints every library
# figure beside its raw-SQLite baseline measured in the same run.
#
#   scripts/bench.sh [BUILD_DIR] [extra flags for kezdcqr_bench...]
#
# KEZ_BENCH_REPETITIONS (default 5) sets how many times each figure is
# measured; the table reports the best. Extra flags: Google Benchmark's
# (--benchmark_filter=scan ...) and the program's own (--kez-scan-rows=N,
# --kez-insert-rows=N, --kez-per-row-rows=N, --kez-no-memory, --kez-folder=DIR).
set -euo pipefail

build="${1:-build}"
if [ $# -gt 0 ]; then shift; fi
program="$build/bench/kezdcqr_bench"
if [ ! -x "$program" ]; then
  echo "bench: $program is missing; build it with 'make bench', or:" >&2
  echo "  cmake -S . -B $build -DKEZDCQR_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=Release && cmake --build $build -j2" >&2
  exit 1
fi

build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
case "$build_type" in
  Release | RelWithDebInfo) ;;
  *) echo "bench: warning: '$build' is a '${build_type:-default}' build; configure it with -DCMAKE_BUILD_TYPE=Release for figures worth quoting" >&2 ;;
esac

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
memory=$(awk '/^MemTotal:/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
echo "machine: $(nproc) CPU(s), ${cpu:-unknown CPU}, $memory RAM; load average $(cut -d' ' -f1-3 /proc/loadavg)"

exec "$program" \
  --benchmark_repetitions="${KEZ_BENCH_REPETITIONS:-5}" \
  --benchmark_enable_random_interleaving=true \
  "$@"
