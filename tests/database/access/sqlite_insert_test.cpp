// Inserting through the SQLite backend: field texts bound as typed values,
// read-back, every row committed at once by default, and batches committed
// at N rows and whenever the insert interface, rowset or session goes.
#include <sys/wait.h>

#include <cstdlib>

#include "tests/database/access/SqliteTestSupport.h"

namespace kez_test {
namespace {

class SqliteInsertTest : public SqliteFixture {
 protected:
  void SetUp() override {
    SqliteFixture::SetUp();
    db_ = Path("insert.db");
    Sql(db_, "CREATE TABLE t(i INTEGER, r REAL, s TEXT, v VARCHAR(10))");
  }

  // Opens t with the options and binds every column.
  void OpenTable(const std::string& options = "") {
    OpenAll(&o_, db_ + options, "t");
    ASSERT_TRUE(o_.rowset);
    layout_ = Bind(o_.rowset.get());
    insert_.Set(OpenInsert(o_.rowset.get()));
    ASSERT_TRUE(insert_);
  }

  void TearDown() override {
    if (o_.rowset) o_.rowset->ReleaseAccessor(layout_.handle);
    insert_.Reset();
    o_.rowset.Reset();
    o_.session.Reset();
    o_.source.Reset();
    SqliteFixture::TearDown();
  }

  // Rows of t as other connections see them, with SQLite's storage types.
  std::vector<std::string> Stored() const {
    return Column(db_,
                  "SELECT typeof(i) || ':' || quote(i) || ' ' || typeof(r) || ':' || quote(r) || ' ' ||"
                  " typeof(s) || ':' || quote(s) || ' ' || typeof(v) || ':' || quote(v) FROM t ORDER BY rowid");
  }
  std::string Count() const { return Column(db_, "SELECT count(*) FROM t")[0]; }

  std::string db_;
  Opened o_;
  Layout layout_;
  Ref<KezIDcDbInsertRowset> insert_;
};

TEST_F(SqliteInsertTest, NumericFieldsBindAsNumbersOrNullAndTextFieldsAsText) {
  OpenTable();
  EXPECT_EQ(Insert(insert_.get(), layout_, {"12", "2.5", "hello", "x"}), 0);
  EXPECT_EQ(Insert(insert_.get(), layout_, {"", "", "", ""}), 0);
  EXPECT_EQ(Insert(insert_.get(), layout_, {" 7 ", "+1e3", "12", "1e3"}), 0);
  EXPECT_EQ(Insert(insert_.get(), layout_, {"12 kg", "nan", "-0", "a\"b'c"}), 0);
  EXPECT_EQ(Stored(),
            (std::vector<std::string>{
                "integer:12 real:2.5 text:'hello' text:'x'", "null:NULL null:NULL text:'' text:''",
                "integer:7 real:1000.0 text:'12' text:'1e3'", "text:'12 kg' text:'nan' text:'-0' text:'a\"b''c'"}));
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 0);
}

TEST_F(SqliteInsertTest, InsertedRowsReadBackWithRealsExact) {
  OpenTable();
  EXPECT_EQ(Insert(insert_.get(), layout_, {"-9223372036854775808", "0.30000000000000004", "\xC3\xA9t\xC3\xA9", ""}),
            0);
  EXPECT_EQ(Insert(insert_.get(), layout_, {"1", "1e-320", "", "0123456789"}), 0);
  Opened reader;
  OpenAll(&reader, db_, "t");
  Layout layout = Bind(reader.rowset.get());
  EXPECT_EQ(
      ReadAll(reader.rowset.get(), layout),
      (std::vector<std::vector<std::string>>{{"-9223372036854775808", "0.30000000000000004", "\xC3\xA9t\xC3\xA9", ""},
                                             {"1", "1e-320", "", "0123456789"}}));
  reader.rowset->ReleaseAccessor(layout.handle);
}

TEST_F(SqliteInsertTest, OnlyBoundColumnsAreWrittenAndTheFirstBindingOfAColumnWins) {
  OpenAll(&o_, db_, "t");
  ASSERT_TRUE(o_.rowset);
  insert_.Set(OpenInsert(o_.rowset.get()));
  layout_ = Bind(o_.rowset.get(), {"s", "nosuch", "i", "s"});
  EXPECT_EQ(Insert(insert_.get(), layout_, {"first", "ignored", "5", "second"}), 0);
  Layout none = Bind(o_.rowset.get(), {"nosuch"});
  EXPECT_EQ(Insert(insert_.get(), none, {"x"}), 0);
  o_.rowset->ReleaseAccessor(none.handle);
  EXPECT_EQ(Stored(), (std::vector<std::string>{"integer:5 null:NULL text:'first' null:NULL",
                                                "null:NULL null:NULL null:NULL null:NULL"}));
}

TEST_F(SqliteInsertTest, EveryRowIsCommittedWhenInsertRowReturns) {
  OpenTable();
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(Insert(insert_.get(), layout_, {std::to_string(k)}), 0);
    EXPECT_EQ(Count(), std::to_string(k));
  }
}

TEST_F(SqliteInsertTest, BatchCommitsEveryNRows) {
  OpenTable("?batch=3");
  EXPECT_EQ(Insert(insert_.get(), layout_, {"1"}), 0);
  EXPECT_EQ(Insert(insert_.get(), layout_, {"2"}), 0);
  EXPECT_EQ(Count(), "0");
  EXPECT_EQ(Insert(insert_.get(), layout_, {"3"}), 0);
  EXPECT_EQ(Count(), "3");
  EXPECT_EQ(Insert(insert_.get(), layout_, {"4"}), 0);
  EXPECT_EQ(Count(), "3");
  // The session's own reads see its open batch.
  EXPECT_EQ(ReadAll(o_.rowset.get(), layout_).size(), 4u);
}

TEST_F(SqliteInsertTest, PendingBatchIsCommittedAtNormalExit) {
  // The child inserts two rows of a batch of 100 and exits holding everything.
  EXPECT_EXIT(
      {
        OpenTable("?batch=100");
        Insert(insert_.get(), layout_, {"1"});
        Insert(insert_.get(), layout_, {"2"});
        std::exit(0);
      },
      [](int status) { return WIFEXITED(status); }, "");
  EXPECT_EQ(Count(), "2");
}

enum class Released { kInsert, kRowset, kSession };

class SqliteBatchReleaseTest : public SqliteInsertTest, public ::testing::WithParamInterface<Released> {};

TEST_P(SqliteBatchReleaseTest, PendingRowsAreCommittedWhenAnyHolderIsReleased) {
  OpenTable("?batch=100");
  EXPECT_EQ(Insert(insert_.get(), layout_, {"1"}), 0);
  EXPECT_EQ(Insert(insert_.get(), layout_, {"2"}), 0);
  EXPECT_EQ(Count(), "0");
  switch (GetParam()) {
    case Released::kInsert:
      insert_.Reset();
      break;
    case Released::kRowset:
      o_.rowset->ReleaseAccessor(layout_.handle);
      o_.rowset.Reset();  // the insert interface still holds the rowset
      break;
    case Released::kSession:
      o_.session.Reset();  // the rowset still holds the session
      break;
  }
  EXPECT_EQ(Count(), "2");
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 0);
}

INSTANTIATE_TEST_SUITE_P(Holders, SqliteBatchReleaseTest,
                         ::testing::Values(Released::kInsert, Released::kRowset, Released::kSession));

}  // namespace
}  // namespace kez_test
