// Queries in their registry: deletion by text, global clean-up, and the
// rule that a query never uses a query result deleted elsewhere.
#include <string>
#include <vector>

#include "result/TraceCapture.h"
#include "support/KezTestSupport.h"

namespace {

using kez::test::Errors;
using kez::test::TraceCapture;
using Strings = std::vector<std::string>;

std::string Lost(const char* query, const char* path) {
  return std::string("ERROR: QUERY <") + query + "> LOST ITS RESULT <" + path +
         ">, DELETED ELSEWHERE: CREATE THE QUERY AGAIN !\n";
}

class QueryLifecycleTest : public kez::test::KezTest {
 protected:
  static KezDcQrQuery* New(const char* text) { return KezDcQrQuery::NewQuery(text); }
  static KezDcQrQuery* Registered(const char* text) { return KezDcQrQuery::QueryHTab->Locate(text); }
};

TEST_F(QueryLifecycleTest, DeleteQueryStripsBlanksBeforeTheLookup) {
  New("Get(1)");
  New(" Get(2)");
  KezDcQrQuery::DeleteQuery("  Get(1)  ");
  EXPECT_EQ(Registered("Get(1)"), nullptr);
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Locate("1"), nullptr);
  KezDcQrQuery::DeleteQuery(" Get(2)");  // looked up as "Get(2)": not found
  EXPECT_NE(Registered(" Get(2)"), nullptr);
  KezDcQrQuery::DeleteAllQueries();
  EXPECT_EQ(Registered(" Get(2)"), nullptr);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(QueryLifecycleTest, DeletingAQueryDeletesTheResultsItNames) {
  New("Put(7, $v)");
  ASSERT_NE(KezDcQrQResult::QRHTab->Locate("$v"), nullptr);
  KezDcQrQuery::DeleteQuery("Put(7, $v)");
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Locate("7"), nullptr);
  EXPECT_EQ(KezDcQrQResult::QRHTab->Locate("$v"), nullptr);
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 0);
}

TEST_F(QueryLifecycleTest, DeleteAllQueriesClearsAdapterListsResultsAndQueries) {
  long before = KezDcOtAdapterRowset::GetNbDeleteAllJeleList();
  New("Get(@sales:main:orders:amount:20:amount)");
  New("Put(1+2, $v)");
  New("Get(");
  KezDcQrQuery::DeleteAllQueries();
  EXPECT_EQ(KezDcOtAdapterRowset::GetNbDeleteAllJeleList(), before + 1);
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 0);
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size(), 0);
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 0);
}

TEST_F(QueryLifecycleTest, DeleteAllQueriesTracesItsSteps) {
  New("Get(1)");
  TraceCapture capture(&KezDcQrQuery::sp_Trace, 4);
  KezDcQrQuery::DeleteAllQueries();
  capture.Stop();
  std::string text = capture.Text();
  const char* const steps[] = {"=-->> QrQuery::DeleteAllQueries \n", "Delete All QResult:   \n",
                               "Delete All QResult OK \n", "Delete All Queries:   \n",
                               "** Remove from QueryHTab **\n", "Delete All Queries OK \n",
                               "=-->> QrQuery::DeleteAllQueries ENDING\n"};
  std::size_t at = 0;
  for (const char* step : steps) {
    std::size_t found = text.find(step, at);
    ASSERT_NE(found, std::string::npos) << step;
    at = found;
  }
}

TEST_F(QueryLifecycleTest, QueryKnownAgainIsReportedInTheTrace) {
  New("Get(1)");
  TraceCapture capture(&KezDcQrQuery::sp_Trace, 2);
  New("Get(1)");
  capture.Stop();
  EXPECT_EQ(capture.Text(), "=-->> QrQuery::NewQuery: <Get(1)>\nm\xB0!\xB0m OK QUERY <Get(1)> EXISTS\n");
}

TEST_F(QueryLifecycleTest, ExpressionDeletedElsewhereGivesOneClearError) {
  KezDcQrQuery* q = New("Get(1+2)");
  KezDcQrQResult::DeleteQResult("1+2");
  q->DoQuery();
  EXPECT_EQ(Errors(), Strings{Lost("Get(1+2)", "1+2")});
  EXPECT_EQ(q->p_QResult, nullptr);
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
  EXPECT_EQ(Errors(), (Strings{Lost("Free($n)", "$n"), Lost("Free($n)", "$n")}));
}

TEST_F(QueryLifecycleTest, QueryFindsItsExpressionAgainOnceItIsCreatedAgain) {
  KezDcQrQuery* q = New("Get(2*3)");
  KezDcQrQResult::DeleteQResult("2*3");
  q->DoQuery();
  ASSERT_EQ(Errors().size(), 1u);
  KezUnicodeString type = "Expression";
  KezDcQrQResult* again = KezDcQrQResult::NewQR("2*3", "", "", "", "", "", type);
  q->DoQuery();
  EXPECT_EQ(q->p_QResult, again);
  EXPECT_EQ(static_cast<KezDcQrQRExpression*>(again)->IntValue, 6);
  EXPECT_EQ(Errors().size(), 1u);
}

TEST_F(QueryLifecycleTest, PutTargetDeletedElsewhereIsReportedAndNotUsed) {
  KezDcQrQuery* q = New("Put(5, $target)");
  KezDcQrQResult::DeleteQResult("$target");
  q->DoQuery();
  EXPECT_EQ(Errors(), Strings{"ERROR: QUERY <Put(5, $target)> LOST ITS PUT TARGET <$target>, DELETED ELSEWHERE: "
                              "CREATE THE QUERY AGAIN !\n"});
  EXPECT_EQ(KezDcQrQResult::QRHTab->Locate("$target"), nullptr);
  // Run again: reported again, never silently ignored.
  q->DoQuery();
  EXPECT_EQ(Errors().size(), 2u);
  // A target created again under its key is used again.
  KezDcQrQResult* target = KezDcQrQResult::NewQResult("$target");
  q->DoQuery();
  EXPECT_EQ(Errors().size(), 2u);
  EXPECT_EQ(q->p_QRPutTarget, target);
  EXPECT_EQ(static_cast<KezDcQrQRVariable*>(target)->IntValue, 5);
}

TEST_F(QueryLifecycleTest, CellTargetDeletedWithItsDataSourceIsReported) {
  KezDcQrQuery* q = New("Put(5, @sales : main:orders:amount:20:amount)");
  ASSERT_NE(q->p_QRPutTarget, nullptr);
  KezDcQrQResult::DeleteQResult("@sales");
  q->DoQuery();
  EXPECT_EQ(Errors(), Strings{"ERROR: QUERY <Put(5, @sales : main:orders:amount:20:amount)> LOST ITS PUT TARGET "
                              "<@sales:main:orders:amount:20:amount>, DELETED ELSEWHERE: CREATE THE QUERY AGAIN !\n"});
}

TEST_F(QueryLifecycleTest, CellOperandDeletedWithItsDataSourceDoesNotCrash) {
  KezDcQrQuery* q = New("Get(@sales:main:orders:amount:20:amount)");
  KezDcQrQResult::DeleteQResult("@sales");
  q->DoQuery();  // the expression remains; its operand is looked up by key
  KezDcQrQuery::DeleteQuery("Get(@sales:main:orders:amount:20:amount)");
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 0);
}

}  // namespace
