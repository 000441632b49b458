// The expression tokenizer: the positions Parse advances to, the syntax
// error of VerifAndNext, and any text read to its end. The symbols cut from
// each text are cases of tests/language/cases/tokens.test.
#include "support/ExprTestHelpers.h"

namespace kez {
namespace test {
namespace {

using List = std::vector<std::string>;

class TokenizerTest : public KezTest {};

TEST_F(TokenizerTest, ParseAdvancesPastTheSymbolAndVerifAndNextKeepsAnUnexpectedOne) {
  KezDcQrQRExpression e;
  e.ExpressionText = "ab + cd";
  std::vector<std::pair<std::string, int>> steps;
  for (int k = 0; k < 4; ++k) {
    e.Parse();
    steps.emplace_back(e.Symbol.Std(), e.ParsePosition);
  }
  EXPECT_EQ(steps, (std::vector<std::pair<std::string, int>>{{"ab", 3}, {"+", 4}, {"cd", 7}, {"", 7}}));

  KezDcQrQRExpression v;
  v.ExpressionText = "a,b";
  v.Parse();
  v.VerifAndNext("a");
  ASSERT_EQ(v.Symbol, ",");
  v.VerifAndNext(")");
  EXPECT_EQ(Errors(), (List{"SYNTAX ERROR <)> WAITING AT ,[2] !\n"}));
  EXPECT_EQ(v.Symbol, ",");
  EXPECT_EQ(v.ParsePosition, 2);
  v.VerifAndNext(",");
  EXPECT_EQ(v.Symbol, "b");
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 1);
}

TEST_F(TokenizerTest, ParseNeverLeavesAnyTextUnread) {
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 7919 + 13) % 256);
  KezDcQrQRExpression e;
  e.ExpressionText = KezUnicodeString(junk);
  for (int symbols = 0; symbols < 10000; ++symbols) {
    e.Parse();
    if (e.Symbol.IsEmpty()) break;
  }
  EXPECT_EQ(e.ParsePosition, static_cast<int>(junk.size()));
}

}  // namespace
}  // namespace test
}  // namespace kez
