// The expression parser: registration, syntax errors, deletion of the nodes
// an expression names, and hostile texts. Postfix lists and result kinds
// are cases of tests/language/cases/postfix.test.
#include "support/ExprTestHelpers.h"
#include "support/TraceCapture.h"

namespace kez {
namespace test {
namespace {

using List = std::vector<std::string>;

class ParserTest : public KezTest {
 protected:
  static bool Registered(const std::string& key) { return KezDcQrQResult::QRHTab->Locate(KezUnicodeString(key)); }
};

TEST_F(ParserTest, PathOperandIsEmittedAsTheRegistryKeyOfItsNode) {
  EXPECT_EQ(Postfix(NewExpression("@m : s : orders : {item} : 2 : item * 2")),
            (List{"@m:s:orders:{item}:2:item", "2", "*"}));
  EXPECT_TRUE(Registered("@m:s:orders:{item}:2:item"));
  new KezDcQrQRVariable("#t", "\"orders\"");
  std::string type;
  EXPECT_EQ(Postfix(NewExpression("@m:s:#t:{item}:2:item", &type)), (List{"@m:s:orders:{item}:2:item"}));
  EXPECT_EQ(type, "Exp_Cell");
  EXPECT_FALSE(Registered("$n"));
  NewExpression("$n+1");
  EXPECT_TRUE(Registered("$n"));
}

// A missing ")" is reported and the rest kept; a stray ")" is a symbol left
// after a complete expression. Either way the expression gives no value,
// and says why again at each later evaluation.
TEST_F(ParserTest, ParenthesisErrorsAreReportedAndTheRestKept) {
  std::string type;
  KezDcQrQRExpression* e = NewExpression("sqrt(4", &type);
  EXPECT_EQ(Postfix(e), (List{"4", "sqrt"}));
  EXPECT_EQ(Errors(), (List{"SYNTAX ERROR <)> WAITING AT [6] !\n"}));
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Locate("sqrt(4"), e);
  EXPECT_EQ(type, "Expression");
  KezDcCMError::ClearErrors();
  EXPECT_EQ(e->GetQResult(), nullptr);
  EXPECT_TRUE(e->Failed());
  EXPECT_TRUE(Errors().empty());  // the analysis has just said it
  EXPECT_EQ(e->GetQResult(), nullptr);
  EXPECT_EQ(Errors(), (List{"SYNTAX ERROR <)> WAITING AT [6] !\n"}));
  KezDcCMError::ClearErrors();
  EXPECT_EQ(Postfix(NewExpression("1)+2")), (List{"1"}));
  EXPECT_EQ(Errors(), (List{"SYNTAX ERROR <end of expression> WAITING AT )[2] !\n"}));
  KezDcCMError::ClearErrors();
  EXPECT_EQ(Postfix(NewExpression("pow(1;2)")), (List{"1;2", "pow"}));
  EXPECT_EQ(Errors(), (List{"SYNTAX ERROR <,> WAITING AT )[8] !\n"}));
}

TEST_F(ParserTest, ExpressionIsRegisteredBeforeItsAnalysis) {
  TraceCapture capture(&KezDcQrQResult::sp_Trace, 4);
  NewExpression("1+2");
  capture.Stop();
  std::string out = capture.Text();
  std::size_t insert = out.find("Insert in ExprHT DataPath:<1+2>");
  std::size_t analyse = out.find("=-->> QrQRExpression::Analyse\n");
  ASSERT_NE(analyse, std::string::npos);
  EXPECT_LT(insert, analyse);
}

// Deleting an expression deletes the nodes its list names, also a constant
// registered under a quoted element, and survives nodes deleted in cascade
// or named twice.
TEST_F(ParserTest, DeletionDeletesTheNodesTheListNames) {
  const std::string cell = "@m:s:orders:{item}:2:item";
  KezDcQrQResult::NewQResult("\"abc\"");
  NewExpression(cell + " + $v + \"abc\"");
  KezDcQrQRData* block = static_cast<KezDcQrQRData*>(KezDcQrQResult::QRHTab->Locate("@m:s:orders:{item}:2"));
  ASSERT_NE(block, nullptr);
  ASSERT_EQ(block->QRChildList.Size(), 1);
  KezDcQrQResult::DeleteQResult(KezUnicodeString(cell + " + $v + \"abc\""));
  EXPECT_FALSE(Registered(cell));
  EXPECT_FALSE(Registered("$v"));
  EXPECT_FALSE(Registered("\"abc\""));
  // The data block, left without a child that anything names, went too.
  EXPECT_FALSE(Registered("@m:s:orders:{item}:2"));
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Locate(KezUnicodeString(cell + " + $v + \"abc\"")), nullptr);

