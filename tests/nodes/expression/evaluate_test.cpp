// Expression evaluation: literals, promotions between the three stacks,
// every operator on every stack, operands that are variables, cells or
// other nodes, and the defined behaviour of int overflow.
#include <cmath>
#include <sstream>

#include "support/ExprTestHelpers.h"

namespace kez {
namespace test {
namespace {

using List = std::vector<std::string>;

std::string Illegal(const char* op) {
  return kez::Format("ERROR: Illegal operator '%s' on a string !\n", op);
}
std::string Needs(const char* op, int values, int held) {
  return kez::Format("ERROR: Operator '%s' needs %d value(s), the stack holds %d !\n", op, values, held);
}

class EvaluateTest : public ShopTest {
 protected:
  // The basic type and value of e: "int:3", "double:2.5", "string:\"ab\"".
  static std::string Shown(const KezDcQrQRExpression& e) {
    if (e.BasicType == "int") return "int:" + std::to_string(e.IntValue);
    if (e.BasicType == "double") return kez::Format("double:%.15g", e.DoubleValue);
    return e.BasicType.Std() + ":" + e.StringValue.Std();
  }
  // Each case reads "input -> shown value". A text is evaluated through
  // GetQResult; a postfix list is written with a blank between elements.
  static void ExpectTexts(const List& cases) {
    for (const std::string& c : cases) {
      std::size_t arrow = c.rfind(" -> ");
      KezDcQrQRExpression* e = NewExpression(c.substr(0, arrow));
      e->GetQResult();
      EXPECT_EQ(Shown(*e), c.substr(arrow + 4)) << c;
    }
  }
  void ExpectLists(const List& cases) {
    for (const std::string& c : cases) {
      std::size_t arrow = c.rfind(" -> ");
      EXPECT_EQ(EvalList(c.substr(0, arrow)), c.substr(arrow + 4)) << c;
    }
  }
  std::string EvalList(const std::string& elements) {
    list_expr_.ListOfPostFixedExpression.RemoveAll();
    std::istringstream in(elements);
    for (std::string element; in >> element;) list_expr_.ListOfPostFixedExpression.Append(KezUnicodeString(element));
    list_expr_.GetQResult();
    return Shown(list_expr_);
  }

