// The query text: splitting into function and arguments, the messages of
// malformed texts, and the checks on what may be put where.
#include <string>
#include <vector>

#include "support/KezTestSupport.h"
#include "support/TraceCapture.h"

namespace {

using kez::test::Errors;
using Strings = std::vector<std::string>;

const char kEmpty[] = "ERROR in QrQuery::QrQuery: EMPTY QUERY \n";
const char kInvalid[] = "ERROR: INVALID QUERY \n";
const char kPutOnlyData[] = "ERROR: INVALID QUERY <Put only a Data>\n";
const char kPutOnlyTarget[] = "ERROR: INVALID QUERY <Put only to a cell or a variable>\n";
const char kPutOnlyExpression[] = "ERROR: INVALID QUERY <Put only an expression to a variable or a cell>\n";

class QueryTextTest : public kez::test::KezTest {
 protected:
  static KezDcQrQuery* New(const char* text) { return KezDcQrQuery::NewQuery(text); }
};

// Blanks around the function and the arguments are stripped, those inside
// an argument kept; a comma inside quotes does not split, a quote met before
// the comma makes one argument, and text after the last ")" is ignored. The
// second argument is parsed whatever the function, and only a cell or a
// variable becomes the put target; only an expression's value may be put
// into it, and a one-argument put needs a data block.
TEST_F(QueryTextTest, SplitsTheTextAndChecksWhatMayBePutWhere) {
  struct Case {
    const char* text;
    const char* function;
    const char* path;
    const char* target;
    const char* result_type;
    const char* target_type;
    Strings errors;
  } cases[] = {
      {"  Put ( 1 + 2 ,  $v  )  ", "Put", "1 + 2", "$v", "Expression", "Variable", {}},
      {"Put(\"a,b\",$v)", "Put", "\"a,b\"", "$v", "Exp_Constant", "Variable", {}},
      {"Get(\"a,b\")", "Get", "\"a,b\"", "", "Exp_Constant", "", {}},
      {"Put(x, \"a\")", "Put", "x, \"a\"", "", "Expression", "", {kPutOnlyData}},
      {"Get(1+2) trailing words", "Get", "1+2", "", "Expression", "", {}},
      {"Get((1+2)*3) x", "Get", "(1+2)*3", "", "Expression", "", {}},
      {"Put(x,)", "Put", "x", "", "Exp_Constant", "", {kInvalid, "ERROR: Invalid DataPath= \n", kPutOnlyTarget}},
      {"Get(x,$v)", "Get", "x", "$v", "Exp_Constant", "Variable", {}},
      {"Put(1, @sales:main)", "Put", "1", "@sales:main", "Exp_Constant", "Session", {kPutOnlyTarget}},
      {"Put(1, @s:m:r:a:2:c)", "Put", "1", "@s:m:r:a:2:c", "Exp_Constant", "Cell", {}},
      {"Put(@s:m:r:a:2, $v)", "Put", "@s:m:r:a:2", "$v", "Exp_Data", "", {kPutOnlyExpression}},
      {"Put(@s:m:r:a:2)", "Put", "@s:m:r:a:2", "", "Exp_Data", "", {}},
      {"Put(1 + 2)", "Put", "1 + 2", "", "Expression", "", {kPutOnlyData}},
      {"put(1 + 2)", "put", "1 + 2", "", "Expression", "", {}},  // names are compared exactly: not a put
  };
  for (const Case& c : cases) {
    KezDcQrQuery::DeleteAllQueries();
    KezDcCMError::ClearErrors();
    KezDcQrQuery* q = New(c.text);
    EXPECT_EQ(q->QueryText, c.text);
    EXPECT_EQ(q->Function, c.function) << c.text;
    EXPECT_EQ(q->DataPath, c.path) << c.text;
    EXPECT_EQ(q->DataPathT, c.target) << c.text;
    EXPECT_EQ(q->TypeOfQResult, c.result_type) << c.text;
    EXPECT_EQ(q->TypeOfQRPutTarget, c.target_type) << c.text;
    ASSERT_NE(q->p_QResult, nullptr) << c.text;
    EXPECT_EQ(q->p_QResult, KezDcQrQResult::ExprHTab->Locate(c.path)) << c.text;
    // Only a target that is kept is registered.
    bool kept = std::string(c.target_type) == "Variable" || std::string(c.target_type) == "Cell";
    EXPECT_EQ(q->p_QRPutTarget, kept ? KezDcQrQResult::QRHTab->Locate(c.target) : nullptr) << c.text;
    EXPECT_EQ(KezDcQrQResult::QRHTab->Locate(c.target) != nullptr, kept) << c.text;
    EXPECT_EQ(Errors(), c.errors) << c.text;
  }
}

// The positions found while splitting, as the trace shows them.
TEST_F(QueryTextTest, TraceShowsTheSplittingPositions) {
  struct Case {
    const char* text;
    const char* lines;
  } cases[] = {
      {"Put(\"a,b\",$v)",
       "openparenthese:3\nthis->Function:<Put>\ncloseparenthese:12\ncomma=9\nDataPath:<\"a,b\">\nDataPathT:<$v>\n"},
      {"Get", "openparenthese:3\nthis->Function:<Get>\ncloseparenthese:2\ncomma=2\nDataPath:<>\n"},
      {"Get(x", "openparenthese:3\nthis->Function:<Get>\ncloseparenthese:2\ncomma=2\nDataPath:<>\n"},
      {"Get(x) y)z", "openparenthese:3\nthis->Function:<Get>\ncloseparenthese:8\ncomma=2\nDataPath:<x) y>\n"},
  };
  for (const Case& c : cases) {
    kez::test::TraceCapture capture(&KezDcQrQuery::sp_Trace, 4);
    New(c.text);
    capture.Stop();
    std::string lines;
    for (const char* prefix : {"openparenthese:", "this->Function:", "closeparenthese:", "comma=", "DataPath"}) {
      for (const std::string& line : capture.LinesStartingWith(prefix)) lines += line + "\n";
    }
    EXPECT_EQ(lines, c.lines) << c.text;
  }
}

// A later query naming the same expression shares it and its kind, so that
// a Get and a Put of one data block do not spoil each other.
TEST_F(QueryTextTest, SameTextGivesTheSameQueryAndATrailingBlankANewOne) {
  KezDcQrQuery* q = New("Get(@s:m:r:a:2)");
  EXPECT_EQ(New("Get(@s:m:r:a:2)"), q);
  KezDcQrQuery* other = New("Get(@s:m:r:a:2) ");
  EXPECT_NE(other, q);
  EXPECT_EQ(other->p_QResult, q->p_QResult);
  EXPECT_EQ(q->TypeOfQResult, "Exp_Data");
  EXPECT_EQ(other->TypeOfQResult, "Exp_Data");
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 2);
  EXPECT_EQ(New("Put(@s:m:r:a:2)")->TypeOfQResult, "Exp_Data");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(QueryTextTest, MissingPartsReportInvalidThenEmpty) {
  for (const char* text : {"(x)", "Get", "Get()", "Get(", "Get(x", "  ( 1 ) ", "Get(   )"}) {
    KezDcCMError::ClearErrors();
    KezDcQrQuery* q = New(text);
    EXPECT_EQ(Errors(), (Strings{kInvalid, kEmpty})) << text;
    EXPECT_EQ(q->p_QResult, nullptr) << text;
    EXPECT_EQ(q->p_QRPutTarget, nullptr) << text;
    EXPECT_EQ(KezDcQrQuery::QueryHTab->Locate(text), q) << text;  // registered all the same
    q->DoQuery();                                                 // only traces
    EXPECT_EQ(Errors().size(), 2u) << text;
  }
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 0);
}

// An empty text is registered like any other text, so the library's own
// deletions free it; only a client's own default-constructed query is not.
TEST_F(QueryTextTest, EmptyTextMakesARegisteredQueryThatTheDeletionsFree) {
  KezDcQrQuery* a = New("");
  EXPECT_EQ(New(""), a);
  EXPECT_EQ(Errors(), Strings{kEmpty});
  EXPECT_EQ(a->p_QResult, nullptr);
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Locate(""), a);
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

}  // namespace
