// Reading through the SQLite backend: column types from declared types,
// values as text, cut values and their report, blocks of rows, quoting of
// hostile names, and reference counting in any release order.
#include <algorithm>

#include "foundation/KezCFormat.h"
#include "tests/database/access/SqliteTestSupport.h"

namespace kez_test {
namespace {

class SqliteReadTest : public SqliteFixture {
 protected:
  void SetUp() override {
    SqliteFixture::SetUp();
    db_ = Path("read.db");
  }
  std::string db_;
};

struct ExpectedColumn {
  const char* name;
  uint32_t type;
  uint32_t size;
};

void ExpectColumns(KezIDcDbSimpleRowset* rowset, const std::vector<ExpectedColumn>& expected) {
  uint32_t count = 0;
  _SEQUENCE_KezDcDbColInfoSeq* info = nullptr;
  ASSERT_EQ(rowset->GetColumnsInfo(&count, &info), 0);
  std::unique_ptr<_SEQUENCE_KezDcDbColInfoSeq> owned(info);
  ASSERT_EQ(count, expected.size());
  for (uint32_t j = 0; j < count; ++j) {
    SCOPED_TRACE(expected[j].name);
    EXPECT_EQ((*info)[j].colName, expected[j].name);
    EXPECT_EQ((*info)[j].colType, expected[j].type);
    EXPECT_EQ((*info)[j].colSize, expected[j].size);
  }
}

TEST_F(SqliteReadTest, ColumnTypesFollowSqliteAffinityRules) {
  Sql(db_,
      "CREATE TABLE t(a INT, b INTEGER, c BIGINT, d REAL, e DOUBLE, f FLOAT, g NUMERIC, h DECIMAL(10,2),"
      " i VARCHAR(32), j TEXT, k CLOB, l BLOB, m, n FLOATING POINT, o nvarchar( 7 ), p DATE)");
  Opened o;
  OpenAll(&o, db_, "t");
  ASSERT_TRUE(o.rowset);
  // FLOATING POINT holds "INT", which SQLite's rules test first.
  ExpectColumns(o.rowset.get(), {{"a", KEZDCDB_TYPEI4, 80},
                                 {"b", KEZDCDB_TYPEI4, 80},
                                 {"c", KEZDCDB_TYPEI4, 80},
                                 {"d", KEZDCDB_TYPER8, 80},
                                 {"e", KEZDCDB_TYPER8, 80},
                                 {"f", KEZDCDB_TYPER8, 80},
                                 {"g", KEZDCDB_TYPER8, 80},
                                 {"h", KEZDCDB_TYPER8, 80},
                                 {"i", KEZDCDB_TYPESTRING, 32},
                                 {"j", KEZDCDB_TYPESTRING, 255},
                                 {"k", KEZDCDB_TYPESTRING, 255},
                                 {"l", KEZDCDB_TYPESTRING, 255},
                                 {"m", KEZDCDB_TYPESTRING, 255},
                                 {"n", KEZDCDB_TYPEI4, 80},
                                 {"o", KEZDCDB_TYPESTRING, 7},
                                 {"p", KEZDCDB_TYPER8, 80}});
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 0);
}

TEST_F(SqliteReadTest, TextSizeOptionsSizeUndeclaredAndDeclaredTextColumns) {
  Sql(db_, "CREATE TABLE t(i VARCHAR(32), j TEXT, l BLOB, m); CREATE VIEW v AS SELECT i || j AS joined, i FROM t");
  Opened sized;
  OpenAll(&sized, db_ + "?text_size=40", "v");
  ASSERT_TRUE(sized.rowset);
  // A view's computed column has no declared type; its plain column keeps its own.
  ExpectColumns(sized.rowset.get(), {{"joined", KEZDCDB_TYPESTRING, 40}, {"i", KEZDCDB_TYPESTRING, 32}});
  Opened undeclared;
  OpenAll(&undeclared, db_ + "?text_size=40&declared_size=0", "t");
  ASSERT_TRUE(undeclared.rowset);
  ExpectColumns(undeclared.rowset.get(), {{"i", KEZDCDB_TYPESTRING, 40},
                                          {"j", KEZDCDB_TYPESTRING, 40},
                                          {"l", KEZDCDB_TYPESTRING, 40},
                                          {"m", KEZDCDB_TYPESTRING, 40}});
}

TEST_F(SqliteReadTest, ValuesReadAsTextWithNullsEmptyAndRealsExact) {
  Sql(db_,
      "CREATE TABLE t(n INTEGER, r REAL, s TEXT, b BLOB);"
      "INSERT INTO t VALUES (42, 2.5, 'abc', x'414243'), (NULL, NULL, NULL, NULL),"
      " (-9223372036854775808, 0.1 + 0.2, '', x''), (7, 1e300, 'x', NULL), (3, 3, '12.5 kg', NULL),"
      " ('n/a', 'text in a real', 5, 6.25)");
  Opened o;
  OpenAll(&o, db_, "t");
  ASSERT_TRUE(o.rowset);
  Layout layout = Bind(o.rowset.get());
  std::vector<std::vector<std::string>> expected = {
      {"42", "2.5", "abc", "ABC"}, {"", "", "", ""},          {"-9223372036854775808", "0.30000000000000004", "", ""},
      {"7", "1e+300", "x", ""},    {"3", "3", "12.5 kg", ""}, {"n/a", "text in a real", "5", "6.25"}};
  EXPECT_EQ(ReadAll(o.rowset.get(), layout), expected);
  EXPECT_EQ(kez::StrToD("0.30000000000000004", nullptr), 0.1 + 0.2);
  o.rowset->ReleaseAccessor(layout.handle);
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 0);
}

