// Failures of the SQLite backend: bad URIs, missing, locked, read-only,
// full, junk and corrupt files, constraint violations and failed commits are
// each reported with SQLite's message and code; reads go on where they can;
// every row reported as inserted is in the file once, and nothing is lost
// without a report.
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "support/EveryConnectionRuns.h"
#include "support/SqliteTestSupport.h"

namespace kez {
namespace test {
namespace {

const char kOrders[] = "@b:main:orders:{item+amount}:2";
const char kCopy[] = "@b:main:copy:{item+amount}:1";
const char kRoadTables[] =
    "CREATE TABLE orders(item TEXT, amount INTEGER); CREATE TABLE copy(item TEXT, amount INTEGER);"
    "INSERT INTO orders VALUES ('o1', 1), ('o2', 2), ('o3', 3), ('o4', 4), ('o5', 5);";

class SqliteFailureTest : public SqliteFixture {
 protected:
  // SQLite's report that it cannot do what on the file, and why.
  std::string Cannot(const std::string& what, const std::string& why) const {
    return "ERROR: sqlite cannot " + what + " <" + file_ + ">: " + why + " \n";
  }
  RoadRows CopyRows() const { return Sql("SELECT item, amount FROM copy ORDER BY rowid"); }
  // Reads t through the layer with the options and fails to insert.
  void CheckReadonly(const std::string& options) {
    KezDcCMError::ClearErrors();
    EXPECT_EQ(Read(options, "t"), Rows{{"1"}});
    EXPECT_EQ(InsertRows(options, "t", {{"2"}}), std::vector<int>{SQLITE_READONLY});
    EXPECT_EQ(Errors(), Texts{Cannot("insert a row into <t> of", "attempt to write a readonly database (code 8)")});
  }
};

// Each bad option is reported with what it must be; a missing file is made
// only when asked; a relative path follows the working directory of the
// opening, and its sessions keep that file.
TEST_F(SqliteFailureTest, BadUrisAndMissingFilesAreReportedWithWhatToDo) {
  const std::string whole = "must be a whole number from ", d = file_;
  const std::vector<std::pair<std::string, Texts>> cases = {
      {d + "?colour=blue&batch=0",
       {"unknown option <colour> (known: create, readonly, busy_timeout, text_size, batch, declared_size, "
        "max_field_size, max_block_memory, journal)",
        "option <batch> " + whole + "1 to 2147483647, not <0>"}},
      {d + "?readonly=yes", {"option <readonly> must be 0 or 1, not <yes>"}},
      {d + "?text_size=1048577", {"option <text_size> " + whole + "1 to 1048576, not <1048577>"}},
      {d + "?max_field_size=0&max_block_memory=x",
       {"option <max_field_size> " + whole + "1 to 1048576, not <0>",
        "option <max_block_memory> " + whole + "1 to 1099511627776, not <x>"}},
      {d + "?busy_timeout=-5", {"option <busy_timeout> " + whole + "0 to 2147483647, not <-5>"}},
      {d + "?create=1&readonly=1", {"options create=1 and readonly=1 exclude each other"}},
      {d + "?journal=fast", {"option <journal> must be wal, delete, truncate or persist, not <fast>"}},
      {"", {"no database path"}},
      {"?create=1", {"no database path"}},
      {d, {}},  // the file is missing
  };
  for (const auto& c : cases) {
    KezDcCMError::ClearErrors();
    EXPECT_EQ(OpenSource(c.first), nullptr) << c.first;
    Texts expected;
    for (const std::string& reason : c.second)
      expected.push_back("ERROR: sqlite data source <sqlite:" + c.first + ">: " + reason + " \n");
    if (c.second.empty())
      expected = {"ERROR: sqlite database <" + d + "> does not exist (add ?create=1 to create it) \n"};
    EXPECT_EQ(Errors(), expected) << c.first;
  }
  KezDcCMError::ClearErrors();
  EXPECT_FALSE(std::filesystem::exists(file_));
  EXPECT_TRUE(Ref<KezIDcDbDataSource>(OpenSource(file_ + "?create=1")));
  EXPECT_TRUE(std::filesystem::exists(file_));
  EXPECT_TRUE(
      Ref<KezIDcDbDataSource>(OpenSource(d + "?busy_timeout=0&text_size=1&batch=7&declared_size=1&&readonly=0")));
  Sql("CREATE TABLE t(a)");
  Opened o;
  std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(db_->Folder());
  o.source.reset(OpenSource("test.db"));
  std::filesystem::current_path(before);
  EXPECT_TRUE(OpenAll(&o, "", "t"));
  EXPECT_TRUE(Errors().empty());
}

// Junk is refused by the data source, and by a session opened after it replaced the file.
TEST_F(SqliteFailureTest, JunkFileIsNotADatabase) {
  std::string junk = Path("junk.db");
  std::ofstream(junk) << std::string(4096, 'j');
  EXPECT_EQ(OpenSource(junk), nullptr);
  Sql("CREATE TABLE t(a)");
  Ref<KezIDcDbDataSource> source(OpenSource(file_));
  std::filesystem::rename(junk, file_);
  void* session = nullptr;
  EXPECT_EQ(source->OpenSession(KezIDcDbSimpleSession::ClassId(), &session), SQLITE_NOTADB);
  EXPECT_EQ(Errors(), (Texts{"ERROR: sqlite cannot read database <" + junk + ">: file is not a database (code 26) \n",
                             Cannot("read database", "file is not a database (code 26)")}));
}

// A row that fails to read (abs of the smallest integer) keeps the rows
// before it and ends the rowset; a constraint violation fails only its row.
TEST_F(SqliteFailureTest, ReadAndConstraintFailuresFailOnlyTheirRow) {
  Sql("CREATE TABLE n(x INTEGER); INSERT INTO n VALUES (1), (-2), (-9223372036854775808), (4);"
      "CREATE VIEW v AS SELECT abs(x) AS a FROM n; CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE)");
  EXPECT_EQ(Read("", "v"), (Rows{{"1"}, {"2"}}));
  EXPECT_EQ(InsertRows("", "t", {{"1", "a"}, {"2", "a"}, {"3", ""}}), (std::vector<int>{0, SQLITE_CONSTRAINT, 0}));
  EXPECT_EQ(InsertRows("?batch=10", "t", {{"4", "b"}, {"1", "c"}, {"5", "d"}}),
            (std::vector<int>{0, SQLITE_CONSTRAINT, 0}));
  EXPECT_EQ(Sql("SELECT id FROM t ORDER BY id"), (Rows{{"1"}, {"3"}, {"4"}, {"5"}}));
  EXPECT_EQ(Errors(), (Texts{"ERROR: sqlite cannot read rowset <v> of <" + file_ + ">: integer overflow (code 1) \n",
                             Cannot("insert a row into <t> of", "UNIQUE constraint failed: t.name (code 2067)"),
                             Cannot("insert a row into <t> of", "UNIQUE constraint failed: t.id (code 1555)")}));
}

// A second connection holds the write lock: reads go on, and inserts work once it is gone.
TEST_F(SqliteFailureTest, LockedDatabaseRefusesEachInsertWhileReadsGoOn) {
  Sql(kRoadTables);
  const Texts clean = {"o1", "o2/4", "o3/6", "o4/8", "o5/10", "/0", "o2/4", "o3/6", "o4/8", "o1", "o1"};
  const std::string insert_failed = "ERROR in QrQRData::PutQResult  Error in InsertRow with Rc=5 \n";
  for (const auto& c : std::vector<std::pair<std::string, std::string>>{
           {"busy_timeout=20", "insert a row into <copy> of"}, {"busy_timeout=20&batch=3", "begin a transaction on"}}) {
    Use(c.first);
    KezDcCMError::ClearErrors();
    EXPECT_EQ(Get(std::string(kOrders) + ":item"), "o1");  // opens the file before the lock
    sqlite3* lock = nullptr;
    sqlite3_open(file_.c_str(), &lock);
    ASSERT_EQ(sqlite3_exec(lock, "BEGIN IMMEDIATE; INSERT INTO copy VALUES ('lock', 0)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    RoadResult road = FollowTheRoad(kOrders, kCopy, {{"w1", "10"}, {"w2", "20"}});
    EXPECT_EQ(road.values, clean);
    EXPECT_TRUE(road.reported.empty());
    std::string locked = Cannot(c.second, "database is locked (code 5)");
    EXPECT_EQ(Errors(), (Texts{locked, insert_failed, locked, insert_failed}));
    sqlite3_close(lock);  // rolls its transaction back
    KezDcCMError::ClearErrors();
    EXPECT_TRUE(InsertRow(kCopy, {"w3", "30"}));
    KezDcQrQuery::DeleteAllQueries();
    EXPECT_EQ(CopyRows(), (RoadRows{{"w3", "30"}}));
    Sql("DELETE FROM copy");
  }
}

TEST_F(SqliteFailureTest, ReadonlyOptionOrFileRefusesWritesButReads) {
  Sql("CREATE TABLE t(a INTEGER); INSERT INTO t VALUES (1)");
  CheckReadonly("?readonly=1");
  using std::filesystem::perms;  // readable by all, writable by none
  std::filesystem::permissions(db_->Folder(),
                               perms::owner_read | perms::owner_exec | perms::others_read | perms::others_exec);
  std::filesystem::permissions(file_, perms::owner_read | perms::others_read);
  if (getuid() != 0) return CheckReadonly("");
  pid_t child = fork();  // root writes any file: the check runs as the user nobody
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
    CheckReadonly("");
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = -1;
  waitpid(child, &status, 0);
  EXPECT_EQ(status, 0) << "the read-only file check failed as user nobody";
}

// Each row of 200 octets is committed, refused, or counted in the message
// of its rolled-back batch: none lost in silence, none in twice.
TEST_F(SqliteFailureTest, FullDatabaseLosesNoRowWithoutSayingSo) {
  Sql(std::string(kRoadTables) + "PRAGMA journal_mode=WAL");
  EveryConnectionRuns cap("PRAGMA max_page_count=4");
  const std::string full = Cannot("insert a row into <copy> of", "database or disk is full (code 13)");
  const std::string rolled_back = "ERROR: sqlite rolled back the transaction on <" + file_ + ">: ";
  for (const char* options : {"", "batch=7"}) {
    Use(options);
    KezDcCMError::ClearErrors();
    RoadRows reported;
    for (int k = 0; k < 60; ++k) {
      std::vector<std::string> row = {std::string(190, 'a' + k % 26) + std::to_string(k), std::to_string(k)};
      if (InsertRow(kCopy, row)) reported.push_back(row);
    }
    KezDcQrQuery::DeleteAllQueries();
    ASSERT_LT(reported.size(), 60u) << "the file never filled up";
    size_t refused = 0, lost = 0;
    for (const std::string& e : Errors()) {
      if (e.compare(0, rolled_back.size(), rolled_back) == 0) {
        int n = std::stoi(e.substr(rolled_back.size()));
        lost += n;
        EXPECT_EQ(e, rolled_back + std::to_string(n) + " rows inserted since the last commit were not committed \n");
      } else if (e != "ERROR in QrQRData::PutQResult  Error in InsertRow with Rc=13 \n") {
        EXPECT_EQ(e, full);
        ++refused;
      }
    }
    EXPECT_EQ(refused, 60 - reported.size());
    EXPECT_EQ(lost > 0, options[0] != 0) << lost << " rows rolled back";
    // The file holds the rows reported, in order, less those counted as rolled back.
    RoadRows committed = CopyRows();
    ASSERT_EQ(committed.size() + lost, reported.size());
    size_t k = 0;
    for (const auto& row : reported) k += k < committed.size() && committed[k] == row ? 1 : 0;
    EXPECT_EQ(k, committed.size()) << "a row committed twice, or never reported";
    Sql("DELETE FROM copy; VACUUM");
  }
}

TEST_F(SqliteFailureTest, FailedBatchCommitSaysHowManyRowsWereNotCommitted) {
  Sql("CREATE TABLE parent(id INTEGER PRIMARY KEY);"
      "CREATE TABLE child(p INTEGER REFERENCES parent(id) DEFERRABLE INITIALLY DEFERRED)");
  EveryConnectionRuns foreign_keys("PRAGMA foreign_keys=ON");
  Opened o;
  ASSERT_TRUE(OpenAll(&o, file_ + "?batch=10", "child"));
  for (const char* orphan : {"7", "8", "9"}) EXPECT_EQ(Insert(o, {orphan}), 0);
  o.insert.reset();
  EXPECT_EQ(Errors(), Texts{"ERROR: sqlite 3 rows inserted into <" + file_ +
                            "> were not committed: FOREIGN KEY constraint failed (code 787) \n"});
  // The session goes on with a fresh transaction.
  Sql("INSERT INTO parent VALUES (1)");
  o.insert.reset(OpenInsert(o.rowset.get()));
  EXPECT_EQ(Insert(o, {"1"}), 0);
  o.insert.reset();
  EXPECT_EQ(Sql("SELECT p FROM child"), Rows{{"1"}});
}

}  // namespace
}  // namespace test
}  // namespace kez
