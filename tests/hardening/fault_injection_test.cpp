// Every operation of the access layer failing in turn, with each kind of
// code, at one call or at every call, while a client follows the road of a
// query. Every message names that failure, every row reported as inserted
// is in the table once, nothing is lost, and the road recovers afterwards.
#include <algorithm>
#include <set>

#include "support/AccessFaults.h"
#include "support/HardeningSupport.h"

namespace kez {
namespace test {
namespace {

using Op = kez::test::AccessFaults::Operation;

const std::string kOrders = "@m:main:orders:{item+amount}:2";
const std::string kCopy = "@m:main:copy:{item+amount}:1";
// Codes a failing operation returns: the waiting codes of a fetch, the end
// of a rowset, an ordinary failure, and a negative code.
const int kCodes[] = {1, 2, 3, 8, -1};
// The call that fails: the first, a later one, or (0) every call.
const int kCalls[] = {1, 2, 4, 0};
const std::vector<KezDcDbMemoryRow> kRows = {{"w1", "10"}, {"w2", "20"}, {"w3", "30"}};

std::vector<std::string> Plus(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The messages that a failure of the operation with the code may cause.
std::vector<std::string> Allowed(Op op, int code) {
  const std::string c = std::to_string(code);
  const std::vector<std::string> consequences = {
      "ERROR: Cell <item> can't be written: no row buffer for <" + kCopy + ":item> (its rowset isn't open) ! \n",
      "ERROR: Cell <amount> can't be written: no row buffer for <" + kCopy + ":amount> (its rowset isn't open) ! \n",
      "ERROR in QrQRData::PutQResult  No row inserted into <" + kCopy + ">: its rowset isn't open \n",
      // a cell read as the empty text is no number to compute with
      "ERROR: Illegal operator '*' on a string !\n"};
  const std::vector<std::string> rowsets = {"ERROR: Impossible to open Rowset @m:main:orders \n",
                                            "ERROR: Impossible to open Rowset @m:main:copy \n"};
  switch (op) {
    case kez::test::AccessFaults::kCreateDataSource:
      return Plus(Plus(consequences, rowsets),
                  {"ERROR: Impossible to load DataSource @m \n", "ERROR: Impossible to open Session @m:main \n"});
    case kez::test::AccessFaults::kOpenSession:
      return Plus(Plus(consequences, rowsets), {"ERROR: Openning Session @m:main failed with rc=" + c + "\n"});
    case kez::test::AccessFaults::kQueryInterface:
      return Plus(consequences, {"ERROR QrQRRowset::GetWriteQResult: Error in QueryInterface with Rc=" + c + " \n"});
    case kez::test::AccessFaults::kInsertRow:
      return Plus(consequences, {"ERROR in QrQRData::PutQResult  Error in InsertRow with Rc=" + c + " \n"});
    case kez::test::AccessFaults::kGetDataSeq:
      return Plus(
          consequences,
          {"ERROR in QrQRData: row 1 of the block of <" + kOrders + "> can't be read (GetDataSeq rc=" + c + ") \n",
           "ERROR in QrQRData: row 2 of the block of <" + kOrders + "> can't be read (GetDataSeq rc=" + c + ") \n"});
    default:
      return consequences;
  }
}

// True when the library itself reports a failure of the operation with
// the code (the others are the layer's to report, as SQLite does).
bool LibraryReports(Op op, int code) {
  switch (op) {
    case kez::test::AccessFaults::kCreateDataSource:
    case kez::test::AccessFaults::kOpenSession:
    case kez::test::AccessFaults::kQueryInterface:
      return true;
    case kez::test::AccessFaults::kInsertRow:
    case kez::test::AccessFaults::kGetDataSeq:
      return code > 0;
    default:
      return false;
  }
}

class FaultInjectionTest : public HardeningTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    HardeningTest::SetUp();
    KezDcDbDataSourceFactory::RegisterDataSource("m", "memory:shop");
    FreshTables();
  }

  static void FreshTables() {
    const std::vector<KezDcDbMemoryColumn> columns = {{"item", KEZDCDB_TYPESTRING, 16}, {"amount", KEZDCDB_TYPEI4, 4}};
    KezDcDbMemory::CreateRowset("shop", "orders", columns);
    KezDcDbMemory::CreateRowset("shop", "copy", columns);
    for (int k = 1; k <= 5; ++k)
      KezDcDbMemory::AppendRow("shop", "orders", {"o" + std::to_string(k), std::to_string(k)});
  }