  NewExpression("@m + @m:s:orders:{item}:2:item + $v * $v");
  ASSERT_TRUE(Registered(cell));
  KezDcQrQResult::DeleteQResult("@m + @m:s:orders:{item}:2:item + $v * $v");
  EXPECT_FALSE(Registered("@m"));
  EXPECT_FALSE(Registered(cell));
  EXPECT_FALSE(Registered("$v"));
}

TEST_F(ParserTest, ExpressionWhoseVariableWasDeletedByAnotherReportsItUnknown) {
  KezDcQrQRExpression* keeper = NewExpression("$k + 1");
  NewExpression("$k * 2");
  KezDcQrQResult::DeleteQResult("$k * 2");
  ASSERT_EQ(*static_cast<int*>(keeper->GetQResult()), 1);
  EXPECT_EQ(Errors(), (List{"ERROR Unknown Variable <$k>\n"}));
}

TEST_F(ParserTest, DeepNestingIsRefusedOnceWithoutExhaustingTheStack) {
  for (const char* opener : {"(", "sqrt(", "pow(", "format("}) {
    KezDcCMError::ClearErrors();
    std::string text;
    for (int i = 0; i < 10000; ++i) text += opener;
    KezDcQrQRExpression* e = NewExpression(text + "1");
    ASSERT_EQ(KezDcCMError::GetNbErrors(), 1) << opener << ": " << Errors()[0];
    EXPECT_EQ(Errors()[0].rfind("ERROR: EXPRESSION NESTED MORE THAN 1000 LEVELS DEEP AT ", 0), 0u) << Errors()[0];
    EXPECT_EQ(Postfix(e), List{});
  }
}

// Past the bound the text analysed before it is kept; up to the bound the
// text is analysed normally.
TEST_F(ParserTest, NestingBound) {
  const int bound = KezDcQrQRExpression::kMaxDepth;
  KezDcQrQRExpression* e = NewExpression("$a*2+" + std::string(bound + 1, '(') + "1)+3");
  EXPECT_EQ(Postfix(e), (List{"$a", "2", "*"}));
  EXPECT_EQ(Errors(),
            (List{kez::Format("ERROR: EXPRESSION NESTED MORE THAN 1000 LEVELS DEEP AT ([%d] !\n", bound + 6)}));
  EXPECT_EQ(e->GetQResult(), nullptr);
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 1);
  KezDcCMError::ClearErrors();
  EXPECT_EQ(Postfix(NewExpression(std::string(bound, '(') + "2*3" + std::string(bound, ')'))), (List{"2", "3", "*"}));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(ParserTest, MegabyteTextsAreAnalysedAndEvaluated) {
  std::string sum;
  while (sum.size() < (1u << 20)) sum += "1+";
  sum += "1";
  KezDcQrQRExpression* e = NewExpression(sum);
  EXPECT_EQ(e->ListOfPostFixedExpression.Size(), static_cast<int>(sum.size()));
  EXPECT_EQ(*static_cast<int*>(e->GetQResult()), static_cast<int>(sum.size() / 2 + 1));
  std::string text(1u << 20, '"');
  text[0] = 'x';
  NewExpression(text)->GetQResult();
  NewExpression(std::string(1u << 20, '-'))->GetQResult();
  NewExpression("@m:s:" + std::string(1u << 20, 'r'))->GetQResult();
}

TEST_F(ParserTest, JunkTextsNeitherCrashNorLeak) {
  const char alphabet[] = "()+-*/,|&=!<>\"\\[]{}@#$: \t\n0123456789.aeqrstdvmofw";
  unsigned seed = 12345;
  for (int round = 0; round < 40; ++round) {
    std::string text;
    std::size_t length = round == 0 ? (1u << 20) : 1 + (seed % 400);
    for (std::size_t i = 0; i < length; ++i) {
      seed = seed * 1103515245u + 12345u;
      unsigned r = seed >> 16;
      text += round % 2 ? static_cast<char>(r % 256) : alphabet[r % (sizeof alphabet - 1)];
    }
    KezDcQrQRExpression* e = NewExpression(text);
    e->GetQResult();
    e->FreeQResult();
    KezDcQrQResult::DeleteAllQResult();
  }
  KezDcCMError::ClearErrors();
}

}  // namespace
}  // namespace test
}  // namespace kez
