// Inserting through the SQLite backend: field texts bound as typed values,
// read-back, inserts that change no row, every row committed at once by
// default, batches committed at N rows and at a normal exit. (Commits when
// a holder of the batch is released: sqlite_read_test.cpp.)
#include <sys/wait.h>

#include <cstdlib>

#include "support/SqliteTestSupport.h"

namespace kez {
namespace test {
namespace {

class SqliteInsertTest : public SqliteFixture {
 protected:
  void SetUp() override {
    SqliteFixture::SetUp();
    Sql("CREATE TABLE t(i INTEGER, r REAL, s TEXT, v VARCHAR(10))");
  }
  void TearDown() override {
    insert_.reset();
    o_.reset();
    SqliteFixture::TearDown();
  }

  // Opens t afresh with the options, binds the columns (every one when
  // names is empty) and obtains the insert interface.
  void OpenTable(const std::string& options = "", Texts names = {}) {
    insert_.reset();
    o_ = std::make_unique<Opened>();
    ASSERT_TRUE(OpenAll(o_.get(), db_ + options, "t", std::move(names)));
    insert_.reset(OpenInsert(o_->rowset.get()));
    ASSERT_TRUE(insert_);
  }
  int Insert(const Texts& values) { return SqliteFixture::Insert(insert_.get(), o_->layout, values); }

  // Rows of t as other connections see them, with SQLite's storage types.
  Rows Stored() const {
    return Select(
        "SELECT typeof(i) || ':' || quote(i) || ' ' || typeof(r) || ':' || quote(r) || ' ' ||"
        " typeof(s) || ':' || quote(s) || ' ' || typeof(v) || ':' || quote(v) FROM t ORDER BY rowid");
  }

  std::unique_ptr<Opened> o_;
  Ref<KezIDcDbInsertRowset> insert_;
};

// Numeric fields bind as numbers only when their text is a plain decimal
// number; every other text, the empty one included, is kept as it is. What
// went in reads back exactly.
TEST_F(SqliteInsertTest, NumericFieldsBindAsNumbersOnlyWhenDecimalAndTextFieldsAsText) {
  OpenTable();
  Rows rows = {{"12", "2.5", "hello", "x"},
               {"", "", "", ""},
               {" 7 ", "+1e3", "12", "1e3"},
               {"12 kg", "nan", "-0", "a\"b'c"},
               {"0x1F", "INFINITY", "007", "\"q\""},
               {"-9223372036854775808", "0.30000000000000004", "\xC3\xA9t\xC3\xA9", "0123456789"},
               {"1", "1e-320", "", ""}};
  for (const auto& row : rows) EXPECT_EQ(Insert(row), 0);
  Rows stored = Stored();
  stored.resize(5);  // the last two rows are checked by reading them back
  EXPECT_EQ(stored, (Rows{{"integer:12 real:2.5 text:'hello' text:'x'"},
                          {"text:'' text:'' text:'' text:''"},
                          {"integer:7 real:1000.0 text:'12' text:'1e3'"},
                          {"text:'12 kg' text:'nan' text:'-0' text:'a\"b''c'"},
                          {"text:'0x1F' text:'INFINITY' text:'007' text:'\"q\"'"}}));
  Opened reader;
  ASSERT_TRUE(OpenAll(&reader, db_, "t"));
  rows[2] = {"7", "1000", "12", "1e3"};
  EXPECT_EQ(ReadAll(reader), rows);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(SqliteInsertTest, OnlyBoundColumnsAreWrittenAndTheFirstBindingOfAColumnWins) {
  OpenTable("", {"s", "nosuch", "i", "s"});
  EXPECT_EQ(Insert({"first", "ignored", "5", "second"}), 0);
  Layout none = Bind(o_->rowset.get(), {"nosuch"});
  EXPECT_EQ(SqliteFixture::Insert(insert_.get(), none, {"x"}), 0);
  o_->rowset->ReleaseAccessor(none.handle);
  EXPECT_EQ(Stored(),
            (Rows{{"integer:5 null:NULL text:'first' null:NULL"}, {"null:NULL null:NULL null:NULL null:NULL"}}));
}

// A constraint or trigger that silently drops the row: the insert succeeds
// but says that no row went in.
TEST_F(SqliteInsertTest, InsertThatChangesNoRowWarnsNamingTheTable) {
  for (const char* ignore :
       {"INSERT INTO t(i) VALUES (1)", "CREATE TRIGGER g BEFORE INSERT ON t BEGIN SELECT RAISE(IGNORE); END"}) {
    SCOPED_TRACE(ignore);
    insert_.reset();
    o_.reset();
    Sql("DROP TABLE t; CREATE TABLE t(i INTEGER UNIQUE ON CONFLICT IGNORE, r REAL, s TEXT, v VARCHAR(10))");
    Sql(ignore);
    OpenTable();
    KezDcCMError::ClearErrors();
    EXPECT_EQ(Insert({"1", "", "", ""}), 0);
    EXPECT_EQ(Errors(), Texts{"WARNING: sqlite rowset <t> of <" + db_ +
                              ">: the insert changed no row (a constraint or trigger of the table ignored it) \n"});
  }
}

TEST_F(SqliteInsertTest, EveryRowIsCommittedAtOnceOrBatchesEveryNRows) {
  const struct {
    const char* options;
    Texts counts;  // after each insert
  } cases[] = {{"", {"1", "2", "3", "4"}}, {"?batch=3", {"0", "0", "3", "3"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    Sql("DELETE FROM t");
    OpenTable(c.options);
    for (int k = 1; k <= 4; ++k) {
      EXPECT_EQ(Insert({std::to_string(k)}), 0);
      EXPECT_EQ(Count(), c.counts[k - 1]);
    }
    // The session's own reads see its open batch.
    EXPECT_EQ(ReadAll(*o_).size(), 4u);
  }
}

TEST_F(SqliteInsertTest, PendingBatchIsCommittedAtNormalExit) {
  // The child inserts two rows of a batch of 100 and exits holding everything.
  EXPECT_EXIT(
      {
        OpenTable("?batch=100");
        Insert({"1"});
        Insert({"2"});
        std::exit(0);
      },
      [](int status) { return WIFEXITED(status); }, "");
  EXPECT_EQ(Count(), "2");
}

}  // namespace
}  // namespace test
}  // namespace kez
