// Every operation of the access layer failing in turn, with each kind of
// code, at one call or at every call, while a client follows the road of a
// query. Every message names that failure, every row reported as inserted
// is in the table once, nothing is lost, and the road recovers afterwards.
#include <algorithm>
#include <map>
#include <set>

#include "backends/BackendFixture.h"

namespace kez {
namespace test {
namespace {

using F = kez::test::AccessFaults;

const std::string kOrders = "@m:main:orders:{item+amount}:2";
const std::string kCopy = "@m:main:copy:{item+amount}:1";
const RoadRows kRows = {{"w1", "10"}, {"w2", "20"}, {"w3", "30"}};

// The messages that a failure of the operation with the code may cause.
std::set<std::string> Allowed(F::Operation op, int code) {
  const std::string c = std::to_string(code), copy = "no row buffer for <" + kCopy;
  std::set<std::string> allowed = {
      "ERROR: Cell <item> can't be written: " + copy + ":item> (its rowset isn't open) ! \n",
      "ERROR: Cell <amount> can't be written: " + copy + ":amount> (its rowset isn't open) ! \n",
      "ERROR in QrQRData::PutQResult  No row inserted into <" + kCopy + ">: its rowset isn't open \n",
      "ERROR: Illegal operator '*' on a string !\n"};  // a cell read as the empty text is no number
  const std::map<F::Operation, std::vector<std::string>> more = {
      {F::kCreateDataSource,
       {"ERROR: Impossible to load DataSource @m \n", "ERROR: Impossible to open Session @m:main \n"}},
      {F::kOpenSession, {"ERROR: Openning Session @m:main failed with rc=" + c + "\n"}},
      {F::kQueryInterface, {"ERROR QrQRRowset::GetWriteQResult: Error in QueryInterface with Rc=" + c + " \n"}},
      {F::kInsertRow, {"ERROR in QrQRData::PutQResult  Error in InsertRow with Rc=" + c + " \n"}},
      {F::kGetDataSeq,
       {"ERROR in QrQRData: row 1 of the block of <" + kOrders + "> can't be read (GetDataSeq rc=" + c + ") \n",
        "ERROR in QrQRData: row 2 of the block of <" + kOrders + "> can't be read (GetDataSeq rc=" + c + ") \n"}}};
  if (more.count(op)) allowed.insert(more.at(op).begin(), more.at(op).end());
  if (op == F::kCreateDataSource || op == F::kOpenSession)
    allowed.insert(
        {"ERROR: Impossible to open Rowset @m:main:orders \n", "ERROR: Impossible to open Rowset @m:main:copy \n"});
  return allowed;
}

// Over memory:shop as "m"; handles the layer refused to take back are accounted for at the end.
class FaultInjectionTest : public KezTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    KezTest::SetUp();
    rows_at_start_ = F::OutstandingRows();
    accessors_at_start_ = F::LiveAccessors();
    KezDcDbDataSourceFactory::RegisterDataSource("m", "memory:shop");
    FreshTables();
  }
  void TearDown() override {
    KezDcQrQuery::DeleteAllQueries();
    KezDcDbMemory::DropAll();
    EXPECT_EQ(F::LiveObjects(), 0) << "memory backend objects left alive";
    EXPECT_EQ(F::OutstandingRows() - rows_at_start_, refused_rows_) << "row handles never released";
    EXPECT_EQ(F::LiveAccessors() - accessors_at_start_, refused_accessors_) << "accessor handles never released";
    KezDcCMError::ClearErrors();
  }

  static void FreshTables() {
    const std::vector<KezDcDbMemoryColumn> columns = {{"item", KEZDCDB_TYPESTRING, 16}, {"amount", KEZDCDB_TYPEI4, 4}};
    KezDcDbMemory::CreateRowset("shop", "orders", columns);
    KezDcDbMemory::CreateRowset("shop", "copy", columns);
    for (int k = 1; k <= 5; ++k)
      KezDcDbMemory::AppendRow("shop", "orders", {"o" + std::to_string(k), std::to_string(k)});
    KezDcCMError::ClearErrors();
  }

