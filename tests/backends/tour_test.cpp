// The kezq tour of the demo prints the same over PostgreSQL as over SQLite:
// the demo database is built from examples/demo/demo.sql in SQLite, its
// tables copied into a schema of the test server, and the tour run through
// kezq against each.
#include <regex>

#include "backends/BackendFixture.h"
#include "support/KezqRun.h"

namespace kez {
namespace test {
namespace {

TEST(TourTest, TheTourPrintsTheSameOverPostgresAsOverSqlite) {
  KEZ_SKIP_WITHOUT_PG();
  ASSERT_TRUE(KezqBuilt());
  TestDatabase demo, pg(Backend::kPostgres);
  demo.Sql(ReadFile(std::string(KEZDCQR_TESTS_DIR) + "/../examples/demo/demo.sql"));
  pg.Sql(
      "CREATE TABLE customers (id int8 PRIMARY KEY, name varchar(40) NOT NULL, city varchar(30) NOT NULL);"
      "CREATE TABLE products (id int8 PRIMARY KEY, name varchar(40) NOT NULL, price float8 NOT NULL,"
      " stock int4 NOT NULL); CREATE TABLE orders (id int8 PRIMARY KEY, customer_id int8 NOT NULL,"
      " product_id int8 NOT NULL, quantity int4 NOT NULL, amount float8 NOT NULL, day varchar(10) NOT NULL);"
      "CREATE TABLE visits (customer varchar(40), note varchar(80));");
  const std::pair<std::string, std::string> tables[] = {
      {"customers", "id, name, city"},
      {"products", "id, name, price, stock"},
      {"orders", "id, customer_id, product_id, quantity, amount, day"}};
  for (const auto& table : tables) {  // each row as an SQL literal, as SQLite quotes it
    std::string row = std::regex_replace(std::regex_replace(table.second, std::regex("\\w+"), "quote($&)"),
                                         std::regex(", "), " || ', ' || ");
    pg.Sql("INSERT INTO " + table.first + " VALUES " +
           demo.Select("SELECT group_concat('(' || " + row + " || ')', ', ') FROM (SELECT * FROM " + table.first +
                       " ORDER BY id)")[0][0]);
  }
  const std::string tour = std::string(KEZDCQR_TESTS_DIR) + "/../examples/demo/tour.kq";
  KezqResult on_sqlite = RunKezq({"-e", "-s", "demo=" + demo.Uri(), "-f", tour});
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
