// Hostile query texts: megabyte texts, very many path components and very
// deep nesting must end with clear errors, no crash, and bounded memory.
#include <string>

#include "support/KezTestSupport.h"

namespace {

using kez::test::CountError;

class HostileQueryTest : public kez::test::KezTest {
 protected:
  static KezDcQrQuery* Run(const std::string& text) {
    KezDcQrQuery* q = KezDcQrQuery::NewQuery(text.c_str());
    q->DoQuery();
    return q;
  }
};

TEST_F(HostileQueryTest, MegabyteTexts) {
  std::string sum = "Get(1";
  for (int k = 0; k < 500000; ++k) sum += "+1";
  KezDcQrQuery* q = Run(sum + ")");
  ASSERT_NE(q->p_QResult, nullptr);
  EXPECT_EQ(static_cast<KezDcQrQRExpression*>(q->p_QResult)->IntValue, 500001);
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 0);
  // Without parentheses: an invalid query.
  EXPECT_EQ(Run(std::string(1 << 20, 'G'))->p_QResult, nullptr);
  EXPECT_EQ(CountError("ERROR: INVALID QUERY \n"), 1);
  EXPECT_EQ(CountError("ERROR in QrQuery::QrQuery: EMPTY QUERY \n"), 1);
  // Commas then quotes: the quote met first makes one argument.
  EXPECT_EQ(Run("Put(" + std::string(1 << 19, ',') + std::string(1 << 19, '"') + ")")->DataPathT, "");
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 3);
}

TEST_F(HostileQueryTest, HundredThousandComponentsInAPutTarget) {
  std::string target = "@a";
  for (int k = 1; k < 100000; ++k) target += ":c";
  KezDcQrQuery* q = Run("Put(1, " + target + ")");
  EXPECT_EQ(q->TypeOfQRPutTarget, "Cell");
  ASSERT_NE(q->p_QRPutTarget, nullptr);
  EXPECT_EQ(KezDcCMError::GetNbErrors(), KezDcCMError::kMaxErrors);
  EXPECT_GT(KezDcCMError::GetNbDropped(), 0);
}

// Past the nesting bound the parser reports once and stops, so the one
// message that says what went wrong is not lost among a syntax error per
// level still open.
TEST_F(HostileQueryTest, TooDeepNestingKeepsItsOwnMessage) {
  for (int depth : {1001, 10000}) {
    KezDcCMError::ClearErrors();
    KezDcQrQuery* q = Run("Get(" + std::string(depth, '(') + "1" + std::string(depth, ')') + ")");
    EXPECT_NE(q->p_QResult, nullptr);
    int nesting = 0;
    for (const std::string& e : kez::test::Errors()) {
      nesting += e.rfind("ERROR: EXPRESSION NESTED MORE THAN 1000 LEVELS DEEP", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(nesting, 1) << depth;
    EXPECT_LT(KezDcCMError::GetNbErrors(), 10) << depth;
  }
}

TEST_F(HostileQueryTest, TenThousandNestedBracketsInAPath) {
  std::string path = "@a:" + std::string(10000, '[') + "@b:[x]" + std::string(10000, ']') + ":r:c:1:v";
  EXPECT_EQ(Run("Get(" + path + ")")->TypeOfQResult, "Exp_Cell");
  EXPECT_NE(Run("Get(@a:" + std::string(10000, '[') + "x)")->p_QResult, nullptr);
  EXPECT_GE(CountError("ERROR: INVALID DATAPATH - Too many opened brackets\n"), 1);
}

TEST_F(HostileQueryTest, ManyDistinctQueriesAreAllDeleted) {
  for (int k = 0; k < 20000; ++k) {
    KezDcQrQuery::NewQuery(("Put(" + std::to_string(k) + ", $v" + std::to_string(k % 97) + ")").c_str());
  }
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 20000);
  KezDcQrQuery::DeleteAllQueries();
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Size(), 0);
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size(), 0);
}

}  // namespace
