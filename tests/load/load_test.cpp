// Load and endurance, in bounded memory with nothing left open. Sizes scale
// with KEZDCQR_LOAD_SCALE (1.0, the default, is the full size: `make load`;
// every test run uses 0.01).
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "backends/BackendFixture.h"
#include "support/AccessFaults.h"
#include "support/EveryConnectionRuns.h"
#include "support/KezqRun.h"

namespace kez {
namespace test {
namespace {

// The sanitizers bring their own allocator, which glibc's counters do not
// see: memory is then judged by LeakSanitizer alone.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kHeapCounted = false;
#elif defined(__has_feature)
constexpr bool kHeapCounted = !__has_feature(address_sanitizer);
#else
constexpr bool kHeapCounted = true;
#endif
// Heap in use (small blocks and mapped ones), or 0 when the heap is not counted.
long InUseHeap() {
  struct mallinfo2 info = mallinfo2();
  return kHeapCounted ? static_cast<long>(info.uordblks + info.hblkhd) : 0;
}
// Heap that a walk may gain for good: allocator rounding and the error
// collector's bookkeeping, never a row or a query.
constexpr long kSlack = 64 * 1024;

// The full size times the scale, at least minimum.
long Scaled(long full, long minimum) {
  const char* text = std::getenv("KEZDCQR_LOAD_SCALE");
  double scale = text && *text && std::atof(text) > 0 ? std::atof(text) : 1.0;
  return std::max(minimum, static_cast<long>(static_cast<double>(full) * scale));
}

using LoadTest = DatabaseTest;  // a SQLite test database, read as the data source "b"

// Queries first to first + count - 1, each made, run and deleted: arithmetic,
// variables, formats, cells and sub-queries in turn, each with its own text.
void RunDistinctQueries(long first, long count) {
  for (long k = first; k < first + count; ++k) {
    const std::string n = std::to_string(k);
    const std::string queries[] = {
        "Get(" + n + " * 3 + 1)",
        "Put(" + n + ", $v" + n + ")",
        "Get(format(" + n + ".5, \"###.##\"))",
        "Get(@m:main:orders:{item+amount}:" + std::to_string(1 + k % 50) + ":amount + " + n + ")",
        "Put(\"x" + n + "\", @m:main:orders:{item+amount}:2:item)",
        "Get(@m:main:[\"orders\"]:{item}:3:item + \"" + n + "\")"};
    KezDcQrQuery::NewQuery(queries[k % 6].c_str())->DoQuery();
    KezDcQrQuery::DeleteQuery(queries[k % 6].c_str());
  }
  KezDcQrQuery::DeleteAllQueries();
  KezDcCMError::ClearErrors();
}

TEST_F(LoadTest, DistinctQueriesCreatedRunAndDeletedGiveBackTheirMemory) {
  KezDcDbMemory::CreateRowset("shop", "orders", {{"item", KEZDCDB_TYPESTRING, 16}, {"amount", KEZDCDB_TYPEI4, 4}});
  for (int k = 1; k <= 5; ++k) KezDcDbMemory::AppendRow("shop", "orders", {"o" + std::to_string(k), std::to_string(k)});
  KezDcDbDataSourceFactory::RegisterDataSource("m", "memory:shop");
  const long count = Scaled(100000, 600);
  RunDistinctQueries(0, 600);  // one-time allocations: trace channels, registry tables
  const long start = InUseHeap();
  long peak = start;
  for (long done = 0; done < count; done += 1000) {
    RunDistinctQueries(1000 + done, std::min(1000L, count - done));
    peak = std::max(peak, InUseHeap());
  }
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size() + KezDcQrQResult::QRHTab->Size() + KezDcQrQResult::ExprHTab->Size(), 0);
  EXPECT_LE(InUseHeap() - start, kSlack) << "octets kept after " << count << " queries";
  EXPECT_LE(peak - start, 4 * 1024 * 1024) << "octets held at most between deletions";
}

// Register a name, read through it, delete the query, unregister: every
// round gives back its connection, its descriptors and its nodes.
TEST_F(LoadTest, TenThousandRoundsOfRegisterGetDeleteUnregisterKeepNothingOpen) {
  auto descriptors = [] {
    long n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) n += entry.is_symlink() ? 1 : 0;
    return n;
  };
  db_->Sql("CREATE TABLE t(v TEXT); INSERT INTO t VALUES ('x')");
  const long rounds = Scaled(10000, 200), open = descriptors(), start = InUseHeap();
  for (long k = 0; k < rounds; ++k) {
    const std::string name = "r" + std::to_string(k), get = "Get(@" + name + ":main:t:{*}:1:v)";
    KezDcDbDataSourceFactory::RegisterDataSource(name.c_str(), db_->Uri().c_str());
    KezDcQrQuery* query = KezDcQrQuery::NewQuery(get.c_str());
    query->DoQuery();
    auto* value = dynamic_cast<KezDcQrQRExpression*>(query->p_QResult);
    ASSERT_TRUE(value && value->p_StringQResult && std::string(value->p_StringQResult) == "x") << "round " << k;
    KezDcQrQuery::DeleteQuery(get.c_str());
    KezDcDbDataSourceFactory::UnregisterDataSource(name.c_str());
    ASSERT_EQ(kez::test::AccessFaults::OpenConnections(), 0) << "round " << k;
  }
  EXPECT_EQ(descriptors(), open);
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size(), 0);
  EXPECT_LE(InUseHeap() - start, 4 * 1024 * 1024) << "octets kept after " << rounds << " rounds";
  EXPECT_TRUE(Errors().empty());
}

