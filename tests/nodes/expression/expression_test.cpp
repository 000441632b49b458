// Expression, variable and constant nodes beyond the language case files: the
// registry, the nodes an expression names (deleted with it or elsewhere), puts
// with nowhere to go, unknown types, the nesting bound, a decimal-comma locale.
#include <clocale>
#include <cstdlib>

#include "support/DbFixture.h"
#include "support/TempDir.h"

namespace kez {
namespace test {
namespace {

class ExpressionTest : public ShopTest {
 protected:
  static KezDcQrQRCell* Cell(const std::string& column) { return Node<KezDcQrQRCell>(CellPath(column)); }
  // Field index (0-based) of the row buffer (item, amount, price, code, memo).
  static std::string RowField(uint32_t index) { return Field(Cell("item")->p_QRData, index); }
};

// The registry holds the last node registered under a name until that node
// goes, and an unnamed node registers nothing; a freed constant hands out
// and puts nothing, and a freed expression reads its operands again.
TEST_F(ExpressionTest, RegistryHoldsTheLastNodeAndFreedNodesHandOutNothing) {
  KezDcQrQRConstant unnamed;
  auto* freed = new KezDcQrQRConstant("\"k\"");
  freed->FreeQResult();
  EXPECT_TRUE(!unnamed.GetQResult() && !freed->GetQResult());
  Cell("item")->GetQResult();
  freed->PutQResult(Cell("item"));
  EXPECT_EQ(RowField(0), "apple");
  delete freed;
  auto* first = new KezDcQrQRVariable("$a", 1);
  auto* second = new KezDcQrQRVariable("$a", "\"b\"");
  delete first;
  EXPECT_EQ(Located("$a"), second);
  KezDcQrQRExpression* f = NewExpression("$a+\"c\"");
  f->GetQResult(), f->FreeQResult();
  EXPECT_STREQ(static_cast<char*>(f->GetQResult()), "bc");
  KezDcQrQResult::DeleteQResult("  $a ");
  KezDcQrQRVariable nameless;
  EXPECT_TRUE(!Located("\"k\"") && !Located("$a") && !Located(""));
}

// A put without a target needs a data block; an unknown basic type gives
// nothing and is reported.
TEST_F(ExpressionTest, PutsWithNowhereToGoAndUnknownTypesAreReported) {
  NewExpression(CellPath("item"))->PutQResult();
  NewExpression("1+2")->PutQResult();
  KezDcQrQRExpression* e = NewExpression("@m : s : orders : {item} : 2");
  KezDcQrQResult::DeleteQResult("@m:s:orders:{item}:2");
  e->PutQResult();
  KezDcQrQRExpression bogus;
  for (const char* element : {"1", "+"}) bogus.ListOfPostFixedExpression.Append(element);
  bogus.BasicType = "bogus";
  bogus.Evaluate();
  auto* z = new KezDcQrQRVariable("$z", "v", "bogus");
  EXPECT_EQ(z->GetQResult(), nullptr);
  Cell("item")->GetQResult();
  z->PutQResult(Cell("memo"));
  EXPECT_EQ(RowField(4), "ab");
  EXPECT_EQ(Errors(),
            (Texts{"ERROR: Impossible to Put the Expression: <" + CellPath("item") +
                       "> which is not a Exp_Data but a <Expression> !\n",
                   "ERROR: Impossible to Put the Expression: <1+2> which is not a Exp_Data but a <Expression> !\n",
                   "ERROR Unknown Data <@m:s:orders:{item}:2>\n", "ERROR: Unknown Type of Expression: <bogus> !\n",
                   "ERROR: Unknown Type of Variable: <bogus> !\n", "ERROR: Unknown Type of Variable: <bogus> !\n"}));
}

// Deleting an expression deletes the nodes its list names, also a constant
// registered under a quoted element, and survives nodes deleted in cascade
// or named twice; an operand deleted elsewhere is reported unknown.
TEST_F(ExpressionTest, DeletionDeletesTheNodesTheListNames) {
  const std::string cell = "@m:s:orders:{item}:2:item", text = cell + " + $v + \"abc\"";
  KezDcQrQResult::NewQResult("\"abc\"");
  NewExpression(text);
  ASSERT_TRUE(Located(cell) && Located("$v"));
  KezDcQrQResult::DeleteQResult(KezUnicodeString(text));
  for (const char* key : {"@m:s:orders:{item}:2:item", "$v", "\"abc\"", "@m:s:orders:{item}:2"})
    EXPECT_FALSE(Located(key)) << key;  // the data block, left without a child, went too
  NewExpression("@m + @m:s:orders:{item}:2:item + $v * $v");
  KezDcQrQResult::DeleteQResult("@m + @m:s:orders:{item}:2:item + $v * $v");
  EXPECT_FALSE(Located("@m") || Located(cell) || Located("$v"));
  KezDcQrQRExpression* c = NewExpression(CellPath("price") + " + 2");
  KezDcQrQRExpression* keeper = NewExpression("$k + 1");
  NewExpression("$k * 2");
  KezDcQrQResult::DeleteQResult("$k * 2");
  KezDcQrQResult::DeleteQResult(KezUnicodeString(CellPath("price")));
  c->GetQResult();  // what was deleted elsewhere contributes nothing
  keeper->GetQResult();
  EXPECT_EQ(std::to_string(c->IntValue) + " " + std::to_string(keeper->IntValue), "2 1");
  EXPECT_EQ(Errors(), (Texts{"ERROR Unknown Cell <" + CellPath("price") + ">\n", "ERROR Unknown Variable <$k>\n"}));
}

// Past the bound the text analysed before it is kept, with one error and no
// stack exhausted; up to the bound the text is analysed normally.
TEST_F(ExpressionTest, NestingIsBoundedAndRefusedOnce) {
  const int bound = KezDcQrQRExpression::kMaxDepth;
  for (const char* opener : {"(", "sqrt(", "pow(", "format("}) {
    KezDcCMError::ClearErrors();
    std::string text;
    for (int i = 0; i < 10000; ++i) text += opener;
    EXPECT_EQ(Postfix(NewExpression(text + "1")), Texts{}) << opener;
    ASSERT_EQ(Errors().size(), 1u) << opener;
    EXPECT_EQ(Errors()[0].rfind("ERROR: EXPRESSION NESTED MORE THAN 1000 LEVELS DEEP AT ", 0), 0u) << Errors()[0];
  }
  KezDcCMError::ClearErrors();
  KezDcQrQRExpression* e = NewExpression("$a*2+" + std::string(bound + 1, '(') + "1)+3");
  EXPECT_EQ(Postfix(e), (Texts{"$a", "2", "*"}));
  EXPECT_EQ(e->GetQResult(), nullptr);
  EXPECT_EQ(Errors(),
            (Texts{kez::Format("ERROR: EXPRESSION NESTED MORE THAN 1000 LEVELS DEEP AT ([%d] !\n", bound + 6)}));
  KezDcCMError::ClearErrors();
  EXPECT_EQ(Postfix(NewExpression(std::string(bound, '(') + "2*3" + std::string(bound, ')'))), (Texts{"2", "3", "*"}));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(ExpressionTest, NumbersAreWrittenAndReadWithAPointUnderADecimalCommaLocale) {
  TempDir dir("kez_locale");  // de_DE.UTF-8 is built here when the system lacks it
  struct Restore {
    bool unset;  // LOCPATH, set here only when the environment had none
    ~Restore() { std::setlocale(LC_ALL, "C"), unset ? unsetenv("LOCPATH") : 0; }
  } restore{!std::getenv("LOCPATH")};
  auto comma = [] { return std::setlocale(LC_ALL, "de_DE.UTF-8") && std::localeconv()->decimal_point[0] == ','; };
  if (!comma() && restore.unset && setenv("LOCPATH", dir.Path().c_str(), 1) == 0)
    std::system(("localedef -i de_DE -f UTF-8 " + dir.File("de_DE.UTF-8") + " >/dev/null 2>&1").c_str());
  if (!comma()) GTEST_SKIP() << "no locale with a decimal comma could be set or built (localedef)";
  KezDcQrQuery::NewQuery("Put(2.5,$d)")->DoQuery();
  const auto text = [](const std::string& expression) {
    KezDcQrQRExpression* e = NewExpression(expression);
    e->GetQResult();
    return e->BasicType == "double" ? kez::Format("%g", e->DoubleValue) : e->StringValue.Std();
  };
  EXPECT_EQ(text("$d*2") + " " + text("1.25*2") + " " + text("2.5+\"x\"") + " " + text("format(3.14159,\"###.##\")") +
                " " + text(CellPath("price") + "*2"),
            "5 2.5 \"2.500000e+00x\" \"003.14\" 25");
  NewExpression("7/2")->PutQResult(Cell("price"));
  EXPECT_EQ(RowField(2), "3.500000e+00");
  (new KezDcQrQRVariable("$h", 0.5))->PutQResult(Cell("amount"));
  EXPECT_EQ(RowField(1), "5.000000e-01");
  EXPECT_TRUE(Errors().empty());
}

}  // namespace
}  // namespace test
}  // namespace kez
