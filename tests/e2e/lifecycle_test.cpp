// Lifecycle and bounds on both backends: a deleted query gives back what
// its nodes held, a name registered again reads its new database, and a
// walk reads the rows that its table held when it started.
#include <sqlite3.h>

#include "database/access/sqlite/KezDcDbSqlite.h"
#include "support/AccessFaults.h"
#include "support/E2eSupport.h"
#include "support/TempDir.h"

namespace kez {
namespace test {
namespace {

enum class Backend { kMemory, kSqlite };

const char kValue[] = "@d:main:t:{*}:1:v";
const char kGetValue[] = "Get(@d:main:t:{*}:1:v)";

// The data source "d" stands for the database "first" (t: 1 a, 2 b, 3 c);
// "second" holds t: 9 z.
class LifecycleTest : public E2eTest, public ::testing::WithParamInterface<Backend> {
 protected:
  void SetUp() override {
    E2eTest::SetUp();
    ASSERT_TRUE(temp_.Made());
    Make("first", "(1, 'a'), (2, 'b'), (3, 'c')");
    Make("second", "(9, 'z')");
    Use("first");
  }
  void TearDown() override {
    KezDcQrQuery::DeleteAllQueries();
    KezDcDbDataSourceFactory::UnregisterDataSource("d");
    EXPECT_EQ(kez::test::AccessFaults::OpenConnections(), 0);
    EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), 0);
    E2eTest::TearDown();
  }

  bool Sqlite() const { return GetParam() == Backend::kSqlite; }
  std::string File(const std::string& name) const { return temp_.Path() + "/" + name + ".db"; }

  void Make(const std::string& name, const std::string& rows) {
    if (!Sqlite()) {
      KezDcDbMemory::CreateRowset(name, "t", {{"id", KEZDCDB_TYPEI4, 4}, {"v", KEZDCDB_TYPESTRING, 8}});
      std::string values = rows;
      for (std::size_t at = 0; (at = values.find('(', at)) != std::string::npos; ++at) {
        std::size_t comma = values.find(',', at);
        std::size_t quote = values.find('\'', comma);
        KezDcDbMemory::AppendRow(name, "t", {values.substr(at + 1, comma - at - 1), values.substr(quote + 1, 1)});
      }
      return;
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(File(name).c_str(), &db), SQLITE_OK);
    std::string sql = "CREATE TABLE t(id INTEGER, v VARCHAR(8)); INSERT INTO t VALUES " + rows;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
  }
  void Use(const std::string& name) {
    std::string uri = Sqlite() ? "sqlite:" + File(name) : "memory:" + name;
    KezDcDbDataSourceFactory::RegisterDataSource("d", uri.c_str());
  }
  long Rows(const std::string& name) const {
    if (!Sqlite()) return static_cast<long>(KezDcDbMemory::GetRows(name, "t").size());
    sqlite3* db = nullptr;
    sqlite3_stmt* count = nullptr;
    long rows = -1;
    sqlite3_open_v2(File(name).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM t", -1, &count, nullptr) == SQLITE_OK &&
        sqlite3_step(count) == SQLITE_ROW)
      rows = sqlite3_column_int(count, 0);
    sqlite3_finalize(count);
    sqlite3_close(db);
    return rows;
  }
  // Layer objects alive: data sources, sessions, rowsets, insert interfaces.
  int Live() const {
    return Sqlite() ? kez::test::AccessFaults::LiveObjects() : kez::test::AccessFaults::LiveObjects();
  }