TEST_F(SqliteReadTest, LongValuesAreCutToTheFieldAndReportedOncePerColumn) {
  Sql(db_,
      "CREATE TABLE t(code VARCHAR(4), note TEXT, tag VARCHAR(4));"
      "INSERT INTO t VALUES ('abcdefgh', '0123456789', 'ab'), ('ijklmnop', '01234567890123', 'abc\xC3\xA9'),"
      " ('abcd', 'short', 'abcd')");
  Opened o;
  OpenAll(&o, db_ + "?text_size=8", "t");
  ASSERT_TRUE(o.rowset);
  Layout layout = Bind(o.rowset.get());
  // A field that the cut fills has no zero octet; a cut never splits a
  // UTF-8 character ("abc" + 2-octet e-acute is 5 octets).
  std::vector<std::vector<std::string>> expected = {
      {"abcd", "01234567", "ab"}, {"ijkl", "01234567", "abc"}, {"abcd", "short", "abcd"}};
  EXPECT_EQ(ReadAll(o.rowset.get(), layout), expected);
  std::string where = "<t> of <" + db_ + ">";
  std::vector<std::string> errors = {
      "WARNING: sqlite rowset " + where +
          ": a value of column <code> (8 octets) was cut to its 4-octet field; open the data source with "
          "declared_size=0&text_size=8 or more to fit it \n",
      "WARNING: sqlite rowset " + where +
          ": a value of column <note> (10 octets) was cut to its 8-octet field; open the data source with "
          "text_size=10 or more to fit it \n",
      "WARNING: sqlite rowset " + where +
          ": a value of column <tag> (5 octets) was cut to its 4-octet field; open the data source with "
          "declared_size=0&text_size=5 or more to fit it \n"};
  EXPECT_EQ(ErrorTexts(), errors);
  o.rowset->ReleaseAccessor(layout.handle);
}

class SqliteBlockTest : public SqliteReadTest {
 protected:
  // A table t(k INTEGER, s VARCHAR(8)) of `rows` rows k = 1.., s = "row0001"...
  void MakeRows(int rows) {
    Sql(db_, kez::Format("CREATE TABLE t(k INTEGER, s VARCHAR(8));"
                         "WITH RECURSIVE c(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM c WHERE k < %d)"
                         " INSERT INTO t SELECT k, printf('row%%04d', k) FROM c",
                         rows));
  }
  // Fetches and releases one block; returns its size.
  static uint32_t Fetch(KezIDcDbSimpleRowset* rowset, uint32_t wanted) {
    uint32_t obtained = 999;
    _SEQUENCE_KezDcDbRowHandleSeq* rows = nullptr;
    EXPECT_EQ(rowset->GetNextRows(wanted, &obtained, &rows), 0);
    EXPECT_EQ(rows ? rows->length() : 999, obtained);
    rowset->ReleaseRows(obtained, rows);
    delete rows;
    return obtained;
  }
};

