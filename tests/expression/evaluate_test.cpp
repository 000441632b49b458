// Expression evaluation: literals, promotions between the three stacks,
// every operator on every stack, operands that are variables or cells, and
// the defined behaviour of int overflow.
#include <climits>
#include <cmath>

#include "expression/ExprTestHelpers.h"

namespace kez {
namespace test {
namespace {

using List = std::vector<std::string>;

class EvaluateTest : public ShopTest {
 protected:
  // Evaluates text through GetQResult.
  static KezDcQrQRExpression* Eval(const std::string& text) {
    KezDcQrQRExpression* e = NewExpression(text);
    e->GetQResult();
    return e;
  }
  // Evaluates a postfix list given element by element.
  KezDcQrQRExpression& EvalList(const List& elements) {
    list_expr_.ListOfPostFixedExpression.RemoveAll();
    for (const std::string& element : elements) list_expr_.ListOfPostFixedExpression.Append(KezUnicodeString(element));
    list_expr_.GetQResult();
    return list_expr_;
  }
  static void ExpectInt(const KezDcQrQRExpression& e, int value) {
    EXPECT_EQ(e.BasicType, "int");
    EXPECT_EQ(e.IntValue, value);
  }
  static void ExpectDouble(const KezDcQrQRExpression& e, double value) {
    EXPECT_EQ(e.BasicType, "double");
    EXPECT_DOUBLE_EQ(e.DoubleValue, value);
  }
  static void ExpectString(const KezDcQrQRExpression& e, const std::string& value) {
    EXPECT_EQ(e.BasicType, "string");
    EXPECT_EQ(e.StringValue.Std(), value);
  }
  static std::string Needs(const char* op, int values, int held) {
    return kez::Format("ERROR: Operator '%s' needs %d value(s), the stack holds %d !\n", op, values, held);
  }

