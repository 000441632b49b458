// A copy of a table of awkward values, made with the documented idiom
// (one put per column, then the put of the data block, row after row),
// through kezq and through the library, with a commit per row and in
// batches, equals its source value for value: NULL as NULL, texts octet
// for octet, numbers as numbers of equal value; only the declared cut of a
// too-long text differs, and it is reported.
#include <tuple>

#include "backends/BackendFixture.h"
#include "support/KezqRun.h"

namespace kez {
namespace test {
namespace {

const char* const kColumns[] = {"id", "i", "r", "t", "c"};

const char* const kSchema = R"sql(
CREATE TABLE s (id INTEGER PRIMARY KEY, i INTEGER, r REAL, t TEXT, c TEXT);
CREATE TABLE d (id INTEGER PRIMARY KEY, i INTEGER, r REAL, t TEXT, c VARCHAR(8));
INSERT INTO s VALUES
  (2147483647, 9007199254740993, 3.141592653589793, 'say "hi"', 'ok'),
  (2147483648, -2147483649, 0.1, '"abc', NULL),
  (9007199254740993, NULL, 5e-324, '"', ''),
  (1, 0, 1.7976931348623157e308, 'INFINITY', 'Infinity'),
  (2, 7, NULL, '0x1F', 'a' || char(233, 233, 233, 233, 233, 233, 233)),
  (3, -1, 0.33333333333333331, '007', ' 12'),
  (4, NULL, 2.0, '', char(128512) || 'x'),
  (5, 12, -1e-7, NULL, 'NaN'),
  (6, 1, 12345678.0, ' 12', '"q"'),
  (7, NULL, NULL, NULL, NULL);
)sql";

// Rows of d that differ from s in a value or in its storage type.
const char* const kDifferences = R"sql(
SELECT s.id FROM s LEFT JOIN d ON d.id = s.id
 WHERE d.id IS NULL OR NOT (s.i IS d.i AND typeof(s.i) = typeof(d.i) AND s.r IS d.r AND typeof(s.r) = typeof(d.r)
   AND s.t IS d.t AND typeof(s.t) = typeof(d.t) AND
   (s.c IS d.c AND typeof(s.c) = typeof(d.c) OR s.id = 2 AND d.c = 'a' || char(233, 233, 233)))
 ORDER BY s.id)sql";

const char* const kCutWarning =
    "WARNING: a value of 15 octets put into cell <@r:main:d:{*}:1:c> was cut to its 8-octet field; open the data "
    "source with text_size=15 or more (and declared_size=0 when the column declares its length) to fit it ";

std::string Cell(const char* table, const char* block, const char* column) {
  return std::string("@r:main:") + table + ":{*}:" + block + ":" + column;
}

std::vector<std::string> CopyQueries() {
  std::vector<std::string> queries;
  for (const char* column : kColumns) {
    queries.push_back("Put(" + Cell("s", "4", column) + ", " + Cell("d", "1", column) + ")");
  }
  queries.push_back("Put(@r:main:d:{*}:1)");
  return queries;
}

class CopyFidelityTest : public ::testing::TestWithParam<std::tuple<bool, std::string>> {
 protected:
  void SetUp() override {
    KezDcCMError::ClearErrors();
    db_.Sql(kSchema);
  }
  void TearDown() override {
    KezDcQrQuery::DeleteAllQueries();
    KezDcDbDataSourceFactory::UnregisterDataSource("r");
    KezDcCMError::ClearErrors();
  }

  // Copies s into d with the library; returns the messages it reported.
  std::vector<std::string> CopyWithLibrary(const std::string& uri) {
    KezDcDbDataSourceFactory::RegisterDataSource("r", uri.c_str());
    std::vector<KezDcQrQuery*> queries;
    for (const std::string& text : CopyQueries()) queries.push_back(KezDcQrQuery::NewQuery(text.c_str()));
    KezDcQrQResult* block = KezDcQrQResult::NewQResult("@r:main:s:{*}:4");
    block->GetData();
    for (int rows = 0; block->IsMoreData() && rows < 100; ++rows) {
      for (KezDcQrQuery* query : queries) query->DoQuery();
      block->GetNextLine();
    }
    KezDcQrQuery::DeleteAllQueries();  // commits the open batch
    return Errors();
  }

  // Copies s into d with kezq (-k: the reported cut does not stop it);
  // returns its standard error.
  std::string CopyWithKezq(const std::string& uri) {
    std::vector<std::string> args = {"-k", "-s", "r=" + uri, "-r", "@r:main:s:{*}:4"};
    for (const std::string& query : CopyQueries()) args.push_back(query);
    return RunKezq(args).err;
  }

  SqliteDatabase db_;
};

TEST_P(CopyFidelityTest, TheCopyEqualsItsSourceValueForValue) {
  std::string uri = db_.Uri(std::get<1>(GetParam()));
  if (std::get<0>(GetParam())) {
    ASSERT_TRUE(KezqBuilt());
    EXPECT_EQ(CopyWithKezq(uri), "argument 5: " + std::string(kCutWarning) + "\n");
  } else {
    EXPECT_EQ(CopyWithLibrary(uri), (std::vector<std::string>{std::string(kCutWarning) + "\n"}));
  }
  EXPECT_EQ(db_.Select("SELECT count(*) FROM d"), (Table{{"10"}}));
  EXPECT_EQ(db_.Select(kDifferences), Table{});
}

INSTANTIATE_TEST_SUITE_P(Ways, CopyFidelityTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Values("", "batch=100")),
                         [](const ::testing::TestParamInfo<std::tuple<bool, std::string>>& info) {
                           return std::string(std::get<0>(info.param) ? "Kezq" : "Library") +
                                  (std::get<1>(info.param).empty() ? "RowByRow" : "InBatches");
                         });

}  // namespace
}  // namespace test
}  // namespace kez