TEST_F(SqliteBlockTest, BlocksGiveMinOfWantedAndRemainingThenNoRows) {
  MakeRows(25);
  Opened o;
  OpenAll(&o, db_, "t");
  ASSERT_TRUE(o.rowset);
  std::vector<uint32_t> sizes;
  for (uint32_t wanted : {10, 10, 10, 10, 10, 0}) sizes.push_back(Fetch(o.rowset.get(), wanted));
  EXPECT_EQ(sizes, (std::vector<uint32_t>{10, 10, 5, 0, 0, 0}));
}

TEST_F(SqliteBlockTest, EveryRowOfEveryBlockReadsItsOwnValues) {
  MakeRows(25);
  Opened o;
  OpenAll(&o, db_, "t");
  ASSERT_TRUE(o.rowset);
  Layout layout = Bind(o.rowset.get(), {"s", "k"});
  std::vector<std::vector<std::string>> rows = ReadAll(o.rowset.get(), layout, 7);
  ASSERT_EQ(rows.size(), 25u);
  for (int k = 1; k <= 25; ++k) {
    EXPECT_EQ(rows[k - 1], (std::vector<std::string>{kez::Format("row%04d", k), std::to_string(k)}));
  }
  o.rowset->ReleaseAccessor(layout.handle);
}

TEST_F(SqliteBlockTest, ArenaIsReusedSoMemoryStaysBoundedByTheBlock) {
  MakeRows(5000);
  Opened o;
  OpenAll(&o, db_, "t");
  ASSERT_TRUE(o.rowset);
  uint32_t total = Fetch(o.rowset.get(), 100);
  long after_first_block = KezDcDbSqlite::ArenaGrowths();
  while (uint32_t n = Fetch(o.rowset.get(), 100)) total += n;
  EXPECT_EQ(total, 5000u);
  EXPECT_EQ(KezDcDbSqlite::ArenaGrowths(), after_first_block);
}

TEST_F(SqliteBlockTest, HandlesOutsideTheHeldBlockAndUnknownAccessorsAreRefused) {
  MakeRows(5);
  Opened o;
  OpenAll(&o, db_, "t");
  ASSERT_TRUE(o.rowset);
  Layout layout = Bind(o.rowset.get());
  _SEQUENCE_SEQUENCE_octet buffer(layout.size);
  buffer.length(layout.size);
  uint32_t obtained = 0;
  _SEQUENCE_KezDcDbRowHandleSeq* first = nullptr;
  ASSERT_EQ(o.rowset->GetNextRows(2, &obtained, &first), 0);
  KezDcDbRowHandle old_row = (*first)[0];
  o.rowset->ReleaseRows(obtained, first);
  delete first;
  _SEQUENCE_KezDcDbRowHandleSeq* second = nullptr;
  ASSERT_EQ(o.rowset->GetNextRows(2, &obtained, &second), 0);
  EXPECT_EQ(o.rowset->GetDataSeq(old_row, layout.handle, &buffer), 1);
  EXPECT_EQ(o.rowset->GetDataSeq((*second)[0], layout.handle + 100, &buffer), 1);
  EXPECT_EQ(o.rowset->GetDataSeq((*second)[1], layout.handle, &buffer), 0);
  EXPECT_EQ(Field(layout, buffer, 1), "row0004");
  o.rowset->ReleaseRows(obtained, second);
  delete second;
  std::string where = "<t> of <" + db_ + ">";
  EXPECT_EQ(ErrorTexts(),
            (std::vector<std::string>{"ERROR: sqlite rowset " + where + ": row handle " + std::to_string(old_row) +
                                          " is not in the block held \n",
                                      "ERROR: sqlite rowset " + where + ": GetDataSeq with unknown accessor handle " +
                                          std::to_string(layout.handle + 100) + " \n"}));
  o.rowset->ReleaseAccessor(layout.handle);
  expected_misuses_ = 2;
}

