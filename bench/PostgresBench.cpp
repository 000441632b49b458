// The PostgreSQL figures: each library figure beside raw libpq. The raw
// scan fetches 1,000 rows per round trip through a cursor and copies the
// texts into a row buffer; the raw batched insert sends 1,000-row
// transactions in pipeline mode; the raw per-row insert is one
// autocommitted prepared INSERT per row.
#include "bench/PostgresBench.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/InsertBench.h"
#include "bench/ScanBench.h"
#include "kezdcqr/KezDcQr.h"

namespace kez {
namespace bench {
namespace {

std::string server;  // the server's URI
std::string schema = "kez_bench_" + std::to_string(getpid());

// The URI of the figures' schema, with the library's options added.
std::string Uri(const std::string& options = "") {
  std::string uri = server + (server.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" + schema;
  return options.empty() ? uri : uri + "&" + options;
}

PGconn* Connect() {
  PGconn* conn = PQconnectdb(Uri().c_str());
  if (PQstatus(conn) != CONNECTION_OK) {
    std::fprintf(stderr, "bench: cannot reach PostgreSQL: %s", PQerrorMessage(conn));
    PQfinish(conn);
    return nullptr;
  }
  return conn;
}

bool Run(PGconn* conn, const std::string& sql) {
  PGresult* result = PQexec(conn, sql.c_str());
  bool ok = PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK;
  if (!ok) std::fprintf(stderr, "bench: %s: %s", sql.c_str(), PQerrorMessage(conn));
  PQclear(result);
  return ok;
}

const char kPgTable[] = "CREATE TABLE %s (item VARCHAR(32), amount INTEGER, price DOUBLE PRECISION)";

bool CreateTables(long scan_rows) {
  PGconn* conn = Connect();
  if (!conn) return false;
  char scan[160], insert[160];
  std::snprintf(scan, sizeof scan, kPgTable, "scan");
  std::snprintf(insert, sizeof insert, kPgTable, "t");
  // The same values as the SQLite table: ItemText, Amount and Price of i.
  std::string fill = "INSERT INTO scan SELECT 'item-' || g, g % 1000, (g % 100000) / 100.0 FROM generate_series(0, " +
                     std::to_string(scan_rows - 1) + ") g";
  bool ok = Run(conn, "CREATE SCHEMA " + schema) && Run(conn, scan) && Run(conn, insert) && Run(conn, fill) &&
            Run(conn, "VACUUM ANALYZE scan");
  PQfinish(conn);
  return ok;
}

ScanResult ScanWithLibraryOn(const std::string& uri) {
  KezDcDbDataSourceFactory::RegisterDataSource("pgscan", uri.c_str());
  KezDcQrQuery* amount = KezDcQrQuery::NewQuery("Get(@pgscan:main:scan:{item+amount+price}:100:amount)");
  KezDcQrQuery* price = KezDcQrQuery::NewQuery("Get(@pgscan:main:scan:{item+amount+price}:100:price)");
  KezDcQrQResult* block = KezDcQrQResult::NewQResult("@pgscan:main:scan:{item+amount+price}:100");
  ScanResult result;
  auto value = [](const KezDcQrQuery* q) {
    const auto* e = static_cast<const KezDcQrQRExpression*>(q->p_QResult);
    if (!e) return 0.0;
    if (e->p_DoubleQResult) return *e->p_DoubleQResult;
    return e->p_IntQResult ? static_cast<double>(*e->p_IntQResult) : 0.0;
  };
  while (block && block->IsMoreData()) {
    amount->DoQuery();
    price->DoQuery();
    result.checksum += value(amount) + value(price);
    ++result.rows;
    block->GetNextLine();
  }
  KezDcQrQuery::DeleteAllQueries();
  result.errors = KezDcCMError::GetNbErrors();
  KezDcCMError::ClearErrors();
  return result;
}

void CopyText(const PGresult* rows, int row, int column, unsigned char* field, int size) {
  int length = PQgetlength(rows, row, column);
  if (length > size - 1) length = size - 1;
  std::memcpy(field, PQgetvalue(rows, row, column), static_cast<std::size_t>(length));
  field[length] = 0;
}

ScanResult ScanWithLibpq() {
  ScanResult result;
  PGconn* conn = Connect();
  if (!conn) return result;
  unsigned char buffer[192];
  Run(conn, "BEGIN");
  Run(conn, "DECLARE c NO SCROLL CURSOR FOR SELECT * FROM scan");
  for (;;) {
    PGresult* rows = PQexec(conn, "FETCH FORWARD 1000 FROM c");
    int n = PQresultStatus(rows) == PGRES_TUPLES_OK ? PQntuples(rows) : 0;
    for (int r = 0; r < n; ++r) {
      CopyText(rows, r, 0, buffer, 32);
      CopyText(rows, r, 1, buffer + 32, 80);
      CopyText(rows, r, 2, buffer + 112, 80);
      result.checksum += std::strtod(reinterpret_cast<char*>(buffer + 32), nullptr) +
                         std::strtod(reinterpret_cast<char*>(buffer + 112), nullptr);
      ++result.rows;
    }
    PQclear(rows);
    if (n < 1000) break;
  }
  Run(conn, "COMMIT");
  PQfinish(conn);
  return result;
}

void Check(benchmark::State& state, const ScanResult& result, long rows) {
  if (result.rows != rows || result.errors != 0 || result.checksum != ExpectedChecksum(rows)) {
    state.SkipWithError(
        ("scan read " + std::to_string(result.rows) + " rows, " + std::to_string(result.errors) + " errors").c_str());
  }
}

void ScanLibrary(benchmark::State& state, long rows) {
  for (auto _ : state) Check(state, ScanWithLibraryOn(Uri()), rows);
  state.SetItemsProcessed(state.iterations() * rows);
}

void ScanLibpq(benchmark::State& state, long rows) {
  for (auto _ : state) Check(state, ScanWithLibpq(), rows);
  state.SetItemsProcessed(state.iterations() * rows);
}

// The raw inserts: batch rows per transaction in pipeline mode, or one
// autocommitted statement per row (batch 1). Returns the failures.
int InsertWithLibpq(long rows, long batch) {
  PGconn* conn = Connect();
  if (!conn) return 1;
  int failures = 0;
  PGresult* prepared = PQprepare(conn, "ins", "INSERT INTO t (item, amount, price) VALUES ($1, $2, $3)", 0, nullptr);
  if (PQresultStatus(prepared) != PGRES_COMMAND_OK) ++failures;
  PQclear(prepared);
  char item[32], amount[16], price[32];
  const char* values[3] = {item, amount, price};
  for (long first = 0; first < rows; first += batch) {
    long end = std::min(rows, first + batch);
    if (batch > 1) {
      PQenterPipelineMode(conn);
      PQsendQueryParams(conn, "BEGIN", 0, nullptr, nullptr, nullptr, nullptr, 0);
    }
    for (long i = first; i < end; ++i) {
      ItemText(i, item, sizeof item);
      std::snprintf(amount, sizeof amount, "%d", Amount(i));
      std::snprintf(price, sizeof price, "%.17g", Price(i));
      if (batch > 1) {
        if (PQsendQueryPrepared(conn, "ins", 3, values, nullptr, nullptr, 0) != 1) ++failures;
        continue;
      }
      PGresult* done = PQexecPrepared(conn, "ins", 3, values, nullptr, nullptr, 0);
      if (PQresultStatus(done) != PGRES_COMMAND_OK) ++failures;
      PQclear(done);
    }
    if (batch <= 1) continue;
    PQsendQueryParams(conn, "COMMIT", 0, nullptr, nullptr, nullptr, nullptr, 0);
    PQpipelineSync(conn);
    for (long replies = end - first + 2; replies > 0; --replies) {
      PGresult* reply = PQgetResult(conn);
      if (PQresultStatus(reply) != PGRES_COMMAND_OK) ++failures;
      PQclear(reply);
      PQclear(PQgetResult(conn));  // the null that ends each reply
    }
    PQclear(PQgetResult(conn));  // the sync
    PQexitPipelineMode(conn);
  }
  PQfinish(conn);
  return failures;
}

long CountRows(PGconn* conn) {
  PGresult* count = PQexec(conn, "SELECT count(*) FROM t");
  long rows = PQresultStatus(count) == PGRES_TUPLES_OK ? std::atol(PQgetvalue(count, 0, 0)) : -1;
  PQclear(count);
  return rows;
}

struct InsertRun {
  long rows;
  long batch;
  bool library;
};

void InsertFigure(benchmark::State& state, InsertRun run) {
  PGconn* conn = Connect();
  KezDcDbDataSourceFactory::RegisterDataSource("ins",
                                               Uri(run.batch > 1 ? "batch=" + std::to_string(run.batch) : "").c_str());
  for (auto _ : state) {
    state.PauseTiming();
    Run(conn, "TRUNCATE t");
    state.ResumeTiming();
    int failures = run.library ? InsertWithLibrary(run.rows) : InsertWithLibpq(run.rows, run.batch);
    state.PauseTiming();
    long written = CountRows(conn);
    if (failures != 0 || written != run.rows)
      state.SkipWithError(
          ("insert: " + std::to_string(failures) + " failures, " + std::to_string(written) + " rows").c_str());
    state.ResumeTiming();
  }
  PQfinish(conn);
  state.SetItemsProcessed(state.iterations() * run.rows);
}

void Register(const char* name, void (*function)(benchmark::State&, long), long rows) {
  benchmark::RegisterBenchmark(name, function, rows)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
}

void Register(const char* name, InsertRun run) {
  benchmark::RegisterBenchmark(name, InsertFigure, run)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
}

void Row(const char* figure, double library, double raw, double target, int* missed) {
  if (library <= 0 || raw <= 0) {
    std::printf("%-40s %16s %16s\n", figure, "-", "-");
    return;
  }
  double ratio = raw / library;  // library time over raw time
  bool met = ratio <= target;
  if (!met) ++*missed;
  std::printf("%-40s %14.0f/s %14.0f/s %7.2fx %8s  %s\n", figure, library, raw, ratio,
              ("<= " + std::to_string(target).substr(0, 4) + "x").c_str(), met ? "met" : "MISSED");
}

}  // namespace

bool RegisterPostgresBenchmarks(const BenchOptions& options) {
  const char* uri = std::getenv("KEZDCQR_BENCH_PG_URI");
  if (!uri || !*uri) uri = std::getenv("KEZDCQR_TEST_PG_URI");
  if (!uri || !*uri) {
    std::fprintf(stderr, "bench: no PostgreSQL figures (set KEZDCQR_BENCH_PG_URI, or run under scripts/with-pg.sh)\n");
    return false;
  }
  server = uri;
  std::fprintf(stderr, "bench: writing %ld rows into PostgreSQL schema %s\n", options.scan_rows, schema.c_str());
  if (!CreateTables(options.scan_rows)) return false;
  Register("pg-scan/library", ScanLibrary, options.scan_rows);
  Register("pg-scan/libpq", ScanLibpq, options.scan_rows);
  Register("pg-insert-batch/library", InsertRun{options.insert_rows, options.insert_batch, true});
  Register("pg-insert-batch/libpq", InsertRun{options.insert_rows, options.insert_batch, false});
  long per_row = options.insert_rows / 5;
  Register("pg-insert-per-row/library", InsertRun{per_row, 1, true});
  Register("pg-insert-per-row/libpq", InsertRun{per_row, 1, false});
  return true;
}

int PrintPostgresComparison(const CollectingReporter& r) {
  int missed = 0;
  std::printf("\nPostgreSQL (libpq %d), beside raw libpq in the same run:\n", PQlibVersion());
  std::printf("%-40s %16s %16s %7s %8s\n", "figure", "library", "raw libpq", "ratio", "target");
  Row("scan, 2 cells per row (block 100)", r.BestRate("pg-scan/library"), r.BestRate("pg-scan/libpq"), 1.25, &missed);
  Row("insert, batch=1000 (pipeline)", r.BestRate("pg-insert-batch/library"), r.BestRate("pg-insert-batch/libpq"), 1.3,
      &missed);
  Row("insert, commit per row", r.BestRate("pg-insert-per-row/library"), r.BestRate("pg-insert-per-row/libpq"), 1.1,
      &missed);
  return missed;
}

void DropPostgresTables() {
  if (server.empty()) return;
  if (PGconn* conn = Connect()) {
    Run(conn, "DROP SCHEMA " + schema + " CASCADE");
    PQfinish(conn);
  }
}

}  // namespace bench
}  // namespace kez
