// The road that every SQL backend runs alike: the tour's reads and
// computations, sub-query components, copying rows (row by row and in
// batches) with NULLs kept, a walk that ends and starts again, a table
// copied into itself, and hostile table and column names.
#include "backends/BackendFixture.h"

namespace kez {
namespace test {
namespace {

const char kTables[] =
    "CREATE TABLE orders (item VARCHAR(8), amount INTEGER, price DOUBLE PRECISION, note TEXT);"
    "INSERT INTO orders VALUES ('o1', 1, 1.5, 'a'), ('o2', 2, 2.5, NULL), ('o3', 3, 3.5, ''), ('o4', 4, 4.5, 'd'),"
    " ('o5', 5, 5.5, 'x y');"
    "CREATE TABLE copy (item VARCHAR(8), amount INTEGER, price DOUBLE PRECISION, note TEXT);";
const char kOrders[] = "@b:main:orders:{*}:2";

class RoadTest : public BackendTest {
 protected:
  void SetUp() override {
    BackendTest::SetUp();
    if (IsSkipped()) return;
    db_->Sql(kTables);
  }
  static std::string Cell(const char* column) { return std::string(kOrders) + ":" + column; }
};

TEST_P(RoadTest, ReadsComputesAndFollowsSubQueries) {
  Use();
  EXPECT_EQ(Walk(kOrders, Cell("item")), (std::vector<std::string>{"o1", "o2", "o3", "o4", "o5"}));
  EXPECT_EQ(Walk(kOrders, Cell("amount") + " * " + Cell("price") + " + 1"),
            (std::vector<std::string>{"2.5", "6", "11.5", "19", "28.5"}));
  KezDcQrQResult::NewQResult(kOrders)->FreeRowsetOfData();
  EXPECT_EQ(Get("\"#\" + " + Cell("item") + " + \":\" + " + Cell("note")), "#o1:a");
  Run("Put(\"orders\", #table)");
  Run("Put(\"orders\", $t)");
  EXPECT_EQ(Get("@b:s1:[#table]:{item+amount}:10:item"), "o1");
  EXPECT_EQ(Get("@b:s2:$t:{item+amount}:10:amount + 1"), "2");
  EXPECT_EQ(Errors(), std::vector<std::string>{});
}

TEST_P(RoadTest, CopiesRowsWithTheirNullsRowByRowAndInBatches) {
  const std::string copy = "@b:main:copy:{*}:1";
  for (const char* options : {"", "batch=2"}) {
    db_->Sql("DELETE FROM copy");
    Use(options);
    for (KezDcQrQResult* block = KezDcQrQResult::NewQResult(kOrders); block->IsMoreData(); block->GetNextLine()) {
      for (const char* column : {"item", "price", "note"})
        Run("Put(" + Cell(column) + ", " + copy + ":" + column + ")");
      Run("Put(" + Cell("amount") + " * 100, " + copy + ":amount)");
      Run("Put(" + copy + ")");
    }
    KezDcQrQuery::DeleteAllQueries();  // commits the open batch
    EXPECT_EQ(db_->Select("SELECT item, amount, price, note FROM copy ORDER BY item"),
              (Table{{"o1", "100", "1.5", "a"},
                     {"o2", "200", "2.5", "NULL"},
                     {"o3", "300", "3.5", ""},
                     {"o4", "400", "4.5", "d"},
                     {"o5", "500", "5.5", "x y"}}))
        << options;
  }
  EXPECT_EQ(Errors(), std::vector<std::string>{});
}

TEST_P(RoadTest, PutsFillARowThatTheBlockInserts) {
  Use();
  const std::string copy = "@b:main:copy:{item+amount+note}:1";
  Run("Put(\"p1\", " + copy + ":item)");
  Run("Put(6 * 7, " + copy + ":amount)");
  Run("Put(" + copy + ")");
  Run("Put(\"p2\", " + copy + ":item)");
  Run("Put(" + copy + ")");  // the buffer keeps what the last puts wrote
  EXPECT_EQ(db_->Select("SELECT item, amount, price, note FROM copy ORDER BY item"),
            (Table{{"p1", "42", "NULL", "NULL"}, {"p2", "42", "NULL", "NULL"}}));
  EXPECT_EQ(Errors(), std::vector<std::string>{});
}

TEST_P(RoadTest, AWalkStartsAgainAtItsEndAndAfterAFree) {
  Use();
  KezDcQrQResult* block = KezDcQrQResult::NewQResult(kOrders);
  EXPECT_EQ(Walk(kOrders, Cell("item")).size(), 5u);
  block->GetNextLine();  // past the end: starts again, on the second row
  EXPECT_EQ(Get(Cell("item")), "o2");
  block->FreeRowsetOfData();
  EXPECT_EQ(Get(Cell("item")), "o1");
  EXPECT_EQ(Errors(), std::vector<std::string>{});
}

TEST_P(RoadTest, AWalkReadsTheRowsItsTableHeldAtItsStart) {
  Use();
  const std::string again = "@b:main:orders:{item+amount}:1";
  std::vector<std::string> items;
  for (KezDcQrQResult* block = KezDcQrQResult::NewQResult(kOrders); block->IsMoreData(); block->GetNextLine()) {
    items.push_back(Get(Cell("item")));
    Run("Put(" + Cell("item") + " + \"+\", " + again + ":item)");
    Run("Put(" + again + ")");
    if (items.size() > 20) break;
  }
  EXPECT_EQ(items.size(), 5u);
  EXPECT_EQ(db_->Select("SELECT count(*) FROM orders"), (Table{{"10"}}));
  EXPECT_EQ(Errors(), std::vector<std::string>{});
}

// Reads the first row of the rowset through the access layer and inserts
// it again; false when a step fails.
bool CopyFirstRowInPlace(const char* rowset) {
  KezIDcDbDataSource* source = KezDcDbDataSourceFactory::CreateSimpleDataSource("b");
  void* session = nullptr;
  void* read = nullptr;
  void* insert = nullptr;
  bool ok =
      source && source->OpenSession(KezIDcDbSimpleSession::ClassId(), &session) == 0 &&
      static_cast<KezIDcDbSimpleSession*>(session)->OpenRowset(rowset, KezIDcDbSimpleRowset::ClassId(), &read) == 0;
  auto* rows = static_cast<KezIDcDbSimpleRowset*>(read);
  if (ok) {
    uint32_t count = 0, obtained = 0;
    _SEQUENCE_KezDcDbColInfoSeq* info = nullptr;
    rows->GetColumnsInfo(&count, &info);
    _SEQUENCE_KezDcDbBindingSeq bindings(count);
    bindings.length(count);
    for (uint32_t j = 0; j < count; ++j) bindings[j] = KezDcDbBinding{j + 1, 80 * j, 80};
    delete info;
    KezDcDbHAccessor accessor = 0;
    rows->CreateAccessor(count, &bindings, &accessor);
    _SEQUENCE_SEQUENCE_octet buffer(80 * count);
    buffer.length(80 * count);
    _SEQUENCE_KezDcDbRowHandleSeq* handles = nullptr;
    ok = rows->GetNextRows(1, &obtained, &handles) == 0 && obtained == 1 &&
         rows->GetDataSeq((*handles)[0], accessor, &buffer) == 0 &&
         rows->QueryInterface(KezIDcDbInsertRowset::ClassId(), &insert) == 0 &&
         static_cast<KezIDcDbInsertRowset*>(insert)->InsertRow(accessor, &buffer) == 0;
    rows->ReleaseRows(obtained, handles);
    delete handles;
    rows->ReleaseAccessor(accessor);
  }
  if (insert) static_cast<KezIDcDbInsertRowset*>(insert)->Release();
  if (rows) rows->Release();
  if (session) static_cast<KezIDcDbSimpleSession*>(session)->Release();
  if (source) source->Release();
  return ok;
}

TEST_P(RoadTest, HostileTableAndColumnNamesAreQuoted) {
  const char kHostile[] = "we\"ird; DROP TABLE orders; --";
  db_->Sql(
      "CREATE TABLE \"we\"\"ird; DROP TABLE orders; --\" (\"co\"\"l\" TEXT, \"a b\" INTEGER);"
      "INSERT INTO \"we\"\"ird; DROP TABLE orders; --\" VALUES ('v', 1)");
  Use();
  Run("Put(\"we\\\"ird; DROP TABLE orders; --\", $t)");
  EXPECT_EQ(Get("@b:main:$t:{*}:5:co\"l"), "v");
  EXPECT_TRUE(CopyFirstRowInPlace(kHostile));
  EXPECT_EQ(db_->Select("SELECT \"co\"\"l\", \"a b\" FROM \"we\"\"ird; DROP TABLE orders; --\" ORDER BY 1"),
            (Table{{"v", "1"}, {"v", "1"}}));
  EXPECT_EQ(db_->Select("SELECT count(*) FROM orders"), (Table{{"5"}}));
  EXPECT_EQ(Errors(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Backends, RoadTest, ::testing::Values(Backend::kSqlite, Backend::kPostgres), ParamName);

}  // namespace
}  // namespace test
}  // namespace kez