  TempDir temp_{"kez_lifecycle"};
};

TEST_P(LifecycleTest, DeletedQueryGivesBackEveryObjectThatItsDataSourceOpened) {
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(Get(kValue), "a");
    EXPECT_GT(Live(), 0);
    KezDcQrQuery::DeleteQuery(kGetValue);
    EXPECT_EQ(Live(), 0);
    EXPECT_EQ(KezDcQrQResult::QRHTab->Size(), 0);
  }
  // What another query or a client still uses stays open, in place.
  KezDcQrQResult* block = KezDcQrQResult::NewQResult("@d:main:t:{*}:1");
  block->GetNextLine();
  EXPECT_EQ(Get(kValue), "b");
  EXPECT_EQ(Get("@d:main:t:{*}:1:id"), "2");
  KezDcQrQuery::DeleteQuery(kGetValue);
  EXPECT_EQ(Get("@d:main:t:{*}:1:id"), "2");
  KezDcQrQuery::DeleteQuery("Get(@d:main:t:{*}:1:id)");
  EXPECT_EQ(Get(kValue), "b");
  EXPECT_TRUE(Errors().empty());
  EXPECT_TRUE(WalkRegistries().problems.empty());
}

TEST_P(LifecycleTest, NameRegisteredAgainReadsItsNewDatabaseAndUnregisteredReadsNothing) {
  EXPECT_EQ(Get(kValue), "a");
  KezDcQrQuery::DeleteQuery(kGetValue);
  Use("second");
  EXPECT_EQ(Get(kValue), "z");
  // A query still held reads the new database at its next run.
  Use("first");
  EXPECT_EQ(Get(kValue), "a");
  EXPECT_TRUE(Errors().empty());
  KezDcDbDataSourceFactory::UnregisterDataSource("d");
  EXPECT_EQ(Live(), 0);
  EXPECT_EQ(Get(kValue), "");
  EXPECT_GE(CountError("ERROR: Impossible to load DataSource @d \n"), 1);
}

// Each row read is inserted again into the same table while the walk goes
// on: the walk ends after the rows that the table held at its start.
TEST_P(LifecycleTest, WalkCopyingATableIntoItselfEndsWithTwiceItsRows) {
  const std::string walk = "@d:main:t:{*}:2";
  const std::string put = "@d:main:t:{id+v}:1";
  long rows = 0;
  for (KezDcQrQResult* block = KezDcQrQResult::NewQResult(walk.c_str()); block->IsMoreData() && rows < 100;
       block->GetNextLine(), ++rows) {
    Run("Put(" + walk + ":id, " + put + ":id)");
    Run("Put(" + walk + ":v, " + put + ":v)");
    Run("Put(" + put + ")");
  }
  EXPECT_EQ(rows, 3);
  KezDcQrQuery::DeleteAllQueries();
  EXPECT_EQ(Rows("first"), 6);
  EXPECT_TRUE(Errors().empty());
}

// In batches, the rows of the open batch reach the file when the data block
// is freed by a query, or when every open batch is committed.
TEST_P(LifecycleTest, FreeOfTheDataBlockAndCommitAllCommitTheOpenBatch) {
  if (Sqlite()) KezDcDbDataSourceFactory::RegisterDataSource("d", ("sqlite:" + File("first") + "?batch=10").c_str());
  const std::string put = "@d:main:t:{id+v}:1";
  auto insert = [&](int id) {
    Run("Put(" + std::to_string(id) + ", " + put + ":id)");
    Run("Put(" + put + ")");
  };
  insert(4);
  insert(5);
  EXPECT_EQ(Rows("first"), Sqlite() ? 3 : 5);
  Run("Free(" + put + ")");
  EXPECT_EQ(Rows("first"), 5);
  insert(6);
  EXPECT_EQ(Rows("first"), Sqlite() ? 5 : 6);
  KezDcQrQRRowset::ReleaseAllWriteQResults();
  EXPECT_EQ(Rows("first"), 6);
  EXPECT_TRUE(Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(Backends, LifecycleTest, ::testing::Values(Backend::kMemory, Backend::kSqlite),
                         [](const ::testing::TestParamInfo<Backend>& info) {
                           return info.param == Backend::kMemory ? "Memory" : "Sqlite";
                         });

}  // namespace
}  // namespace test
}  // namespace kez
