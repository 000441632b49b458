// The SQLite side of the hardening tests: a database file with the orders
// and copy tables of the road, registered as the data source "s", SQL run
// beside the library, and the check that the backend got back every
// connection, object, row and accessor.
#ifndef KEZ_TEST_HARDENING_SQLITE_ROAD_H
#define KEZ_TEST_HARDENING_SQLITE_ROAD_H

#include <sqlite3.h>

#include <string>
#include <vector>

#include "database/access/sqlite/KezDcDbSqlite.h"
#include "support/AccessFaults.h"
#include "support/EveryConnectionRuns.h"
#include "support/HardeningSupport.h"
#include "support/TempDir.h"

namespace kez {
namespace test {

const char kSqliteOrders[] = "@s:main:orders:{item+amount}:2";
const char kSqliteCopy[] = "@s:main:copy:{item+amount}:1";
const char kSqliteRoadTables[] =
    "CREATE TABLE orders(item TEXT, amount INTEGER);"
    "INSERT INTO orders VALUES ('o1', 1), ('o2', 2), ('o3', 3), ('o4', 4), ('o5', 5);"
    "CREATE TABLE copy(item TEXT, amount INTEGER);";

class SqliteRoadTest : public HardeningTest {
 protected:
  void SetUp() override {
    HardeningTest::SetUp();
    ASSERT_TRUE(temp_.Made());
    dir_ = temp_.Path();
    db_ = dir_ + "/road.db";
    Sql(db_, kSqliteRoadTables);
    Use("?busy_timeout=20");
  }

  void TearDown() override {
    KezDcQrQuery::DeleteAllQueries();
    EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), 0);
    EXPECT_EQ(kez::test::AccessFaults::OpenConnections(), 0);
    EXPECT_EQ(kez::test::AccessFaults::OutstandingRows(), 0);
    EXPECT_EQ(kez::test::AccessFaults::LiveAccessors(), 0);
    KezDcDbDataSourceFactory::UnregisterDataSource("s");
    HardeningTest::TearDown();
  }

  // Registers "s" as the database file with these URI options.
  void Use(const std::string& options) {
    KezDcDbDataSourceFactory::RegisterDataSource("s", ("sqlite:" + db_ + options).c_str());
  }

  static void Sql(const std::string& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    char* message = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    EXPECT_EQ(rc, SQLITE_OK) << (message ? message : "") << " in " << sql;
    sqlite3_free(message);
    sqlite3_close(db);
  }

  // The rows of the query on the file as a second connection sees them,
  // each column as text ("NULL" for NULL).
  std::vector<std::vector<std::string>> Select(const std::string& sql) const {
    std::vector<std::vector<std::string>> rows;
    sqlite3* db = nullptr;
    sqlite3_stmt* select = nullptr;
    sqlite3_open_v2(db_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &select, nullptr), SQLITE_OK) << sql;
    while (select && sqlite3_step(select) == SQLITE_ROW) {
      rows.emplace_back();
      for (int k = 0; k < sqlite3_column_count(select); ++k) {
        const unsigned char* text = sqlite3_column_text(select, k);
        rows.back().push_back(text ? reinterpret_cast<const char*>(text) : "NULL");
      }
    }
    sqlite3_finalize(select);
    sqlite3_close(db);
    return rows;
  }
  std::vector<std::vector<std::string>> CopyRows() const {
    return Select("SELECT item, amount FROM copy ORDER BY rowid");
  }

  static std::vector<std::vector<std::string>> Rows(int first, int count) {
    std::vector<std::vector<std::string>> rows;
    for (int k = first; k < first + count; ++k) rows.push_back({"w" + std::to_string(k), std::to_string(10 * k)});
    return rows;
  }

  // SQLite's message for the failure rc on the file.
  std::string Failure(const std::string& what, const std::string& message, int code) const {
    return "ERROR: sqlite " + what + ": " + message + " (code " + std::to_string(code) + ") \n";
  }

  TempDir temp_{"kez_harden"};
  std::string dir_;
  std::string db_;
};

}  // namespace test
}  // namespace kez

#endif
