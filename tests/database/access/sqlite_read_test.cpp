// Reading through the SQLite backend: column types from declared types,
// values as text, cut values and their report, blocks of rows, quoting of
// hostile names, and reference counting in any release order.
#include <algorithm>

#include "foundation/KezCFormat.h"
#include "support/AccessFaults.h"
#include "support/SqliteTestSupport.h"

namespace kez {
namespace test {
namespace {

using SqliteReadTest = SqliteFixture;

// "name:type:size" of every column, the type i (I4), r (R8) or s (string).
std::string Columns(KezIDcDbSimpleRowset* rowset) {
  uint32_t count = 0;
  _SEQUENCE_KezDcDbColInfoSeq* info = nullptr;
  EXPECT_EQ(rowset->GetColumnsInfo(&count, &info), 0);
  std::unique_ptr<_SEQUENCE_KezDcDbColInfoSeq> owned(info);
  std::string out;
  for (uint32_t j = 0; j < count; ++j) {
    const KezDcDbColInfo& c = (*info)[j];
    const char* type = c.colType == KEZDCDB_TYPEI4       ? "i"
                       : c.colType == KEZDCDB_TYPER8     ? "r"
                       : c.colType == KEZDCDB_TYPESTRING ? "s"
                                                         : "?";
    out += (j ? " " : "") + c.colName.Std() + ":" + type + ":" + std::to_string(c.colSize);
  }
  return out;
}

TEST_F(SqliteReadTest, ColumnTypesFollowSqliteAffinityRules) {
  Sql(db_,
      "CREATE TABLE t(a INT, b INTEGER, c BIGINT, d REAL, e DOUBLE, f FLOAT, g NUMERIC, h DECIMAL(10,2),"
      " i VARCHAR(32), j TEXT, k CLOB, l BLOB, m, n FLOATING POINT, o nvarchar( 7 ), p DATE, q VARCHAR(1000000))");
  Opened o;
  ASSERT_TRUE(OpenAll(&o, db_, "t"));
  // FLOATING POINT holds "INT", which SQLite's rules test first.
  EXPECT_EQ(Columns(o.rowset.get()),
            "a:i:80 b:i:80 c:i:80 d:r:80 e:r:80 f:r:80 g:r:80 h:r:80 i:s:32 j:s:255 k:s:255 l:s:255 m:s:255 n:i:80 "
            "o:s:7 p:r:80 q:s:65536");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(SqliteReadTest, TextSizeOptionsSizeUndeclaredAndDeclaredTextColumns) {
  Sql(db_, "CREATE TABLE t(i VARCHAR(32), j TEXT, l BLOB, m); CREATE VIEW v AS SELECT i || j AS joined, i FROM t");
  Opened sized, undeclared;
  ASSERT_TRUE(OpenAll(&sized, db_ + "?text_size=40", "v"));
  // A view's computed column has no declared type; its plain column keeps its own.
  EXPECT_EQ(Columns(sized.rowset.get()), "joined:s:40 i:s:32");
  ASSERT_TRUE(OpenAll(&undeclared, db_ + "?text_size=40&declared_size=0", "t"));
  EXPECT_EQ(Columns(undeclared.rowset.get()), "i:s:40 j:s:40 l:s:40 m:s:40");
}

TEST_F(SqliteReadTest, ValuesReadAsTextWithNullsEmptyAndRealsExact) {
  Sql(db_,
      "CREATE TABLE t(n INTEGER, r REAL, s TEXT, b BLOB);"
      "INSERT INTO t VALUES (42, 2.5, 'abc', x'414243'), (NULL, NULL, NULL, NULL),"
      " (-9223372036854775808, 0.1 + 0.2, '', x''), (7, 1e300, 'x', NULL), (3, 3, '12.5 kg', NULL),"
      " ('n/a', 'text in a real', 5, 6.25)");
  Opened o;
  ASSERT_TRUE(OpenAll(&o, db_, "t"));
  EXPECT_EQ(ReadAll(o), (Rows{{"42", "2.5", "abc", "ABC"},
                              {"", "", "", ""},
                              {"-9223372036854775808", "0.30000000000000004", "", ""},
                              {"7", "1e+300", "x", ""},
                              {"3", "3", "12.5 kg", ""},
                              {"n/a", "text in a real", "5", "6.25"}}));
  EXPECT_EQ(kez::StrToD("0.30000000000000004", nullptr), 0.1 + 0.2);
  EXPECT_TRUE(Errors().empty());
}

// Reading a file leaves its journal mode as it was; a file the data source
// creates, or one whose URI asks for it, gets the mode named.
TEST_F(SqliteReadTest, JournalModeChangesOnlyForCreatedFilesOrWhenAsked) {
  Sql(db_, "PRAGMA journal_mode=DELETE; CREATE TABLE t(n INTEGER); INSERT INTO t VALUES (1)");
  {
    Opened o;
    ASSERT_TRUE(OpenAll(&o, db_, "t"));
    EXPECT_EQ(ReadAll(o), (Rows{{"1"}}));
  }
  EXPECT_EQ(Column(db_, "PRAGMA journal_mode"), Texts{"delete"});
  { Ref<KezIDcDbDataSource> created(OpenSource(Path("new.db") + "?create=1")); }
  EXPECT_EQ(Column(Path("new.db"), "PRAGMA journal_mode"), Texts{"wal"});
  { Ref<KezIDcDbDataSource> asked(OpenSource(db_ + "?journal=wal")); }
  EXPECT_EQ(Column(db_, "PRAGMA journal_mode"), Texts{"wal"});
  EXPECT_EQ(OpenSource(db_ + "?journal=fast"), nullptr);
  EXPECT_EQ(Errors(),
            Texts{"ERROR: sqlite data source <sqlite:" + db_ +
                  "?journal=fast>: option <journal> must be wal, delete, truncate or persist, not <fast> \n"});
}

TEST_F(SqliteReadTest, LongValuesAreCutToTheFieldAndReportedOncePerColumn) {
  Sql(db_,
      "CREATE TABLE t(code VARCHAR(4), note TEXT, tag VARCHAR(4));"
      "INSERT INTO t VALUES ('abcdefgh', '0123456789', 'ab'), ('ijklmnop', '01234567890123', 'abc\xC3\xA9'),"
      " ('abcd', 'short', 'abcd')");
  Opened o;
  ASSERT_TRUE(OpenAll(&o, db_ + "?text_size=8", "t"));
  // A field that the cut fills has no zero octet; a cut never splits a
  // UTF-8 character ("abc" + 2-octet e-acute is 5 octets).
  EXPECT_EQ(ReadAll(o), (Rows{{"abcd", "01234567", "ab"}, {"ijkl", "01234567", "abc"}, {"abcd", "short", "abcd"}}));
  std::string cut = "WARNING: sqlite rowset <t> of <" + db_ + ">: a value of column <";
  EXPECT_EQ(Errors(), (Texts{cut + "code> (8 octets) was cut to its 4-octet field; open the data source with "
                                   "declared_size=0&text_size=8 or more to fit it \n",
                             cut + "note> (10 octets) was cut to its 8-octet field; open the data source with "
                                   "text_size=10 or more to fit it \n",
                             cut + "tag> (5 octets) was cut to its 4-octet field; open the data source with "
                                   "declared_size=0&text_size=5 or more to fit it \n"}));
}

TEST_F(SqliteReadTest, DeclaredSizesAreCappedAndBlocksBeyondTheMemoryCapAreRefused) {
  Sql(db_, "CREATE TABLE t(k INTEGER, s VARCHAR(10)); INSERT INTO t VALUES (1, 'abcdefgh'), (2, 'ij')");
  Opened capped;
  ASSERT_TRUE(OpenAll(&capped, db_ + "?max_field_size=4&max_block_memory=200", "t"));
  EXPECT_EQ(Columns(capped.rowset.get()), "k:i:80 s:s:4");
  // Two rows of 84 octets fit in 200; three do not.
  EXPECT_EQ(ReadAll(capped.rowset.get(), capped.layout, 2), (Rows{{"1", "abcd"}, {"2", "ij"}}));
  std::string rowset = "sqlite rowset <t> of <" + db_ + ">: ";
  EXPECT_EQ(Errors(), Texts{"WARNING: " + rowset +
                            "a value of column <s> (8 octets) was cut to its 4-octet field; open the data source "
                            "with max_field_size=8 or more to fit it \n"});
  KezDcCMError::ClearErrors();
  Opened refused;
  ASSERT_TRUE(OpenAll(&refused, db_ + "?max_field_size=4&max_block_memory=200", "t"));
  EXPECT_EQ(ReadAll(refused.rowset.get(), refused.layout, 3), Rows{});
  EXPECT_EQ(Errors(), Texts{"ERROR: " + rowset +
                            "a block of 3 rows of up to 84 octets each exceeds max_block_memory=200 octets; ask for "
                            "fewer rows per block, or open the data source with a larger max_block_memory or a "
                            "smaller max_field_size \n"});
  KezDcCMError::ClearErrors();
  Opened no_accessor;
  ASSERT_TRUE(OpenAll(&no_accessor, db_ + "?max_block_memory=89", "t"));
  EXPECT_EQ(no_accessor.layout.handle, 0u);
  no_accessor.layout.bindings.reset();
  EXPECT_EQ(Errors(), Texts{"ERROR: " + rowset +
                            "a row buffer of 90 octets for 2 fields exceeds max_block_memory=89 octets; bind fewer "
                            "columns, or open the data source with a larger max_block_memory or a smaller "
                            "max_field_size \n"});
}

class SqliteBlockTest : public SqliteFixture {
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

TEST_F(SqliteBlockTest, BlocksGiveMinOfWantedAndRemainingThenNoRowsAndEachRowItsOwnValues) {
  MakeRows(25);
  Opened o, reader;
  ASSERT_TRUE(OpenAll(&o, db_, "t"));
  std::vector<uint32_t> sizes;
  for (uint32_t wanted : {10, 10, 10, 10, 10, 0}) sizes.push_back(Fetch(o.rowset.get(), wanted));
  EXPECT_EQ(sizes, (std::vector<uint32_t>{10, 10, 5, 0, 0, 0}));
  ASSERT_TRUE(OpenAll(&reader, db_, "t", {"s", "k"}));
  Rows rows = ReadAll(reader.rowset.get(), reader.layout, 7);
  ASSERT_EQ(rows.size(), 25u);
  for (int k = 1; k <= 25; ++k) EXPECT_EQ(rows[k - 1], (Texts{kez::Format("row%04d", k), std::to_string(k)}));
}

TEST_F(SqliteBlockTest, ArenaIsReusedSoMemoryStaysBoundedByTheBlock) {
  MakeRows(5000);
  Opened o;
  ASSERT_TRUE(OpenAll(&o, db_, "t"));
  uint32_t total = Fetch(o.rowset.get(), 100);
  long after_first_block = kez::detail::SqliteArenaGrowths();
  while (uint32_t n = Fetch(o.rowset.get(), 100)) total += n;
  EXPECT_EQ(total, 5000u);
  EXPECT_EQ(kez::detail::SqliteArenaGrowths(), after_first_block);
}

TEST_F(SqliteBlockTest, HandlesOutsideTheHeldBlockAndUnknownAccessorsAreRefused) {
  MakeRows(5);
  Opened o;
  ASSERT_TRUE(OpenAll(&o, db_, "t"));
  const KezDcDbHAccessor handle = o.layout.handle;
  _SEQUENCE_SEQUENCE_octet buffer(o.layout.size);
  buffer.length(o.layout.size);
  uint32_t obtained = 0;
  _SEQUENCE_KezDcDbRowHandleSeq* first = nullptr;
  ASSERT_EQ(o.rowset->GetNextRows(2, &obtained, &first), 0);
  KezDcDbRowHandle old_row = (*first)[0];
  o.rowset->ReleaseRows(obtained, first);
  delete first;
  _SEQUENCE_KezDcDbRowHandleSeq* second = nullptr;
  ASSERT_EQ(o.rowset->GetNextRows(2, &obtained, &second), 0);
  EXPECT_EQ(o.rowset->GetDataSeq(old_row, handle, &buffer), 1);
  EXPECT_EQ(o.rowset->GetDataSeq((*second)[0], handle + 100, &buffer), 1);
  EXPECT_EQ(o.rowset->GetDataSeq((*second)[1], handle, &buffer), 0);
  EXPECT_EQ(Field(o.layout, buffer, 1), "row0004");
  o.rowset->ReleaseRows(obtained, second);
  delete second;
  std::string at = "ERROR: sqlite rowset <t> of <" + db_ + ">: ";
  EXPECT_EQ(Errors(), (Texts{at + "row handle " + std::to_string(old_row) + " is not in the block held \n",
                             at + "GetDataSeq with unknown accessor handle " + std::to_string(handle + 100) + " \n"}));
  expected_misuses_ = 2;
}

TEST_F(SqliteReadTest, HostileTableAndColumnNamesAreJustNames) {
  const std::string drop = "\"; DROP TABLE t; --";
  Sql(db_,
      "CREATE TABLE t(a); INSERT INTO t VALUES (1);"
      "CREATE TABLE \"x\"\"; DROP TABLE t; --\"(\"c\"\"; DROP TABLE t; --\" TEXT);");
  Opened o;
  ASSERT_TRUE(OpenAll(&o, db_, "x" + drop, {"c" + drop}));
  Ref<KezIDcDbInsertRowset> insert(OpenInsert(o.rowset.get()));
  ASSERT_TRUE(insert);
  EXPECT_EQ(Insert(insert.get(), o.layout, {"'); DROP TABLE t; --"}), 0);
  EXPECT_EQ(ReadAll(o), Rows{{"'); DROP TABLE t; --"}});
  int rc = 0;
  Ref<KezIDcDbSimpleRowset> missing(OpenRowset(o.session.get(), "t" + drop, &rc));
  EXPECT_FALSE(missing);
  EXPECT_EQ(rc, SQLITE_ERROR);
  EXPECT_EQ(Errors(), Texts{"ERROR: sqlite cannot open rowset <t\"; DROP TABLE t; --> of <" + db_ +
                            ">: no such table: t\"; DROP TABLE t; -- (code 1) \n"});
  EXPECT_EQ(Column(db_, "SELECT a FROM t"), Texts{"1"});
}

class SqliteRefCountTest : public SqliteFixture, public ::testing::WithParamInterface<int> {};

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
    EXPECT_EQ(kez::test::AccessFaults::OpenConnections(), session_holders > 0 ? 1 : 0);
    if (order[k] == 2) {
      EXPECT_EQ(ReadAll(rowset, layout), (Rows{{"1"}, {"2"}}));
      rowset->ReleaseAccessor(layout.handle);
    }
    objects[order[k]]->Release();
    if (order[k] != 0) --session_holders;
  }
  EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), 0);
  EXPECT_EQ(Count(), "2");
}

INSTANTIATE_TEST_SUITE_P(AllOrders, SqliteRefCountTest, ::testing::Range(0, 24));

}  // namespace
}  // namespace test
}  // namespace kez
