// Load and endurance: 100,000 distinct queries with the heap back where it
// started; a 10,000,000-row walk whose heap stops growing after the first
// million; 1,000,000 rows inserted in batches of 1,000, all in the file;
// 10,000 data sources registered, read and dropped, with nothing left open;
// a 1,000,000-line script through kezq in flat memory.
// Sizes scale with KEZDCQR_LOAD_SCALE; the full run is `make load`.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <utility>

#include "support/AccessFaults.h"
#include "support/EveryConnectionRuns.h"
#include "support/KezqRun.h"
#include "support/LoadSupport.h"

namespace kez {
namespace test {
namespace {

// Heap that one walk or one cycle of queries may gain for good: allocator
// rounding and the error collector's bookkeeping, never a row or a query.
constexpr long kSlack = 64 * 1024;

// The k-th of the distinct queries: arithmetic, variables, formats, cells
// and sub-queries in turn, each with its own text.
std::string DistinctQuery(long k) {
  const std::string n = std::to_string(k);
  const std::string queries[] = {
      "Get(" + n + " * 3 + 1)",
      "Put(" + n + ", $v" + n + ")",
      "Get(format(" + n + ".5, \"###.##\"))",
      "Get(@m:main:orders:{item+amount}:" + std::to_string(1 + k % 50) + ":amount + " + n + ")",
      "Put(\"x" + n + "\", @m:main:orders:{item+amount}:2:item)",
      "Get(@m:main:[\"orders\"]:{item}:3:item + \"" + n + "\")"};
  return queries[k % 6];
}

void RunDistinctQueries(long first, long count) {
  for (long k = first; k < first + count; ++k) {
    std::string text = DistinctQuery(k);
    KezDcQrQuery::NewQuery(text.c_str())->DoQuery();
    KezDcQrQuery::DeleteQuery(text.c_str());
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
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 0);
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size(), 0);
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 0);
  if (kHeapCounted) {
    EXPECT_LE(InUseHeap() - start, kSlack) << "octets kept after " << count << " queries";
    EXPECT_LE(peak - start, 4 * 1024 * 1024) << "octets held at most between deletions";
  }
  RecordProperty("queries", std::to_string(count));
  RecordProperty("heap_gain", std::to_string(InUseHeap() - start));
  RecordProperty("heap_peak_gain", std::to_string(peak - start));
}

// Open file descriptors of the process.
long OpenDescriptors() {
  long n = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) n += entry.is_symlink() ? 1 : 0;
  return n;
}

// Register a name, read through it, delete the query, unregister: every
// round gives back its connection, its descriptors and its nodes.
TEST_F(LoadTest, TenThousandRoundsOfRegisterGetDeleteUnregisterKeepNothingOpen) {
  db_.Sql("CREATE TABLE t(v TEXT); INSERT INTO t VALUES ('x')");
  const long rounds = Scaled(10000, 200);
  const long descriptors = OpenDescriptors();
  const long start = InUseHeap();
  for (long k = 0; k < rounds; ++k) {
    const std::string name = "r" + std::to_string(k);
    const std::string get = "Get(@" + name + ":main:t:{*}:1:v)";
    KezDcDbDataSourceFactory::RegisterDataSource(name.c_str(), db_.Uri().c_str());
    KezDcQrQuery* query = KezDcQrQuery::NewQuery(get.c_str());
    query->DoQuery();
    auto* value = dynamic_cast<KezDcQrQRExpression*>(query->p_QResult);
    ASSERT_TRUE(value && value->p_StringQResult && std::string(value->p_StringQResult) == "x") << "round " << k;
    KezDcQrQuery::DeleteQuery(get.c_str());
    KezDcDbDataSourceFactory::UnregisterDataSource(name.c_str());
    ASSERT_EQ(kez::test::AccessFaults::OpenConnections(), 0) << "round " << k;
  }
  EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), 0);
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size(), 0);
  if (kHeapCounted) {
    EXPECT_LE(InUseHeap() - start, 4 * 1024 * 1024) << "octets kept after " << rounds << " rounds";
  }
  EXPECT_TRUE(Errors().empty());
  RecordProperty("rounds", std::to_string(rounds));
}

TEST_F(LoadTest, WalkOfTenMillionRowsKeepsItsHeapFromTheFirstMillionOn) {
  // SQLite's page cache fills within the first 20,000 rows.
  const long rows = Scaled(10000000, 50000);
  const long checkpoint = std::max(rows / 10, 20000L);
  db_.Sql(
      "PRAGMA journal_mode=WAL; CREATE TABLE big(id INTEGER, name TEXT);"
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " +
      std::to_string(rows) + ") INSERT INTO big SELECT x, 'row ' || x FROM c");
  EveryConnectionRuns small_cache("PRAGMA cache_size=64");
  KezDcDbDataSourceFactory::RegisterDataSource("s", db_.Uri().c_str());
  KezDcQrQuery* id = KezDcQrQuery::NewQuery("Get(@s:main:big:{id+name}:1000:id)");
  KezDcQrQResult* block = KezDcQrQResult::NewQResult("@s:main:big:{id+name}:1000");
  long long sum = 0;
  long seen = 0;
  long peak_early = 0, peak_late = 0;
  for (id->DoQuery(); block->IsMoreData(); block->GetNextLine(), id->DoQuery()) {
    auto* value = static_cast<KezDcQrQRExpression*>(id->p_QResult);
    sum += value->p_DoubleQResult ? static_cast<long long>(*value->p_DoubleQResult) : 0;
    if (++seen % 1000 == 0) {
      long& peak = seen <= checkpoint ? peak_early : peak_late;
      peak = std::max(peak, InUseHeap());
    }
  }
  EXPECT_EQ(seen, rows);
  EXPECT_EQ(sum, static_cast<long long>(rows) * (rows + 1) / 2) << "every row once, in order";
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 0);
  if (kHeapCounted) {
    EXPECT_LE(peak_late, peak_early + kSlack) << "the walk grew after row " << checkpoint;
  }
  RecordProperty("rows", std::to_string(rows));
  RecordProperty("heap_peak_first_tenth", std::to_string(peak_early));
  RecordProperty("heap_peak_after", std::to_string(peak_late));
}

