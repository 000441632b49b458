// The expression tokenizer: the exact symbols Parse cuts from a text, the
// positions it advances to, and the syntax error of VerifAndNext.
#include "support/ExprTestHelpers.h"

namespace kez {
namespace test {
namespace {

using List = std::vector<std::string>;

class TokenizerTest : public KezTest {};

// Each case reads "text -> [symbol] [symbol] ...".
void ExpectSymbols(const List& cases) {
  for (const std::string& c : cases) {
    KezDcQrQRExpression e;
    e.ExpressionText = KezUnicodeString(c.substr(0, c.rfind(" -> ")));
    std::string symbols;
    for (e.Parse(); !e.Symbol.IsEmpty() && symbols.size() <= c.size(); e.Parse()) {
      symbols += (symbols.empty() ? "[" : " [") + e.Symbol.Std() + "]";
    }
    EXPECT_EQ(symbols, c.substr(c.rfind(" -> ") + 4)) << c;
  }
}

TEST_F(TokenizerTest, CutsTheExactSymbols) {
  // Operators end operands, with or without blanks; blanks inside a symbol stay.
  ExpectSymbols({"$a+$b -> [$a] [+] [$b]", "$a + $b -> [$a] [+] [$b]", "  7-2*3   -> [7] [-] [2] [*] [3]",
                 "a/b,c -> [a] [/] [b] [,] [c]", "$a $b -> [$a $b]", "1 2 -> [1 2]",
                 " my col + 1 -> [my col] [+] [1]"});
  // Keywords complete only at the start of a symbol.
  ExpectSymbols({"7 mod 2 -> [7 mod 2]", "7 div 2 -> [7 div 2]", "2*mod -> [2] [*] [mod]",
                 "7*div*2 -> [7] [*] [div] [*] [2]", "modx -> [mod] [x]", "sqrt(4) -> [sqrt] [(] [4] [)]",
                 "sqrtx -> [sqrt] [x]", "squareroot -> [squareroot]", "SQRT(4) -> [SQRT] [(] [4] [)]"});
  // Two-character operators are one symbol; a lone '=' or '!' takes the following word.
  ExpectSymbols({"<> -> [<] [>]", "a<b -> [a] [<] [b]", "2***3 -> [2] [**] [*] [3]", "a|b&c -> [a] [|] [b] [&] [c]",
                 "a=b -> [a] [=b]", "a= b+1 -> [a] [= b] [+] [1]", "a!b -> [a] [!b]"});
  // A closing parenthesis glues to a following word; tabs and newlines are dropped, even inside
  // words; blank text gives the end marker at once.
  ExpectSymbols({"(a)*b -> [(] [a] [)] [*] [b]", "(a)x -> [(] [a] [)x]", ")) -> [)] [)]", "a\tb -> [ab]",
                 "a\nb\t+\n1 -> [ab] [+] [1]", "sq\trt(4) -> [sqrt] [(] [4] [)]", " -> ", " \t\n  \n -> "});
  // A quoted string is one symbol with its quotes, to the end of the text when unterminated; a
  // backslash before a quote is dropped, other backslashes stay.
  ExpectSymbols({"\"a+b (c)\" -> [\"a+b (c)\"]", "\"ab\"+1 -> [\"ab\"] [+] [1]", "1+ \"x\ty\" -> [1] [+] [\"x\ty\"]",
                 "\"  padded  \" -> [\"  padded  \"]", "\"a\\\"b\" -> [\"a\"b\"]", "\"a\\nb\" -> [\"a\\nb\"]",
                 "\"a\\\\ -> [\"a\\\\]", "1+\"abc)*2 -> [1] [+] [\"abc)*2]"});
  // Brackets and braces do not nest; a bracket inside a quoted string still opens a stretch.
  ExpectSymbols({"[x+y] -> [[x+y]]", "[a[b+c]] -> [[a[b] [+] [c]]]", "{a{b+c}} -> [{a{b] [+] [c}}]",
                 "@m:s:r:{a+b}:2:a*2 -> [@m:s:r:{a+b}:2:a] [*] [2]", "@m:s:[#t]:a:2:a - 1 -> [@m:s:[#t]:a:2:a] [-] [1]",
                 "\"a[b\"+1 -> [\"a[b\"+1]"});
  for (const char* op : {">=", "<=", "=>", "=<", "==", "!=", "**", "||", "&&"}) {
    ExpectSymbols({std::string("a") + op + "b -> [a] [" + op + "] [b]"});
  }
}

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