  // Runs the road with the failure scripted (call 0: at every call) and checks what it left.
  void RunFailing(F::Operation op, int code, int call) {
    FreshTables();
    long calls = F::CallCount(op), rows = F::OutstandingRows();
    int accessors = F::LiveAccessors();
    call == 0 ? F::FailAlways(op, code) : F::FailAt(op, code, call);
    RoadResult road = FollowTheRoad(kOrders, kCopy, kRows);
    bool fired = F::CallCount(op) - calls >= std::max(call, 1);
    F::ClearFailures();
    std::set<std::string> allowed = Allowed(op, code);
    for (const std::string& e : Errors())
      EXPECT_TRUE(allowed.count(e)) << "code " << code << " at call " << call << ": " << e;
    // The library reports these failures itself; the others are the layer's to report, as SQLite does.
    bool reports = op == F::kCreateDataSource || op == F::kOpenSession || op == F::kQueryInterface ||
                   ((op == F::kInsertRow || op == F::kGetDataSeq) && code > 0);
    EXPECT_TRUE(!fired || !reports || !Errors().empty()) << "the failure went unreported";
    EXPECT_EQ(KezDcDbMemory::GetRows("shop", "copy"), road.reported) << "rows reported as inserted";
    EXPECT_TRUE(op != F::kInsertRow || code >= 0 || road.reported == kRows) << "a negative insert code is a success";
    // A refused release leaves the layer holding what it refused: once, one
    // block of at most two rows (maybe an empty one) or one accessor;
    // always, every block and accessor of the road.
    long kept_rows = F::OutstandingRows() - rows;
    int kept_accessors = F::LiveAccessors() - accessors;
    bool rows_refused = fired && op == F::kReleaseRows, accessor_refused = fired && op == F::kReleaseAccessor;
    EXPECT_TRUE(rows_refused ? kept_rows >= 0 && (call == 0 || kept_rows <= 2) : kept_rows == 0) << kept_rows;
    EXPECT_TRUE(accessor_refused ? kept_accessors >= 1 && (call == 0 || kept_accessors == 1) : kept_accessors == 0)
        << kept_accessors << " accessors kept";
    refused_rows_ += kept_rows;
    refused_accessors_ += kept_accessors;
  }

  long refused_rows_ = 0, rows_at_start_ = 0;
  int refused_accessors_ = 0, accessors_at_start_ = 0;
};

// Codes: the waiting codes of a fetch, the end of a rowset, an ordinary
// failure, a negative code; calls: the first, a later one, every call.
TEST_P(FaultInjectionTest, EachCodeAtTheFirstAndALaterCallLosesNothingAndTheRoadRecovers) {
  const auto op = static_cast<F::Operation>(GetParam());
  RoadResult clean = FollowTheRoad(kOrders, kCopy, kRows);
  ASSERT_TRUE(Errors().empty());
  ASSERT_EQ(clean.reported.size(), 3u);
  for (int code : {1, 2, 3, 8, -1}) {
    for (int call : {1, 2, 4, 0}) {
      RunFailing(op, code, call);
      FreshTables();
      RoadResult again = FollowTheRoad(kOrders, kCopy, kRows);
      EXPECT_TRUE(again.values == clean.values && again.reported == clean.reported && Errors().empty() &&
                  KezDcDbMemory::GetRows("shop", "copy") == clean.reported)
          << "the road does not recover after code " << code << " at call " << call << " (0: every call)";
    }
  }
}

std::string OperationName(const ::testing::TestParamInfo<int>& info) {
  static const char* const kNames[] = {"CreateDataSource", "OpenSession",    "OpenRowset",  "QueryInterface",
                                       "GetColumnsInfo",   "CreateAccessor", "GetNextRows", "GetDataSeq",
                                       "ReleaseAccessor",  "ReleaseRows",    "InsertRow"};
  return kNames[info.param];
}
INSTANTIATE_TEST_SUITE_P(EveryOperation, FaultInjectionTest, ::testing::Range(0, int{F::kOperationCount}),
                         OperationName);

}  // namespace
}  // namespace test
}  // namespace kez
