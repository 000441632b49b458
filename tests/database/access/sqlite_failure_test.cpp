// Failures of the SQLite backend: bad URIs, missing, locked, read-only,
// full, junk and corrupt files, missing rowsets, constraint violations and
// failed commits are each reported with SQLite's message and code, and
// nothing is lost without a report.
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "tests/database/access/SqliteTestSupport.h"
#include "support/EveryConnectionRuns.h"

namespace kez_test {
namespace {

using kez::test::EveryConnectionRuns;

class SqliteFailureTest : public SqliteFixture {
 protected:
  void SetUp() override {
    SqliteFixture::SetUp();
    db_ = Path("fail.db");
  }

  void CheckReadonlyFile();

  // Opens the rowset with the options, binds every column and inserts each
  // row in turn (up to the first failure when asked); returns the codes.
  std::vector<int> InsertRows(const std::string& options, const std::string& rowset,
                              const std::vector<std::vector<std::string>>& rows, bool stop_at_failure = false) {
    Opened o;
    OpenAll(&o, db_ + options, rowset);
    if (!o.rowset) return {};
    Layout layout = Bind(o.rowset.get());
    Ref<KezIDcDbInsertRowset> insert(OpenInsert(o.rowset.get()));
    std::vector<int> codes;
    for (const auto& row : rows) {
      codes.push_back(Insert(insert.get(), layout, row));
      if (stop_at_failure && codes.back() != 0) break;
    }
    o.rowset->ReleaseAccessor(layout.handle);
    return codes;
  }

