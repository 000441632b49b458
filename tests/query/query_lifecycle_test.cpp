// Queries in their registry: one query per text, the empty text, deletion
// by text, global clean-up, and the rule that a query never uses a query
// result deleted elsewhere. How texts split is a case file
// (tests/language/cases/query-text.test).
#include "support/KezTestSupport.h"

namespace kez {
namespace test {
namespace {

using Strings = std::vector<std::string>;
using QueryTextTest = KezTest;
using QueryLifecycleTest = KezTest;

KezDcQrQuery* New(const char* text) {
  return KezDcQrQuery::NewQuery(text);
}
KezDcQrQuery* Query(const char* text) {
  return KezDcQrQuery::QueryHTab->Locate(text);
}
KezDcQrQResult* Expr(const char* text) {
  return KezDcQrQResult::ExprHTab->Locate(text);
}

std::string Lost(const char* what, const char* query, const char* path) {
  return kez::Format("ERROR: QUERY <%s> LOST ITS %s <%s>, DELETED ELSEWHERE: CREATE THE QUERY AGAIN !\n", query, what,
                     path);
}

// A later query naming the same expression shares it and its kind, so that
// a Get and a Put of one data block do not spoil each other.
TEST_F(QueryTextTest, SameTextGivesTheSameQueryAndQueriesShareTheExpressionAndItsKind) {
  KezDcQrQuery* q = New("Get(@s:m:r:a:2)");
  EXPECT_EQ(New("Get(@s:m:r:a:2)"), q);
  KezDcQrQuery* other = New("Get(@s:m:r:a:2) ");
  EXPECT_NE(other, q);
  EXPECT_EQ(other->p_QResult, q->p_QResult);
  EXPECT_EQ(q->TypeOfQResult, "Exp_Data");
  EXPECT_EQ(other->TypeOfQResult, "Exp_Data");
  EXPECT_EQ(New("Put(@s:m:r:a:2)")->TypeOfQResult, "Exp_Data");
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 3);
  EXPECT_TRUE(Errors().empty());
}

// An empty text is registered like any other text, so the library's own
// deletions free it; only a client's own default-constructed query is not.
TEST_F(QueryTextTest, EmptyTextMakesARegisteredQueryThatTheDeletionsFree) {
  KezDcQrQuery* a = New("");
  EXPECT_EQ(New(""), a);
  EXPECT_EQ(Errors(), Strings{"ERROR in QrQuery::QrQuery: EMPTY QUERY \n"});
  EXPECT_EQ(a->p_QResult, nullptr);
  EXPECT_EQ(Query(""), a);
  KezDcQrQuery::DeleteQuery("  ");
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 0);
  New("");
  KezDcQrQuery::DeleteAllQueries();
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 0);
  KezDcQrQuery* plain = new KezDcQrQuery();
  EXPECT_EQ(plain->p_QResult, nullptr);
  EXPECT_EQ(Errors().size(), 3u);
  delete plain;
}

// Deleting a query strips blanks before the lookup and deletes the results
// the query names; deleting them all also clears the adapter lists.
TEST_F(QueryLifecycleTest, DeleteQueryDeletesTheQueryAndTheResultsItNames) {
  New("Put(7, $v)");
  New(" Get(2)");
  ASSERT_NE(Located("$v"), nullptr);
  KezDcQrQuery::DeleteQuery("  Put(7, $v)  ");
  EXPECT_EQ(Query("Put(7, $v)"), nullptr);
  EXPECT_EQ(Expr("7"), nullptr);
  EXPECT_EQ(Located("$v"), nullptr);
  KezDcQrQuery::DeleteQuery(" Get(2)");  // looked up as "Get(2)": not found
  EXPECT_NE(Query(" Get(2)"), nullptr);
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 1);
  long before = KezDcOtAdapterRowset::GetNbDeleteAllJeleList();
  New("Get(@sales:main:orders:amount:20:amount)");
  New("Get(");
  KezDcQrQuery::DeleteAllQueries();
  EXPECT_EQ(KezDcOtAdapterRowset::GetNbDeleteAllJeleList(), before + 1);
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size() + KezDcQrQResult::QRHTab->Size() + KezDcQrQResult::ExprHTab->Size(), 0);
  EXPECT_EQ(Errors().size(), 2u);  // "Get(" is invalid and empty
}

