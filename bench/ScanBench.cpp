// The scan figure: the library's walk and the raw-SQLite loop, each checked
// against the checksum of the rows it should have read.
#include "bench/ScanBench.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <cstring>

#include "bench/BenchWorkspace.h"
#include "kezdcqr/KezDcQr.h"

namespace kez {
namespace bench {
namespace {

constexpr const char* kBlock = "@scan:main:t:{item+amount+price}:100";

// The value of a "Get" the way a client reads it: by the result pointer
// that the expression set.
double ValueOf(const KezDcQrQuery* query) {
  const auto* expression = static_cast<const KezDcQrQRExpression*>(query->p_QResult);
  if (!expression) return 0;
  if (expression->p_DoubleQResult) return *expression->p_DoubleQResult;
  if (expression->p_IntQResult) return *expression->p_IntQResult;
  return 0;
}

// Copies a column's text into its field of the row buffer, cut to the
// field and ended with a zero, as the library's row buffer holds it.
void CopyField(sqlite3_stmt* select, int column, unsigned char* field, int size) {
  const unsigned char* text = sqlite3_column_text(select, column);
  int length = sqlite3_column_bytes(select, column);
  if (length > size - 1) length = size - 1;
  if (length > 0) std::memcpy(field, text, static_cast<std::size_t>(length));
  field[length] = 0;
}

void Check(benchmark::State& state, const ScanResult& result, long rows, double expected) {
  if (result.rows != rows || result.errors != 0 || result.checksum != expected) {
    std::string why = "scan read " + std::to_string(result.rows) + " rows, " + std::to_string(result.errors) +
                      " errors, checksum " + std::to_string(result.checksum) + " (expected " +
                      std::to_string(expected) + ")";
    state.SkipWithError(why.c_str());
  }
}

void ScanLibraryBenchmark(benchmark::State& state, const std::string& path, long rows) {
  double expected = ExpectedChecksum(rows);
  for (auto _ : state) {
    ScanResult result = ScanWithLibrary(path);
    Check(state, result, rows, expected);
  }
  state.SetItemsProcessed(state.iterations() * rows);
}

void ScanSqliteBenchmark(benchmark::State& state, const std::string& path, long rows, bool no_mutex) {
  double expected = ExpectedChecksum(rows);
  for (auto _ : state) {
    ScanResult result = ScanWithSqlite(path, no_mutex);
    Check(state, result, rows, expected);
  }
  state.SetItemsProcessed(state.iterations() * rows);
}

}  // namespace

ScanResult ScanWithLibrary(const std::string& path) {
  KezDcDbDataSourceFactory::RegisterDataSource("scan", ("sqlite:" + path).c_str());
  KezDcQrQuery* amount = KezDcQrQuery::NewQuery("Get(@scan:main:t:{item+amount+price}:100:amount)");
  KezDcQrQuery* price = KezDcQrQuery::NewQuery("Get(@scan:main:t:{item+amount+price}:100:price)");
  KezDcQrQResult* block = KezDcQrQResult::NewQResult(kBlock);
  ScanResult result;
  while (block && block->IsMoreData()) {
    amount->DoQuery();
    price->DoQuery();
    result.checksum += ValueOf(amount) + ValueOf(price);
    ++result.rows;
    block->GetNextLine();
  }
  result.errors = KezDcCMError::GetNbErrors();
  KezDcCMError::ClearErrors();
  KezDcQrQuery::DeleteAllQueries();
  return result;
}

ScanResult ScanWithSqlite(const std::string& path, bool no_mutex) {
  ScanResult result;
  sqlite3* db = OpenRaw(path, no_mutex);
  sqlite3_stmt* select = nullptr;
  if (!db || sqlite3_prepare_v2(db, "SELECT * FROM t", -1, &select, nullptr) != SQLITE_OK) {
    result.errors = 1;
    sqlite3_close(db);
    return result;
  }
  // item VARCHAR(32), then two 80-octet numeric fields: the library's layout.
  unsigned char row[192];
  while (sqlite3_step(select) == SQLITE_ROW) {
    CopyField(select, 0, row, 32);
    CopyField(select, 1, row + 32, 80);
    CopyField(select, 2, row + 112, 80);
    result.checksum += std::strtod(reinterpret_cast<char*>(row + 32), nullptr) +
                       std::strtod(reinterpret_cast<char*>(row + 112), nullptr);
    ++result.rows;
  }
  sqlite3_finalize(select);
  sqlite3_close(db);
  return result;
}

double ExpectedChecksum(long rows) {
  double sum = 0;
  for (long i = 0; i < rows; ++i) sum += static_cast<double>(Amount(i)) + Price(i);
  return sum;
}

void RegisterScanBenchmarks(const std::string& path, long rows) {
  // CPU time: the walk never waits (the file stays in the page cache), and
  // CPU time is what other jobs on a shared machine disturb least.
  benchmark::RegisterBenchmark("scan/library", ScanLibraryBenchmark, path, rows)->Iterations(1);
  benchmark::RegisterBenchmark("scan/sqlite", ScanSqliteBenchmark, path, rows, false)->Iterations(1);
  benchmark::RegisterBenchmark("scan/sqlite-nomutex", ScanSqliteBenchmark, path, rows, true)->Iterations(1);
}

}  // namespace bench
}  // namespace kez