  KezDcQrQRExpression list_expr_;
};

TEST_F(EvaluateTest, IntArithmeticStaysIntAndDivisionGivesDouble) {
  ExpectInt(*Eval(""), 0);
  ExpectInt(*Eval("7-2*3"), 1);
  ExpectInt(*Eval("2**10"), 1024);
  ExpectInt(*Eval("10-4-3"), 3);
  ExpectDouble(*Eval("7/2"), 3.5);
  ExpectDouble(*Eval("6/3"), 2.0);
  EXPECT_TRUE(std::isinf(Eval("1/0")->DoubleValue));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(EvaluateTest, MixedLiteralsPromoteToDoubleInEitherOrder) {
  ExpectDouble(*Eval("1.5+1"), 2.5);
  ExpectDouble(*Eval("1+1.5"), 2.5);
  ExpectDouble(*Eval(".5*4"), 2.0);
  ExpectDouble(*Eval("1+2*(3+0.5)"), 8.0);
  ExpectDouble(*Eval("sqrt(16)"), 4.0);
  ExpectDouble(*Eval("sqrt(2.25)"), 1.5);
  ExpectDouble(*Eval("2.0**0.5"), std::sqrt(2.0));
  ExpectDouble(*Eval("word+1"), 1.0);
}

TEST_F(EvaluateTest, SignAloneIsReportedAndTheValueKept) {
  ExpectInt(*Eval("-5"), 5);
  ExpectInt(*Eval("+5"), 5);
  EXPECT_EQ(Errors(), (List{"ERROR: '-' sign alone means nothing !\n", "ERROR: '+' sign alone means nothing !\n"}));
}

TEST_F(EvaluateTest, SignsWithOneValueKeepOrNegateIt) {
  ExpectInt(EvalList({"5", "-"}), -5);
  ExpectInt(EvalList({"5", "+"}), 5);
  ExpectDouble(EvalList({"2.5", "-"}), -2.5);
  ExpectDouble(EvalList({"2.5", "+"}), 2.5);
  ExpectDouble(EvalList({"2.5", "1", "-"}), 1.5);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(EvaluateTest, LiteralsJoinBetweenOnePairOfQuotes) {
  ExpectString(*Eval("\"ab\"+\"cd\""), "\"abcd\"");
  ExpectString(*Eval("1+\"x\""), "\"1x\"");
  ExpectString(*Eval("\"x\"+1"), "\"x1\"");
  ExpectString(*Eval("2.5+\"x\""), "\"2.500000e+00x\"");
  ExpectString(*Eval("\"x\"+2.5"), "\"x2.5\"");
  ExpectString(*Eval("\"a\"+\"b\"+\"c\""), "\"abc\"");
  ExpectString(*Eval("\"only\""), "\"only\"");
}

TEST_F(EvaluateTest, PromotionToStringKeepsTheOrderOfTheValues) {
  ExpectString(*Eval("1+2*(3+\"x\")"), "\"23x\"");
  EXPECT_EQ(Errors(), (List{"ERROR: Illegal operator '*' on a string !\n"}));
  ExpectString(EvalList({"1", "2", "\"x\"", "+", "+"}), "\"12x\"");
  ExpectString(EvalList({"1.5", "2", "\"x\"", "+", "+"}), "\"1.500000e+002.000000e+00x\"");
}

TEST_F(EvaluateTest, ArithmeticOnAStringIsRefusedAndTheTopKept) {
  ExpectString(*Eval("\"ab\"-3"), "3");
  ExpectString(*Eval("\"ab\"*3"), "3");
  ExpectString(*Eval("\"ab\"**3"), "3");
  ExpectString(*Eval("\"ab\"/3"), "3");
  ExpectString(*Eval("sqrt(\"ab\")"), "\"ab\"");
  ExpectString(*Eval("format(\"ab\",\"#\")"), "\"ab\"");
  EXPECT_EQ(Errors(), (List{"ERROR: Illegal operator '-' on a string !\n", "ERROR: Illegal operator '*' on a string !\n",
                            "ERROR: Illegal operator '**' on a string !\n", "ERROR: Illegal operator '/' on a string !\n",
                            "ERROR: Illegal operator 'sqrt' on a string !\n",
                            "ERROR: Illegal operator 'format' on a string !\n"}));
}

TEST_F(EvaluateTest, OperatorsWithTooFewValuesReportAndChangeNothing) {
  ExpectInt(EvalList({"5", "*"}), 5);
  ExpectInt(EvalList({"5", "**"}), 5);
  ExpectInt(EvalList({"5", "/"}), 5);
  ExpectInt(EvalList({"sqrt"}), 0);
  ExpectInt(EvalList({"{format=\"#\"}"}), 0);
  ExpectDouble(EvalList({"2.5", "*"}), 2.5);
  ExpectString(EvalList({"\"a\"", "+"}), "\"a\"");
  EXPECT_EQ(Errors(), (List{Needs("*", 2, 1), Needs("**", 2, 1), Needs("/", 2, 1), Needs("sqrt", 1, 0),
                            Needs("format", 1, 0), Needs("*", 2, 1), Needs("+", 2, 1)}));
}

TEST_F(EvaluateTest, OperatorsOnTheDoubleStack) {
  ExpectDouble(EvalList({"1.5", "2", "*"}), 3.0);
  ExpectDouble(EvalList({"1.5", "2", "**"}), 2.25);
  ExpectDouble(EvalList({"1.5", "2", "/"}), 0.75);
  ExpectDouble(EvalList({"1.5", "2", "+"}), 3.5);
  ExpectDouble(EvalList({"2.25", "sqrt"}), 1.5);
  EXPECT_TRUE(std::isnan(EvalList({"0", "1", "-", "sqrt"}).DoubleValue));
}

TEST_F(EvaluateTest, OperatorsWithoutMeaningChangeNothingOrPushZero) {
  for (const char* op : {"pow", "&&", "||", ">", "<", ">=", "<=", "=>", "=<", "=="}) {
    ExpectInt(EvalList({"7", "2", op}), 2);
  }
  ExpectInt(*Eval("pow(2,3)"), 3);
  ExpectInt(*Eval("1<2"), 2);
  for (const char* op : {"div", "mod", "!="}) ExpectDouble(EvalList({"7", "2", op}), 0.0);
  ExpectInt(*Eval("7 div 2"), 7);
  ExpectDouble(EvalList({"1.5", "2.5", ">"}), 2.5);
  ExpectDouble(EvalList({"1.5", "2.5", "pow"}), 2.5);
  ExpectDouble(EvalList({"1.5", "2.5", "mod"}), 0.0);
  ExpectString(EvalList({"\"a\"", "\"b\"", "||"}), "\"b\"");
  ExpectString(EvalList({"\"a\"", "\"b\"", "div"}), "div");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(EvaluateTest, IntOverflowWrapsAndPowerSaturates) {
  ExpectInt(*Eval("2147483647+1"), INT_MIN);
  ExpectInt(*Eval("0-2147483647-2"), INT_MAX);
  ExpectInt(*Eval("65536*65536"), 0);
  ExpectInt(*Eval("65537*65537"), 131073);
  ExpectInt(EvalList({"0", "2147483647", "-", "1", "-", "-"}), INT_MIN);
  ExpectInt(*Eval("2**40"), INT_MAX);
  ExpectInt(*Eval("(0-2)**31"), INT_MIN);
  ExpectInt(*Eval("(0-2)**41"), INT_MIN);
  ExpectInt(EvalList({"2", "0", "1", "-", "**"}), 0);
  ExpectInt(*Eval("99999999999"), INT_MAX);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(EvaluateTest, FormatGivesAQuotedTextAndPromotesTheRest) {
  KezDcQrQRExpression* e = NewExpression("format(3.14159,\"###.##\")");
  EXPECT_STREQ(static_cast<char*>(e->GetQResult()), "003.14");
  ExpectString(*e, "\"003.14\"");
  ExpectString(*Eval("format(3,\"#.#\")"), "\"3.0\"");
  ExpectString(*Eval("format(7/2,\"#.##\")+\"!\""), "\"3.50!\"");
  ExpectString(EvalList({"1.5", "2.5", "{format=\"#\"}", "+"}), "\"1.500000e+002.500000\"");
  ExpectString(EvalList({"1", "2.5", "{format=\"#\"}", "+"}), "\"1.000000e+002.500000\"");
}

TEST_F(EvaluateTest, FormatSymbolShorterThanTwoCharactersGivesAnEmptyFormat) {
  ExpectString(*Eval("format(3.14159,x)"), "\"3.141590\"");
  ExpectString(EvalList({"3.14159", "{format=}"}), "\"3.141590\"");
  ExpectString(EvalList({"3.14159", "{format="}), "\"3.141590\"");
  ExpectString(EvalList({"3.14159", "{format=\"\"}"}), "\"3.141590\"");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(EvaluateTest, VariablesPromoteLikeLiterals) {
  new KezDcQrQRVariable("$i", 2);
  new KezDcQrQRVariable("$d", 0.5);
  new KezDcQrQRVariable("$s", "\"x y\"");
  ExpectDouble(*Eval("$i+$d"), 2.5);
  ExpectDouble(*Eval("$d+$i"), 2.5);
  ExpectInt(*Eval("$i*$i"), 4);
  ExpectString(*Eval("$i+$s"), "\"2x y\"");
  ExpectString(*Eval("$s+$i"), "\"x y2\"");
  ExpectString(*Eval("$s+$d"), "\"x y5.000000e-01\"");
  ExpectString(*Eval("$s"), "x y");
}

TEST_F(EvaluateTest, DoubleFollowedByAStringVariableLeavesTwoTexts) {
  new KezDcQrQRVariable("$d", 0.5);
  new KezDcQrQRVariable("$s", "\"x y\"");
  ExpectString(EvalList({"$d", "$s"}), "x y");
  ExpectString(EvalList({"$d", "$s", "+"}), "\"5.000000e-01x y\"");
  ExpectString(EvalList({"$d", "$s", "+", "+"}), "\"5.000000e-01x y\"");
  EXPECT_EQ(Errors(), (List{Needs("+", 2, 1)}));
}

TEST_F(EvaluateTest, UnknownVariableOrCellContributesNothing) {
  KezDcQrQRExpression* v = NewExpression("$u + 1");
  KezDcQrQRExpression* c = NewExpression(CellPath("price") + " + 2");
  KezDcQrQResult::DeleteQResult("$u");
  KezDcQrQResult::DeleteQResult(KezUnicodeString(CellPath("price")));
  v->GetQResult();
  ExpectInt(*v, 1);
  c->GetQResult();
  ExpectInt(*c, 2);
  EXPECT_EQ(Errors(), (List{"ERROR Unknown Variable <$u>\n", "ERROR Unknown Cell <" + CellPath("price") + ">\n"}));
}

TEST_F(EvaluateTest, FreedNumberVariableContributesNothing) {
  auto* i = new KezDcQrQRVariable("$i", 7);
  auto* d = new KezDcQrQRVariable("$d", 2.5);
  i->FreeQResult();
  d->FreeQResult();
  ExpectInt(*Eval("$i + 3"), 3);
  ExpectInt(*Eval("$d + 4"), 4);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(EvaluateTest, CellsGiveNumbersOrTexts) {
  ExpectDouble(*Eval(CellPath("price") + " * 2"), 25.0);
  ExpectDouble(*Eval(CellPath("amount") + " + 1"), 4.0);
  ExpectString(*Eval(CellPath("item") + " + \"!\""), "\"apple!\"");
  ExpectString(*Eval("1 + " + CellPath("item")), "\"1apple\"");
  ExpectDouble(*Eval(CellPath("code") + " + 1"), 1.0);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(EvaluateTest, NodesOtherThanCellsCountAsOpenOrNot) {
  ExpectInt(*Eval("@m + 0"), 1);
  ExpectInt(*Eval("@nowhere + 0"), 0);
  ExpectInt(*Eval(std::string(kBlock) + " + 0"), 0);
}

TEST_F(EvaluateTest, OperatorsOnAnUnknownBasicTypeAreReported) {
  KezDcQrQRExpression e;
  e.ListOfPostFixedExpression.Append("1");
  e.ListOfPostFixedExpression.Append("+");
  e.BasicType = "bogus";
  e.Evaluate();
  EXPECT_EQ(Errors(), (List{"ERROR: Unknown Type of Expression: <bogus> !\n"}));
  EXPECT_EQ(e.BasicType, "bogus");
}

TEST_F(EvaluateTest, RepeatedEvaluationsFollowTheOperands) {
  auto* v = new KezDcQrQRVariable("$v", 1);
  KezDcQrQRExpression* e = NewExpression("$v * 2");
  e->GetQResult();
  ExpectInt(*e, 2);
  v->Affect(0.25);
  e->GetQResult();
  ExpectDouble(*e, 0.5);
  v->Affect(KezUnicodeString("\"a\""));
  e->GetQResult();
  ExpectString(*e, "2");
  EXPECT_EQ(Errors(), (List{"ERROR: Illegal operator '*' on a string !\n"}));
}

}  // namespace
}  // namespace test
}  // namespace kez
