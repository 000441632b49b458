// The road of a query as a client follows it, and the test database of the
// SQL backend tests: a SQLite file in a temporary folder or a schema of its
// own on the PostgreSQL test server, SQL run beside the library, and the
// fixtures that check the backends got back everything.
#ifndef KEZ_TEST_BACKEND_FIXTURE_H
#define KEZ_TEST_BACKEND_FIXTURE_H

#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "database/access/postgresql/KezDcDbPostgres.h"
#include "database/access/sqlite/KezDcDbSqlite.h"
#include "support/AccessFaults.h"
#include "support/KezTestSupport.h"
#include "support/TempDir.h"

namespace kez {
namespace test {

using Table = std::vector<std::vector<std::string>>;

inline KezDcQrQuery* RunQuery(const std::string& text) {
  KezDcQrQuery* query = KezDcQrQuery::NewQuery(text.c_str());
  query->DoQuery();
  return query;
}

// The value of Get(expression) as a client prints it: "%d", "%g" or the text; "<none>" when it has none.
inline std::string Get(const std::string& expression) {
  auto* e = dynamic_cast<KezDcQrQRExpression*>(RunQuery("Get(" + expression + ")")->p_QResult);
  if (e && e->BasicType == "int" && e->p_IntQResult) return std::to_string(*e->p_IntQResult);
  if (e && e->BasicType == "double" && e->p_DoubleQResult) return kez::Format("%g", *e->p_DoubleQResult);
  if (e && e->BasicType == "string" && e->p_StringQResult) return e->p_StringQResult;
  return "<none>";
}

using RoadRows = Table;
struct RoadResult {  // the values a client read, and the rows whose insert reported nothing
  std::vector<std::string> values;
  RoadRows reported;
};

// Puts the row's item and amount into the copy block and inserts it, as a
// careful client does: no insert after a failed put. True when nothing was reported.
inline bool InsertRow(const std::string& copy, const std::vector<std::string>& row) {
  auto reported = [] { return KezDcCMError::GetNbErrors() + KezDcCMError::GetNbDropped(); };  // dropped ones too
  long mark = reported();
  RunQuery("Put(\"" + row[0] + "\", " + copy + ":item)");
  RunQuery("Put(" + row[1] + ", " + copy + ":amount)");
  if (reported() != mark) return false;
  RunQuery("Put(" + copy + ")");
  return reported() == mark;
}

// The road over a block of orders (columns item and amount, five rows):
// get, walk past the end and start again, put and insert the rows into the
// copy block, free, delete one query, then all.
inline RoadResult FollowTheRoad(const std::string& orders, const std::string& copy, const RoadRows& rows) {
  RoadResult road;
  const std::string item = orders + ":item";
  road.values.push_back(Get(item));
  KezDcQrQResult* block = KezDcQrQResult::NewQResult(orders.c_str());
  for (int k = 0; k < 8; ++k, road.values.push_back(Get(item) + "/" + Get(orders + ":amount * 2")))
    block->GetNextLine();
  for (const auto& row : rows)
    if (InsertRow(copy, row)) road.reported.push_back(row);
  RunQuery("Free(" + item + ")");
  block->FreeRowsetOfData();
  road.values.push_back(Get(item));
  KezDcQrQuery::DeleteQuery(("Get(" + item + ")").c_str());
  road.values.push_back(Get(item));
  KezDcQrQuery::DeleteAllQueries();
  return road;
}

enum class Backend { kSqlite, kPostgres };

inline const char* PgServerUri() {
  const char* uri = std::getenv("KEZDCQR_TEST_PG_URI");
  return uri && *uri ? uri : nullptr;
}
#define KEZ_SKIP_WITHOUT_PG() \
  if (!PgServerUri()) GTEST_SKIP() << "KEZDCQR_TEST_PG_URI is unset: run the tests through scripts/with-pg.sh"

struct Releaser {  // one reference to a layer object, given back when the holder goes
  template <class T>
  void operator()(T* object) const {
    object->Release();
  }
};
template <class T>
using Ref = std::unique_ptr<T, Releaser>;

// What the backends still hold, as "objects/connections/rows/accessors".
inline std::string Held() {
  using F = AccessFaults;
  return std::to_string(F::LiveObjects()) + "/" + std::to_string(F::OpenConnections()) + "/" +
         std::to_string(F::OutstandingRows()) + "/" + std::to_string(F::LiveAccessors());
}

// Runs sql on the SQLite file (created when missing) through a connection
// of its own; the rows it selected, "NULL" for NULL.
inline Table SqliteSelect(const std::string& file, const std::string& sql) {
  Table rows;
  sqlite3* db = nullptr;
  char* error = nullptr;
  EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  auto add = [](void* table, int n, char** values, char**) {
    static_cast<Table*>(table)->emplace_back();
    for (int k = 0; k < n; ++k) static_cast<Table*>(table)->back().push_back(values[k] ? values[k] : "NULL");
    return 0;
  };
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), add, &rows, &error), SQLITE_OK) << (error ? error : "") << " in " << sql;
  sqlite3_free(error);
  sqlite3_close(db);
  return rows;
}