  // Runs the road with the failure scripted and checks what it left.
  void RunFailing(Op op, int code, int call) {
    FreshTables();
    KezDcCMError::ClearErrors();
    long calls = kez::test::AccessFaults::CallCount(op);
    long rows = kez::test::AccessFaults::OutstandingRows();
    int accessors = kez::test::AccessFaults::LiveAccessors();
    if (call == 0) {
      kez::test::AccessFaults::FailAlways(op, code);
    } else {
      kez::test::AccessFaults::FailAt(op, code, call);
    }
    RoadResult road = FollowTheRoad(kOrders, kCopy, kRows);
    bool fired = kez::test::AccessFaults::CallCount(op) - calls >= std::max(call, 1);
    kez::test::AccessFaults::ClearFailures();
    std::vector<std::string> allowed = Allowed(op, code);
    std::set<std::string> known(allowed.begin(), allowed.end());
    for (const std::string& e : Errors()) EXPECT_TRUE(known.count(e)) << "unexpected message: " << e;
    EXPECT_TRUE(!fired || !LibraryReports(op, code) || !Errors().empty()) << "the failure went unreported";
    EXPECT_EQ(KezDcDbMemory::GetRows("shop", "copy"), road.reported) << "rows reported as inserted";
    CheckGivenBack(op, fired, call == 0, rows, accessors);
  }

  // Every object is back; a refused release leaves the layer holding what
  // it refused: once, one block of at most two rows (maybe an empty one) or
  // one accessor; always, every block and accessor of the road.
  void CheckGivenBack(Op op, bool fired, bool always, long rows, int accessors) {
    EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), 0);
    long kept_rows = kez::test::AccessFaults::OutstandingRows() - rows;
    int kept_accessors = kez::test::AccessFaults::LiveAccessors() - accessors;
    bool rows_refused = fired && op == kez::test::AccessFaults::kReleaseRows;
    bool accessor_refused = fired && op == kez::test::AccessFaults::kReleaseAccessor;
    EXPECT_TRUE(rows_refused ? kept_rows >= 0 && (always || kept_rows <= 2) : kept_rows == 0)
        << kept_rows << " rows kept";
    EXPECT_TRUE(accessor_refused ? kept_accessors >= 1 && (always || kept_accessors == 1) : kept_accessors == 0)
        << kept_accessors << " accessors kept";
    refused_rows_ += kept_rows;
    refused_accessors_ += kept_accessors;
  }
};

TEST_P(FaultInjectionTest, EachCodeAtTheFirstAndALaterCallLosesNothingAndTheRoadRecovers) {
  const Op op = static_cast<Op>(GetParam());
  RoadResult clean = FollowTheRoad(kOrders, kCopy, kRows);
  ASSERT_TRUE(Errors().empty());
  ASSERT_EQ(clean.reported.size(), 3u);
  for (int code : kCodes) {
    for (int call : kCalls) {
      SCOPED_TRACE("code " + std::to_string(code) + (call ? " at call " + std::to_string(call) : " at every call"));
      RunFailing(op, code, call);
      FreshTables();
      KezDcCMError::ClearErrors();
      RoadResult again = FollowTheRoad(kOrders, kCopy, kRows);
      EXPECT_EQ(again.values, clean.values);
      EXPECT_EQ(again.reported, clean.reported);
      EXPECT_EQ(KezDcDbMemory::GetRows("shop", "copy"), clean.reported);
      EXPECT_TRUE(Errors().empty());
    }
  }
}

std::string OperationName(const ::testing::TestParamInfo<int>& info) {
  static const char* const kNames[] = {"CreateDataSource", "OpenSession",    "OpenRowset",  "QueryInterface",
                                       "GetColumnsInfo",   "CreateAccessor", "GetNextRows", "GetDataSeq",
                                       "ReleaseAccessor",  "ReleaseRows",    "InsertRow"};
  return kNames[info.param];
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, FaultInjectionTest,
                         ::testing::Range(0, int{kez::test::AccessFaults::kOperationCount}), OperationName);

// A code of 0 or below from InsertRow is a success by the interface's
// rule: the row is in the table and nothing is reported.
TEST_F(FaultInjectionTest, NegativeInsertCodeIsASuccess) {
  kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kInsertRow, -1);
  EXPECT_TRUE(InsertRow(kCopy, {"w1", "10"}));
  EXPECT_EQ(KezDcDbMemory::GetRows("shop", "copy"), (std::vector<KezDcDbMemoryRow>{{"w1", "10"}}));
  EXPECT_TRUE(Errors().empty());
}

// A row the layer fails to copy must not pass for the previous one.
TEST_F(FaultInjectionTest, FailedRowCopyIsReported) {
  EXPECT_EQ(Get(kOrders + ":item"), "o1");
  kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kGetDataSeq, 5);
  KezDcQrQResult::NewQResult(kOrders.c_str())->GetNextLine();
  std::string value = Get(kOrders + ":item");
  EXPECT_TRUE(value != "o1" || !Errors().empty()) << "the first row's value passes for the second's";
}

}  // namespace
}  // namespace test
}  // namespace kez
