// Helpers of the hardening tests: a query runner, the value a client reads,
// the road of a query that the failure tests follow, and a fixture that
// checks the memory backend got back every object and handle, apart from
// those a test made the layer refuse to take back.
#ifndef KEZ_TEST_HARDENING_SUPPORT_H
#define KEZ_TEST_HARDENING_SUPPORT_H

#include <string>
#include <vector>

#include "support/AccessFaults.h"
#include "support/KezTestSupport.h"

namespace kez {
namespace test {

// Every message reported so far, dropped ones included: a mark to compare.
inline long ReportedSoFar() {
  return KezDcCMError::GetNbErrors() + KezDcCMError::GetNbDropped();
}

inline KezDcQrQuery* RunQuery(const std::string& text) {
  KezDcQrQuery* query = KezDcQrQuery::NewQuery(text.c_str());
  query->DoQuery();
  return query;
}

// The value of Get(expression) as a client prints it: "%d", "%g" or the
// text; "<none>" when the query has no value.
inline std::string Get(const std::string& expression) {
  auto* e = dynamic_cast<KezDcQrQRExpression*>(RunQuery("Get(" + expression + ")")->p_QResult);
  if (!e) return "<none>";
  if (e->BasicType == "int" && e->p_IntQResult) return std::to_string(*e->p_IntQResult);
  if (e->BasicType == "double" && e->p_DoubleQResult) return kez::Format("%g", *e->p_DoubleQResult);
  if (e->BasicType == "string" && e->p_StringQResult) return e->p_StringQResult;
  return "<none>";
}

// What a client saw along the road: the values it read, and the rows whose
// insert reported nothing.
struct RoadResult {
  std::vector<std::string> values;
  std::vector<std::vector<std::string>> reported;
};

// Puts the row's item and amount into the cells of the copy block and
// inserts it, as a careful client does: no insert after a put that failed.
// True when nothing was reported.
inline bool InsertRow(const std::string& copy, const std::vector<std::string>& row) {
  long mark = ReportedSoFar();
  RunQuery("Put(\"" + row[0] + "\", " + copy + ":item)");
  RunQuery("Put(" + row[1] + ", " + copy + ":amount)");
  if (ReportedSoFar() != mark) return false;
  RunQuery("Put(" + copy + ")");
  return ReportedSoFar() == mark;
}

// The road of a query over a block of orders (columns item and amount,
// five rows): get, walk past the end and start again, put and insert the
// rows into the copy block, free, delete one query, then all.
inline RoadResult FollowTheRoad(const std::string& orders, const std::string& copy,
                                const std::vector<std::vector<std::string>>& rows) {
  RoadResult road;
  const std::string item = orders + ":item";
  const std::string twice = orders + ":amount * 2";
  road.values.push_back(Get(item));
  KezDcQrQResult* block = KezDcQrQResult::NewQResult(orders.c_str());
  for (int k = 0; k < 8; ++k) {
    block->GetNextLine();
    road.values.push_back(Get(item) + "/" + Get(twice));
  }
  for (const auto& row : rows) {
    if (InsertRow(copy, row)) road.reported.push_back(row);
  }
  RunQuery("Free(" + item + ")");
  block->FreeRowsetOfData();
  road.values.push_back(Get(item));
  KezDcQrQuery::DeleteQuery(("Get(" + item + ")").c_str());
  road.values.push_back(Get(item));
  KezDcQrQuery::DeleteAllQueries();
  return road;
}

class HardeningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KezDcQrQuery::DeleteAllQueries();
    KezDcDbMemory::DropAll();
    KezDcCMError::ClearErrors();
    rows_at_start_ = kez::test::AccessFaults::OutstandingRows();
    accessors_at_start_ = kez::test::AccessFaults::LiveAccessors();
  }
  void TearDown() override {
    KezDcQrQuery::DeleteAllQueries();
    KezDcDbMemory::DropAll();
    EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), 0) << "memory backend objects left alive";
    EXPECT_EQ(kez::test::AccessFaults::OutstandingRows() - rows_at_start_, refused_rows_)
        << "row handles never released";
    EXPECT_EQ(kez::test::AccessFaults::LiveAccessors() - accessors_at_start_, refused_accessors_)
        << "accessor handles never released";
    KezDcCMError::ClearErrors();
  }

  // Row and accessor handles that the layer was made to refuse to take
  // back: it keeps them, the nodes do not.
  long refused_rows_ = 0;
  int refused_accessors_ = 0;

 private:
  long rows_at_start_ = 0;
  int accessors_at_start_ = 0;
};

}  // namespace test
}  // namespace kez

#endif