TEST_F(LoadTest, WalkOfTenMillionRowsKeepsItsHeapFromTheFirstMillionOn) {
  // SQLite's page cache fills within the first 20,000 rows.
  const long rows = Scaled(10000000, 50000), checkpoint = std::max(rows / 10, 20000L);
  db_->Sql(
      "PRAGMA journal_mode=WAL; CREATE TABLE big(id INTEGER, name TEXT);"
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " +
      std::to_string(rows) + ") INSERT INTO big SELECT x, 'row ' || x FROM c");
  EveryConnectionRuns small_cache("PRAGMA cache_size=64");
  Use();
  KezDcQrQuery* id = KezDcQrQuery::NewQuery("Get(@b:main:big:{id+name}:1000:id)");
  KezDcQrQResult* block = KezDcQrQResult::NewQResult("@b:main:big:{id+name}:1000");
  long long sum = 0;
  long seen = 0, peak_early = 0, peak_late = 0;
  for (id->DoQuery(); block->IsMoreData(); block->GetNextLine(), id->DoQuery()) {
    auto* value = static_cast<KezDcQrQRExpression*>(id->p_QResult);
    sum += value->p_DoubleQResult ? static_cast<long long>(*value->p_DoubleQResult) : 0;
    long& peak = ++seen <= checkpoint ? peak_early : peak_late;
    if (seen % 1000 == 0) peak = std::max(peak, InUseHeap());
  }
  EXPECT_EQ(seen, rows);
  EXPECT_EQ(sum, static_cast<long long>(rows) * (rows + 1) / 2) << "every row once, in order";
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 0);
  EXPECT_LE(peak_late - peak_early, kSlack) << "the walk grew after row " << checkpoint;
  RecordProperty("heap_peak_first_tenth_and_after", std::to_string(peak_early) + " " + std::to_string(peak_late));
}

TEST_F(LoadTest, MillionInsertsInBatchesOfAThousandAreAllCommitted) {
  const long rows = Scaled(1000000, 2500);
  db_->Sql("CREATE TABLE copy(id INTEGER, name TEXT)");
  Use("batch=1000");
  KezUnicodeString type = "Variable";
  auto* k = static_cast<KezDcQrQRVariable*>(KezDcQrQResult::NewQR("$k", "", "", "", "", "", type));
  std::vector<KezDcQrQuery*> queries;
  for (const char* text : {"Put($k, @b:main:copy:{id+name}:1:id)", "Put(\"n\" + $k, @b:main:copy:{id+name}:1:name)",
                           "Put(@b:main:copy:{id+name}:1)"})
    queries.push_back(KezDcQrQuery::NewQuery(text));
  for (long n = 1; n <= rows; ++n) {
    k->Affect(static_cast<int>(n));
    for (KezDcQrQuery* query : queries) query->DoQuery();
  }
  KezDcQrQuery::DeleteAllQueries();  // commits the last, partial batch
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 0);
  const std::string n = std::to_string(rows), sum = std::to_string(static_cast<long long>(rows) * (rows + 1) / 2);
  EXPECT_EQ(db_->Select("SELECT count(*), count(DISTINCT id), sum(id), sum(name = 'n' || id) FROM copy"),
            (Table{{n, n, sum, n}}));
}

// A script of distinct lines (values, variables, texts and inserts in
// batches) streams through kezq: a million lines take no more memory than
// two thousand, and every inserted row is in the table.
TEST_F(LoadTest, KezqStreamsAMillionLineScriptInFlatMemory) {
  if (!KezqBuilt()) GTEST_SKIP() << "kezq is not built";
  db_->Sql("CREATE TABLE copy(id INTEGER)");
  // kezq's exit status and its peak resident size in KiB, on a script of
  // that many lines.
  auto run = [&](long lines) {
    std::ofstream out(db_->File("script.kq"));
    for (long k = 0; k < lines; ++k) {
      const std::string n = std::to_string(k);
      const std::string kinds[] = {"Get(" + n + " * 3 + 1)", "Put(\"n" + n + "\", $v)", "Get($v + \"" + n + "\")",
                                   "Put(" + n + ", @b:main:copy:{id}:1:id)", "Put(@b:main:copy:{id}:1)"};
      out << kinds[k % 5] << "\n";
    }
    out.close();
    int status = RunKezq({"-k", "-s", "b=" + db_->Uri("batch=1000"), "-f", db_->File("script.kq")}).status;
    struct rusage usage = {};
    getrusage(RUSAGE_CHILDREN, &usage);  // the largest child so far
    return std::make_pair(status, usage.ru_maxrss);
  };
  const long lines = Scaled(1000000, 10000), small = 2000;
  auto base = run(small), large = run(lines);
  EXPECT_EQ(base.first + large.first, 0);
  EXPECT_EQ(db_->Select("SELECT count(*) FROM copy"), (Table{{std::to_string(small / 5 + lines / 5)}}));
  EXPECT_LE(kHeapCounted ? large.second - base.second : 0, 4 * 1024)
      << "KiB more for " << lines << " lines than for " << small;
  RecordProperty("peak_rss_kib_small_and_large", std::to_string(base.second) + " " + std::to_string(large.second));
}

}  // namespace
}  // namespace test
}  // namespace kez
