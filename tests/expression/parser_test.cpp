// The expression parser: postfix lists and result kinds, registration,
// deletion of the nodes an expression names, and hostile texts.
#include "expression/ExprTestHelpers.h"

namespace kez {
namespace test {
namespace {

using List = std::vector<std::string>;

class ParserTest : public KezTest {
 protected:
  static List ListOf(const std::string& text, std::string* oType = nullptr) {
    return Postfix(NewExpression(text, oType));
  }
  static bool Registered(const std::string& key) { return KezDcQrQResult::QRHTab->Locate(KezUnicodeString(key)); }
};

TEST_F(ParserTest, OperatorsFollowTheirOperandsByPrecedence) {
  std::string type;
  EXPECT_EQ(ListOf("$a+2*$b", &type), (List{"$a", "2", "$b", "*", "+"}));
  EXPECT_EQ(type, "Expression");
  EXPECT_EQ(ListOf("(1+2)*3"), (List{"1", "2", "+", "3", "*"}));
  EXPECT_EQ(ListOf("1+2*3-4/2"), (List{"1", "2", "3", "*", "+", "4", "2", "/", "-"}));
  EXPECT_EQ(ListOf("1+2>3||4"), (List{"1", "2", "+", "3", ">", "4", "||"}));
  EXPECT_EQ(ListOf("$a>1&&$b<2"), (List{"$a", "1", ">", "$b", "2", "<", "&&"}));
  EXPECT_EQ(ListOf("7 - 2 div 3 mod 4"), (List{"7", "2 div 3 mod 4", "-"}));
  EXPECT_EQ(ListOf("7-2*div"), (List{"7", "2", "div", "*", "-"}));
}

TEST_F(ParserTest, EveryLevelIsLeftAssociative) {
  EXPECT_EQ(ListOf("10-4-3"), (List{"10", "4", "-", "3", "-"}));
  EXPECT_EQ(ListOf("2**3**2"), (List{"2", "3", "**", "2", "**"}));
  EXPECT_EQ(ListOf("2*3**2"), (List{"2", "3", "*", "2", "**"}));
  EXPECT_EQ(ListOf("$a||$b&&$c"), (List{"$a", "$b", "||", "$c", "&&"}));
  EXPECT_EQ(ListOf("1<2==3"), (List{"1", "2", "<", "3", "=="}));
}

TEST_F(ParserTest, FunctionsEmitTheirArgumentsThenThemselves) {
  EXPECT_EQ(ListOf("pow(2,3)"), (List{"2", "3", "pow"}));
  EXPECT_EQ(ListOf("sqrt(16)"), (List{"16", "sqrt"}));
  EXPECT_EQ(ListOf("sqrt(pow(1+1,3))*2"), (List{"1", "1", "+", "3", "pow", "sqrt", "2", "*"}));
  EXPECT_EQ(ListOf("format($x,\"###.##\")"), (List{"$x", "{format=\"###.##\"}"}));
  EXPECT_EQ(ListOf("format(1, x y )"), (List{"1", "{format=x y}"}));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(ParserTest, CapitalisedFunctionNamesArePlainOperands) {
  EXPECT_EQ(ListOf("SQRT"), (List{"SQRT"}));
  EXPECT_EQ(ListOf("Pow+1"), (List{"Pow", "1", "+"}));
}

TEST_F(ParserTest, SignIsAnElementOfItsOwn) {
  std::string type;
  EXPECT_EQ(ListOf("-5", &type), (List{"-", "5"}));
  EXPECT_EQ(type, "Expression");
  EXPECT_EQ(ListOf("2*-3"), (List{"2", "-", "*", "3"}));
}

TEST_F(ParserTest, ResultKindFollowsTheSingleElement) {
  std::string type;
  EXPECT_EQ(ListOf("1 2", &type), (List{"1 2"}));
  EXPECT_EQ(type, "Exp_Constant");
  ListOf("\"x\"", &type);
  EXPECT_EQ(type, "Exp_Constant");
  EXPECT_EQ(ListOf("$v", &type), (List{"$v"}));
  EXPECT_EQ(type, "Exp_Variable");
  EXPECT_EQ(ListOf("", &type), List{});
  EXPECT_EQ(type, "");
  EXPECT_EQ(ListOf(" \t ", &type), List{});
  EXPECT_EQ(type, "");
  const char* paths[][2] = {{"@m", "Exp_DataSource"}, {"@m:s", "Exp_Session"}, {"@m:s:orders", "Exp_Rowset"},
                            {"@m:s:orders:{item}", "Exp_Accessor"}, {"@m:s:orders:{item}:2", "Exp_Data"},
                            {"@m:s:orders:{item}:2:item", "Exp_Cell"}};
  for (auto& p : paths) {
    EXPECT_EQ(ListOf(p[0], &type), (List{p[0]}));
    EXPECT_EQ(type, p[1]) << p[0];
  }
}

TEST_F(ParserTest, PathOperandIsEmittedAsTheRegistryKeyOfItsNode) {
  EXPECT_EQ(ListOf("@m : s : orders : {item} : 2 : item * 2"), (List{"@m:s:orders:{item}:2:item", "2", "*"}));
  EXPECT_TRUE(Registered("@m:s:orders:{item}:2:item"));
  new KezDcQrQRVariable("#t", "\"orders\"");
  std::string type;
  EXPECT_EQ(ListOf("@m:s:#t:{item}:2:item", &type), (List{"@m:s:orders:{item}:2:item"}));
  EXPECT_EQ(type, "Exp_Cell");
  EXPECT_FALSE(Registered("$n"));
  ListOf("$n+1");
  EXPECT_TRUE(Registered("$n"));
}

TEST_F(ParserTest, MissingParenthesisIsReportedAndTheRestKept) {
  std::string type;
  KezDcQrQRExpression* e = NewExpression("sqrt(4", &type);
  EXPECT_EQ(Postfix(e), (List{"4", "sqrt"}));
  EXPECT_EQ(Errors(), (List{"SYNTAX ERROR <)> WAITING AT [6] !\n"}));
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Locate("sqrt(4"), e);
  EXPECT_EQ(type, "Expression");
}

TEST_F(ParserTest, StrayClosingParenthesisStartsAFurtherExpression) {
  EXPECT_EQ(ListOf("1)+2"), (List{"1", ")", "2", "+"}));
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(ListOf("pow(1;2)"), (List{"1;2", ")", "pow"}));
  EXPECT_EQ(Errors(), (List{"SYNTAX ERROR <,> WAITING AT )[8] !\n", "SYNTAX ERROR <)> WAITING AT [8] !\n"}));
}

TEST_F(ParserTest, ExpressionIsRegisteredBeforeItsAnalysis) {
  KezTrace* trace = KezDcQrQResult::sp_Trace;
  int level = trace->GetLevel();
  trace->SetLevel(4);
  ::testing::internal::CaptureStderr();
  NewExpression("1+2");
  std::string out = ::testing::internal::GetCapturedStderr();
  trace->SetLevel(level);
  std::size_t insert = out.find("Insert in ExprHT DataPath:<1+2>");
  std::size_t analyse = out.find("=-->> QrQRExpression::Analyse\n");
  ASSERT_NE(insert, std::string::npos);
  ASSERT_NE(analyse, std::string::npos);
  EXPECT_LT(insert, analyse);
}

TEST_F(ParserTest, DeletionDeletesTheNodesTheListNames) {
  const std::string cell = "@m:s:orders:{item}:2:item";
  NewExpression(cell + " + $v");
  KezDcQrQRData* block = static_cast<KezDcQrQRData*>(KezDcQrQResult::QRHTab->Locate("@m:s:orders:{item}:2"));
  ASSERT_NE(block, nullptr);
  ASSERT_EQ(block->QRChildList.Size(), 1);
  KezDcQrQResult::DeleteQResult(KezUnicodeString(cell + " + $v"));
  EXPECT_FALSE(Registered(cell));
  EXPECT_FALSE(Registered("$v"));
  EXPECT_EQ(block->QRChildList.Size(), 0);
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Locate(KezUnicodeString(cell + " + $v")), nullptr);
}

TEST_F(ParserTest, DeletionSurvivesNodesDeletedInCascadeOrNamedTwice) {
  NewExpression("@m + @m:s:orders:{item}:2:item + $v * $v");
  ASSERT_TRUE(Registered("@m:s:orders:{item}:2:item"));
  KezDcQrQResult::DeleteQResult("@m + @m:s:orders:{item}:2:item + $v * $v");
  EXPECT_FALSE(Registered("@m"));
  EXPECT_FALSE(Registered("@m:s:orders:{item}:2:item"));
  EXPECT_FALSE(Registered("$v"));
}

TEST_F(ParserTest, DeletionDeletesAConstantRegisteredUnderAQuotedElement) {
  KezDcQrQResult::NewQResult("\"abc\"");
  ASSERT_TRUE(Registered("\"abc\""));
  NewExpression("\"abc\" + 1");
  KezDcQrQResult::DeleteQResult("\"abc\" + 1");
  EXPECT_FALSE(Registered("\"abc\""));
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
    text += "1";
    KezDcQrQRExpression* e = NewExpression(text);
    ASSERT_EQ(KezDcCMError::GetNbErrors(), 1) << opener << ": " << Errors()[0];
    EXPECT_EQ(Errors()[0].rfind("ERROR: EXPRESSION NESTED MORE THAN 1000 LEVELS DEEP AT ", 0), 0u) << Errors()[0];
    EXPECT_EQ(Postfix(e), List{});
  }
}

TEST_F(ParserTest, TooDeepTextKeepsWhatWasAnalysedBeforeTheBound) {
  std::string text = "$a*2+" + std::string(KezDcQrQRExpression::kMaxDepth + 1, '(') + "1)+3";
  KezDcQrQRExpression* e = NewExpression(text);
  EXPECT_EQ(Postfix(e), (List{"$a", "2", "*"}));
  EXPECT_EQ(Errors(), (List{kez::Format("ERROR: EXPRESSION NESTED MORE THAN 1000 LEVELS DEEP AT ([%d] !\n",
                                        KezDcQrQRExpression::kMaxDepth + 6)}));
  EXPECT_EQ(*static_cast<int*>(e->GetQResult()), 0);
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 1);
}

TEST_F(ParserTest, NestingUpToTheBoundIsAnalysedNormally) {
  std::string text(KezDcQrQRExpression::kMaxDepth, '(');
  text += "2*3";
  text += std::string(KezDcQrQRExpression::kMaxDepth, ')');
  KezDcQrQRExpression* e = NewExpression(text);
  EXPECT_EQ(Postfix(e), (List{"2", "3", "*"}));
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
