// Reading and inserting through the SQLite backend: column types from
// declared types, values as text (reals as their shortest exact text), cut
// values and memory caps with their reports, blocks of rows, refused
// handles, field texts bound as typed values, commits per row, per batch,
// at exit and in any release order.
#include <algorithm>

#include "support/AccessFaults.h"
#include "support/SqliteTestSupport.h"

namespace kez {
namespace test {
namespace {

class SqliteRowsetTest : public SqliteFixture {
 protected:
  // "name:type:size" of every column of the rowset.
  std::string Columns(const std::string& options, const std::string& rowset) const {
    Opened o;
    EXPECT_TRUE(OpenAll(&o, file_ + options, rowset));
    return o.layout.columns;
  }
  // Fetches one block, keeps its handles in held_ (releasing the block held before) and returns its size.
  uint32_t Fetch(KezIDcDbSimpleRowset* rowset, uint32_t wanted) {
    uint32_t obtained = 999;
    Release(rowset);
    EXPECT_EQ(rowset->GetNextRows(wanted, &obtained, &held_), 0);
    EXPECT_EQ(held_ ? held_->length() : 999, obtained);
    return obtained;
  }
  void Release(KezIDcDbSimpleRowset* rowset) {
    if (held_) rowset->ReleaseRows(held_->length(), held_);
    delete held_;
    held_ = nullptr;
  }
  // Rows of t as other connections see them, with SQLite's storage types.
  Rows Stored() const {
    return Sql(
        "SELECT typeof(i) || ':' || quote(i) || ' ' || typeof(r) || ':' || quote(r) || ' ' || typeof(s) || "
        "':' || quote(s) || ' ' || typeof(v) || ':' || quote(v) FROM t ORDER BY rowid");
  }
  static constexpr char kInsertTable[] = "CREATE TABLE t(i INTEGER, r REAL, s TEXT, v VARCHAR(10))";
  _SEQUENCE_KezDcDbRowHandleSeq* held_ = nullptr;
};

// Types follow SQLite's affinity rules (FLOATING POINT holds "INT", tested
// first); a view's computed column has no declared type.
TEST_F(SqliteRowsetTest, ColumnTypesFollowSqliteAffinityRulesAndValuesReadAsText) {
  Sql("CREATE TABLE t(a INT, b INTEGER, c BIGINT, d REAL, e DOUBLE, f FLOAT, g NUMERIC, h DECIMAL(10,2),"
      " i VARCHAR(32), j TEXT, k CLOB, l BLOB, m, n FLOATING POINT, o nvarchar( 7 ), p DATE, q VARCHAR(1000000));"
      "CREATE VIEW v AS SELECT i || j AS joined, i FROM t; CREATE TABLE u(n INTEGER, r REAL, s TEXT, b BLOB);"
      "INSERT INTO u VALUES (42, 2.5, 'abc', x'414243'), (NULL, NULL, NULL, NULL),"
      " (-9223372036854775808, 0.1 + 0.2, '', x''), (7, 1e300, 'x', NULL), (3, 3, '12.5 kg', NULL),"
      " ('n/a', 'text in a real', 5, 6.25)");
  EXPECT_EQ(Columns("", "t"),
            "a:i:80 b:i:80 c:i:80 d:r:80 e:r:80 f:r:80 g:r:80 h:r:80 i:s:32 j:s:255 k:s:255 l:s:255 "
            "m:s:255 n:i:80 o:s:7 p:r:80 q:s:65536");
  EXPECT_EQ(Columns("?text_size=40", "v") + " " + Columns("?text_size=40&declared_size=0", "v"),
            "joined:s:40 i:s:32 joined:s:40 i:s:40");
  EXPECT_EQ(Read("", "u"), (Rows{{"42", "2.5", "abc", "ABC"},
                                 {"", "", "", ""},
                                 {"-9223372036854775808", "0.30000000000000004", "", ""},
                                 {"7", "1e+300", "x", ""},
                                 {"3", "3", "12.5 kg", ""},
                                 {"n/a", "text in a real", "5", "6.25"}}));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(SqliteRowsetTest, JournalModeChangesOnlyForCreatedFilesOrWhenAsked) {
  Sql("PRAGMA journal_mode=DELETE; CREATE TABLE t(n INTEGER); INSERT INTO t VALUES (1)");
  EXPECT_EQ(Read("", "t"), Rows{{"1"}});
  EXPECT_EQ(Sql("PRAGMA journal_mode"), Rows{{"delete"}});
  Ref<KezIDcDbDataSource>{OpenSource(Path("new.db") + "?create=1")};
  EXPECT_EQ(SqliteSelect(Path("new.db"), "PRAGMA journal_mode"), Rows{{"wal"}});
  Ref<KezIDcDbDataSource>{OpenSource(file_ + "?journal=wal")};
  EXPECT_EQ(Sql("PRAGMA journal_mode"), Rows{{"wal"}});
}

// A cut fills its field without a zero octet, never splits a UTF-8
// character ("abc" + 2-octet e-acute is 5 octets) and is reported once per
// column with the option that fits it; field and block sizes are capped.
TEST_F(SqliteRowsetTest, LongValuesAreCutAndReportedAndBlocksBeyondTheMemoryCapAreRefused) {
  Sql("CREATE TABLE t(code VARCHAR(4), note TEXT, tag VARCHAR(4));"
      "INSERT INTO t VALUES ('abcdefgh', '0123456789', 'ab'), ('ijklmnop', '01234567890123', 'abc\xC3\xA9'),"
      " ('abcd', 'short', 'abcd'); CREATE TABLE u(k INTEGER, s VARCHAR(10)); INSERT INTO u VALUES (1, 'abcdefgh'),"
      " (2, 'ij')");
  Opened no_accessor;
  EXPECT_EQ(Read("?text_size=8", "t"),
            (Rows{{"abcd", "01234567", "ab"}, {"ijkl", "01234567", "abc"}, {"abcd", "short", "abcd"}}));
  // Two rows of 84 octets fit in 200; three do not.
  EXPECT_EQ(Read("?max_field_size=4&max_block_memory=200", "u", 2), (Rows{{"1", "abcd"}, {"2", "ij"}}));
  EXPECT_EQ(Read("?max_field_size=4&max_block_memory=200", "u", 3), Rows{});
  ASSERT_TRUE(OpenAll(&no_accessor, file_ + "?max_block_memory=89", "u"));
  EXPECT_EQ(no_accessor.layout.handle, 0u);
  no_accessor.layout.bindings.reset();
  const std::string u = "sqlite rowset <u> of <" + file_ + ">: ";
  const std::string larger = "open the data source with a larger max_block_memory or a smaller max_field_size \n";
  auto cut = [&](const std::string& rowset, const std::string& column_octets_field, const std::string& option) {
    return "WARNING: sqlite rowset <" + rowset + "> of <" + file_ + ">: a value of column <" + column_octets_field +
           "-octet field; open the data source with " + option + " or more to fit it \n";
  };
  EXPECT_EQ(Errors(), (Texts{cut("t", "code> (8 octets) was cut to its 4", "declared_size=0&text_size=8"),
                             cut("t", "note> (10 octets) was cut to its 8", "text_size=10"),
                             cut("t", "tag> (5 octets) was cut to its 4", "declared_size=0&text_size=5"),
                             cut("u", "s> (8 octets) was cut to its 4", "max_field_size=8"),
                             "ERROR: " + u +
                                 "a block of 3 rows of up to 84 octets each exceeds max_block_memory=200 octets; "
                                 "ask for fewer rows per block, or " +
                                 larger,
                             "ERROR: " + u +
                                 "a row buffer of 90 octets for 2 fields exceeds max_block_memory=89 octets; bind "
                                 "fewer columns, or " +
                                 larger}));
}

// A row handle outside the block held and an unknown accessor are refused;
// DeleteAllJeleList leaves the held rows, accessor and rowset working;
// blocks hold min(wanted, remaining) rows, to the last, and reuse their memory.
TEST_F(SqliteRowsetTest, BlocksGiveMinOfWantedAndRemainingAndRefuseHandlesOutsideThem) {
  Sql("CREATE TABLE t(k INTEGER, s VARCHAR(8)); WITH RECURSIVE c(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM c "
      "WHERE k < 2500) INSERT INTO t SELECT k, printf('row%04d', k) FROM c");
  Opened o;
  ASSERT_TRUE(OpenAll(&o, file_, "t"));
  const KezDcDbHAccessor handle = o.layout.handle;
  _SEQUENCE_SEQUENCE_octet buffer(o.layout.size);
  buffer.length(o.layout.size);
  Fetch(o.rowset.get(), 2);
  KezDcDbRowHandle old_row = (*held_)[0];
  Fetch(o.rowset.get(), 2);
  auto read = [&](KezDcDbRowHandle row, KezDcDbHAccessor accessor) {  // field s, or the code
    int rc = o.rowset->GetDataSeq(row, accessor, &buffer);
    return rc ? "rc " + std::to_string(rc) : Field(o.layout, buffer, 1);
  };
  EXPECT_EQ((Texts{read(old_row, handle), read((*held_)[0], handle + 100), read((*held_)[1], handle)}),
            (Texts{"rc 1", "rc 1", "row0004"}));
  KezDcOtAdapterRowset::DeleteAllJeleList();
  EXPECT_EQ(read((*held_)[0], handle), "row0003");
  std::string at = "ERROR: sqlite rowset <t> of <" + file_ + ">: ";
  EXPECT_EQ(Errors(), (Texts{at + "row handle " + std::to_string(old_row) + " is not in the block held \n",
                             at + "GetDataSeq with unknown accessor handle " + std::to_string(handle + 100) + " \n"}));
  expected_misuses_ = 2;
  std::vector<uint32_t> sizes;
  for (uint32_t wanted : {996, 1000}) sizes.push_back(Fetch(o.rowset.get(), wanted));
  long after_first_blocks = kez::detail::SqliteArenaGrowths();
  for (uint32_t wanted : {1000, 1000, 0}) sizes.push_back(Fetch(o.rowset.get(), wanted));
  Release(o.rowset.get());
  EXPECT_EQ(sizes, (std::vector<uint32_t>{996, 1000, 500, 0, 0}));
  EXPECT_EQ(kez::detail::SqliteArenaGrowths(), after_first_blocks);
}

// Only plain decimal texts bind as numbers; any other text, empty included,
// is kept, and what went in reads back exactly.
TEST_F(SqliteRowsetTest, NumericFieldsBindAsNumbersOnlyWhenDecimalAndOnlyBoundColumnsAreWritten) {
  Sql(kInsertTable);
  Rows rows = {{"12", "2.5", "hello", "x"},
               {"", "", "", ""},
               {" 7 ", "+1e3", "12", "1e3"},
               {"12 kg", "nan", "-0", "a\"b'c"}};  // more in tests/kezq/copy_fidelity_test.cpp
  EXPECT_EQ(InsertRows("", "t", rows), std::vector<int>(rows.size(), 0));
  EXPECT_EQ(Stored(), (Rows{{"integer:12 real:2.5 text:'hello' text:'x'"},
                            {"text:'' text:'' text:'' text:''"},
                            {"integer:7 real:1000.0 text:'12' text:'1e3'"},
                            {"text:'12 kg' text:'nan' text:'-0' text:'a\"b''c'"}}));
  Opened bound;
  rows[2] = {"7", "1000", "12", "1e3"};
  EXPECT_EQ(Read("", "t"), rows);
  // A binding of no column writes nothing.
  Sql("DELETE FROM t");
  ASSERT_TRUE(OpenAll(&bound, file_, "t", {"s", "nosuch", "i", "s"}));
  EXPECT_EQ(Insert(bound, {"first", "ignored", "5", "second"}), 0);
  Layout none = Bind(bound.rowset.get(), {"nosuch"});
  EXPECT_EQ(Insert(bound.insert.get(), none, {"x"}), 0);
  bound.rowset->ReleaseAccessor(none.handle);
  EXPECT_EQ(Stored(),
            (Rows{{"integer:5 null:NULL text:'first' null:NULL"}, {"null:NULL null:NULL null:NULL null:NULL"}}));
  EXPECT_TRUE(Errors().empty());
}

// A constraint or trigger that drops the row silently.
TEST_F(SqliteRowsetTest, InsertThatChangesNoRowWarnsNamingTheTable) {
  for (const char* ignore :
       {"INSERT INTO t(i) VALUES (1)", "CREATE TRIGGER g BEFORE INSERT ON t BEGIN SELECT RAISE(IGNORE); END"}) {
    Sql(std::string("DROP TABLE IF EXISTS t; CREATE TABLE t(i INTEGER UNIQUE ON CONFLICT IGNORE, r REAL);") + ignore);
    KezDcCMError::ClearErrors();
    EXPECT_EQ(InsertRows("", "t", {{"1", ""}}), std::vector<int>{0});
    EXPECT_EQ(Errors(), Texts{"WARNING: sqlite rowset <t> of <" + file_ +
                              ">: the insert changed no row (a constraint or trigger of the table ignored it) \n"});
  }
}

// The session's own reads see its open batch.
TEST_F(SqliteRowsetTest, EveryRowIsCommittedAtOnceOrBatchesEveryNRowsOrAtExit) {
  Sql(kInsertTable);
  for (const char* options : {"", "?batch=3"}) {
    Sql("DELETE FROM t");
    Opened o;
    ASSERT_TRUE(OpenAll(&o, file_ + options, "t"));
    Texts counts;
    for (int k = 1; k <= 4; ++k) counts.push_back(Insert(o, {std::to_string(k)}) == 0 ? Count() : "failed");
    EXPECT_EQ(counts, options[0] ? (Texts{"0", "0", "3", "3"}) : (Texts{"1", "2", "3", "4"}));
    EXPECT_EQ(ReadAll(o).size(), 4u);
  }
  Sql("DELETE FROM t");
  EXPECT_EXIT(
      {
        Opened* o = new Opened;  // held to the end: the exit commits the batch of 100
        std::exit(OpenAll(o, file_ + "?batch=100", "t") && Insert(*o, {"1"}) + Insert(*o, {"2"}) == 0 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(Count(), "2");
}

class SqliteRefCountTest : public SqliteFixture, public ::testing::WithParamInterface<int> {};

// Whatever is still referenced keeps working, the open batch commits when
// the session, rowset or insert interface goes, the connection closes last.
TEST_P(SqliteRefCountTest, AnyReleaseOrderCommitsAndFreesEverythingOnlyAtTheEnd) {
  Sql("CREATE TABLE t(a INTEGER); INSERT INTO t VALUES (1)");
  Opened o;
  ASSERT_TRUE(OpenAll(&o, file_ + "?batch=100", "t"));
  EXPECT_EQ(Insert(o, {"2"}) + Insert(o, {"3"}), 0);
  KezIDcDbSimpleRowset* rowset = o.rowset.get();
  Layout layout = std::move(o.layout);
  KezIDcDbUnknown* objects[4] = {o.source.release(), o.session.release(), o.rowset.release(), o.insert.release()};
  std::vector<int> order = {0, 1, 2, 3};
  for (int k = 0; k < GetParam(); ++k) std::next_permutation(order.begin(), order.end());
  int session_holders = 3;  // session, rowset and insert interface keep the connection
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(kez::test::AccessFaults::OpenConnections(), session_holders > 0 ? 1 : 0);
    EXPECT_EQ(Count(), session_holders == 3 ? "1" : "3");
    if (order[k] == 2) {
      EXPECT_EQ(ReadAll(rowset, layout), (Rows{{"1"}, {"2"}, {"3"}}));
      rowset->ReleaseAccessor(layout.handle);
    }
    objects[order[k]]->Release();
    if (order[k] != 0) --session_holders;
  }
  EXPECT_EQ(Count(), "3");
  EXPECT_TRUE(Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(AllOrders, SqliteRefCountTest, ::testing::Range(0, 24));

}  // namespace
}  // namespace test
}  // namespace kez
