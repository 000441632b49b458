// Queries in their registry: deletion by text, global clean-up, and the
// rule that a query never uses a query result deleted elsewhere.
#include <string>
#include <vector>

#include "support/KezTestSupport.h"
#include "support/TraceCapture.h"

namespace {

using kez::test::Errors;
using kez::test::TraceCapture;
using Strings = std::vector<std::string>;

std::string Lost(const char* what, const char* query, const char* path) {
  return kez::Format("ERROR: QUERY <%s> LOST ITS %s <%s>, DELETED ELSEWHERE: CREATE THE QUERY AGAIN !\n", query, what,
                     path);
}

class QueryLifecycleTest : public kez::test::KezTest {
 protected:
  static KezDcQrQuery* New(const char* text) { return KezDcQrQuery::NewQuery(text); }
  static KezDcQrQuery* Registered(const char* text) { return KezDcQrQuery::QueryHTab->Locate(text); }
};

// Deleting a query strips blanks before the lookup and deletes the results
// the query names.
TEST_F(QueryLifecycleTest, DeleteQueryDeletesTheQueryAndTheResultsItNames) {
  New("Put(7, $v)");
  New(" Get(2)");
  ASSERT_NE(KezDcQrQResult::QRHTab->Locate("$v"), nullptr);
  KezDcQrQuery::DeleteQuery("  Put(7, $v)  ");
  EXPECT_EQ(Registered("Put(7, $v)"), nullptr);
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Locate("7"), nullptr);
  EXPECT_EQ(KezDcQrQResult::QRHTab->Locate("$v"), nullptr);
  KezDcQrQuery::DeleteQuery(" Get(2)");  // looked up as "Get(2)": not found
  EXPECT_NE(Registered(" Get(2)"), nullptr);
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 1);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(QueryLifecycleTest, DeleteAllQueriesClearsAdapterListsResultsAndQueriesStepByStep) {
  long before = KezDcOtAdapterRowset::GetNbDeleteAllJeleList();
  New("Get(@sales:main:orders:amount:20:amount)");
  New("Put(1+2, $v)");
  New("Get(");
  TraceCapture capture(&KezDcQrQuery::sp_Trace, 4);
  KezDcQrQuery::DeleteAllQueries();
  capture.Stop();
  EXPECT_EQ(KezDcOtAdapterRowset::GetNbDeleteAllJeleList(), before + 1);
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 0);
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size(), 0);
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 0);
  std::string text = capture.Text();
  std::size_t at = 0;
  for (const char* step : {"=-->> QrQuery::DeleteAllQueries \n", "Delete All QResult:   \n", "Delete All QResult OK \n",
                           "Delete All Queries:   \n", "** Remove from QueryHTab **\n", "Delete All Queries OK \n",
                           "=-->> QrQuery::DeleteAllQueries ENDING\n"}) {
    at = text.find(step, at);
    ASSERT_NE(at, std::string::npos) << step;
  }
}

// The query reports the loss at every run, never touches the deleted
// expression, and finds the expression again once it is created again.
TEST_F(QueryLifecycleTest, ExpressionDeletedElsewhereGivesOneClearErrorPerRun) {
  KezDcQrQuery* q = New("Get(2*3)");
  KezDcQrQResult::DeleteQResult("2*3");
  q->DoQuery();
  EXPECT_EQ(Errors(), Strings{Lost("RESULT", "Get(2*3)", "2*3")});
  EXPECT_EQ(q->p_QResult, nullptr);
  KezUnicodeString type = "Expression";
  KezDcQrQResult* again = KezDcQrQResult::NewQR("2*3", "", "", "", "", "", type);
  q->DoQuery();
  EXPECT_EQ(q->p_QResult, again);
  EXPECT_EQ(static_cast<KezDcQrQRExpression*>(again)->IntValue, 6);
  EXPECT_EQ(Errors().size(), 1u);

  New("Get(1+2)");
  KezDcQrQResult::DeleteQResult("1+2");
  KezDcQrQuery::DeleteQuery("Get(1+2)");  // must not touch the deleted expression
  EXPECT_EQ(Registered("Get(1+2)"), nullptr);
}

