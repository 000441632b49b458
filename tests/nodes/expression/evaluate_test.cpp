// Expression evaluation beyond the case files (tests/language/cases/):
// operands deleted or changed between evaluations, unknown stack types, NaN.
#include <cmath>

#include "support/ExprTestHelpers.h"

namespace kez {
namespace test {
namespace {

using List = std::vector<std::string>;

std::string Illegal(const char* op) {
  return kez::Format("ERROR: Illegal operator '%s' on a string !\n", op);
}

class EvaluateTest : public ShopTest {
 protected:
  // The basic type and value of e: "int:3", "double:2.5", "string:\"ab\"".
  static std::string Shown(const KezDcQrQRExpression& e) {
    if (e.BasicType == "int") return "int:" + std::to_string(e.IntValue);
    if (e.BasicType == "double") return kez::Format("double:%.15g", e.DoubleValue);
    return e.BasicType.Std() + ":" + e.StringValue.Std();
  }
};

// The square root of a negative number is NaN, which no case file can show.
TEST_F(EvaluateTest, SquareRootOfANegativeNumberIsNan) {
  KezDcQrQRExpression e;
  for (const char* element : {"0", "1", "-", "sqrt"}) e.ListOfPostFixedExpression.Append(element);
  e.GetQResult();
  EXPECT_TRUE(std::isnan(e.DoubleValue));
  EXPECT_TRUE(Errors().empty());
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
