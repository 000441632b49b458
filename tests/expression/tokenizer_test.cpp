// The expression tokenizer: the exact symbols Parse cuts from a text, and
// the syntax error of VerifAndNext.
#include "expression/ExprTestHelpers.h"

namespace kez {
namespace test {
namespace {

using Syms = std::vector<std::string>;

class TokenizerTest : public KezTest {};

TEST_F(TokenizerTest, OperatorsEndOperandsWithOrWithoutBlanks) {
  EXPECT_EQ(Symbols("$a+$b"), (Syms{"$a", "+", "$b"}));
  EXPECT_EQ(Symbols("$a + $b"), (Syms{"$a", "+", "$b"}));
  EXPECT_EQ(Symbols("  7-2*3  "), (Syms{"7", "-", "2", "*", "3"}));
  EXPECT_EQ(Symbols("a/b,c"), (Syms{"a", "/", "b", ",", "c"}));
}

TEST_F(TokenizerTest, BlanksInsideASymbolStay) {
  EXPECT_EQ(Symbols("$a $b"), (Syms{"$a $b"}));
  EXPECT_EQ(Symbols("1 2"), (Syms{"1 2"}));
  EXPECT_EQ(Symbols(" my col + 1"), (Syms{"my col", "+", "1"}));
}

TEST_F(TokenizerTest, KeywordsCompleteOnlyAtTheStartOfASymbol) {
  EXPECT_EQ(Symbols("7 mod 2"), (Syms{"7 mod 2"}));
  EXPECT_EQ(Symbols("7 div 2"), (Syms{"7 div 2"}));
  EXPECT_EQ(Symbols("2*mod"), (Syms{"2", "*", "mod"}));
  EXPECT_EQ(Symbols("7*div*2"), (Syms{"7", "*", "div", "*", "2"}));
  EXPECT_EQ(Symbols("modx"), (Syms{"mod", "x"}));
  EXPECT_EQ(Symbols("sqrt(4)"), (Syms{"sqrt", "(", "4", ")"}));
  EXPECT_EQ(Symbols("sqrtx"), (Syms{"sqrt", "x"}));
  EXPECT_EQ(Symbols("squareroot"), (Syms{"squareroot"}));
  EXPECT_EQ(Symbols("SQRT(4)"), (Syms{"SQRT", "(", "4", ")"}));
}

TEST_F(TokenizerTest, TwoCharacterOperatorsAreOneSymbol) {
  for (const char* op : {">=", "<=", "=>", "=<", "==", "!=", "**", "||", "&&"}) {
    EXPECT_EQ(Symbols(std::string("a") + op + "b"), (Syms{"a", op, "b"})) << op;
  }
  EXPECT_EQ(Symbols("<>"), (Syms{"<", ">"}));
  EXPECT_EQ(Symbols("a<b"), (Syms{"a", "<", "b"}));
  EXPECT_EQ(Symbols("2***3"), (Syms{"2", "**", "*", "3"}));
  EXPECT_EQ(Symbols("a|b&c"), (Syms{"a", "|", "b", "&", "c"}));
}

TEST_F(TokenizerTest, LoneEqualsOrBangTakesTheFollowingWord) {
  EXPECT_EQ(Symbols("a=b"), (Syms{"a", "=b"}));
  EXPECT_EQ(Symbols("a= b+1"), (Syms{"a", "= b", "+", "1"}));
  EXPECT_EQ(Symbols("a!b"), (Syms{"a", "!b"}));
}

TEST_F(TokenizerTest, ClosingParenthesisGluesToAFollowingWord) {
  EXPECT_EQ(Symbols("(a)*b"), (Syms{"(", "a", ")", "*", "b"}));
  EXPECT_EQ(Symbols("(a)x"), (Syms{"(", "a", ")x"}));
  EXPECT_EQ(Symbols("))"), (Syms{")", ")"}));
}

TEST_F(TokenizerTest, TabsAndNewlinesAreDroppedEvenInsideWords) {
  EXPECT_EQ(Symbols("a\tb"), (Syms{"ab"}));
  EXPECT_EQ(Symbols("a\nb\t+\n1"), (Syms{"ab", "+", "1"}));
  EXPECT_EQ(Symbols("sq\trt(4)"), (Syms{"sqrt", "(", "4", ")"}));
}

TEST_F(TokenizerTest, QuotedStringIsOneSymbolWithItsQuotes) {
  EXPECT_EQ(Symbols("\"a+b (c)\""), (Syms{"\"a+b (c)\""}));
  EXPECT_EQ(Symbols("\"ab\"+1"), (Syms{"\"ab\"", "+", "1"}));
  EXPECT_EQ(Symbols("1+ \"x\ty\""), (Syms{"1", "+", "\"x\ty\""}));
  EXPECT_EQ(Symbols("\"  padded  \""), (Syms{"\"  padded  \""}));
}

TEST_F(TokenizerTest, BackslashBeforeAQuoteIsDroppedOtherBackslashesStay) {
  EXPECT_EQ(Symbols("\"a\\\"b\""), (Syms{"\"a\"b\""}));
  EXPECT_EQ(Symbols("\"a\\nb\""), (Syms{"\"a\\nb\""}));
  EXPECT_EQ(Symbols("\"a\\\\"), (Syms{"\"a\\\\"}));
}

TEST_F(TokenizerTest, UnterminatedStringTakesTheRestOfTheText) {
  EXPECT_EQ(Symbols("1+\"abc)*2"), (Syms{"1", "+", "\"abc)*2"}));
}

TEST_F(TokenizerTest, BracketsAndBracesDoNotNest) {
  EXPECT_EQ(Symbols("[x+y]"), (Syms{"[x+y]"}));
  EXPECT_EQ(Symbols("[a[b+c]]"), (Syms{"[a[b", "+", "c]]"}));
  EXPECT_EQ(Symbols("{a{b+c}}"), (Syms{"{a{b", "+", "c}}"}));
  EXPECT_EQ(Symbols("@m:s:r:{a+b}:2:a*2"), (Syms{"@m:s:r:{a+b}:2:a", "*", "2"}));
  EXPECT_EQ(Symbols("@m:s:[#t]:a:2:a - 1"), (Syms{"@m:s:[#t]:a:2:a", "-", "1"}));
  // A bracket inside a quoted string still opens a literal stretch.
  EXPECT_EQ(Symbols("\"a[b\"+1"), (Syms{"\"a[b\"+1"}));
}

TEST_F(TokenizerTest, EmptyOrBlankTextYieldsTheEndMarkerAtOnce) {
  EXPECT_EQ(Symbols(""), Syms{});
  EXPECT_EQ(Symbols(" \t\n  \n"), Syms{});
}

TEST_F(TokenizerTest, ParseAdvancesThePositionPastTheSymbol) {
  KezDcQrQRExpression e;
  e.ExpressionText = "ab + cd";
  e.Parse();
  EXPECT_EQ(e.Symbol, "ab");
  EXPECT_EQ(e.ParsePosition, 3);
  e.Parse();
  EXPECT_EQ(e.Symbol, "+");
  EXPECT_EQ(e.ParsePosition, 4);
  e.Parse();
  e.Parse();
  EXPECT_EQ(e.Symbol, "");
  EXPECT_EQ(e.ParsePosition, 7);
}

TEST_F(TokenizerTest, VerifAndNextReportsTheExpectedAndCurrentSymbolsAndKeepsThem) {
  KezDcQrQRExpression e;
  e.ExpressionText = "a,b";
  e.Parse();
  e.VerifAndNext("a");
  ASSERT_EQ(e.Symbol, ",");
  e.VerifAndNext(")");
  EXPECT_EQ(Errors(), (Syms{"SYNTAX ERROR <)> WAITING AT ,[2] !\n"}));
  EXPECT_EQ(e.Symbol, ",");
  EXPECT_EQ(e.ParsePosition, 2);
  e.VerifAndNext(",");
  EXPECT_EQ(e.Symbol, "b");
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 1);
}

TEST_F(TokenizerTest, ParseNeverLeavesAnyTextUnread) {
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 7919 + 13) % 256);
  KezDcQrQRExpression e;
  e.ExpressionText = KezUnicodeString(junk);
  int symbols = 0;
  do {
    e.Parse();
    ++symbols;
  } while (!e.Symbol.IsEmpty() && symbols < 10000);
  EXPECT_EQ(e.ParsePosition, static_cast<int>(junk.size()));
}

}  // namespace
}  // namespace test
}  // namespace kez
