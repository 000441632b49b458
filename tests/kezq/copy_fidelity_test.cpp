// A copy of a table of awkward values, made with the documented idiom
// (one put per column, then the put of the data block, row after row),
// through kezq and through the library, with a commit per row and in
// batches, equals its source value for value: NULL as NULL, texts octet
// for octet, numbers as numbers of equal value; only the declared cut of a
// too-long text differs, and it is reported.
#include "backends/BackendFixture.h"
#include "support/KezqRun.h"

namespace kez {
namespace test {
namespace {

const char* const kCutWarning =
    "WARNING: a value of 15 octets put into cell <@r:main:d:{*}:1:c> was cut to its 8-octet field; open the data "
    "source with text_size=15 or more (and declared_size=0 when the column declares its length) to fit it ";

// The parameter: through kezq or the library, and the data source's options.
class CopyFidelityTest : public KezTest, public ::testing::WithParamInterface<std::pair<bool, std::string>> {
 protected:
  void TearDown() override {
    KezDcDbDataSourceFactory::UnregisterDataSource("r");
    KezTest::TearDown();
  }
  TestDatabase db_;
};

TEST_P(CopyFidelityTest, TheCopyEqualsItsSourceValueForValue) {
  db_.Sql(R"sql(
    CREATE TABLE s (id INTEGER PRIMARY KEY, i INTEGER, r REAL, t TEXT, c TEXT);
    CREATE TABLE d (id INTEGER PRIMARY KEY, i INTEGER, r REAL, t TEXT, c VARCHAR(8));
    INSERT INTO s VALUES (2147483647, 9007199254740993, 3.141592653589793, 'say "hi"', 'ok'),
      (2147483648, -2147483649, 0.1, '"abc', NULL), (9007199254740993, NULL, 5e-324, '"', ''),
      (1, 0, 1.7976931348623157e308, 'INFINITY', 'Infinity'),
      (2, 7, NULL, '0x1F', 'a' || char(233, 233, 233, 233, 233, 233, 233)),
      (3, -1, 0.33333333333333331, '007', ' 12'), (4, NULL, 2.0, '', char(128512) || 'x'),
      (5, 12, -1e-7, NULL, 'NaN'), (6, 1, 12345678.0, ' 12', '"q"'), (7, NULL, NULL, NULL, NULL))sql");
  std::vector<std::string> queries;
  for (const char* column : {"id", "i", "r", "t", "c"})
    queries.push_back(std::string("Put(@r:main:s:{*}:4:") + column + ", @r:main:d:{*}:1:" + column + ")");
  queries.push_back("Put(@r:main:d:{*}:1)");
  const std::string uri = db_.Uri(GetParam().second);
  if (GetParam().first) {  // -k: the reported cut does not stop it
    queries.insert(queries.begin(), {"-k", "-s", "r=" + uri, "-r", "@r:main:s:{*}:4"});
    EXPECT_EQ(RunKezq(queries).err, "argument 5: " + std::string(kCutWarning) + "\n");
  } else {
    KezDcDbDataSourceFactory::RegisterDataSource("r", uri.c_str());
    std::vector<KezDcQrQuery*> made;
    for (const std::string& text : queries) made.push_back(KezDcQrQuery::NewQuery(text.c_str()));
    KezDcQrQResult* block = KezDcQrQResult::NewQResult("@r:main:s:{*}:4");
    block->GetData();
    for (int rows = 0; block->IsMoreData() && rows < 100; ++rows, block->GetNextLine())
      for (KezDcQrQuery* query : made) query->DoQuery();
    KezDcQrQuery::DeleteAllQueries();  // commits the open batch
    EXPECT_EQ(Errors(), (std::vector<std::string>{std::string(kCutWarning) + "\n"}));
  }
  EXPECT_EQ(db_.Select("SELECT count(*) FROM d"), (Table{{"10"}}));
  // Rows of d that differ from s in a value or in its storage type.
  EXPECT_EQ(db_.Select(R"sql(
    SELECT s.id FROM s LEFT JOIN d ON d.id = s.id WHERE d.id IS NULL OR NOT (s.i IS d.i AND typeof(s.i) = typeof(d.i)
      AND s.r IS d.r AND typeof(s.r) = typeof(d.r) AND s.t IS d.t AND typeof(s.t) = typeof(d.t) AND
      (s.c IS d.c AND typeof(s.c) = typeof(d.c) OR s.id = 2 AND d.c = 'a' || char(233, 233, 233))))sql"),
            Table{});
}

INSTANTIATE_TEST_SUITE_P(Ways, CopyFidelityTest,
                         ::testing::Values(std::make_pair(false, ""), std::make_pair(false, "batch=100"),
                                           std::make_pair(true, ""), std::make_pair(true, "batch=100")),
                         [](const auto& info) {
                           return std::string(info.param.first ? "Kezq" : "Library") +
                                  (info.param.second.empty() ? "RowByRow" : "InBatches");
                         });

}  // namespace
}  // namespace test
}  // namespace kez
