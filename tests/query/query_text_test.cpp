// The query text: splitting into function and arguments, the messages of
// malformed texts, and the checks on what may be put where.
#include <string>
#include <vector>

#include "result/TraceCapture.h"
#include "support/KezTestSupport.h"

namespace {

using kez::test::Errors;

const char kEmpty[] = "ERROR in QrQuery::QrQuery: EMPTY QUERY \n";
const char kInvalid[] = "ERROR: INVALID QUERY \n";
const char kPutOnlyData[] = "ERROR: INVALID QUERY <Put only a Data>\n";
const char kPutOnlyTarget[] = "ERROR: INVALID QUERY <Put only to a cell or a variable>\n";
const char kPutOnlyExpression[] = "ERROR: INVALID QUERY <Put only an expression to a variable or a cell>\n";

using Strings = std::vector<std::string>;

class QueryTextTest : public kez::test::KezTest {
 protected:
  static KezDcQrQuery* New(const char* text) { return KezDcQrQuery::NewQuery(text); }
};

TEST_F(QueryTextTest, SplitsFunctionAndBothArgumentsStrippingBlanks) {
  KezDcQrQuery* q = New("  Put ( 1 + 2 ,  $v  )  ");
  EXPECT_EQ(q->QueryText, "  Put ( 1 + 2 ,  $v  )  ");
  EXPECT_EQ(q->Function, "Put");
  EXPECT_EQ(q->DataPath, "1 + 2");  // blanks inside an argument are kept
  EXPECT_EQ(q->DataPathT, "$v");
  EXPECT_EQ(q->TypeOfQResult, "Expression");
  EXPECT_EQ(q->TypeOfQRPutTarget, "Variable");
  ASSERT_NE(q->p_QResult, nullptr);
  EXPECT_EQ(q->p_QResult, KezDcQrQResult::ExprHTab->Locate("1 + 2"));
  ASSERT_NE(q->p_QRPutTarget, nullptr);
  EXPECT_EQ(q->p_QRPutTarget, KezDcQrQResult::QRHTab->Locate("$v"));
  EXPECT_TRUE(Errors().empty());
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

TEST_F(QueryTextTest, SameTextGivesTheSameQueryAndATrailingBlankANewOne) {
  KezDcQrQuery* q = New("Get(1)");
  EXPECT_EQ(New("Get(1)"), q);
  KezDcQrQuery* other = New("Get(1) ");
  EXPECT_NE(other, q);
  EXPECT_EQ(other->p_QResult, q->p_QResult);  // one shared expression
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 2);
}

TEST_F(QueryTextTest, CommaInsideQuotesOfTheFirstArgumentDoesNotSplit) {
  KezDcQrQuery* put = New("Put(\"a,b\",$v)");
  EXPECT_EQ(put->DataPath, "\"a,b\"");
  EXPECT_EQ(put->DataPathT, "$v");
  KezDcQrQuery* get = New("Get(\"a,b\")");
  EXPECT_EQ(get->DataPath, "\"a,b\"");
  EXPECT_EQ(get->DataPathT, "");
  EXPECT_EQ(get->p_QRPutTarget, nullptr);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(QueryTextTest, QuoteMetBeforeTheCommaMakesOneArgument) {
  KezDcQrQuery* q = New("Put(x, \"a\")");
  EXPECT_EQ(q->DataPath, "x, \"a\"");
  EXPECT_EQ(q->DataPathT, "");
  EXPECT_EQ(q->p_QRPutTarget, nullptr);
  EXPECT_EQ(Errors(), Strings{kPutOnlyData});
}

TEST_F(QueryTextTest, TextAfterTheLastClosingParenthesisIsIgnored) {
  KezDcQrQuery* q = New("Get(1+2) trailing words");
  EXPECT_EQ(q->DataPath, "1+2");
  KezDcQrQuery* inner = New("Get((1+2)*3) x");
  EXPECT_EQ(inner->DataPath, "(1+2)*3");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(QueryTextTest, MissingPartsReportInvalidThenEmpty) {
  const char* const texts[] = {"(x)", "Get", "Get()", "Get(", "Get(x", "  ( 1 ) ", "Get(   )"};
  for (const char* text : texts) {
    KezDcCMError::ClearErrors();
    KezDcQrQuery* q = New(text);
    EXPECT_EQ(Errors(), (Strings{kInvalid, kEmpty})) << text;
    EXPECT_EQ(q->p_QResult, nullptr) << text;
    EXPECT_EQ(q->p_QRPutTarget, nullptr) << text;
    EXPECT_EQ(KezDcQrQuery::QueryHTab->Locate(text), q) << text;  // registered all the same
    q->DoQuery();  // only traces
    EXPECT_EQ(Errors().size(), 2u) << text;
  }
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 0);
}

TEST_F(QueryTextTest, EmptyTextMakesAnUnregisteredQueryEachTime) {
  KezDcQrQuery* a = New("");
  KezDcQrQuery* b = New("");
  EXPECT_NE(a, b);
  EXPECT_EQ(Errors(), (Strings{kEmpty, kEmpty}));
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 0);
  EXPECT_EQ(a->p_QResult, nullptr);
  delete a;
  delete b;
  KezDcQrQuery* plain = new KezDcQrQuery();
  EXPECT_EQ(plain->p_QResult, nullptr);
  EXPECT_EQ(Errors().size(), 3u);
  delete plain;
}

TEST_F(QueryTextTest, EmptySecondArgumentIsInvalidAndGivesNoTarget) {
  KezDcQrQuery* q = New("Put(x,)");
  EXPECT_EQ(q->DataPath, "x");
  EXPECT_EQ(q->DataPathT, "");
  EXPECT_EQ(q->p_QRPutTarget, nullptr);
  EXPECT_EQ(Errors(), (Strings{kInvalid, "ERROR: Invalid DataPath= \n", kPutOnlyTarget}));
}

TEST_F(QueryTextTest, SecondArgumentIsParsedWhateverTheFunction) {
  KezDcQrQuery* q = New("Get(x,$v)");
  EXPECT_EQ(q->TypeOfQRPutTarget, "Variable");
  ASSERT_NE(q->p_QRPutTarget, nullptr);
  EXPECT_EQ(q->p_QRPutTarget->Type, "Variable");
  EXPECT_EQ(KezDcQrQResult::QRHTab->Locate("$v"), q->p_QRPutTarget);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(QueryTextTest, PutTargetMustBeACellOrAVariable) {
  KezDcQrQuery* q = New("Put(1, @sales:main)");
  EXPECT_EQ(q->TypeOfQRPutTarget, "Session");
  EXPECT_EQ(q->p_QRPutTarget, nullptr);
  EXPECT_EQ(KezDcQrQResult::QRHTab->Locate("@sales:main"), nullptr);
  EXPECT_EQ(Errors(), Strings{kPutOnlyTarget});

  KezDcCMError::ClearErrors();
  KezDcQrQuery* cell = New("Put(1, @sales:main:orders:amount:20:amount)");
  EXPECT_EQ(cell->TypeOfQRPutTarget, "Cell");
  ASSERT_NE(cell->p_QRPutTarget, nullptr);
  EXPECT_EQ(cell->p_QRPutTarget, KezDcQrQResult::QRHTab->Locate("@sales:main:orders:amount:20:amount"));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(QueryTextTest, OnlyExpressionsValuesMayBePut) {
  KezDcQrQuery* q = New("Put(@sales:main:orders:amount:20, $v)");
  EXPECT_EQ(q->TypeOfQResult, "Exp_Data");
  EXPECT_EQ(q->DataPathT, "$v");
  EXPECT_EQ(q->TypeOfQRPutTarget, "");
  EXPECT_EQ(q->p_QRPutTarget, nullptr);
  EXPECT_EQ(KezDcQrQResult::QRHTab->Locate("$v"), nullptr);
  EXPECT_EQ(Errors(), Strings{kPutOnlyExpression});
}

TEST_F(QueryTextTest, TypesOfSingleOperandExpressions) {
  struct Case {
    const char* text;
    const char* type;
  } cases[] = {{"Get(12)", "Exp_Constant"},      {"Get(\"abc\")", "Exp_Constant"},
               {"Get($v)", "Exp_Variable"},      {"Get(@s)", "Exp_DataSource"},
               {"Get(@s:m)", "Exp_Session"},     {"Get(@s:m:r)", "Exp_Rowset"},
               {"Get(@s:m:r:a)", "Exp_Accessor"}, {"Get(@s:m:r:a:1)", "Exp_Data"},
               {"Get(@s:m:r:a:1:c)", "Exp_Cell"}, {"Get(1 + $v)", "Expression"}};
  for (const Case& c : cases) EXPECT_EQ(New(c.text)->TypeOfQResult, c.type) << c.text;
}

TEST_F(QueryTextTest, OneArgumentPutNeedsADataBlock) {
  New("Put(@sales:main:orders:amount:20)");
  EXPECT_TRUE(Errors().empty());
  New("Put(1 + 2)");
  EXPECT_EQ(Errors(), Strings{kPutOnlyData});
  KezDcCMError::ClearErrors();
  New("put(1 + 2)");  // names are compared exactly: not a put
  EXPECT_TRUE(Errors().empty());
}

TEST_F(QueryTextTest, SharedExpressionGivesTheLaterQueryThePlainType) {
  KezDcQrQuery* get = New("Get(@sales:main:orders:amount:20)");
  EXPECT_EQ(get->TypeOfQResult, "Exp_Data");
  KezDcQrQuery* put = New("Put(@sales:main:orders:amount:20)");
  EXPECT_EQ(put->TypeOfQResult, "Expression");
  EXPECT_EQ(put->p_QResult, get->p_QResult);
  EXPECT_EQ(Errors(), Strings{kPutOnlyData});
}

}  // namespace
