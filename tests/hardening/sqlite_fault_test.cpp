// The road of a query over SQLite files that fail: locked, read-only,
// missing, full, or replaced by junk. Each failure reaches the client as
// SQLite's message and the library's; reads go on where they can; every row
// reported as inserted is in the file once; every connection closes.
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "support/SqliteRoad.h"

namespace kez {
namespace test {
namespace {

using SqliteFaultTest = SqliteRoadTest;

// The values of the road over the five orders when nothing fails.
const std::vector<std::string> kCleanValues = {"o1",   "o2/4", "o3/6", "o4/8", "o5/10", "/0",
                                               "o2/4", "o3/6", "o4/8", "o1",   "o1"};

// The distinct messages reported, in the order they first came.
std::vector<std::string> DistinctErrors() {
  std::vector<std::string> distinct;
  for (const std::string& e : Errors()) {
    if (std::find(distinct.begin(), distinct.end(), e) == distinct.end()) distinct.push_back(e);
  }
  return distinct;
}

TEST_F(SqliteFaultTest, LockedDatabaseRefusesEachInsertWithItsMessageWhileReadsGoOn) {
  const std::string insert_failed = "ERROR in QrQRData::PutQResult  Error in InsertRow with Rc=5 \n";
  const struct {
    const char* options;
    std::string what;
  } cases[] = {{"?busy_timeout=20", "cannot insert a row into <copy> of <" + db_ + ">"},
               {"?busy_timeout=20&batch=3", "cannot begin a transaction on <" + db_ + ">"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    Use(c.options);
    KezDcCMError::ClearErrors();
    EXPECT_EQ(Get(std::string(kSqliteOrders) + ":item"), "o1");  // opens the file before the lock
    sqlite3* lock = nullptr;                                     // holds the write lock on a connection of its own
    sqlite3_open(db_.c_str(), &lock);
    ASSERT_EQ(sqlite3_exec(lock, "BEGIN IMMEDIATE; INSERT INTO copy VALUES ('lock', 0)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    RoadResult road = FollowTheRoad(kSqliteOrders, kSqliteCopy, Rows(1, 2));
    EXPECT_EQ(road.values, kCleanValues);
    EXPECT_TRUE(road.reported.empty());
    std::string locked = Failure(c.what, "database is locked", 5);
    EXPECT_EQ(Errors(), (std::vector<std::string>{locked, insert_failed, locked, insert_failed}));
    sqlite3_close(lock);  // rolls its transaction back
    KezDcCMError::ClearErrors();
    EXPECT_TRUE(InsertRow(kSqliteCopy, Rows(3, 1)[0]));  // the same queries work once the lock is gone
    KezDcQrQuery::DeleteAllQueries();
    EXPECT_EQ(CopyRows(), Rows(3, 1));
    Sql(db_, "DELETE FROM copy");
  }
}

TEST_F(SqliteFaultTest, ReadOnlyDatabaseRefusesEveryInsertAndStillReads) {
  Use("?readonly=1");
  RoadResult road = FollowTheRoad(kSqliteOrders, kSqliteCopy, Rows(1, 2));
  EXPECT_EQ(road.values, kCleanValues);
  EXPECT_TRUE(road.reported.empty());
  EXPECT_TRUE(CopyRows().empty());
  EXPECT_EQ(DistinctErrors(),
            (std::vector<std::string>{
                Failure("cannot insert a row into <copy> of <" + db_ + ">", "attempt to write a readonly database", 8),
                "ERROR in QrQRData::PutQResult  Error in InsertRow with Rc=8 \n"}));
  EXPECT_EQ(Errors().size(), 4u);
}

TEST_F(SqliteFaultTest, MissingFileIsReportedAtEveryReadAndNeverCreated) {
  const std::string missing = dir_ + "/missing.db";
  KezDcDbDataSourceFactory::RegisterDataSource("s", ("sqlite:" + missing).c_str());
  RoadResult road = FollowTheRoad(kSqliteOrders, kSqliteCopy, Rows(1, 2));
  EXPECT_TRUE(road.reported.empty());
  EXPECT_EQ(road.values.front(), "");
  EXPECT_FALSE(std::filesystem::exists(missing));
  const std::string copy = kSqliteCopy;
  EXPECT_EQ(
      DistinctErrors(),
      (std::vector<std::string>{
          "ERROR: sqlite database <" + missing + "> does not exist (add ?create=1 to create it) \n",
          "ERROR: Impossible to load DataSource @s \n", "ERROR: Impossible to open Session @s:main \n",
          "ERROR: Impossible to open Rowset @s:main:orders \n", "ERROR: Illegal operator '*' on a string !\n",
          "ERROR: Impossible to open Rowset @s:main:copy \n",
          "ERROR: Cell <item> can't be written: no row buffer for <" + copy + ":item> (its rowset isn't open) ! \n",
          "ERROR: Cell <amount> can't be written: no row buffer for <" + copy +
              ":amount> (its rowset isn't open) ! \n"}));
}

// The number of rows that a rolled-back batch lost, as its message says;
// 0 without such a message.
int RolledBack(const std::string& db) {
  const std::string head = "ERROR: sqlite rolled back the transaction on <" + db + ">: ";
  int lost = 0;
  for (const std::string& e : Errors()) {
    if (e.compare(0, head.size(), head) == 0) lost += std::stoi(e.substr(head.size()));
  }
  return lost;
}

// True when every item of part is in whole, in the same order.
bool IsSubsequence(const std::vector<std::vector<std::string>>& part,
                   const std::vector<std::vector<std::string>>& whole) {
  size_t k = 0;
  for (const auto& item : whole) {
    if (k < part.size() && part[k] == item) ++k;
  }
  return k == part.size();
}

// Inserts rows of 200 octets until the file is full: a row is either
// committed, refused with a message, or counted in the message of the
// batch that was rolled back. Nothing is lost in silence.
TEST_F(SqliteFaultTest, FullDatabaseLosesNoRowWithoutSayingSo) {
  Sql(db_, "PRAGMA journal_mode=WAL");
  EveryConnectionRuns cap("PRAGMA max_page_count=4");
  for (const char* options : {"", "?batch=7"}) {
    SCOPED_TRACE(options);
    Use(options);
    KezDcCMError::ClearErrors();
    std::vector<std::vector<std::string>> reported;
    for (int k = 0; k < 60; ++k) {
      std::vector<std::string> row = {std::string(190, 'a' + k % 26) + std::to_string(k), std::to_string(k)};
      if (InsertRow(kSqliteCopy, row)) reported.push_back(row);
    }
    KezDcQrQuery::DeleteAllQueries();
    ASSERT_LT(reported.size(), 60u) << "the file never filled up";
    EXPECT_EQ(CountError(Failure("cannot insert a row into <copy> of <" + db_ + ">", "database or disk is full", 13)),
              static_cast<int>(60 - reported.size()));
    std::vector<std::vector<std::string>> committed = CopyRows();
    size_t lost = static_cast<size_t>(RolledBack(db_));
    ASSERT_EQ(committed.size() + lost, reported.size());
    EXPECT_TRUE(IsSubsequence(committed, reported)) << "a row committed twice, or never reported";
    EXPECT_EQ(lost > 0, !std::string(options).empty()) << lost << " rows rolled back";
    Sql(db_, "DELETE FROM copy; VACUUM");
  }
}

// A good file in its place works again, and a clean road reads every row and
// commits every insert.
TEST_F(SqliteFaultTest, FileReplacedByJunkIsNotADatabaseAndAGoodFileWorksAgain) {
  FollowTheRoad(kSqliteOrders, kSqliteCopy, Rows(1, 1));
  std::filesystem::remove(db_ + "-wal");
  std::filesystem::remove(db_ + "-shm");
  std::ofstream(db_, std::ios::binary | std::ios::trunc) << std::string(8192, 'j');
  KezDcCMError::ClearErrors();
  RoadResult road = FollowTheRoad(kSqliteOrders, kSqliteCopy, Rows(2, 1));
  EXPECT_TRUE(road.reported.empty());
  EXPECT_EQ(DistinctErrors().front(),
            "ERROR: sqlite cannot read database <" + db_ + ">: file is not a database (code 26) \n");
  std::filesystem::remove(db_);
  Sql(db_, kSqliteRoadTables);
  KezDcCMError::ClearErrors();
  road = FollowTheRoad(kSqliteOrders, kSqliteCopy, Rows(1, 3));
  EXPECT_EQ(road.values, kCleanValues);
  EXPECT_EQ(road.reported, Rows(1, 3));
  EXPECT_EQ(CopyRows(), Rows(1, 3));
  EXPECT_TRUE(Errors().empty());
}

// Junk written over the file under an open walk: the walk goes on from
// what SQLite still holds or reports; nothing crashes and every connection
// closes.
TEST_F(SqliteFaultTest, FileOverwrittenUnderAnOpenWalkEndsCleanly) {
  const std::string item = std::string(kSqliteOrders) + ":item";
  EXPECT_EQ(Get(item), "o1");
  KezDcQrQResult* block = KezDcQrQResult::NewQResult(kSqliteOrders);
  block->GetNextLine();
  std::ofstream(db_, std::ios::binary | std::ios::in | std::ios::out) << std::string(8192, 'j');
  for (int k = 0; k < 8; ++k) {
    block->GetNextLine();
    Get(item);
  }
  InsertRow(kSqliteCopy, Rows(1, 1)[0]);
  KezDcQrQuery::DeleteAllQueries();
  FollowTheRoad(kSqliteOrders, kSqliteCopy, Rows(2, 1));
  EXPECT_GT(CountError("ERROR: Impossible to load DataSource @s \n"), 0);
}

}  // namespace
}  // namespace test
}  // namespace kez
