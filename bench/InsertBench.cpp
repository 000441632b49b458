// The insert figures. Every timed run starts from a new, empty file (built
// outside the timing) and is checked afterwards: the table must hold every
// row with the values written.
#include "bench/InsertBench.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cmath>
#include <cstdint>

#include "kezdcqr/KezDcQr.h"

namespace kez {
namespace bench {
namespace {

struct InsertCase {
  std::string path;
  long rows;
  long batch;  // rows per transaction; 1: every row commits
};

// What the table must hold after a run: row count, sums of the amounts,
// of the prices in cents and of the item lengths.
struct TableSums {
  int64_t rows = -1, amounts = 0, cents = 0, item_octets = 0;
  bool operator==(const TableSums& o) const {
    return rows == o.rows && amounts == o.amounts && cents == o.cents && item_octets == o.item_octets;
  }
};

TableSums ExpectedSums(long rows) {
  TableSums sums;
  sums.rows = rows;
  char item[32];
  for (long i = 0; i < rows; ++i) {
    sums.amounts += Amount(i);
    sums.cents += static_cast<int64_t>(std::llround(Price(i) * 100));
    sums.item_octets += static_cast<int64_t>(ItemText(i, item, sizeof item));
  }
  return sums;
}

TableSums ReadSums(const std::string& path) {
  TableSums sums;
  sqlite3* db = OpenRaw(path);
  sqlite3_stmt* query = nullptr;
  const char* sql = "SELECT count(*), sum(amount), sum(CAST(round(price * 100) AS INTEGER)), sum(length(item)) FROM t";
  if (db && sqlite3_prepare_v2(db, sql, -1, &query, nullptr) == SQLITE_OK && sqlite3_step(query) == SQLITE_ROW) {
    sums.rows = sqlite3_column_int64(query, 0);
    sums.amounts = sqlite3_column_int64(query, 1);
    sums.cents = sqlite3_column_int64(query, 2);
    sums.item_octets = sqlite3_column_int64(query, 3);
  }
  sqlite3_finalize(query);
  sqlite3_close(db);
  return sums;
}

KezDcQrQRVariable* Variable(const char* name) {
  return static_cast<KezDcQrQRVariable*>(KezDcQrQResult::NewQResult(name));
}

bool Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Runs `insert` once per iteration on a fresh file and checks the table.
template <class Insert>
void RunInsert(benchmark::State& state, const InsertCase& c, Insert insert) {
  const TableSums expected = ExpectedSums(c.rows);
  for (auto _ : state) {
    state.PauseTiming();
    bool created = CreateEmptyTable(c.path);
    state.ResumeTiming();
    int failures = created ? insert() : 1;
    state.PauseTiming();
    TableSums written = ReadSums(c.path);
    if (failures != 0 || !(written == expected)) {
      state.SkipWithError(("insert: " + std::to_string(failures) + " failures, " + std::to_string(written.rows) +
                           " rows written, sums " + (written == expected ? "right" : "wrong"))
                              .c_str());
    }
    RemoveDatabase(c.path);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * c.rows);
}

void InsertLibraryBenchmark(benchmark::State& state, InsertCase c) {
  std::string uri = "sqlite:" + c.path + (c.batch > 1 ? "?batch=" + std::to_string(c.batch) : "");
  KezDcDbDataSourceFactory::RegisterDataSource("ins", uri.c_str());
  RunInsert(state, c, [&c] { return InsertWithLibrary(c.rows); });
}

void InsertSqliteBenchmark(benchmark::State& state, InsertCase c) {
  RunInsert(state, c, [&c] { return InsertWithSqlite(c.path, c.rows, c.batch); });
}

void Register(const char* name, void (*function)(benchmark::State&, InsertCase), const InsertCase& c) {
  benchmark::RegisterBenchmark(name, function, c)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
}

}  // namespace

int InsertWithLibrary(long rows) {
  KezDcQrQuery* put_item = KezDcQrQuery::NewQuery("Put($item,@ins:main:t:{item+amount+price}:1:item)");
  KezDcQrQuery* put_amount = KezDcQrQuery::NewQuery("Put($amount,@ins:main:t:{item+amount+price}:1:amount)");
  KezDcQrQuery* put_price = KezDcQrQuery::NewQuery("Put($price,@ins:main:t:{item+amount+price}:1:price)");
  KezDcQrQuery* put_row = KezDcQrQuery::NewQuery("Put(@ins:main:t:{item+amount+price}:1)");
  KezDcQrQRVariable* item = Variable("$item");
  KezDcQrQRVariable* amount = Variable("$amount");
  KezDcQrQRVariable* price = Variable("$price");
  char text[32];
  for (long i = 0; i < rows; ++i) {
    std::size_t length = ItemText(i, text, sizeof text);
    item->Affect(KezUnicodeString(text, length));
    amount->Affect(Amount(i));
    price->Affect(Price(i));
    put_item->DoQuery();
    put_amount->DoQuery();
    put_price->DoQuery();
    put_row->DoQuery();
  }
  // Releasing the rowset commits what a batch still holds.
  KezDcQrQuery::DeleteAllQueries();
  int errors = KezDcCMError::GetNbErrors();
  KezDcCMError::ClearErrors();
  return errors;
}

// BEGIN IMMEDIATE ... COMMIT around each batch, as the library's backend
// does; the values bound as a client binds them.
int InsertWithSqlite(const std::string& path, long rows, long batch) {
  sqlite3* db = OpenRaw(path);
  sqlite3_stmt* insert = nullptr;
  const char* sql = "INSERT INTO t(item, amount, price) VALUES(?, ?, ?)";
  if (!db || sqlite3_prepare_v2(db, sql, -1, &insert, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return 1;
  }
  int failures = 0;
  char text[32];
  for (long i = 0; i < rows; ++i) {
    if (batch > 1 && i % batch == 0 && !Exec(db, "BEGIN IMMEDIATE")) ++failures;
    std::size_t length = ItemText(i, text, sizeof text);
    sqlite3_bind_text(insert, 1, text, static_cast<int>(length), SQLITE_STATIC);
    sqlite3_bind_int(insert, 2, Amount(i));
    sqlite3_bind_double(insert, 3, Price(i));
    if (sqlite3_step(insert) != SQLITE_DONE) ++failures;
    sqlite3_reset(insert);
    if (batch > 1 && ((i + 1) % batch == 0 || i + 1 == rows) && !Exec(db, "COMMIT")) ++failures;
  }
  sqlite3_finalize(insert);
  sqlite3_close(db);
  return failures;
}

void RegisterInsertBenchmarks(const Workspace& workspace, const BenchOptions& options) {
  InsertCase batched{workspace.Path("insert-batch.db"), options.insert_rows, options.insert_batch};
  InsertCase per_row{workspace.Path("insert-per-row.db"), options.per_row_rows, 1};
  Register("insert-batch/library", InsertLibraryBenchmark, batched);
  Register("insert-batch/sqlite", InsertSqliteBenchmark, batched);
  Register("insert-per-row/library", InsertLibraryBenchmark, per_row);
  Register("insert-per-row/sqlite", InsertSqliteBenchmark, per_row);
}

}  // namespace bench
}  // namespace kez
