// Putting values: expressions, variables and constants into the fields of
// a row, an expression into a variable, a data-block expression as a new
// row; and numbers written and read under a locale with a decimal comma.
#include <memory>

#include "expression/ExprTestHelpers.h"

namespace kez {
namespace test {
namespace {

using List = std::vector<std::string>;

class GetPutTest : public ShopTest {};

// Each put starts from a row of '#', so that octets it must not touch show.
TEST_F(GetPutTest, ValuesArePutAsTextsWithinTheFieldLength) {
  FillRow('#');
  NewExpression("7/2")->PutQResult(Cell("price"));
  EXPECT_EQ(Octets(kPrice, 14), std::string("3.500000e+00\0#", 14));
  NewExpression("1+2")->PutQResult(Cell("amount"));
  EXPECT_EQ(Octets(kAmount, 3), std::string("3\0#", 3));
  NewExpression("\"ab\"+\"c\"")->PutQResult(Cell("item"));
  EXPECT_EQ(Octets(kItem, 5), std::string("abc\0#", 5));
  NewExpression("\"abcdefgh\"")->PutQResult(Cell("memo"));
  EXPECT_EQ(Octets(kMemo, 4), "abcd");
  EXPECT_EQ(Octets(kPrice + 79, 1), "#");
  NewExpression("\"xyz\"")->PutQResult(Cell("code"));  // a field of length zero receives nothing
  (new KezDcQrQRVariable("$c", 42))->PutQResult(Cell("code"));
  (new KezDcQrQRConstant("\"abc\""))->PutQResult(Cell("code"));
  EXPECT_EQ(Octets(kMemo, 4), "abcd");

  FillRow('#');
  (new KezDcQrQRVariable("$i", 42))->PutQResult(Cell("amount"));
  EXPECT_EQ(Octets(kAmount, 4), std::string("42\0#", 4));
  (new KezDcQrQRVariable("$d", 1.5))->PutQResult(Cell("price"));
  EXPECT_EQ(Octets(kPrice, 14), std::string("1.500000e+00\0#", 14));
  (new KezDcQrQRVariable("$n", -7))->PutQResult(Cell("item"));
  EXPECT_EQ(Octets(kItem, 4), std::string("-7\0#", 4));
  EXPECT_EQ(Octets(kItem + 9, 1), "#");
  (new KezDcQrQRVariable("$s", "\"x y\""))->PutQResult(Cell("item"));
  EXPECT_EQ(Octets(kItem, 5), std::string("x y\0#", 5));
  (new KezDcQrQRVariable("$l", "\"toolong\""))->PutQResult(Cell("memo"));
  EXPECT_EQ(Octets(kMemo, 4), "tool");

  FillRow('#');
  (new KezDcQrQRConstant("\"abcdefghijkl\""))->PutQResult(Cell("item"));
  EXPECT_EQ(Octets(kItem, 11), "abcdefghij#");
  (new KezDcQrQRConstant("\"four\""))->PutQResult(Cell("memo"));
  EXPECT_EQ(Octets(kMemo, 4), "four");
  (new KezDcQrQRConstant("\"\""))->PutQResult(Cell("memo"));
  EXPECT_EQ(Octets(kMemo, 4), std::string("\0our", 4));
  auto* freed = new KezDcQrQRConstant("\"zz\"");
  freed->FreeQResult();
  freed->PutQResult(Cell("item"));
  EXPECT_EQ(Octets(kItem, 10), "abcdefghij");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(GetPutTest, PutIntoAMissingColumnIsReportedAndWritesNothing) {
  KezDcQrQRCell* nope = Cell("nope");
  FillRow('#');
  NewExpression("1+2")->PutQResult(nope);
  (new KezDcQrQRVariable("$i", 42))->PutQResult(nope);
  (new KezDcQrQRConstant("\"abc\""))->PutQResult(nope);
  EXPECT_EQ(Errors(), (List{"ERROR: Cell <nope> isn't in Accessor ! \n", "WARNING: Column <nope> does not exist ! \n",
                            "ERROR: Cell <nope> isn't in Accessor ! \n"}));
  EXPECT_EQ(Octets(0, kRowLength), std::string(kRowLength, '#'));
}

TEST_F(GetPutTest, PutIntoAVariableGivesItTheType) {
  auto* v = new KezDcQrQRVariable("$v", 0);
  NewExpression("2.5")->PutQResult(v);
  EXPECT_EQ(v->BasicType, "double");
  EXPECT_EQ(v->DoubleValue, 2.5);
  NewExpression("\"hi\"")->PutQResult(v);
  EXPECT_EQ(v->BasicType, "string");
  EXPECT_EQ(v->StringValue, "\"hi\"");
  NewExpression("4*5")->PutQResult(v);
  EXPECT_EQ(v->BasicType, "int");
  EXPECT_EQ(v->IntValue, 20);
}

// Puts into two cells fill the one row buffer of their block, which the
// block's expression then inserts.
TEST_F(GetPutTest, PutOfADataBlockExpressionInsertsItsRow) {
  std::string type;
  KezDcQrQRExpression* block = NewExpression(kBlock, &type);
  ASSERT_EQ(type, "Exp_Data");
  (new KezDcQrQRVariable("$i", 9))->PutQResult(Cell("amount"));
  _SEQUENCE_SEQUENCE_octet* row = Block()->p_RowBuffer;
  ASSERT_NE(row, nullptr);
  ASSERT_EQ(row->length(), kRowLength);
  (new KezDcQrQRConstant("\"pear\""))->PutQResult(Cell("item"));
  EXPECT_EQ(Block()->p_RowBuffer, row);
  block->PutQResult();
  std::vector<KezDcDbMemoryRow> rows = KezDcDbMemory::GetInsertedRows("shop", "orders");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "pear");
  EXPECT_EQ(rows[0][1], "9");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(GetPutTest, PutWithoutTargetNeedsARegisteredDataBlockExpression) {
  NewExpression(CellPath("item"))->PutQResult();
  NewExpression("1+2")->PutQResult();
  KezDcQrQRExpression* e = NewExpression("@m : s : orders : {item} : 2");
  ASSERT_EQ(e->SimpleType, "Exp_Data");
  KezDcQrQResult::DeleteQResult("@m:s:orders:{item}:2");
  e->PutQResult();
  EXPECT_EQ(Errors(),
            (List{"ERROR: Impossible to Put the Expression: <" + CellPath("item") +
                      "> which is not a Exp_Data but a <Expression> !\n",
                  "ERROR: Impossible to Put the Expression: <1+2> which is not a Exp_Data but a <Expression> !\n",
                  "ERROR Unknown Data <@m:s:orders:{item}:2>\n"}));
}

class CommaLocaleTest : public GetPutTest {
 protected:
  void SetUp() override {
    GetPutTest::SetUp();
    locale_.reset(new CommaLocale());
    if (!locale_->active()) GTEST_SKIP() << "no locale with a decimal comma could be set or built (localedef)";
  }
  void TearDown() override {
    locale_.reset();
    GetPutTest::TearDown();
  }
  std::unique_ptr<CommaLocale> locale_;
};

TEST_F(CommaLocaleTest, NumbersAreWrittenAndReadWithAPoint) {
  KezDcQrQuery::NewQuery("Put(2.5,$d)")->DoQuery();
  KezDcQrQuery* twice = KezDcQrQuery::NewQuery("Get($d*2)");
  twice->DoQuery();
  EXPECT_EQ(static_cast<KezDcQrQRExpression*>(twice->p_QResult)->DoubleValue, 5.0);
  KezDcQrQRExpression* literal = NewExpression("1.25*2");
  literal->GetQResult();
  EXPECT_EQ(literal->DoubleValue, 2.5);
  EXPECT_STREQ(static_cast<char*>(NewExpression("2.5+\"x\"")->GetQResult()), "2.500000e+00x");
  EXPECT_STREQ(static_cast<char*>(NewExpression("format(3.14159,\"###.##\")")->GetQResult()), "003.14");
  KezDcQrQRExpression* price = NewExpression(CellPath("price") + "*2");
  price->GetQResult();
  EXPECT_EQ(price->DoubleValue, 25.0);
  NewExpression("7/2")->PutQResult(Cell("price"));
  EXPECT_EQ(Octets(kPrice, 13), std::string("3.500000e+00\0", 13));
  (new KezDcQrQRVariable("$h", 0.5))->PutQResult(Cell("amount"));
  EXPECT_EQ(Octets(kAmount, 13), std::string("5.000000e-01\0", 13));
  EXPECT_TRUE(Errors().empty());
}

}  // namespace
}  // namespace test
}  // namespace kez
