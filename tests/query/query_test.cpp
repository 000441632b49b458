// Queries: the registry, results deleted elsewhere, and DoQuery over plain
// results as a client driving the nodes sets them. Each function over each
// expression kind is tests/kezq/cases/functions.test; how texts split is
// tests/language/cases/query-text.test.
#include "support/KezTestSupport.h"

namespace kez {
namespace test {
namespace {

using Strings = std::vector<std::string>;
using QueryTest = ShopItemsTest;
using QueryTextTest = ShopItemsTest;
using QueryLifecycleTest = ShopItemsTest;

KezDcQrQuery* Query(const char* text) {
  return KezDcQrQuery::QueryHTab->Locate(text);
}
KezDcQrQuery* New(const char* text) {
  return KezDcQrQuery::NewQuery(text);
}
KezDcQrQResult* Expr(const char* text) {
  return KezDcQrQResult::ExprHTab->Locate(text);
}
std::string Lost(const char* what, const char* query, const char* path) {
  return kez::Format("ERROR: QUERY <%s> LOST ITS %s <%s>, DELETED ELSEWHERE: CREATE THE QUERY AGAIN !\n", query, what,
                     path);
}
std::string Unknown(const std::string& kind) {
  return "ERROR: UNKNOWN FUNCTION FOR " + kind + " ! \n";
}
// Runs q with each function in turn.
void RunAs(KezDcQrQuery* q, std::initializer_list<const char*> functions) {
  for (const char* function : functions) {
    q->Function = function;
    q->DoQuery();
  }
}

// An empty text is registered like any other, so the library's deletions
// free it. A later query naming the same expression shares it and its kind,
// so that a Get and a Put of one data block do not spoil each other.
TEST_F(QueryTextTest, EmptyTextMakesARegisteredQueryThatTheDeletionsFree) {
  KezDcQrQuery* q = New("Get(@s:m:r:a:2)");
  EXPECT_EQ(New("Get(@s:m:r:a:2)"), q);
  KezDcQrQuery* other = New("Get(@s:m:r:a:2) ");
  EXPECT_NE(other, q);
  EXPECT_EQ(other->p_QResult, q->p_QResult);
  EXPECT_EQ(other->TypeOfQResult, "Exp_Data");
  EXPECT_EQ(New("Put(@s:m:r:a:2)")->TypeOfQResult, "Exp_Data");
  EXPECT_TRUE(Errors().empty());
  KezDcQrQuery::DeleteAllQueries();
  KezDcQrQuery* empty = New("");
  EXPECT_EQ(New(""), empty);
  EXPECT_EQ(Errors(), Strings{"ERROR in QrQuery::QrQuery: EMPTY QUERY \n"});
  EXPECT_EQ(empty->p_QResult, nullptr);
  EXPECT_EQ(Query(""), empty);
  KezDcQrQuery::DeleteQuery("  ");
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 0);
  KezDcQrQuery plain;  // a client's own query, not registered
  EXPECT_EQ(plain.p_QResult, nullptr);
  EXPECT_EQ(Errors().size(), 2u);
}

// A one-off query takes only the expression and constants it made; deleting
// a query strips blanks before the lookup and deletes the results it names.
TEST_F(QueryLifecycleTest, OneOffQueryGoesWithItsOwnExpressionOnly) {
  New("Put(7, $v)");
  New(" Get(2)");
  KezDcQrQuery::DeleteQuery("  Put(7, $v)  ");
  EXPECT_EQ(Query("Put(7, $v)"), nullptr);
  EXPECT_EQ(Expr("7"), nullptr);
  EXPECT_EQ(Located("$v"), nullptr);
  KezDcQrQuery::DeleteQuery(" Get(2)");  // looked up as "Get(2)": not found
  EXPECT_NE(Query(" Get(2)"), nullptr);
  KezDcQrQuery::DeleteAllQueries();
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
  kept->DoQuery();
  EXPECT_STREQ(static_cast<KezDcQrQRExpression*>(kept->p_QResult)->p_StringQResult, "x1");
  EXPECT_TRUE(Errors().empty());
}

// The query reports the loss at every run, never touches the deleted
// result, and uses it again once it is created again under its key.
TEST_F(QueryLifecycleTest, ResultOrPutTargetDeletedElsewhereGivesOneClearErrorPerRun) {
  KezDcQrQuery* q = New("Get(2*3)");
  KezDcQrQResult::DeleteQResult("2*3");
  q->DoQuery();
  EXPECT_EQ(q->p_QResult, nullptr);
  KezDcQrQResult* again = NewQR("Expression", "2*3");
  q->DoQuery();
  EXPECT_EQ(q->p_QResult, again);
  EXPECT_EQ(static_cast<KezDcQrQRExpression*>(again)->IntValue, 6);
  New("Get(1+2)");
  KezDcQrQResult::DeleteQResult("1+2");
  KezDcQrQuery::DeleteQuery("Get(1+2)");  // must not touch the deleted expression
  KezDcQrQuery* shared = New("Free($n)");
  EXPECT_EQ(New("Get($n)")->p_QResult, shared->p_QResult);
  KezDcQrQuery::DeleteQuery("Get($n)");  // the shared $n goes with it
  EXPECT_EQ(Located("$n"), nullptr);
  shared->DoQuery();
  KezDcQrQuery* put = New("Put(5, $target)");
  KezDcQrQResult::DeleteQResult("$target");
  put->DoQuery();
  put->DoQuery();
  KezDcQrQResult* target = KezDcQrQResult::NewQResult("$target");
  put->DoQuery();
  EXPECT_EQ(static_cast<KezDcQrQRVariable*>(target)->IntValue, 5);
  // A cell operand whose node went with its data source does not crash.
  KezDcQrQuery* cell = New("Put(5, @sales : main:orders:amount:20:amount)");
  New("Get(@sales:main:orders:amount:20:amount)");
  KezDcQrQResult::DeleteQResult("@sales");
  cell->DoQuery();
  Query("Get(@sales:main:orders:amount:20:amount)")->DoQuery();
  EXPECT_EQ(Errors(),
            (Strings{Lost("RESULT", "Get(2*3)", "2*3"), Lost("RESULT", "Free($n)", "$n"),
                     Lost("PUT TARGET", "Put(5, $target)", "$target"), Lost("PUT TARGET", "Put(5, $target)", "$target"),
                     Lost("PUT TARGET", "Put(5, @sales : main:orders:amount:20:amount)",
                          "@sales:main:orders:amount:20:amount"),
                     "ERROR Unknown Cell <@sales:main:orders:amount:20:amount>\n"}));
  KezDcQrQuery::DeleteAllQueries();
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 0);
}

// Rows of the dispatch table for plain results: each type runs its own
// operations and reports the others; a type without a row does nothing;
// Free resets an expression's value.
TEST_F(QueryTest, PlainResultsRunTheirKindsOperations) {
  const char kBlock[] = "@m:main:items:{name+qty}:5";
  const char kName[] = "@m:main:items:{name+qty}:5:name";
  const char kQty[] = "@m:main:items:{name+qty}:5:qty";
  auto plain = [](const std::string& text, const char* type) {
    KezDcQrQuery* q = New(text.c_str());
    q->TypeOfQResult = type;
    q->p_QResult = Located(q->DataPath);
    return q;
  };
  auto text = [](const char* key) { return std::string(static_cast<KezDcQrQRCell*>(Located(key))->GetQResult()); };
  const char* kinds[][3] = {{"@m", "DataSource", "DATASOURCE"},
                            {"@m:main", "Session", "SESSION"},
                            {"@m:main:items", "Rowset", "ROWSET"},
                            {"@m:main:items:{name+qty}", "Accessor", "ACCESSOR"}};
  for (auto& kind : kinds) {
    RunAs(plain(std::string("Get(") + kind[0] + ")", kind[1]), {"Get", "Put", "Init", "get"});
    EXPECT_EQ(Errors(), Strings(3, Unknown(kind[2]))) << kind[0];
    KezDcCMError::ClearErrors();
  }
  EXPECT_NE(static_cast<KezDcQrQRAccessor*>(Located("@m:main:items:{name+qty}"))->h_QResult, 0u);
  RunAs(Query("Get(@m)"), {"Free"});
  EXPECT_EQ(static_cast<KezDcQrQRDataSource*>(Located("@m"))->p_QResult, nullptr);

  KezDcQrQuery* data = plain(std::string("Init(") + kBlock + ")", "Data");
  data->DoQuery();
  EXPECT_NE(static_cast<KezDcQrQRData*>(Located(kBlock))->p_RowBuffer, nullptr);
  RunAs(data, {"Get"});
  EXPECT_EQ(static_cast<KezDcQrQRData*>(Located(kBlock))->NbRowsObtained, 2u);
  RunAs(data, {"Put", "Free", "Delete"});
  EXPECT_EQ(KezDcDbMemory::GetInsertedRows("shop", "items"), (std::vector<KezDcDbMemoryRow>{{"apple", "3"}}));

  KezDcQrQuery* cell = plain(std::string("Put(") + kName + "," + kQty + ")", "Cell");
  RunAs(cell, {"Put", "Get"});
  EXPECT_EQ(text(kQty), "apple");
  New("Put(\"pear\", $fruit)")->DoQuery();
  KezDcQrQuery* variable = plain(std::string("Put($fruit,") + kName + ")", "Variable");
  variable->DoQuery();
  EXPECT_EQ(text(kName), "pear");
  KezDcQrQResult::NewQResult("\"fig\"");  // a constant node: the literal in an expression is none
  KezDcQrQuery* constant = plain(std::string("Put(\"fig\",") + kName + ")", "Constant");
  RunAs(constant, {"Put", "Get"});
  EXPECT_EQ(text(kName), "fig");
  EXPECT_STREQ(static_cast<KezDcQrQRConstant*>(Located("\"fig\""))->p_QResult, "fig");
  plain("Put($fruit, $other)", "Variable")->DoQuery();  // a put target that is no cell: nothing
  EXPECT_EQ(static_cast<KezDcQrQRVariable*>(Located("$other"))->IntValue, 0);
  KezDcQrQuery* none = New("Get(4+5)");
  for (const char* type : {"", "exp_cell"}) {
    none->TypeOfQResult = type;
    none->DoQuery();
  }
  auto* sum = static_cast<KezDcQrQRExpression*>(none->p_QResult);
  EXPECT_EQ(sum->IntValue, 0);
  New("Get(4+5) ")->DoQuery();  // the same expression, run again at every Get
  EXPECT_EQ(sum->IntValue, 9);
  New("Free(4+5)")->DoQuery();
  EXPECT_TRUE(sum->IntValue == 0 && sum->p_IntQResult == nullptr);
  for (KezDcQrQuery* q : {cell, variable, constant}) RunAs(q, {"Init"});
  EXPECT_EQ(Errors(), (Strings{Unknown("DATA"), Unknown("CELL"), Unknown("VARIABLE"), Unknown("CONSTANT")}));
}

}  // namespace
}  // namespace test
}  // namespace kez
