// Failures of the SQLite backend: bad URIs, missing, locked, read-only,
// full, junk and corrupt files, constraint violations and failed commits are
// each reported with SQLite's message and code, and nothing is lost without
// a report.
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "support/EveryConnectionRuns.h"
#include "support/SqliteTestSupport.h"

namespace kez {
namespace test {
namespace {

using kez::test::EveryConnectionRuns;

class SqliteFailureTest : public SqliteFixture {
 protected:
  void CheckReadonlyFile();

  // Opens the rowset with the options, binds every column and inserts each
  // row in turn (up to the first failure when asked); returns the codes.
  std::vector<int> InsertRows(const std::string& options, const std::string& rowset, const Rows& rows,
                              bool stop_at_failure = false) {
    Opened o;
    if (!OpenAll(&o, db_ + options, rowset)) return {};
    Ref<KezIDcDbInsertRowset> insert(OpenInsert(o.rowset.get()));
    std::vector<int> codes;
    for (const auto& row : rows) {
      codes.push_back(Insert(insert.get(), o.layout, row));
      if (stop_at_failure && codes.back() != 0) break;
    }
    return codes;
  }
  // SQLite's report that it cannot do what on the file, and why.
  std::string Cannot(const std::string& what, const std::string& why) const {
    return "ERROR: sqlite cannot " + what + " <" + db_ + ">: " + why + " \n";
  }
};

TEST_F(SqliteFailureTest, MissingFileIsCreatedOnlyWhenAskedAndRelativePathsFollowTheWorkingDirectory) {
  EXPECT_EQ(OpenSource(db_), nullptr);
  EXPECT_EQ(Errors(), Texts{"ERROR: sqlite database <" + db_ + "> does not exist (add ?create=1 to create it) \n"});
  EXPECT_FALSE(std::filesystem::exists(db_));
  KezDcCMError::ClearErrors();
  Ref<KezIDcDbDataSource> created(OpenSource(db_ + "?create=1"));
  ASSERT_TRUE(created);
  EXPECT_EQ(Column(db_, "PRAGMA journal_mode"), Texts{"wal"});
  std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  Ref<KezIDcDbDataSource> source(OpenSource("test.db"));
  std::filesystem::current_path(before);
  ASSERT_TRUE(source);
  // Sessions keep the file the data source named, whatever the directory now.
  Ref<KezIDcDbSimpleSession> session(OpenSession(source.get()));
  EXPECT_TRUE(session);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(SqliteFailureTest, BadUrisAreReportedWithTheOptionAndWhatItMustBe) {
  Sql(db_, "CREATE TABLE t(a)");
  const std::string u = "ERROR: sqlite data source <sqlite:" + db_;
  struct Case {
    std::string uri;
    Texts errors;
  } cases[] = {
      {"", {"ERROR: sqlite data source <sqlite:>: no database path \n"}},
      {"?create=1", {"ERROR: sqlite data source <sqlite:?create=1>: no database path \n"}},
      {db_ + "?colour=blue&batch=0",
       {u + "?colour=blue&batch=0>: unknown option <colour> (known: create, readonly, busy_timeout, text_size, batch, "
            "declared_size, max_field_size, max_block_memory, journal) \n",
        u + "?colour=blue&batch=0>: option <batch> must be a whole number from 1 to 2147483647, not <0> \n"}},
      {db_ + "?readonly=yes", {u + "?readonly=yes>: option <readonly> must be 0 or 1, not <yes> \n"}},
      {db_ + "?text_size=1048577",
       {u + "?text_size=1048577>: option <text_size> must be a whole number from 1 to 1048576, not <1048577> \n"}},
      {db_ + "?max_field_size=0&max_block_memory=x",
       {u + "?max_field_size=0&max_block_memory=x>: option <max_field_size> must be a whole number from 1 to 1048576, "
            "not <0> \n",
        u + "?max_field_size=0&max_block_memory=x>: option <max_block_memory> must be a whole number from 1 to "
            "1099511627776, not <x> \n"}},
      {db_ + "?busy_timeout=-5",
       {u + "?busy_timeout=-5>: option <busy_timeout> must be a whole number from 0 to 2147483647, not <-5> \n"}},
      {db_ + "?create=1&readonly=1",
       {u + "?create=1&readonly=1>: options create=1 and readonly=1 exclude each other \n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.uri);
    KezDcCMError::ClearErrors();
    EXPECT_EQ(OpenSource(c.uri), nullptr);
    EXPECT_EQ(Errors(), c.errors);
  }
  KezDcCMError::ClearErrors();
  Ref<KezIDcDbDataSource> fine(OpenSource(db_ + "?busy_timeout=0&text_size=1&batch=7&declared_size=1&&readonly=0"));
  EXPECT_TRUE(fine);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(SqliteFailureTest, JunkFileIsNotADatabaseWhenOpenedOrWhenASessionOpens) {
  std::string junk = Path("junk.db");
  std::ofstream(junk) << std::string(4096, 'j');
  EXPECT_EQ(OpenSource(junk), nullptr);
  Sql(db_, "CREATE TABLE t(a)");
  Ref<KezIDcDbDataSource> source(OpenSource(db_));
  ASSERT_TRUE(source);
  std::filesystem::rename(junk, db_);
  void* session = nullptr;
  EXPECT_EQ(source->OpenSession(KezIDcDbSimpleSession::ClassId(), &session), SQLITE_NOTADB);
  EXPECT_EQ(session, nullptr);
  EXPECT_EQ(Errors(), (Texts{"ERROR: sqlite cannot read database <" + junk + ">: file is not a database (code 26) \n",
                             Cannot("read database", "file is not a database (code 26)")}));
}

TEST_F(SqliteFailureTest, ReadFailureKeepsEarlierRowsThenEndsTheRowset) {
  Sql(db_,
      "CREATE TABLE n(x INTEGER); INSERT INTO n VALUES (1), (-2), (-9223372036854775808), (4);"
      "CREATE VIEW v AS SELECT abs(x) AS a FROM n");
  Opened o;
  ASSERT_TRUE(OpenAll(&o, db_, "v"));
  uint32_t obtained = 0;
  _SEQUENCE_KezDcDbRowHandleSeq* rows = nullptr;
  for (int rc : {0, 3}) {  // two rows, then the failing one ends the rowset
    EXPECT_EQ(o.rowset->GetNextRows(10, &obtained, &rows), rc);
    EXPECT_EQ(obtained, rc == 0 ? 2u : 0u);
    o.rowset->ReleaseRows(obtained, rows);
    delete rows;
  }
  EXPECT_EQ(Errors(), Texts{"ERROR: sqlite cannot read rowset <v> of <" + db_ + ">: integer overflow (code 1) \n"});
}

TEST_F(SqliteFailureTest, ConstraintViolationsFailOnlyTheirRow) {
  Sql(db_, "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE)");
  EXPECT_EQ(InsertRows("", "t", {{"1", "a"}, {"2", "a"}, {"3", ""}}), (std::vector<int>{0, SQLITE_CONSTRAINT, 0}));
  EXPECT_EQ(InsertRows("?batch=10", "t", {{"4", "b"}, {"1", "c"}, {"5", "d"}}),
            (std::vector<int>{0, SQLITE_CONSTRAINT, 0}));
  EXPECT_EQ(Column(db_, "SELECT id FROM t ORDER BY id"), (Texts{"1", "3", "4", "5"}));
  EXPECT_EQ(Errors(), (Texts{Cannot("insert a row into <t> of", "UNIQUE constraint failed: t.name (code 2067)"),
                             Cannot("insert a row into <t> of", "UNIQUE constraint failed: t.id (code 1555)")}));
}

TEST_F(SqliteFailureTest, LockedDatabaseFailsAfterTheBusyTimeout) {
  Sql(db_, "CREATE TABLE t(a INTEGER)");
  Opened per_row, batched;
  OpenAll(&per_row, db_ + "?busy_timeout=20", "t");
  OpenAll(&batched, db_ + "?busy_timeout=20&batch=5", "t");
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(db_.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE; INSERT INTO t VALUES (0)", nullptr, nullptr, nullptr), SQLITE_OK);
  for (Opened* o : {&per_row, &batched}) {
    Ref<KezIDcDbInsertRowset> insert(OpenInsert(o->rowset.get()));
    EXPECT_EQ(Insert(insert.get(), o->layout, {"1"}), SQLITE_BUSY);
  }
  sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  EXPECT_EQ(Errors(), (Texts{Cannot("insert a row into <t> of", "database is locked (code 5)"),
                             Cannot("begin a transaction on", "database is locked (code 5)")}));
}

TEST_F(SqliteFailureTest, ReadonlyOptionRefusesWritesButReads) {
  Sql(db_, "CREATE TABLE t(a INTEGER); INSERT INTO t VALUES (1)");
  EXPECT_EQ(InsertRows("?readonly=1", "t", {{"2"}}), std::vector<int>{SQLITE_READONLY});
  EXPECT_EQ(InsertRows("?readonly=1&batch=3", "t", {{"3"}}), std::vector<int>{SQLITE_READONLY});
  EXPECT_EQ(Column(db_, "SELECT a FROM t"), Texts{"1"});
  EXPECT_EQ(Errors(), Texts(2, Cannot("insert a row into <t> of", "attempt to write a readonly database (code 8)")));
}

// Opens the read-only file through the layer, reads it and fails to insert.
void SqliteFailureTest::CheckReadonlyFile() {
  Opened o;
  ASSERT_TRUE(OpenAll(&o, db_, "t"));
  EXPECT_EQ(ReadAll(o), Rows{{"1"}});
  Ref<KezIDcDbInsertRowset> insert(OpenInsert(o.rowset.get()));
  EXPECT_EQ(Insert(insert.get(), o.layout, {"2"}), SQLITE_READONLY);
  EXPECT_EQ(Errors(), Texts{Cannot("insert a row into <t> of", "attempt to write a readonly database (code 8)")});
}

TEST_F(SqliteFailureTest, ReadonlyFileRefusesWritesButReads) {
  Sql(db_, "CREATE TABLE t(a INTEGER); INSERT INTO t VALUES (1)");
  using std::filesystem::perms;
  std::filesystem::permissions(dir_, perms::owner_read | perms::owner_exec | perms::others_read | perms::others_exec);
  std::filesystem::permissions(db_, perms::owner_read | perms::others_read);
  if (access(db_.c_str(), W_OK) != 0) {
    CheckReadonlyFile();
    return;
  }
  // File permissions do not bind root: the check runs in a child process as
  // the unprivileged user "nobody".
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
    if (access(db_.c_str(), W_OK) == 0) _exit(4);
    CheckReadonlyFile();
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the read-only file check failed as user nobody (3: no such user)";
}

TEST_F(SqliteFailureTest, FullDatabaseFailsTheRowAndReportsALostBatch) {
  Sql(db_, "PRAGMA journal_mode=WAL; CREATE TABLE t(s TEXT)");
  EveryConnectionRuns cap("PRAGMA max_page_count=3");
  Rows rows(50, Texts{std::string(200, 'x')});
  std::vector<int> per_row = InsertRows("?text_size=500", "t", rows, true);
  ASSERT_EQ(per_row.back(), SQLITE_FULL);
  // Every row before the failing one is in the file.
  EXPECT_EQ(Count(), std::to_string(per_row.size() - 1));
  std::string full = Cannot("insert a row into <t> of", "database or disk is full (code 13)");
  EXPECT_EQ(Errors(), Texts{full});
  KezDcCMError::ClearErrors();
  Sql(db_, "DELETE FROM t");
  std::vector<int> batched = InsertRows("?text_size=500&batch=100", "t", rows, true);
  ASSERT_EQ(batched.back(), SQLITE_FULL);
  // SQLite rolled the whole batch back: said, not silent.
  EXPECT_EQ(Count(), "0");
  EXPECT_EQ(Errors(), (Texts{full, "ERROR: sqlite rolled back the transaction on <" + db_ +
                                       ">: " + std::to_string(batched.size() - 1) +
                                       " rows inserted since the last commit were not committed \n"}));
}

TEST_F(SqliteFailureTest, FailedBatchCommitSaysHowManyRowsWereNotCommitted) {
  Sql(db_,
      "CREATE TABLE parent(id INTEGER PRIMARY KEY);"
      "CREATE TABLE child(p INTEGER REFERENCES parent(id) DEFERRABLE INITIALLY DEFERRED)");
  EveryConnectionRuns foreign_keys("PRAGMA foreign_keys=ON");
  Opened o;
  ASSERT_TRUE(OpenAll(&o, db_ + "?batch=10", "child"));
  Ref<KezIDcDbInsertRowset> insert(OpenInsert(o.rowset.get()));
  for (const char* orphan : {"7", "8", "9"}) EXPECT_EQ(Insert(insert.get(), o.layout, {orphan}), 0);
  insert.reset();
  EXPECT_EQ(Errors(), Texts{"ERROR: sqlite 3 rows inserted into <" + db_ +
                            "> were not committed: FOREIGN KEY constraint failed (code 787) \n"});
  // The session goes on with a fresh transaction.
  Sql(db_, "INSERT INTO parent VALUES (1)");
  insert.reset(OpenInsert(o.rowset.get()));
  EXPECT_EQ(Insert(insert.get(), o.layout, {"1"}), 0);
  insert.reset();
  EXPECT_EQ(Column(db_, "SELECT p FROM child"), Texts{"1"});
}

}  // namespace
}  // namespace test
}  // namespace kez
