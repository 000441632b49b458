// Getting an expression's value by its type, freeing it, and putting it
// into a cell, a variable or (for a data-block expression) a new row; also
// through queries, and under a locale with a decimal comma.
#include <memory>

#include "expression/ExprTestHelpers.h"

namespace kez {
namespace test {
namespace {

using List = std::vector<std::string>;

class GetPutTest : public ShopTest {
 protected:
  static KezDcQrQRExpression* Run(const std::string& text) {
    KezDcQrQuery* query = KezDcQrQuery::NewQuery(KezUnicodeString(text));
    query->DoQuery();
    return static_cast<KezDcQrQRExpression*>(query->p_QResult);
  }
};

TEST_F(GetPutTest, GetHandsOutThePointerOfTheBasicType) {
  KezDcQrQRExpression* e = NewExpression("1+2");
  EXPECT_EQ(e->GetQResult(), &e->IntValue);
  EXPECT_EQ(e->IntValue, 3);
  EXPECT_EQ(e->p_StringQResult, nullptr);
  EXPECT_EQ(e->p_DoubleQResult, nullptr);
  KezDcQrQRExpression* d = NewExpression("1/4");
  EXPECT_EQ(d->GetQResult(), &d->DoubleValue);
  EXPECT_EQ(d->p_IntQResult, nullptr);
  KezDcQrQRExpression* s = NewExpression("\"ab\"+\"cd\"");
  EXPECT_STREQ(static_cast<char*>(s->GetQResult()), "abcd");
  EXPECT_EQ(s->p_StringQResult, s->GetQResult());
  EXPECT_EQ(s->StringValue, "\"abcd\"");
  EXPECT_EQ(s->p_IntQResult, nullptr);
  EXPECT_EQ(s->p_DoubleQResult, nullptr);
}

TEST_F(GetPutTest, IntResultAfterAStringReleasesTheText) {
  auto* v = new KezDcQrQRVariable("$v", "\"a\"");
  KezDcQrQRExpression* e = NewExpression("$v");
  EXPECT_STREQ(static_cast<char*>(e->GetQResult()), "a");
  v->Affect(5);
  EXPECT_EQ(e->GetQResult(), &e->IntValue);
  EXPECT_EQ(e->p_StringQResult, nullptr);
  EXPECT_EQ(e->IntValue, 5);
}

TEST_F(GetPutTest, OnlyOneOuterQuoteAtEachEndIsRemoved) {
  EXPECT_STREQ(static_cast<char*>(NewExpression("\"abc")->GetQResult()), "abc");
  EXPECT_STREQ(static_cast<char*>(NewExpression("\"a\\\"b\"")->GetQResult()), "a\"b");
  new KezDcQrQRVariable("$q", "a\"b");
  KezDcQrQRExpression* e = NewExpression("$q");
  EXPECT_STREQ(static_cast<char*>(e->GetQResult()), "a\"b");
  EXPECT_EQ(e->StringValue, "a\"b");
}

TEST_F(GetPutTest, PutIntoACellWritesTheTextOfTheValue) {
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
  NewExpression("\"xyz\"")->PutQResult(Cell("code"));
  EXPECT_EQ(Octets(kMemo, 4), "abcd");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(GetPutTest, PutIntoAMissingColumnWritesNothing) {
  KezDcQrQRCell* nope = Cell("nope");
  FillRow('#');
  NewExpression("1+2")->PutQResult(nope);
  EXPECT_EQ(Errors(), (List{"ERROR: Cell <nope> isn't in Accessor ! \n"}));
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

TEST_F(GetPutTest, PutWithoutTargetNeedsADataBlockExpression) {
  NewExpression(CellPath("item"))->PutQResult();
  NewExpression("1+2")->PutQResult();
  EXPECT_EQ(Errors(), (List{"ERROR: Impossible to Put the Expression: <" + CellPath("item") +
                                "> which is not a Exp_Data but a <Expression> !\n",
                            "ERROR: Impossible to Put the Expression: <1+2> which is not a Exp_Data but a <Expression> !\n"}));
}

TEST_F(GetPutTest, PutOfADataBlockExpressionInsertsItsRow) {
  std::string type;
  KezDcQrQRExpression* block = NewExpression(kBlock, &type);
  ASSERT_EQ(type, "Exp_Data");
  NewExpression("\"kiwi\"")->PutQResult(Cell("item"));
  NewExpression("2*3")->PutQResult(Cell("amount"));
  block->PutQResult();
  std::vector<KezDcDbMemoryRow> rows = KezDcDbMemory::GetInsertedRows("shop", "orders");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "kiwi");
  EXPECT_EQ(rows[0][1], "6");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(GetPutTest, PutOfAnUnregisteredDataBlockIsReported) {
  KezDcQrQRExpression* e = NewExpression("@m : s : orders : {item} : 2");
  ASSERT_EQ(e->SimpleType, "Exp_Data");
  KezDcQrQResult::DeleteQResult("@m:s:orders:{item}:2");
  e->PutQResult();
  EXPECT_EQ(Errors(), (List{"ERROR Unknown Data <@m:s:orders:{item}:2>\n"}));
}

TEST_F(GetPutTest, FreeForgetsTheValueAndTheNextGetEvaluatesAfresh) {
  auto* v = new KezDcQrQRVariable("$v", "\"a\"");
  KezDcQrQRExpression* e = NewExpression("$v+\"b\"");
  e->GetQResult();
  e->FreeQResult();
  EXPECT_EQ(e->StringValue, "");
  EXPECT_EQ(e->IntValue, 0);
  EXPECT_EQ(e->DoubleValue, 0.0);
  EXPECT_EQ(e->p_StringQResult, nullptr);
  EXPECT_EQ(e->p_IntQResult, nullptr);
  EXPECT_EQ(e->p_DoubleQResult, nullptr);
  EXPECT_EQ(e->BasicType, "string");
  v->Affect(KezUnicodeString("\"c\""));
  EXPECT_STREQ(static_cast<char*>(e->GetQResult()), "cb");
}

TEST_F(GetPutTest, QueriesPutAndGetVariablesAndFormats) {
  Run("Put(2.5,$d)");
  KezDcQrQRExpression* twice = Run("Get($d*2)");
  ASSERT_NE(twice, nullptr);
  EXPECT_EQ(twice->BasicType, "double");
  EXPECT_EQ(twice->DoubleValue, 5.0);
  KezDcQrQRExpression* format = Run("Get(format(3.14159,\"###.##\"))");
  ASSERT_NE(format, nullptr);
  EXPECT_STREQ(format->p_StringQResult, "003.14");
  Run("Put(\"plum\"," + CellPath("item") + ")");
  Run("Put(" + std::string(kBlock) + ")");
  std::vector<KezDcDbMemoryRow> rows = KezDcDbMemory::GetInsertedRows("shop", "orders");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "plum");
  EXPECT_TRUE(Errors().empty());
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
  Run("Put(2.5,$d)");
  KezDcQrQRExpression* twice = Run("Get($d*2)");
  ASSERT_NE(twice, nullptr);
  EXPECT_EQ(twice->DoubleValue, 5.0);
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