// The query reports the loss at every run, never touches the deleted
// expression, and finds the expression again once it is created again.
TEST_F(QueryLifecycleTest, ExpressionDeletedElsewhereGivesOneClearErrorPerRun) {
  KezDcQrQuery* q = New("Get(2*3)");
  KezDcQrQResult::DeleteQResult("2*3");
  q->DoQuery();
  EXPECT_EQ(Errors(), Strings{Lost("RESULT", "Get(2*3)", "2*3")});
  EXPECT_EQ(q->p_QResult, nullptr);
  KezDcQrQResult* again = NewQR("Expression", "2*3");
  q->DoQuery();
  EXPECT_EQ(q->p_QResult, again);
  EXPECT_EQ(static_cast<KezDcQrQRExpression*>(again)->IntValue, 6);
  EXPECT_EQ(Errors().size(), 1u);
  New("Get(1+2)");
  KezDcQrQResult::DeleteQResult("1+2");
  KezDcQrQuery::DeleteQuery("Get(1+2)");  // must not touch the deleted expression
  EXPECT_EQ(Query("Get(1+2)"), nullptr);
  // Results shared with a deleted query go with it; the other query reports.
  KezDcCMError::ClearErrors();
  KezDcQrQuery* first = New("Get($n)");
  KezDcQrQuery* second = New("Free($n)");
  EXPECT_EQ(first->p_QResult, second->p_QResult);
  KezDcQrQuery::DeleteQuery("Get($n)");
  EXPECT_EQ(Expr("$n"), nullptr);
  EXPECT_EQ(Located("$n"), nullptr);
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
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size() + KezDcQrQResult::ExprHTab->Size(), 0);
  EXPECT_EQ(Located("\"x\""), nullptr);
  ASSERT_NE(Located("$v"), nullptr);
  KezDcQrQuery::DeleteOneOffQuery(New("Get(@sales:main:orders:amount:20:amount + $v)"));
  EXPECT_NE(Located("@sales:main:orders:amount:20:amount"), nullptr);
  KezDcQrQuery* kept = New("Get($v)");
  KezDcQrQuery::DeleteOneOffQuery(New("Free($v)"));
  EXPECT_NE(Expr("$v"), nullptr);
  kept->DoQuery();
  EXPECT_STREQ(static_cast<KezDcQrQRExpression*>(kept->p_QResult)->p_StringQResult, "x1");
  EXPECT_TRUE(Errors().empty());
}

// Reported at every run, never silently ignored; a target created again
// under its key is used again. A cell operand whose node went with its
// data source is looked up by key and does not crash.
TEST_F(QueryLifecycleTest, PutTargetDeletedElsewhereIsReportedAndNotUsed) {
  KezDcQrQuery* q = New("Put(5, $target)");
  KezDcQrQResult::DeleteQResult("$target");
  q->DoQuery();
  q->DoQuery();
  EXPECT_EQ(Errors(), (Strings(2, Lost("PUT TARGET", "Put(5, $target)", "$target"))));
  EXPECT_EQ(Located("$target"), nullptr);
  KezDcQrQResult* target = KezDcQrQResult::NewQResult("$target");
  q->DoQuery();
  EXPECT_EQ(Errors().size(), 2u);
  EXPECT_EQ(q->p_QRPutTarget, target);
  EXPECT_EQ(static_cast<KezDcQrQRVariable*>(target)->IntValue, 5);
  KezDcQrQuery::DeleteAllQueries();
  KezDcCMError::ClearErrors();
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
}  // namespace test
}  // namespace kez