TEST_F(QueryLifecycleTest, QueryDeletedWithSharedResultsLeavesOthersSafe) {
  KezDcQrQuery* first = New("Get($n)");
  KezDcQrQuery* second = New("Free($n)");
  EXPECT_EQ(first->p_QResult, second->p_QResult);
  KezDcQrQuery::DeleteQuery("Get($n)");
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Locate("$n"), nullptr);
  EXPECT_EQ(KezDcQrQResult::QRHTab->Locate("$n"), nullptr);
  second->DoQuery();
  second->DoQuery();
  EXPECT_EQ(Errors(), (Strings(2, Lost("RESULT", "Free($n)", "$n"))));
}

// A one-off query goes with the expression it made and the constants in
// it; the variables and cells it names keep their values, and an expression
// it found already registered (a sub-query's, another query's) stays.
TEST_F(QueryLifecycleTest, OneOffQueryGoesWithItsOwnExpressionOnly) {
  KezDcQrQuery* put = New("Put(\"x\" + 1, $v)");
  put->DoQuery();
  KezDcQrQuery::DeleteOneOffQuery(put);
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 0);
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 0);
  EXPECT_EQ(KezDcQrQResult::QRHTab->Locate("\"x\""), nullptr);
  ASSERT_NE(KezDcQrQResult::QRHTab->Locate("$v"), nullptr);
  KezDcQrQuery* cell = New("Get(@sales:main:orders:amount:20:amount + $v)");
  KezDcQrQuery::DeleteOneOffQuery(cell);
  EXPECT_NE(KezDcQrQResult::QRHTab->Locate("@sales:main:orders:amount:20:amount"), nullptr);
  KezDcQrQuery* kept = New("Get($v)");
  KezDcQrQuery::DeleteOneOffQuery(New("Free($v)"));
  EXPECT_NE(KezDcQrQResult::ExprHTab->Locate("$v"), nullptr);
  kept->DoQuery();
  EXPECT_EQ(std::string(static_cast<KezDcQrQRExpression*>(kept->p_QResult)->p_StringQResult), "x1");
  EXPECT_TRUE(Errors().empty());
}

// Reported at every run, never silently ignored; a target created again
// under its key is used again.
TEST_F(QueryLifecycleTest, PutTargetDeletedElsewhereIsReportedAndNotUsed) {
  KezDcQrQuery* q = New("Put(5, $target)");
  KezDcQrQResult::DeleteQResult("$target");
  q->DoQuery();
  q->DoQuery();
  EXPECT_EQ(Errors(), (Strings(2, Lost("PUT TARGET", "Put(5, $target)", "$target"))));
  EXPECT_EQ(KezDcQrQResult::QRHTab->Locate("$target"), nullptr);
  KezDcQrQResult* target = KezDcQrQResult::NewQResult("$target");
  q->DoQuery();
  EXPECT_EQ(Errors().size(), 2u);
  EXPECT_EQ(q->p_QRPutTarget, target);
  EXPECT_EQ(static_cast<KezDcQrQRVariable*>(target)->IntValue, 5);
}

// A cell target is reported lost; a cell operand is looked up by key and
// does not crash.
TEST_F(QueryLifecycleTest, CellsDeletedWithTheirDataSource) {
  KezDcQrQuery* put = New("Put(5, @sales : main:orders:amount:20:amount)");
  KezDcQrQuery* get = New("Get(@sales:main:orders:amount:20:amount)");
  ASSERT_NE(put->p_QRPutTarget, nullptr);
  KezDcQrQResult::DeleteQResult("@sales");
  put->DoQuery();
  EXPECT_EQ(Errors(), Strings{Lost("PUT TARGET", "Put(5, @sales : main:orders:amount:20:amount)",
                                   "@sales:main:orders:amount:20:amount")});
  get->DoQuery();
  KezDcQrQuery::DeleteQuery("Get(@sales:main:orders:amount:20:amount)");
  KezDcQrQuery::DeleteQuery("Put(5, @sales : main:orders:amount:20:amount)");
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 0);
}

}  // namespace