// A SQLite file "test.db" in a temporary folder, or a schema of its own on
// the server that KEZDCQR_TEST_PG_URI names, dropped at the end. Select()
// runs SQL on a connection of its own; Uri() names the database as a data
// source, with the library's options added.
class TestDatabase {
 public:
  explicit TestDatabase(Backend backend = Backend::kSqlite) {
    if (backend == Backend::kSqlite) return;
    static int serial = 0;
    schema_ = "kez_test_" + std::to_string(getpid()) + "_" + std::to_string(++serial);
    pg_ = PQconnectdb(PgServerUri());
    PQsetNoticeProcessor(
        pg_, [](void*, const char*) {}, nullptr);
    Sql("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE; CREATE SCHEMA " + schema_ + "; SET search_path = " + schema_);
  }
  ~TestDatabase() {
    if (!pg_) return;
    PQclear(PQexec(pg_, ("DROP SCHEMA IF EXISTS " + schema_ + " CASCADE").c_str()));
    PQfinish(pg_);
  }
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  void Sql(const std::string& sql) { Select(sql); }
  Table Select(const std::string& sql) { return pg_ ? PgSelect(sql) : SqliteSelect(path_, sql); }
  std::string Uri(const std::string& options = "") const {
    if (pg_) return UriAs("kez", options);
    return "sqlite:" + path_ + "?create=1" + (options.empty() ? "" : "&" + options);
  }
  // The server's URI as another user, with more libpq settings ("-c
  // name=value" words for the server, as in the options parameter).
  std::string UriAs(const std::string& user, const std::string& options, const std::string& settings = "") const {
    std::string uri = PgServerUri();
    std::size_t at = uri.find("://") + 3;
    uri.replace(at, uri.find('@', at) - at, user);
    uri += std::string(uri.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" + schema_;
    if (!settings.empty()) uri += "%20" + settings;
    return uri + "&application_name=" + schema_ + (options.empty() ? "" : "&" + options);
  }
  // Ends the server side of every connection that the library opened on
  // this schema, as an administrator would; returns once they are gone.
  void TerminateLibraryConnections() {
    const std::string mine =
        " FROM pg_stat_activity WHERE application_name = '" + schema_ + "' AND pid <> pg_backend_pid()";
    Select("SELECT pg_terminate_backend(pid)" + mine);
    for (int k = 0; k < 500 && Select("SELECT count(*)" + mine) != Table{{"0"}}; ++k) usleep(10000);
  }
  const std::string& Schema() const { return schema_; }
  const std::string& Path() const { return path_; }  // of the SQLite file
  const std::string& Folder() const { return dir_.Path(); }
  std::string File(const std::string& name) const { return dir_.File(name); }

 private:
  Table PgSelect(const std::string& sql) {
    Table rows;
    PGresult* result = PQexec(pg_, sql.c_str());
    ExecStatusType status = PQresultStatus(result);
    EXPECT_TRUE(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) << PQerrorMessage(pg_) << " in " << sql;
    for (int r = 0; r < PQntuples(result); ++r) {
      rows.emplace_back();
      for (int c = 0; c < PQnfields(result); ++c)
        rows.back().push_back(PQgetisnull(result, r, c) ? "NULL" : PQgetvalue(result, r, c));
    }
    PQclear(result);
    return rows;
  }

  TempDir dir_{"kez_backend"};
  std::string path_ = dir_.File("test.db"), schema_;
  PGconn* pg_ = nullptr;
};

// KezTest over a test database (SQLite unless SetUp makes another) that the
// library reads as the data source "b". A test ends with the backends
// holding nothing and no misuse of the access layer but those it expects.
class DatabaseTest : public KezTest {
 protected:
  void TearDown() override {
    KezDcQrQuery::DeleteAllQueries();
    KezDcDbDataSourceFactory::UnregisterDataSource("b");
    EXPECT_EQ(Held() + " " + std::to_string(AccessFaults::Misuses() - misuses_),
              "0/0/0/0 " + std::to_string(expected_misuses_))
        << "left held, or misused";
    db_.reset();
    KezTest::TearDown();
  }
  void Use(const std::string& options = "") { UseUri(db_->Uri(options)); }
  static void UseUri(const std::string& uri) { KezDcDbDataSourceFactory::RegisterDataSource("b", uri.c_str()); }
  // Checks the errors so far, and clears them.
  static void Said(const std::vector<std::string>& errors) {
    EXPECT_EQ(Errors(), errors);
    KezDcCMError::ClearErrors();
  }
  // Reads the expression row by row along the data block, from its first
  // row to its end.
  static std::vector<std::string> Walk(const std::string& block, const std::string& text) {
    std::vector<std::string> values;
    KezDcQrQResult* data = KezDcQrQResult::NewQResult(block.c_str());
    data->FreeRowsetOfData();
    for (; data->IsMoreData() && values.size() < 5000; data->GetNextLine()) values.push_back(Get(text));
    return values;
  }

  std::unique_ptr<TestDatabase> db_ = std::make_unique<TestDatabase>();
  int misuses_ = AccessFaults::Misuses(), expected_misuses_ = 0;
};

// Runs over the backend of its parameter, and ends with no error left
// unchecked (Said() checks and clears them).
class BackendTest : public DatabaseTest, public ::testing::WithParamInterface<Backend> {
 protected:
  void SetUp() override {
    KezTest::SetUp();
    if (GetParam() == Backend::kPostgres) KEZ_SKIP_WITHOUT_PG();
    db_ = NewDatabase();
  }
  void TearDown() override {
    KezDcQrQuery::DeleteAllQueries();
    EXPECT_EQ(Errors(), std::vector<std::string>{}) << "unexpected";
    DatabaseTest::TearDown();
  }
  std::unique_ptr<TestDatabase> NewDatabase() const { return std::make_unique<TestDatabase>(GetParam()); }
};

inline std::string ParamName(const ::testing::TestParamInfo<Backend>& info) {
  return info.param == Backend::kSqlite ? "Sqlite" : "Postgres";
}
#define KEZ_ON_EVERY_BACKEND(Fixture) \
  INSTANTIATE_TEST_SUITE_P(Backends, Fixture, ::testing::Values(Backend::kSqlite, Backend::kPostgres), ParamName)

}  // namespace test
}  // namespace kez

#endif
