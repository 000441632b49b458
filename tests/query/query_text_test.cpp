// The query text: splitting into function and arguments, the messages of
// malformed texts. How texts split and what may be put where are cases of
// tests/language/cases/query-text.test.
#include <string>
#include <vector>

#include "support/KezTestSupport.h"

namespace {

using kez::test::Errors;
using Strings = std::vector<std::string>;

const char kEmpty[] = "ERROR in QrQuery::QrQuery: EMPTY QUERY \n";
const char kInvalid[] = "ERROR: INVALID QUERY \n";

class QueryTextTest : public kez::test::KezTest {
 protected:
  static KezDcQrQuery* New(const char* text) { return KezDcQrQuery::NewQuery(text); }
};

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
