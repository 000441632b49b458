// The benchmark program: builds the tables, runs the Google Benchmark
// figures with tracing off, probes the scan's peak memory in child
// processes, and prints every figure beside its raw-SQLite baseline.
// Run it through scripts/bench.sh; --help lists Google Benchmark's flags,
// and the --kez-* flags below are this program's own.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/BenchWorkspace.h"
#include "bench/ComparisonReport.h"
#include "bench/ExpressionBench.h"
#include "bench/InsertBench.h"
#include "bench/MemoryProbe.h"
#include "bench/PostgresBench.h"
#include "bench/ScanBench.h"
#include "kezdcqr/KezDcQr.h"

namespace {

using kez::bench::BenchOptions;

struct ProgramFlags {
  BenchOptions options;
  bool memory = true;
  std::string child_kind, child_file;  // set in a memory-probe child
};

bool TakeValue(const char* arg, const char* flag, std::string* value) {
  std::size_t n = std::strlen(flag);
  if (std::strncmp(arg, flag, n) != 0) return false;
  *value = arg + n;
  return true;
}

bool TakeCount(const char* arg, const char* flag, long* count) {
  std::string text;
  if (!TakeValue(arg, flag, &text)) return false;
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != 0 || value < 1) {
    std::fprintf(stderr, "bench: %s wants a whole number above 0, not <%s>\n", flag, text.c_str());
    std::exit(2);
  }
  *count = value;
  return true;
}

// Takes this program's --kez-* flags out of argv; the rest is Google
// Benchmark's.
ProgramFlags TakeOwnFlags(int* argc, char** argv) {
  ProgramFlags f;
  int kept = 1;
  for (int i = 1; i < *argc; ++i) {
    const char* a = argv[i];
    bool own = TakeCount(a, "--kez-scan-rows=", &f.options.scan_rows) ||
               TakeCount(a, "--kez-memory-small-rows=", &f.options.memory_small_rows) ||
               TakeCount(a, "--kez-insert-rows=", &f.options.insert_rows) ||
               TakeCount(a, "--kez-per-row-rows=", &f.options.per_row_rows) ||
               TakeCount(a, "--kez-insert-batch=", &f.options.insert_batch) ||
               TakeValue(a, "--kez-folder=", &f.options.folder) ||
               TakeValue(a, kez::bench::kMemoryChildFlag, &f.child_kind) ||
               TakeValue(a, kez::bench::kMemoryFileFlag, &f.child_file);
    if (std::strcmp(a, "--kez-no-memory") == 0) {
      f.memory = false;
      own = true;
    }
    if (!own) argv[kept++] = argv[i];
  }
  *argc = kept;
  return f;
}

std::string OwnPath() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "";
  path[n] = 0;
  return path;
}

bool PrepareTable(const std::string& path, long rows) {
  std::fprintf(stderr, "bench: writing %ld rows into %s\n", rows, path.c_str());
  return kez::bench::CreateFilledTable(path, rows);
}

kez::bench::MemoryFigures ProbeMemory(const kez::bench::Workspace& ws, const BenchOptions& o) {
  kez::bench::MemoryFigures m;
  std::string self = OwnPath();
  std::string small = ws.Path("scan-small.db");
  std::string large = ws.Path("scan.db");
  if (self.empty() || !PrepareTable(small, o.memory_small_rows)) return m;
  m.measured = true;
  m.small_rows = o.memory_small_rows;
  m.large_rows = o.scan_rows;
  m.library_small = kez::bench::MeasurePeakMemory(self, "library", small);
  m.library_large = kez::bench::MeasurePeakMemory(self, "library", large);
  m.sqlite_small = kez::bench::MeasurePeakMemory(self, "sqlite", small);
  m.sqlite_large = kez::bench::MeasurePeakMemory(self, "sqlite", large);
  return m;
}

void PrintSettings(const kez::bench::Workspace& ws) {
  std::string probe = ws.Path("settings.db");
  kez::bench::CreateEmptyTable(probe);
  std::printf("build type %s; SQLite %s; tracing off; journal_mode=%s, synchronous=%s on both sides\n",
              KEZDCQR_BENCH_BUILD_TYPE, sqlite3_libversion(), kez::bench::PragmaValue(probe, "journal_mode").c_str(),
              kez::bench::PragmaValue(probe, "synchronous").c_str());
  kez::bench::RemoveDatabase(probe);
}

}  // namespace

int main(int argc, char** argv) {
  ProgramFlags flags = TakeOwnFlags(&argc, argv);
  KezTrace::SetLevelOf("*", 0);
  if (!flags.child_kind.empty()) return kez::bench::RunMemoryChild(flags.child_kind, flags.child_file);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;

  kez::bench::Workspace workspace(flags.options.folder);
  if (!PrepareTable(workspace.Path("scan.db"), flags.options.scan_rows)) return 2;
  kez::bench::RegisterScanBenchmarks(workspace.Path("scan.db"), flags.options.scan_rows);
  kez::bench::RegisterInsertBenchmarks(workspace, flags.options);
  kez::bench::RegisterExpressionBenchmarks();
  bool postgres = kez::bench::RegisterPostgresBenchmarks(flags.options);

  kez::bench::CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  kez::bench::MemoryFigures memory;
  if (flags.memory) memory = ProbeMemory(workspace, flags.options);
  std::printf("\n");
  PrintSettings(workspace);
  kez::bench::PrintComparison(reporter, memory, flags.options);
  if (postgres) kez::bench::PrintPostgresComparison(reporter);
  kez::bench::DropPostgresTables();
  benchmark::Shutdown();
  return reporter.Failures() == 0 ? 0 : 1;
}