TEST_F(LoadTest, MillionInsertsInBatchesOfAThousandAreAllCommitted) {
  const long rows = Scaled(1000000, 2500);
  db_.Sql("CREATE TABLE copy(id INTEGER, name TEXT)");
  KezDcDbDataSourceFactory::RegisterDataSource("s", db_.Uri("batch=1000").c_str());
  KezUnicodeString type = "Variable";
  auto* k = static_cast<KezDcQrQRVariable*>(KezDcQrQResult::NewQR("$k", "", "", "", "", "", type));
  KezDcQrQuery* put_id = KezDcQrQuery::NewQuery("Put($k, @s:main:copy:{id+name}:1:id)");
  KezDcQrQuery* put_name = KezDcQrQuery::NewQuery("Put(\"n\" + $k, @s:main:copy:{id+name}:1:name)");
  KezDcQrQuery* insert = KezDcQrQuery::NewQuery("Put(@s:main:copy:{id+name}:1)");
  for (long n = 1; n <= rows; ++n) {
    k->Affect(static_cast<int>(n));
    put_id->DoQuery();
    put_name->DoQuery();
    insert->DoQuery();
  }
  KezDcQrQuery::DeleteAllQueries();  // commits the last, partial batch
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 0);
  EXPECT_EQ(Number("SELECT count(*) FROM copy"), rows);
  EXPECT_EQ(Number("SELECT count(DISTINCT id) FROM copy"), rows);
  EXPECT_EQ(Number("SELECT sum(id) FROM copy"), static_cast<long long>(rows) * (rows + 1) / 2);
  EXPECT_EQ(Number("SELECT count(*) FROM copy WHERE name = 'n' || id"), rows);
  RecordProperty("rows", std::to_string(rows));
}

// kezq reading the script at path, its output thrown away: its exit status
// and its peak resident size in KiB.
std::pair<int, long> RunKezqOn(const std::string& path, const std::string& source) {
  pid_t child = fork();
  if (child == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    std::string kezq = KezqPath(), s = "-s", f = "-f", k = "-k";
    std::string src = source, file = path;
    char* argv[] = {&kezq[0], &k[0], &s[0], &src[0], &f[0], &file[0], nullptr};
    execv(kezq.c_str(), argv);
    _exit(127);
  }
  int raw = 0;
  struct rusage usage = {};
  wait4(child, &raw, 0, &usage);
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, usage.ru_maxrss};
}

// A script of distinct lines (values, variables, texts and inserts in
// batches) streams through kezq: a million lines take no more memory than
// ten thousand, and every inserted row is in the table.
TEST_F(LoadTest, KezqStreamsAMillionLineScriptInFlatMemory) {
  if (!KezqBuilt()) GTEST_SKIP() << "kezq is not built";
  db_.Sql("CREATE TABLE copy(id INTEGER)");
  auto script = [&](long lines, const std::string& path) {
    std::ofstream out(path);
    for (long k = 0; k < lines; ++k) {
      const std::string n = std::to_string(k);
      const std::string kinds[] = {"Get(" + n + " * 3 + 1)", "Put(\"n" + n + "\", $v)", "Get($v + \"" + n + "\")",
                                   "Put(" + n + ", @s:main:copy:{id}:1:id)", "Put(@s:main:copy:{id}:1)"};
      out << kinds[k % 5] << "\n";
    }
  };
  const long lines = Scaled(1000000, 10000), small = 2000;
  script(small, dir_.File("small.kq"));
  script(lines, dir_.File("large.kq"));
  const std::string source = "s=" + db_.Uri("batch=1000");
  auto base = RunKezqOn(dir_.File("small.kq"), source);
  auto large = RunKezqOn(dir_.File("large.kq"), source);
  EXPECT_EQ(base.first, 0);
  EXPECT_EQ(large.first, 0);
  EXPECT_EQ(Number("SELECT count(*) FROM copy"), small / 5 + lines / 5);
  if (kHeapCounted) {
    EXPECT_LE(large.second - base.second, 4 * 1024) << "KiB more for " << lines << " lines than for " << small;
  }
  RecordProperty("lines", std::to_string(lines));
  RecordProperty("peak_rss_kib_small", std::to_string(base.second));
  RecordProperty("peak_rss_kib_large", std::to_string(large.second));
}

}  // namespace
}  // namespace test
}  // namespace kez
