// The kezq tour of the demo prints the same over PostgreSQL as over SQLite:
// the demo database is built from examples/demo/demo.sql in SQLite, its
// tables copied into a schema of the test server, and the tour run through
// kezq against each.
#include <sqlite3.h>

#include "backends/BackendFixture.h"
#include "support/KezqRun.h"

namespace kez {
namespace test {
namespace {

const char kPgDemoTables[] =
    "CREATE TABLE customers (id int8 PRIMARY KEY, name varchar(40) NOT NULL, city varchar(30) NOT NULL);"
    "CREATE TABLE products (id int8 PRIMARY KEY, name varchar(40) NOT NULL, price float8 NOT NULL, stock int4 NOT "
    "NULL);"
    "CREATE TABLE orders (id int8 PRIMARY KEY, customer_id int8 NOT NULL, product_id int8 NOT NULL,"
    " quantity int4 NOT NULL, amount float8 NOT NULL, day varchar(10) NOT NULL);"
    "CREATE TABLE visits (customer varchar(40), note varchar(80));";

// Copies every row of the SQLite table into the PostgreSQL table of the
// same name, values as texts.
void CopyTable(sqlite3* from, PostgresDatabase* to, const std::string& table) {
  sqlite3_stmt* select = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(from, ("SELECT * FROM " + table + " ORDER BY id").c_str(), -1, &select, nullptr),
            SQLITE_OK);
  std::string insert;
  while (sqlite3_step(select) == SQLITE_ROW) {
    insert += insert.empty() ? "INSERT INTO " + table + " VALUES (" : ", (";
    for (int c = 0; c < sqlite3_column_count(select); ++c) {
      std::string text = reinterpret_cast<const char*>(sqlite3_column_text(select, c));
      std::string quoted = "'";
      for (char ch : text) quoted += ch == '\'' ? std::string("''") : std::string(1, ch);
      insert += (c ? ", " : "") + quoted + "'";
    }
    insert += ")";
  }
  sqlite3_finalize(select);
  to->Sql(insert);
}

TEST(TourTest, TheTourPrintsTheSameOverPostgresAsOverSqlite) {
  KEZ_SKIP_WITHOUT_PG();
  ASSERT_TRUE(KezqBuilt());
  TempDir dir("kez_tour");
  const std::string file = dir.File("demo.db");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  std::string demo = ReadFile(std::string(KEZDCQR_TESTS_DIR) + "/../examples/demo/demo.sql");
  ASSERT_EQ(sqlite3_exec(db, demo.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  PostgresDatabase pg(PgServerUri());
  pg.Sql(kPgDemoTables);
  for (const char* table : {"customers", "products", "orders"}) CopyTable(db, &pg, table);
  sqlite3_close(db);

  const std::string tour = std::string(KEZDCQR_TESTS_DIR) + "/../examples/demo/tour.kq";
  KezqResult on_sqlite = RunKezq({"-e", "-s", "demo=sqlite:" + file, "-f", tour});
  KezqResult on_pg = RunKezq({"-e", "-s", "demo=" + pg.Uri(), "-f", tour});
  EXPECT_EQ(on_sqlite.status, 0) << on_sqlite.err;
  EXPECT_EQ(on_pg.status, 0) << on_pg.err;
  EXPECT_EQ(on_pg.err, on_sqlite.err);
  EXPECT_EQ(on_pg.out, on_sqlite.out);
  EXPECT_GT(on_pg.out.size(), 500u);
  EXPECT_EQ(pg.Select("SELECT customer, note FROM visits ORDER BY customer"),
            (Table{{"Anna Moreau", "asked for quinces"}, {"Hugo Faure", "came back 3 times"}}));
}

}  // namespace
}  // namespace test
}  // namespace kez