class SqliteQuotingTest : public SqliteReadTest {};

TEST_F(SqliteQuotingTest, HostileTableAndColumnNamesAreJustNames) {
  const std::string hostile = "x\"; DROP TABLE t; --";
  Sql(db_,
      "CREATE TABLE t(a); INSERT INTO t VALUES (1);"
      "CREATE TABLE \"x\"\"; DROP TABLE t; --\"(\"c\"\"; DROP TABLE t; --\" TEXT);");
  Opened o;
  OpenAll(&o, db_, hostile);
  ASSERT_TRUE(o.rowset);
  Layout layout = Bind(o.rowset.get(), {"c\"; DROP TABLE t; --"});
  Ref<KezIDcDbInsertRowset> insert(OpenInsert(o.rowset.get()));
  ASSERT_TRUE(insert);
  EXPECT_EQ(Insert(insert.get(), layout, {"'); DROP TABLE t; --"}), 0);
  EXPECT_EQ(ReadAll(o.rowset.get(), layout), (std::vector<std::vector<std::string>>{{"'); DROP TABLE t; --"}}));
  o.rowset->ReleaseAccessor(layout.handle);
  insert.Reset();
  int rc = 0;
  Ref<KezIDcDbSimpleRowset> missing(OpenRowset(o.session.get(), "t\"; DROP TABLE t; --", &rc));
  EXPECT_FALSE(missing);
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(ErrorTexts(), std::vector<std::string>{"ERROR: sqlite cannot open rowset <t\"; DROP TABLE t; --> of <" +
                                                   db_ + ">: no such table: t\"; DROP TABLE t; -- (code 1) \n"});
  EXPECT_EQ(Column(db_, "SELECT a FROM t"), std::vector<std::string>{"1"});
}

class SqliteRefCountTest : public SqliteReadTest, public ::testing::WithParamInterface<int> {};

// Releases data source, session, rowset and insert interface in the order
// of one permutation: whatever is still referenced keeps working, and the
// connection closes with the last reference only.
TEST_P(SqliteRefCountTest, AnyReleaseOrderFreesEverythingOnlyAtTheEnd) {
  Sql(db_, "CREATE TABLE t(a INTEGER); INSERT INTO t VALUES (1)");
  KezIDcDbDataSource* source = OpenSource(db_);
  KezIDcDbSimpleSession* session = OpenSession(source);
  KezIDcDbSimpleRowset* rowset = OpenRowset(session, "t");
  KezIDcDbInsertRowset* insert = OpenInsert(rowset);
  ASSERT_TRUE(source && session && rowset && insert);
  KezIDcDbUnknown* objects[4] = {source, session, rowset, insert};
  std::vector<int> order = {0, 1, 2, 3};
  for (int k = 0; k < GetParam(); ++k) std::next_permutation(order.begin(), order.end());
  Layout layout = Bind(rowset);
  EXPECT_EQ(Insert(insert, layout, {"2"}), 0);
  int session_holders = 3;  // session, rowset and insert interface keep the connection
  for (int k = 0; k < 4; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(KezDcDbSqlite::OpenConnections(), session_holders > 0 ? 1 : 0);
    if (order[k] == 2) {
      EXPECT_EQ(ReadAll(rowset, layout), (std::vector<std::vector<std::string>>{{"1"}, {"2"}}));
      rowset->ReleaseAccessor(layout.handle);
    }
    objects[order[k]]->Release();
    if (order[k] != 0) --session_holders;
  }
  EXPECT_EQ(KezDcDbSqlite::LiveObjects(), 0);
  EXPECT_EQ(Column(db_, "SELECT count(*) FROM t"), std::vector<std::string>{"2"});
}

INSTANTIATE_TEST_SUITE_P(AllOrders, SqliteRefCountTest, ::testing::Range(0, 24));

}  // namespace
}  // namespace kez_test