  KezDcQrQRExpression list_expr_;
};

// Int arithmetic stays int, division gives a double, mixed literals promote
// to double and texts join between one pair of quotes, in either order.
TEST_F(EvaluateTest, LiteralsAndPromotions) {
  ExpectTexts({" -> int:0", "7-2*3 -> int:1", "2**10 -> int:1024", "7/2 -> double:3.5", "6/3 -> double:2",
               "1/0 -> double:inf", "1.5+1 -> double:2.5", "1+1.5 -> double:2.5", ".5*4 -> double:2"});
  ExpectTexts({"1+2*(3+0.5) -> double:8", "sqrt(16) -> double:4", "sqrt(2.25) -> double:1.5",
               "2.0**0.5 -> double:1.4142135623731", "word+1 -> double:1"});
  ExpectTexts({"\"ab\"+\"cd\" -> string:\"abcd\"", "1+\"x\" -> string:\"1x\"", "\"x\"+1 -> string:\"x1\"",
               "2.5+\"x\" -> string:\"2.500000e+00x\"", "\"x\"+2.5 -> string:\"x2.5\"",
               "\"a\"+\"b\"+\"c\" -> string:\"abc\"", "\"only\" -> string:\"only\""});
  ExpectLists({"1 2 \"x\" + + -> string:\"12x\"", "1.5 2 \"x\" + + -> string:\"1.500000e+002.000000e+00x\""});
  EXPECT_TRUE(Errors().empty());
}

// A sign before an operand gives it its sign, tighter than '*' and looser
// than '**'; a sign with nothing to apply to is reported.
TEST_F(EvaluateTest, Signs) {
  ExpectTexts({"-5 -> int:-5", "+5 -> int:5", "2*-3 -> int:-6", "-(1+2) -> int:-3", "-2**2 -> int:-4", "1--2 -> int:3",
               "-2.5*2 -> double:-5", "--4 -> int:4", "4.0**-1 -> double:0.25",
               "format(-3,\"#.#\") -> string:\"-3.0\""});
  EXPECT_TRUE(Errors().empty());
  ExpectLists(
      {"5 - -> int:-5", "5 + -> int:5", "2.5 - -> double:-2.5", "2.5 + -> double:2.5", "2.5 1 - -> double:1.5"});
  ExpectTexts({"- -> int:0", "\"x\"+-\"y\" -> string:\"xy\""});
  EXPECT_EQ(Errors(), (List{"ERROR: '-' sign alone means nothing !\n", "ERROR: Illegal operator '-' on a string !\n"}));
}

// Arithmetic on a string is refused and the top kept; an operator with too
// few values changes nothing. Both are reported.
TEST_F(EvaluateTest, RefusedOperatorsAreReportedAndChangeNothing) {
  ExpectTexts({"1+2*(3+\"x\") -> string:\"23x\"", "\"ab\"-3 -> string:3", "\"ab\"*3 -> string:3",
               "\"ab\"**3 -> string:3", "\"ab\"/3 -> string:3", "sqrt(\"ab\") -> string:\"ab\"",
               "format(\"ab\",\"#\") -> string:\"ab\""});
  ExpectLists({"5 * -> int:5", "5 ** -> int:5", "5 / -> int:5", "sqrt -> int:0", "{format=\"#\"} -> int:0",
               "2.5 * -> double:2.5", "\"a\" + -> string:\"a\""});
  EXPECT_EQ(Errors(), (List{Illegal("*"), Illegal("-"), Illegal("*"), Illegal("**"), Illegal("/"), Illegal("sqrt"),
                            Illegal("format"), Needs("*", 2, 1), Needs("**", 2, 1), Needs("/", 2, 1),
                            Needs("sqrt", 1, 0), Needs("format", 1, 0), Needs("*", 2, 1), Needs("+", 2, 1)}));
}

// An operator without meaning on a stack keeps the top or pushes zero.
TEST_F(EvaluateTest, OperatorsOnTheDoubleStackAndOperatorsWithoutMeaning) {
  List lists = {"1.5 2 * -> double:3",          "1.5 2 ** -> double:2.25", "1.5 2 / -> double:0.75",
                "1.5 2 + -> double:3.5",        "2.25 sqrt -> double:1.5", "1.5 2.5 > -> double:2.5",
                "1.5 2.5 pow -> double:2.5",    "1.5 2.5 mod -> double:0", "\"a\" \"b\" || -> string:\"b\"",
                "\"a\" \"b\" div -> string:div"};
  for (const char* op : {"pow", "&&", "||", ">", "<", ">=", "<=", "=>", "=<", "=="}) {
    lists.push_back(std::string("7 2 ") + op + " -> int:2");
  }
  for (const char* op : {"div", "mod", "!="}) lists.push_back(std::string("7 2 ") + op + " -> double:0");
  ExpectLists(lists);
  ExpectTexts({"pow(2,3) -> int:3", "1<2 -> int:2"});
  EvalList("0 1 - sqrt");
  EXPECT_TRUE(std::isnan(list_expr_.DoubleValue));
  EXPECT_TRUE(Errors().empty());
  // Infix words written between blanks make one symbol, which is no number.
  ExpectTexts({"7 div 2 -> int:0"});
  EXPECT_EQ(Errors(), (List{"ERROR: <7 div 2> is not a number in expression <7 div 2> !\n"}));
}

TEST_F(EvaluateTest, IntOverflowWrapsAndPowerSaturates) {
  ExpectTexts({"2147483647+1 -> int:-2147483648", "0-2147483647-2 -> int:2147483647", "65536*65536 -> int:0",
               "65537*65537 -> int:131073", "2**40 -> int:2147483647", "(0-2)**31 -> int:-2147483648",
               "(0-2)**41 -> int:-2147483648", "99999999999 -> double:99999999999"});
  ExpectLists({"0 2147483647 - 1 - - -> int:-2147483648", "2 0 1 - ** -> int:0"});
  EXPECT_TRUE(Errors().empty());
}

// A format gives a quoted text and promotes the rest; a format symbol
// shorter than two characters gives an empty format.
TEST_F(EvaluateTest, Formats) {
  ExpectTexts({"format(3.14159,\"###.##\") -> string:\"003.14\"", "format(3,\"#.#\") -> string:\"3.0\"",
               "format(7/2,\"#.##\")+\"!\" -> string:\"3.50!\"", "format(3.14159,x) -> string:\"3.141590\""});
  ExpectLists({"1.5 2.5 {format=\"#\"} + -> string:\"1.500000e+002.500000\"",
               "1 2.5 {format=\"#\"} + -> string:\"1.000000e+002.500000\"", "3.14159 {format=} -> string:\"3.141590\"",
               "3.14159 {format= -> string:\"3.141590\"", "3.14159 {format=\"\"} -> string:\"3.141590\""});
  EXPECT_TRUE(Errors().empty());
}

// Variables promote like literals, a freed number variable contributes
// nothing, and cells give numbers or texts.
TEST_F(EvaluateTest, OperandNodes) {
  new KezDcQrQRVariable("$i", 2);
  new KezDcQrQRVariable("$d", 0.5);
  new KezDcQrQRVariable("$s", "\"x y\"");
  (new KezDcQrQRVariable("$fi", 7))->FreeQResult();
  (new KezDcQrQRVariable("$fd", 2.5))->FreeQResult();
  ExpectTexts({"$i+$d -> double:2.5", "$d+$i -> double:2.5", "$i*$i -> int:4", "$i+$s -> string:\"2x y\"",
               "$s+$i -> string:\"x y2\"", "$s+$d -> string:\"x y5.000000e-01\"", "$s -> string:x y",
               "$fi + 3 -> int:3", "$fd + 4 -> int:4", CellPath("price") + " * 2 -> double:25",
               CellPath("amount") + " + 1 -> double:4", CellPath("item") + " + \"!\" -> string:\"apple!\"",
               "1 + " + CellPath("item") + " -> string:\"1apple\"", CellPath("code") + " + 1 -> double:1"});
  EXPECT_TRUE(Errors().empty());
  // A double followed by a string variable leaves two texts.
  ExpectLists(
      {"$d $s -> string:x y", "$d $s + -> string:\"5.000000e-01x y\"", "$d $s + + -> string:\"5.000000e-01x y\""});
  EXPECT_EQ(Errors(), (List{Needs("+", 2, 1)}));
}

TEST_F(EvaluateTest, CellDeletedElsewhereContributesNothing) {
  KezDcQrQRExpression* c = NewExpression(CellPath("price") + " + 2");
  KezDcQrQResult::DeleteQResult(KezUnicodeString(CellPath("price")));
  c->GetQResult();
  EXPECT_EQ(Shown(*c), "int:2");
  EXPECT_EQ(Errors(), (List{"ERROR Unknown Cell <" + CellPath("price") + ">\n"}));
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
  List shown;
  for (int step = 0; step < 3; ++step) {
    if (step == 1) v->Affect(0.25);
    if (step == 2) v->Affect(KezUnicodeString("\"a\""));
    e->GetQResult();
    shown.push_back(Shown(*e));
  }
  EXPECT_EQ(shown, (List{"int:2", "double:0.5", "string:2"}));
  EXPECT_EQ(Errors(), (List{Illegal("*")}));
}

}  // namespace
}  // namespace test
}  // namespace kez
