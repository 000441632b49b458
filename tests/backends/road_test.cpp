// The road that every SQL backend runs alike: reads, sub-queries, copies
// with NULLs kept, walks that end and start again, hostile names, the
// lifecycle of what a query opened, and the kezq tour of the demo.
#include <regex>

#include "backends/BackendFixture.h"
#include "support/KezqRun.h"

namespace kez {
namespace test {
namespace {

const char kOrders[] = "@b:main:orders:{*}:2";

class RoadTest : public BackendTest {
 protected:
  void SetUp() override {
    BackendTest::SetUp();
    if (IsSkipped()) return;
    db_->Sql(
        "CREATE TABLE orders (item VARCHAR(8), amount INTEGER, price DOUBLE PRECISION, note TEXT);"
        "INSERT INTO orders VALUES ('o1', 1, 1.5, 'a'), ('o2', 2, 2.5, NULL), ('o3', 3, 3.5, ''),"
        " ('o4', 4, 4.5, 'd'), ('o5', 5, 5.5, 'x y');"
        "CREATE TABLE copy (item VARCHAR(8), amount INTEGER, price DOUBLE PRECISION, note TEXT);");
    Use();
  }
  static std::string Cell(const char* column) { return std::string(kOrders) + ":" + column; }
  Table Copied() { return db_->Select("SELECT item, amount, price, note FROM copy ORDER BY item"); }
  // Puts the values into the columns of a one-row block of the table, then the row.
  static void Insert(const std::string& block, const std::vector<std::pair<std::string, std::string>>& puts) {
    for (const auto& put : puts) RunQuery("Put(" + put.second + ", " + block + ":" + put.first + ")");
    RunQuery("Put(" + block + ")");
  }
};

TEST_P(RoadTest, ReadsComputesRestartsAndFollowsSubQueries) {
  EXPECT_EQ(Walk(kOrders, Cell("item")), (std::vector<std::string>{"o1", "o2", "o3", "o4", "o5"}));
  EXPECT_EQ(Walk(kOrders, Cell("amount") + " * " + Cell("price") + " + 1"),
            (std::vector<std::string>{"2.5", "6", "11.5", "19", "28.5"}));
  KezDcQrQResult::NewQResult(kOrders)->GetNextLine();  // a walk at its end starts again, on the second row
  EXPECT_EQ(Get(Cell("item")), "o2");
  KezDcQrQResult::NewQResult(kOrders)->FreeRowsetOfData();  // and after a free, on the first
  EXPECT_EQ(Get("\"#\" + " + Cell("item") + " + \":\" + " + Cell("note")), "#o1:a");
  for (const char* put : {"Put(\"orders\", #table)", "Put(\"orders\", $t)", "Put(\"b\", $base)"}) RunQuery(put);
  EXPECT_EQ(Get("@b:s1:[#table]:{item+amount}:10:item"), "o1");
  EXPECT_EQ(Get("@b:s2:$t:{item+amount}:10:amount + 1"), "2");
  EXPECT_EQ(Get("@$base:s3:orders:{item}:10:item"), "o1");
}

TEST_P(RoadTest, CopiesRowsWithTheirNullsRowByRowAndInBatches) {
  for (const char* options : {"", "batch=2"}) {
    db_->Sql("DELETE FROM copy");
    Use(options);
    for (KezDcQrQResult* block = KezDcQrQResult::NewQResult(kOrders); block->IsMoreData(); block->GetNextLine())
      Insert("@b:main:copy:{*}:1", {{"item", Cell("item")},
                                    {"price", Cell("price")},
                                    {"note", Cell("note")},
                                    {"amount", Cell("amount") + " * 100"}});
    KezDcQrQuery::DeleteAllQueries();  // commits the open batch
    EXPECT_EQ(Copied(), (Table{{"o1", "100", "1.5", "a"},
                               {"o2", "200", "2.5", "NULL"},
                               {"o3", "300", "3.5", ""},
                               {"o4", "400", "4.5", "d"},
                               {"o5", "500", "5.5", "x y"}}))
        << options;
  }
}

TEST_P(RoadTest, PutsFillARowThatTheBlockInserts) {
  const std::string copy = "@b:main:copy:{item+amount+note}:1";
  Insert(copy, {{"item", "\"p1\""}, {"amount", "6 * 7"}});
  Insert(copy, {{"item", "\"p2\""}});  // the buffer keeps what the last puts wrote
  EXPECT_EQ(Copied(), (Table{{"p1", "42", "NULL", "NULL"}, {"p2", "42", "NULL", "NULL"}}));
}

TEST_P(RoadTest, HostileTableAndColumnNamesAreQuoted) {
  const std::string table = "\"we\"\"ird; DROP TABLE orders; --\"";
  db_->Sql("CREATE TABLE " + table + " (\"co\"\"l\" TEXT, \"a b\" INTEGER); INSERT INTO " + table + " VALUES ('v', 1)");
  RunQuery("Put(\"we\\\"ird; DROP TABLE orders; --\", $t)");
  EXPECT_EQ(Get("@b:main:$t:{*}:5:co\"l"), "v");
  Insert("@b:main:$t:{*}:1", {{"a b", "7"}});
  EXPECT_EQ(db_->Select("SELECT \"co\"\"l\", \"a b\" FROM " + table + " ORDER BY 2"),
            (Table{{"v", "1"}, {"NULL", "7"}}));
  EXPECT_EQ(db_->Select("SELECT count(*) FROM orders"), (Table{{"5"}}));
}

KEZ_ON_EVERY_BACKEND(RoadTest);

// What a query opened lives as long as something uses it.
using LifecycleTest = RoadTest;

TEST_P(LifecycleTest, DeletedQueryGivesBackEveryObjectThatItsDataSourceOpened) {
  const std::string item = "Get(" + Cell("item") + ")";
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(Get(Cell("item")), "o1");
    KezDcQrQuery::DeleteQuery(item.c_str());
    EXPECT_EQ(Held(), "0/0/0/0");
  }
  // What another query or a client still uses stays open, in place.
  KezDcQrQResult::NewQResult(kOrders)->GetNextLine();
  EXPECT_EQ(Get(Cell("item")), "o2");
  EXPECT_EQ(Get(Cell("amount") + " * 2"), "4");
  KezDcQrQuery::DeleteQuery(item.c_str());  // its expression and its cell
  EXPECT_EQ(Get(Cell("amount") + " * 2"), "4");
  EXPECT_EQ(Get(Cell("item")), "o2");  // a new cell on the same row
  // A query whose result was deleted elsewhere says so instead of reading it.
  KezDcQrQResult::DeleteQResult(Cell("item").c_str());
  KezDcQrQuery::NewQuery(item.c_str())->DoQuery();
  Said({"ERROR: QUERY <" + item + "> LOST ITS RESULT <" + Cell("item") +
        ">, DELETED ELSEWHERE: CREATE THE QUERY AGAIN !\n"});
  KezDcQrQuery::DeleteAllQueries();
  EXPECT_EQ(Held(), "0/0/0/0");
  EXPECT_EQ(Get(Cell("item")), "o1");  // and works again when made again
}

TEST_P(LifecycleTest, NameRegisteredAgainReadsItsNewDatabaseAndUnregisteredReadsNothing) {
  std::unique_ptr<TestDatabase> second = NewDatabase();
  second->Sql("CREATE TABLE orders (item VARCHAR(8)); INSERT INTO orders VALUES ('z9')");
  EXPECT_EQ(Get(Cell("item")), "o1");
  KezDcQrQuery::DeleteQuery(("Get(" + Cell("item") + ")").c_str());
  UseUri(second->Uri());
  EXPECT_EQ(Get(Cell("item")), "z9");
  Use();  // a query still held reads the new database at its next run
  EXPECT_EQ(Get(Cell("item")), "o1");
  KezDcDbDataSourceFactory::UnregisterDataSource("b");
  EXPECT_EQ(Held(), "0/0/0/0");
  EXPECT_EQ(Get(Cell("item")), "");
  EXPECT_GE(CountError("ERROR: Impossible to load DataSource @b \n"), 1);
  KezDcCMError::ClearErrors();
}

// Each row read is inserted again into the same table while the walk goes
// on: the walk ends after the rows that the table held at its start.
TEST_P(LifecycleTest, WalkCopyingATableIntoItselfEndsWithTwiceItsRows) {
  std::vector<std::string> items;
  for (KezDcQrQResult* block = KezDcQrQResult::NewQResult(kOrders); block->IsMoreData() && items.size() < 20;
       block->GetNextLine()) {
    items.push_back(Get(Cell("item")));
    Insert("@b:main:orders:{item+amount}:1", {{"item", Cell("item") + " + \"+\""}});
  }
  EXPECT_EQ(items.size(), 5u);
  EXPECT_EQ(db_->Select("SELECT count(*) FROM orders"), (Table{{"10"}}));
}

KEZ_ON_EVERY_BACKEND(LifecycleTest);

// The memory backend's walks read the rows of their start as well.
using MemoryLifecycleTest = KezTest;
TEST_F(MemoryLifecycleTest, WalkCopyingATableIntoItselfEndsWithTwiceItsRows) {
  KezDcDbMemory::CreateRowset("mem", "t", {{"v", KEZDCDB_TYPESTRING, 8}});
  for (const char* v : {"a", "b", "c"}) KezDcDbMemory::AppendRow("mem", "t", {v});
  KezDcDbDataSourceFactory::RegisterDataSource("m", "memory:mem");
  int rows = 0;
  for (KezDcQrQResult* block = KezDcQrQResult::NewQResult("@m:main:t:{*}:2"); block->IsMoreData() && rows < 20;
       block->GetNextLine(), ++rows)
    RunQuery("Put(@m:main:t:{*}:2:v, @m:main:t:{v}:1:v)"), RunQuery("Put(@m:main:t:{v}:1)");
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(KezDcDbMemory::GetRows("mem", "t").size(), 6u);
  EXPECT_EQ(Errors(), std::vector<std::string>{});
  KezDcDbDataSourceFactory::UnregisterDataSource("m");
}

// The demo database is built from examples/demo/demo.sql in SQLite, its
// tables copied into a schema of the test server, and the tour run through
// kezq against each: it prints the same.
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