  std::string db_;
};

TEST_F(SqliteFailureTest, MissingFileIsReportedAndNotCreated) {
  EXPECT_EQ(OpenSource(db_), nullptr);
  EXPECT_EQ(ErrorTexts(), std::vector<std::string>{"ERROR: sqlite database <" + db_ +
                                                   "> does not exist (add ?create=1 to create it) \n"});
  EXPECT_FALSE(std::filesystem::exists(db_));
}

TEST_F(SqliteFailureTest, CreateMakesAnEmptyDatabaseInWalMode) {
  Ref<KezIDcDbDataSource> source(OpenSource(db_ + "?create=1"));
  ASSERT_TRUE(source);
  EXPECT_EQ(Column(db_, "PRAGMA journal_mode"), std::vector<std::string>{"wal"});
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 0);
}

TEST_F(SqliteFailureTest, RelativePathsAreTakenFromTheWorkingDirectory) {
  Sql(db_, "CREATE TABLE t(a)");
  std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  Ref<KezIDcDbDataSource> source(OpenSource("fail.db"));
  std::filesystem::current_path(before);
  ASSERT_TRUE(source);
  // Sessions keep the file the data source named, whatever the directory now.
  Ref<KezIDcDbSimpleSession> session(OpenSession(source.get()));
  EXPECT_TRUE(session);
}

TEST_F(SqliteFailureTest, BadUrisAreReportedWithTheOptionAndWhatItMustBe) {
  Sql(db_, "CREATE TABLE t(a)");
  struct Case {
    std::string uri;
    std::vector<std::string> errors;
  };
  std::string u = "sqlite:" + db_;
  std::vector<Case> cases = {
      {"", {"ERROR: sqlite data source <sqlite:>: no database path \n"}},
      {"?create=1", {"ERROR: sqlite data source <sqlite:?create=1>: no database path \n"}},
      {db_ + "?colour=blue&batch=0",
       {"ERROR: sqlite data source <" + u +
            "?colour=blue&batch=0>: unknown option <colour> (known: create, readonly, busy_timeout, text_size, batch, "
            "declared_size) \n",
        "ERROR: sqlite data source <" + u +
            "?colour=blue&batch=0>: option <batch> must be a whole number from 1 to 2147483647, not <0> \n"}},
      {db_ + "?readonly=yes",
       {"ERROR: sqlite data source <" + u + "?readonly=yes>: option <readonly> must be 0 or 1, not <yes> \n"}},
      {db_ + "?text_size=1048577",
       {"ERROR: sqlite data source <" + u +
        "?text_size=1048577>: option <text_size> must be a whole number from 1 to 1048576, not <1048577> \n"}},
      {db_ + "?busy_timeout=-5",
       {"ERROR: sqlite data source <" + u +
        "?busy_timeout=-5>: option <busy_timeout> must be a whole number from 0 to 2147483647, not <-5> \n"}},
      {db_ + "?create=1&readonly=1",
       {"ERROR: sqlite data source <" + u +
        "?create=1&readonly=1>: options create=1 and readonly=1 exclude each other \n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.uri);
    KezDcCMError::ClearErrors();
    EXPECT_EQ(OpenSource(c.uri), nullptr);
    EXPECT_EQ(ErrorTexts(), c.errors);
  }
  KezDcCMError::ClearErrors();
  Ref<KezIDcDbDataSource> fine(OpenSource(db_ + "?busy_timeout=0&text_size=1&batch=7&declared_size=1&&readonly=0"));
  EXPECT_TRUE(fine);
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 0);
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
  EXPECT_EQ(ErrorTexts(),
            (std::vector<std::string>{
                "ERROR: sqlite cannot read database <" + junk + ">: file is not a database (code 26) \n",
                "ERROR: sqlite cannot read database <" + db_ + ">: file is not a database (code 26) \n"}));
}

TEST_F(SqliteFailureTest, MissingRowsetIsReportedWithSqlitesMessage) {
  Sql(db_, "CREATE TABLE t(a)");
  Opened o;
  OpenAll(&o, db_, "t");
  int rc = 0;
  EXPECT_EQ(OpenRowset(o.session.get(), "nope", &rc), nullptr);
  EXPECT_EQ(rc, SQLITE_ERROR);
  EXPECT_EQ(ErrorTexts(), std::vector<std::string>{"ERROR: sqlite cannot open rowset <nope> of <" + db_ +
                                                   ">: no such table: nope (code 1) \n"});
}

TEST_F(SqliteFailureTest, ReadFailureKeepsEarlierRowsThenEndsTheRowset) {
  Sql(db_,
      "CREATE TABLE n(x INTEGER); INSERT INTO n VALUES (1), (-2), (-9223372036854775808), (4);"
      "CREATE VIEW v AS SELECT abs(x) AS a FROM n");
  Opened o;
  OpenAll(&o, db_, "v");
  ASSERT_TRUE(o.rowset);
  Layout layout = Bind(o.rowset.get());
  uint32_t obtained = 0;
  _SEQUENCE_KezDcDbRowHandleSeq* rows = nullptr;
  EXPECT_EQ(o.rowset->GetNextRows(10, &obtained, &rows), 0);
  EXPECT_EQ(obtained, 2u);
  o.rowset->ReleaseRows(obtained, rows);
  delete rows;
  EXPECT_EQ(o.rowset->GetNextRows(10, &obtained, &rows), 3);
  EXPECT_EQ(obtained, 0u);
  o.rowset->ReleaseRows(obtained, rows);
  delete rows;
  o.rowset->ReleaseAccessor(layout.handle);
  EXPECT_EQ(ErrorTexts(), std::vector<std::string>{"ERROR: sqlite cannot read rowset <v> of <" + db_ +
                                                   ">: integer overflow (code 1) \n"});
}

TEST_F(SqliteFailureTest, ConstraintViolationsFailOnlyTheirRow) {
  Sql(db_, "CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE)");
  EXPECT_EQ(InsertRows("", "t", {{"1", "a"}, {"2", "a"}, {"3", ""}}), (std::vector<int>{0, SQLITE_CONSTRAINT, 0}));
  EXPECT_EQ(InsertRows("?batch=10", "t", {{"4", "b"}, {"1", "c"}, {"5", "d"}}),
            (std::vector<int>{0, SQLITE_CONSTRAINT, 0}));
  EXPECT_EQ(Column(db_, "SELECT id FROM t ORDER BY id"), (std::vector<std::string>{"1", "3", "4", "5"}));
  std::string where = "<t> of <" + db_ + ">";
  EXPECT_EQ(
      ErrorTexts(),
      (std::vector<std::string>{
          "ERROR: sqlite cannot insert a row into " + where + ": UNIQUE constraint failed: t.name (code 2067) \n",
          "ERROR: sqlite cannot insert a row into " + where + ": UNIQUE constraint failed: t.id (code 1555) \n"}));
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
    Layout layout = Bind(o->rowset.get());
    Ref<KezIDcDbInsertRowset> insert(OpenInsert(o->rowset.get()));
    EXPECT_EQ(Insert(insert.get(), layout, {"1"}), SQLITE_BUSY);
    o->rowset->ReleaseAccessor(layout.handle);
  }
  sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  EXPECT_EQ(ErrorTexts(),
            (std::vector<std::string>{
                "ERROR: sqlite cannot insert a row into <t> of <" + db_ + ">: database is locked (code 5) \n",
                "ERROR: sqlite cannot begin a transaction on <" + db_ + ">: database is locked (code 5) \n"}));
}

TEST_F(SqliteFailureTest, ReadonlyOptionRefusesWritesButReads) {
  Sql(db_, "CREATE TABLE t(a INTEGER); INSERT INTO t VALUES (1)");
  EXPECT_EQ(InsertRows("?readonly=1", "t", {{"2"}}), std::vector<int>{SQLITE_READONLY});
  EXPECT_EQ(InsertRows("?readonly=1&batch=3", "t", {{"3"}}), std::vector<int>{SQLITE_READONLY});
  EXPECT_EQ(Column(db_, "SELECT a FROM t"), std::vector<std::string>{"1"});
  std::string message =
      "ERROR: sqlite cannot insert a row into <t> of <" + db_ + ">: attempt to write a readonly database (code 8) \n";
  EXPECT_EQ(ErrorTexts(), (std::vector<std::string>{message, message}));
}

// Opens the read-only file through the layer, reads it and fails to insert.
void SqliteFailureTest::CheckReadonlyFile() {
  Opened o;
  OpenAll(&o, db_, "t");
  ASSERT_TRUE(o.rowset);
  Layout layout = Bind(o.rowset.get());
  EXPECT_EQ(ReadAll(o.rowset.get(), layout), std::vector<std::vector<std::string>>{{"1"}});
  Ref<KezIDcDbInsertRowset> insert(OpenInsert(o.rowset.get()));
  EXPECT_EQ(Insert(insert.get(), layout, {"2"}), SQLITE_READONLY);
  o.rowset->ReleaseAccessor(layout.handle);
  EXPECT_EQ(ErrorTexts(), std::vector<std::string>{"ERROR: sqlite cannot insert a row into <t> of <" + db_ +
                                                   ">: attempt to write a readonly database (code 8) \n"});
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
  std::vector<std::vector<std::string>> rows(50, std::vector<std::string>{std::string(200, 'x')});
  std::vector<int> per_row = InsertRows("?text_size=500", "t", rows, true);
  ASSERT_EQ(per_row.back(), SQLITE_FULL);
  // Every row before the failing one is in the file.
  EXPECT_EQ(Column(db_, "SELECT count(*) FROM t"), std::vector<std::string>{std::to_string(per_row.size() - 1)});
  std::string full =
      "ERROR: sqlite cannot insert a row into <t> of <" + db_ + ">: database or disk is full (code 13) \n";
  EXPECT_EQ(ErrorTexts(), std::vector<std::string>{full});
  KezDcCMError::ClearErrors();
  Sql(db_, "DELETE FROM t");
  std::vector<int> batched = InsertRows("?text_size=500&batch=100", "t", rows, true);
  ASSERT_EQ(batched.back(), SQLITE_FULL);
  // SQLite rolled the whole batch back: said, not silent.
  EXPECT_EQ(Column(db_, "SELECT count(*) FROM t"), std::vector<std::string>{"0"});
  EXPECT_EQ(ErrorTexts(),
            (std::vector<std::string>{full, "ERROR: sqlite rolled back the transaction on <" + db_ +
                                                ">: " + std::to_string(batched.size() - 1) +
                                                " rows inserted since the last commit were not committed \n"}));
}

TEST_F(SqliteFailureTest, FailedBatchCommitSaysHowManyRowsWereNotCommitted) {
  Sql(db_,
      "CREATE TABLE parent(id INTEGER PRIMARY KEY);"
      "CREATE TABLE child(p INTEGER REFERENCES parent(id) DEFERRABLE INITIALLY DEFERRED)");
  EveryConnectionRuns foreign_keys("PRAGMA foreign_keys=ON");
  Opened o;
  OpenAll(&o, db_ + "?batch=10", "child");
  ASSERT_TRUE(o.rowset);
  Layout layout = Bind(o.rowset.get());
  Ref<KezIDcDbInsertRowset> insert(OpenInsert(o.rowset.get()));
  for (const char* orphan : {"7", "8", "9"}) EXPECT_EQ(Insert(insert.get(), layout, {orphan}), 0);
  insert.Reset();
  EXPECT_EQ(ErrorTexts(),
            std::vector<std::string>{"ERROR: sqlite 3 rows inserted into <" + db_ +
                                     "> were not committed: FOREIGN KEY constraint failed (code 787) \n"});
  // The session goes on with a fresh transaction.
  Sql(db_, "INSERT INTO parent VALUES (1)");
  insert.Set(OpenInsert(o.rowset.get()));
  EXPECT_EQ(Insert(insert.get(), layout, {"1"}), 0);
  insert.Reset();
  o.rowset->ReleaseAccessor(layout.handle);
  EXPECT_EQ(Column(db_, "SELECT p FROM child"), std::vector<std::string>{"1"});
}

}  // namespace
}  // namespace kez_test
