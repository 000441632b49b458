// The comparison table: best rates over the repetitions, ratios of library
// time to raw-SQLite time (the raw rate over the library rate), targets.
#include "bench/ComparisonReport.h"

#include <algorithm>
#include <cstdio>

namespace kez {
namespace bench {
namespace {

// Growth of the scan's peak memory from the small to the large table that
// still counts as not growing with the row count: SQLite's page cache and
// the allocator settle within that whatever the rows.
constexpr long kFlatMemoryKib = 256;

// 1234567.8 -> "1,234,568".
std::string Grouped(double value) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%.0f", value);
  std::string text = digits;
  for (int at = static_cast<int>(text.size()) - 3; at > (text[0] == '-' ? 1 : 0); at -= 3) text.insert(at, ",");
  return text;
}

void Row(const char* figure, const std::string& library, const std::string& sqlite, const std::string& ratio,
         const std::string& target, const std::string& verdict) {
  std::printf("%-40s %16s %16s %7s %8s  %s\n", figure, library.c_str(), sqlite.c_str(), ratio.c_str(), target.c_str(),
              verdict.c_str());
}

std::string Ratio(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

// One library figure against one baseline; returns 1 when the target is
// missed, 0 otherwise (also when a side did not run); target <= 0: no
// target, information only.
int CompareRates(const CollectingReporter& r, const char* figure, const std::string& name, const char* baseline,
                 double target) {
  double library = r.BestRate(name + "/library");
  double sqlite = r.BestRate(name + "/" + baseline);
  if (library <= 0 || sqlite <= 0) {
    Row(figure, library > 0 ? Grouped(library) : "-", sqlite > 0 ? Grouped(sqlite) : "-", "-", "", "not measured");
    return 0;
  }
  double ratio = sqlite / library;
  bool met = ratio <= target;
  Row(figure, Grouped(library), Grouped(sqlite), Ratio(ratio), target > 0 ? "<= " + Ratio(target) : "info",
      target > 0 ? (met ? "met" : "MISSED") : "");
  return target > 0 && !met ? 1 : 0;
}

void RateOnly(const CollectingReporter& r, const char* figure, const char* name) {
  double rate = r.BestRate(name);
  Row(figure, rate > 0 ? Grouped(rate) : "-", "", "", "", rate > 0 ? "" : "not measured");
}

int CompareMemory(const MemoryFigures& m) {
  if (!m.measured) return 0;
  const PeakMemory* all[] = {&m.library_small, &m.library_large, &m.sqlite_small, &m.sqlite_large};
  if (std::any_of(std::begin(all), std::end(all), [](const PeakMemory* p) { return p->peak_kib < 0; })) {
    Row("peak memory of the scan", "-", "-", "-", "", "a probe failed");
    return 1;
  }
  auto kib = [](long value) { return Grouped(static_cast<double>(value)) + " KiB"; };
  std::string small = "peak memory, scan of " + Grouped(static_cast<double>(m.small_rows)) + " rows";
  std::string large = "peak memory, scan of " + Grouped(static_cast<double>(m.large_rows)) + " rows";
  Row(small.c_str(), kib(m.library_small.peak_kib), kib(m.sqlite_small.peak_kib),
      Ratio(static_cast<double>(m.library_small.peak_kib) / static_cast<double>(m.sqlite_small.peak_kib)), "info", "");
  Row(large.c_str(), kib(m.library_large.peak_kib), kib(m.sqlite_large.peak_kib),
      Ratio(static_cast<double>(m.library_large.peak_kib) / static_cast<double>(m.sqlite_large.peak_kib)), "info", "");
  long growth = m.library_large.peak_kib - m.library_small.peak_kib;
  long sqlite_growth = m.sqlite_large.peak_kib - m.sqlite_small.peak_kib;
  bool flat = growth <= kFlatMemoryKib;
  Row("peak memory growth, small -> large", (growth >= 0 ? "+" : "") + kib(growth),
      (sqlite_growth >= 0 ? "+" : "") + kib(sqlite_growth), "", "<= " + std::to_string(kFlatMemoryKib) + " KiB",
      flat ? "met" : "MISSED");
  return flat ? 0 : 1;
}

}  // namespace

void CollectingReporter::ReportRuns(const std::vector<Run>& runs) {
  // Only the repetitions themselves: the table below gives the best, which
  // on a shared machine says more than a mean.
  std::vector<Run> repetitions;
  for (const Run& run : runs) {
    if (run.run_type == Run::RT_Iteration) repetitions.push_back(run);
  }
  if (!repetitions.empty()) benchmark::ConsoleReporter::ReportRuns(repetitions);
  for (const Run& run : repetitions) {
    if (run.error_occurred) {
      ++failures_;
      continue;
    }
    auto rate = run.counters.find("items_per_second");
    if (rate == run.counters.end()) continue;
    const std::string& name = run.run_name.function_name;
    best_[name] = std::max(best_[name], static_cast<double>(rate->second));
    ++repetitions_[name];
  }
}

double CollectingReporter::BestRate(const std::string& name) const {
  auto found = best_.find(name);
  return found == best_.end() ? 0 : found->second;
}

int CollectingReporter::Repetitions(const std::string& name) const {
  auto found = repetitions_.find(name);
  return found == repetitions_.end() ? 0 : found->second;
}

int PrintComparison(const CollectingReporter& r, const MemoryFigures& memory, const BenchOptions& options) {
  std::printf(
      "\nKezDcQr beside raw SQLite, same run; rates are the best of %d repetitions (rows or calls per second);\n"
      "ratio = library time / raw-SQLite time.\n\n",
      r.Repetitions("scan/library"));
  Row("figure", "library", "raw SQLite", "ratio", "target", "");
  std::string scan = "scan, " + Grouped(static_cast<double>(options.scan_rows)) + " rows";
  std::string batch = "insert " + Grouped(static_cast<double>(options.insert_rows)) +
                      " rows, batch=" + std::to_string(options.insert_batch);
  std::string per_row = "insert " + Grouped(static_cast<double>(options.per_row_rows)) + " rows, commit per row";
  int missed = CompareRates(r, scan.c_str(), "scan", "sqlite", 2.0);
  missed += CompareRates(r, "  (raw opened SQLITE_OPEN_NOMUTEX too)", "scan", "sqlite-nomutex", 0);
  missed += CompareRates(r, batch.c_str(), "insert-batch", "sqlite", 1.3);
  missed += CompareRates(r, per_row.c_str(), "insert-per-row", "sqlite", 1.1);
  RateOnly(r, "Get($a+2*$b) evaluations", "expr/arithmetic");
  RateOnly(r, "Get(format($x,\"###.##\")) evaluations", "expr/format");
  RateOnly(r, "NewQuery of a registered text", "expr/new-query");
  missed += CompareMemory(memory);
  std::printf("\n%d target(s) missed.\n", missed);
  return missed;
}

}  // namespace bench
}  // namespace kez
