// The road of a query that the failure tests follow (get, walk past the end
// and start again, put and insert, free, delete), and the value a client
// reads from a query.
#ifndef KEZ_TEST_HARDENING_SUPPORT_H
#define KEZ_TEST_HARDENING_SUPPORT_H

#include <string>
#include <vector>

#include "support/KezTestSupport.h"

namespace kez {
namespace test {

inline KezDcQrQuery* RunQuery(const std::string& text) {
  KezDcQrQuery* query = KezDcQrQuery::NewQuery(text.c_str());
  query->DoQuery();
  return query;
}

// The value of Get(expression) as a client prints it: "%d", "%g" or the text; "<none>" when it has none.
inline std::string Get(const std::string& expression) {
  auto* e = dynamic_cast<KezDcQrQRExpression*>(RunQuery("Get(" + expression + ")")->p_QResult);
  if (e && e->BasicType == "int" && e->p_IntQResult) return std::to_string(*e->p_IntQResult);
  if (e && e->BasicType == "double" && e->p_DoubleQResult) return kez::Format("%g", *e->p_DoubleQResult);
  if (e && e->BasicType == "string" && e->p_StringQResult) return e->p_StringQResult;
  return "<none>";
}

using RoadRows = std::vector<std::vector<std::string>>;
struct RoadResult {  // the values a client read, and the rows whose insert reported nothing
  std::vector<std::string> values;
  RoadRows reported;
};

// Puts the row's item and amount into the copy block and inserts it, as a
// careful client does: no insert after a failed put. True when nothing was reported.
inline bool InsertRow(const std::string& copy, const std::vector<std::string>& row) {
  auto reported = [] { return KezDcCMError::GetNbErrors() + KezDcCMError::GetNbDropped(); };  // dropped ones too
  long mark = reported();
  RunQuery("Put(\"" + row[0] + "\", " + copy + ":item)");
  RunQuery("Put(" + row[1] + ", " + copy + ":amount)");
  if (reported() != mark) return false;
  RunQuery("Put(" + copy + ")");
  return reported() == mark;
}

// The road over a block of orders (columns item and amount, five rows):
// get, walk past the end and start again, put and insert the rows into the
// copy block, free, delete one query, then all.
inline RoadResult FollowTheRoad(const std::string& orders, const std::string& copy, const RoadRows& rows) {
  RoadResult road;
  const std::string item = orders + ":item";
  road.values.push_back(Get(item));
  KezDcQrQResult* block = KezDcQrQResult::NewQResult(orders.c_str());
  for (int k = 0; k < 8; ++k, road.values.push_back(Get(item) + "/" + Get(orders + ":amount * 2")))
    block->GetNextLine();
  for (const auto& row : rows)
    if (InsertRow(copy, row)) road.reported.push_back(row);
  RunQuery("Free(" + item + ")");
  block->FreeRowsetOfData();
  road.values.push_back(Get(item));
  KezDcQrQuery::DeleteQuery(("Get(" + item + ")").c_str());
  road.values.push_back(Get(item));
  KezDcQrQuery::DeleteAllQueries();
  return road;
}

}  // namespace test
}  // namespace kez

#endif
