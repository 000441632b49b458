// The schema operation and session views of every backend: the tables and
// views a session lists, and temporary views that serve a filtered, ordered
// or joined walk without changing the database.
#include <algorithm>

#include "backends/BackendFixture.h"

namespace kez {
namespace test {
namespace {

using Names = std::vector<std::string>;

// The tables that a session of the data source lists, or {"<failed>"}.
Names Tables(const char* source) {
  Names names{"<failed>"};
  void *session = nullptr, *schema = nullptr;
  Ref<KezIDcDbDataSource> data_source(KezDcDbDataSourceFactory::CreateSimpleDataSource(source));
  if (data_source) data_source->OpenSession(KezIDcDbSimpleSession::ClassId(), &session);
  Ref<KezIDcDbSimpleSession> opened(static_cast<KezIDcDbSimpleSession*>(session));
  if (opened) opened->QueryInterface(KezIDcDbSchema::ClassId(), &schema);
  Ref<KezIDcDbSchema> tables(static_cast<KezIDcDbSchema*>(schema));
  _SEQUENCE_KezDcDbNameSeq* list = nullptr;
  uint32_t count = 0;
  if (tables && tables->GetTables(&count, &list) == 0 && list) {
    names.clear();
    for (uint32_t i = 0; i < count; ++i) names.push_back((*list)[i].Std());
  }
  delete list;
  return names;
}

class SchemaTest : public BackendTest {
 protected:
  void SetUp() override {
    BackendTest::SetUp();
    if (!IsSkipped())
      db_->Sql(
          "CREATE TABLE orders (item VARCHAR(8), amount INTEGER); INSERT INTO orders VALUES ('o1', 1), ('o2', 5),"
          " ('o3', 3); CREATE TABLE \"b c\" (x TEXT); CREATE VIEW cheap AS SELECT item FROM orders WHERE amount < 3");
  }
  void TearDown() override {
    KezDcDbDataSourceFactory::ClearSessionViews();
    BackendTest::TearDown();
  }
  // The tables and views of the database itself, as its own catalog says.
  Table StoredTables() {
    return GetParam() == Backend::kSqlite
               ? db_->Select("SELECT name FROM sqlite_schema WHERE name NOT LIKE 'sqlite_%' ORDER BY name")
               : db_->Select("SELECT table_name FROM information_schema.tables WHERE table_schema = '" + db_->Schema() +
                             "' ORDER BY 1");
  }
};

TEST_P(SchemaTest, SessionListsItsTablesAndViewsSorted) {
  if (GetParam() == Backend::kSqlite) db_->Sql("CREATE TABLE counted (id INTEGER PRIMARY KEY AUTOINCREMENT)");
  Use();
  Names expected{"b c", "cheap", "orders"};
  if (GetParam() == Backend::kSqlite) expected.insert(expected.begin() + 2, "counted");  // not sqlite_sequence
  EXPECT_EQ(Tables("b"), expected);
}

TEST_P(SchemaTest, SessionViewServesAWalkAndLeavesTheDatabaseAsItWas) {
  Table stored = StoredTables();
  KezDcDbDataSourceFactory::AddSessionView("", "big",
                                           "SELECT item, amount FROM orders WHERE amount > 1 ORDER BY amount DESC");
  KezDcDbDataSourceFactory::AddSessionView("b", "we\"ird", "SELECT count(*) AS n FROM orders");
  Use();
  EXPECT_EQ(Walk("@b:main:big:{*}:2", "@b:main:big:{*}:2:item"), (Names{"o2", "o3"}));
  EXPECT_EQ(Get("@b:s2:we\"ird:{*}:1:n"), "3");
  Names listed = Tables("b");
  EXPECT_NE(std::find(listed.begin(), listed.end(), "big"), listed.end());
  KezDcQrQuery::DeleteAllQueries();
  EXPECT_EQ(StoredTables(), stored);
}

TEST_P(SchemaTest, RefusedSessionViewIsReportedAndTheSessionStillOpens) {
  KezDcDbDataSourceFactory::AddSessionView("", "two", "SELECT 1; DROP TABLE orders");
  KezDcDbDataSourceFactory::AddSessionView("", "broken", "SELECT FROM WHERE");
  Use();
  EXPECT_EQ(Get("@b:main:orders:{*}:5:item"), "o1");
  std::vector<std::string> errors = Errors();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_NE(errors[0].find("cannot create the session view <two>"), std::string::npos) << errors[0];
  EXPECT_NE(errors[1].find("cannot create the session view <broken>"), std::string::npos) << errors[1];
  KezDcCMError::ClearErrors();
  KezDcQrQuery::DeleteAllQueries();
  EXPECT_EQ(db_->Select("SELECT count(*) FROM orders"), (Table{{"3"}}));
}

KEZ_ON_EVERY_BACKEND(SchemaTest);

// The memory backend lists its tables; it has no SQL, so a session view
// named for it is reported.
using MemorySchemaTest = KezTest;
TEST_F(MemorySchemaTest, ListsTablesAndRefusesSessionViews) {
  KezDcDbMemory::CreateRowset("sch", "stock", {{"n", KEZDCDB_TYPEI4, 4}});
  KezDcDbMemory::CreateRowset("sch", "orders", {{"n", KEZDCDB_TYPEI4, 4}});
  KezDcDbDataSourceFactory::RegisterDataSource("ms", "memory:sch");
  KezDcDbDataSourceFactory::AddSessionView("", "v", "SELECT 1");
  EXPECT_EQ(Tables("ms"), (Names{"orders", "stock"}));
  EXPECT_EQ(Errors(), Names{});
  KezDcDbDataSourceFactory::AddSessionView("ms", "w", "SELECT 1");
  Tables("ms");
  EXPECT_EQ(Errors(), (Names{"ERROR: data source <ms> cannot hold the session view <w>: its backend has no SQL \n"}));
  KezDcDbDataSourceFactory::ClearSessionViews();
  KezDcDbDataSourceFactory::UnregisterDataSource("ms");
}

}  // namespace
}  // namespace test
}  // namespace kez
