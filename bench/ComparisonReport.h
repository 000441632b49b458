// The report of a run: the console output of Google Benchmark as it goes,
// then one table that puts every library figure beside its raw-SQLite
// baseline measured in the same run, as a ratio against its target.
#ifndef KEZ_BENCH_COMPARISON_REPORT_H
#define KEZ_BENCH_COMPARISON_REPORT_H

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

#include "bench/BenchWorkspace.h"
#include "bench/MemoryProbe.h"

namespace kez {
namespace bench {

// Prints each repetition as the console reporter does (no aggregates), and
// keeps the best (highest) rate of each benchmark over its repetitions.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;
  // Items per second of the best repetition of the named benchmark
  // ("scan/library"), or 0 when it did not run or failed.
  double BestRate(const std::string& name) const;
  int Repetitions(const std::string& name) const;
  // Runs that failed (SkipWithError): a figure that measured a wrong result.
  int Failures() const { return failures_; }

 private:
  int failures_ = 0;
  std::map<std::string, double> best_;
  std::map<std::string, int> repetitions_;
};

struct MemoryFigures {
  bool measured = false;
  long small_rows = 0, large_rows = 0;
  PeakMemory library_small, library_large, sqlite_small, sqlite_large;
};

// Prints the comparison table on stdout; returns the number of targets
// missed (a figure that did not run misses nothing).
int PrintComparison(const CollectingReporter& reporter, const MemoryFigures& memory, const BenchOptions& options);

}  // namespace bench
}  // namespace kez

#endif
