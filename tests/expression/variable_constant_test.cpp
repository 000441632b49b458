// Variables and constants: construction, assignment, reading by basic type,
// quote removal, freeing, destruction and puts into the fields of a row.
#include "expression/ExprTestHelpers.h"

namespace kez {
namespace test {
namespace {

using List = std::vector<std::string>;

class VariableTest : public ShopTest {
 protected:
  static KezDcQrQResult* Registered(const char* key) { return KezDcQrQResult::QRHTab->Locate(key); }
};

TEST_F(VariableTest, ConstructorsSetTypeValueAndRegister) {
  auto* s = new KezDcQrQRVariable("$s", "\"x\"");
  EXPECT_EQ(s->BasicType, "string");
  EXPECT_EQ(s->StringValue, "\"x\"");
  EXPECT_EQ(s->IntValue, 0);
  EXPECT_EQ(s->DoubleValue, 0.0);
  EXPECT_EQ(s->p_StringQResult, nullptr);
  EXPECT_EQ(s->p_IntQResult, &s->IntValue);
  EXPECT_EQ(s->p_DoubleQResult, &s->DoubleValue);
  EXPECT_EQ(s->Type, "Variable");
  EXPECT_EQ(s->SubQueryFlag, 'N');
  EXPECT_EQ(Registered("$s"), s);

  auto* t = new KezDcQrQRVariable("#t", "12", "int");
  EXPECT_EQ(t->BasicType, "int");
  EXPECT_EQ(t->StringValue, "12");
  EXPECT_EQ(t->IntValue, 0);
  auto* i = new KezDcQrQRVariable("$i", 42);
  EXPECT_EQ(i->BasicType, "int");
  EXPECT_EQ(*static_cast<int*>(i->GetQResult()), 42);
  auto* d = new KezDcQrQRVariable("$d", 1.5);
  EXPECT_EQ(d->BasicType, "double");
  EXPECT_EQ(d->GetQResult(), &d->DoubleValue);
  EXPECT_EQ(d->StringValue, "");
  EXPECT_EQ(Registered("#t"), t);

  KezDcQrQRVariable unnamed;
  EXPECT_EQ(unnamed.Type, "Variable");
  EXPECT_EQ(Registered(""), nullptr);
}

TEST_F(VariableTest, AffectChangesValueAndTypeTogether) {
  auto* v = new KezDcQrQRVariable("$v", 5);
  v->Affect(KezUnicodeString("\"s\""));
  EXPECT_EQ(v->BasicType, "string");
  EXPECT_EQ(v->IntValue, 5);
  EXPECT_STREQ(static_cast<char*>(v->GetQResult()), "s");
  v->Affect(2.5);
  EXPECT_EQ(v->BasicType, "double");
  EXPECT_EQ(v->p_StringQResult, nullptr);
  EXPECT_EQ(*static_cast<double*>(v->GetQResult()), 2.5);
  v->Affect(7);
  EXPECT_EQ(v->GetQResult(), &v->IntValue);
  EXPECT_EQ(v->IntValue, 7);
  EXPECT_EQ(v->DoubleValue, 2.5);
}

TEST_F(VariableTest, StringValueKeepsQuotesTheTextLosesTheOuterOnes) {
  auto* v = new KezDcQrQRVariable("$v", "\"x y\"");
  EXPECT_STREQ(static_cast<char*>(v->GetQResult()), "x y");
  EXPECT_EQ(v->StringValue, "\"x y\"");
  const char* cases[][2] = {{"abc", "abc"}, {"\"a\"b\"", "a\"b"}, {"\"\"", ""},    {"\"", ""},
                            {"\"abc", "abc"}, {"abc\"", "abc"},     {"a\"\"b", "a\"\"b"}, {"", ""}};
  for (auto& c : cases) {
    v->Affect(KezUnicodeString(c[0]));
    EXPECT_STREQ(static_cast<char*>(v->GetQResult()), c[1]) << c[0];
  }
}

TEST_F(VariableTest, UnknownBasicTypeYieldsNullAndAnError) {
  auto* v = new KezDcQrQRVariable("$z", "v", "bogus");
  EXPECT_EQ(v->GetQResult(), nullptr);
  EXPECT_EQ(Errors(), (List{"ERROR: Unknown Type of Variable: <bogus> !\n"}));
}

TEST_F(VariableTest, FreeEmptiesValuesAndKeepsTheType) {
  auto* i = new KezDcQrQRVariable("$i", 7);
  i->FreeQResult();
  EXPECT_EQ(i->GetQResult(), nullptr);
  EXPECT_EQ(i->BasicType, "int");
  i->Affect(7);
  EXPECT_EQ(*static_cast<int*>(i->GetQResult()), 7);

  auto* d = new KezDcQrQRVariable("$d", 1.5);
  d->FreeQResult();
  EXPECT_EQ(d->GetQResult(), nullptr);
  EXPECT_EQ(d->DoubleValue, 0.0);

  auto* s = new KezDcQrQRVariable("$s", "\"abc\"");
  s->GetQResult();
  s->FreeQResult();
  EXPECT_EQ(s->p_StringQResult, nullptr);
  EXPECT_EQ(s->StringValue, "");
  EXPECT_STREQ(static_cast<char*>(s->GetQResult()), "");
}

TEST_F(VariableTest, ConstantsHoldTheirTextWithoutOuterQuotes) {
  const char* cases[][2] = {{"\"abc\"", "abc"}, {"\"a\"b\"", "a\"b"}, {"\"\"", ""}, {"\"", ""}, {"\"a b \"", "a b "}};
  for (auto& c : cases) {
    auto* k = static_cast<KezDcQrQRConstant*>(KezDcQrQResult::NewQResult(c[0]));
    ASSERT_NE(k, nullptr) << c[0];
    EXPECT_STREQ(k->GetQResult(), c[1]) << c[0];
    EXPECT_EQ(k->Constant, c[0]);
    EXPECT_EQ(k->BasicType, "string");
    EXPECT_EQ(Registered(c[0]), k);
  }
  KezDcQrQRConstant unnamed;
  EXPECT_EQ(unnamed.GetQResult(), nullptr);
}

TEST_F(VariableTest, FreedConstantYieldsNullAndPutsNothing) {
  auto* k = new KezDcQrQRConstant("\"abc\"");
  k->FreeQResult();
  EXPECT_EQ(k->GetQResult(), nullptr);
  FillRow('#');
  k->PutQResult(Cell("item"));
  EXPECT_EQ(Octets(kItem, 10), "##########");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(VariableTest, DestructionLeavesTheRegistryOnlyWhenItHoldsTheNode) {
  auto* first = new KezDcQrQRVariable("$a", 1);
  auto* second = new KezDcQrQRVariable("$a", 2);
  ASSERT_EQ(Registered("$a"), second);
  delete first;
  EXPECT_EQ(Registered("$a"), second);
  KezDcQrQResult::DeleteQResult("  $a ");
  EXPECT_EQ(Registered("$a"), nullptr);
  auto* k = new KezDcQrQRConstant("\"k\"");
  delete k;
  EXPECT_EQ(Registered("\"k\""), nullptr);
}

TEST_F(VariableTest, NumbersArePutAsCLibraryTexts) {
  FillRow('#');
  (new KezDcQrQRVariable("$i", 42))->PutQResult(Cell("amount"));
  EXPECT_EQ(Octets(kAmount, 4), std::string("42\0#", 4));
  EXPECT_EQ(Octets(kItem + 9, 1), "#");
  (new KezDcQrQRVariable("$d", 1.5))->PutQResult(Cell("price"));
  EXPECT_EQ(Octets(kPrice, 14), std::string("1.500000e+00\0#", 14));
  (new KezDcQrQRVariable("$n", -7))->PutQResult(Cell("item"));
  EXPECT_EQ(Octets(kItem, 4), std::string("-7\0#", 4));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(VariableTest, TextsArePutWithinTheFieldLength) {
  FillRow('#');
  (new KezDcQrQRVariable("$s", "\"x y\""))->PutQResult(Cell("item"));
  EXPECT_EQ(Octets(kItem, 5), std::string("x y\0#", 5));
  (new KezDcQrQRVariable("$l", "\"toolong\""))->PutQResult(Cell("memo"));
  EXPECT_EQ(Octets(kMemo, 4), "tool");
  EXPECT_EQ(Octets(kPrice + 79, 1), "#");
  (new KezDcQrQRConstant("\"abcdefghijkl\""))->PutQResult(Cell("item"));
  EXPECT_EQ(Octets(kItem, 11), "abcdefghij#");
  (new KezDcQrQRConstant("\"four\""))->PutQResult(Cell("memo"));
  EXPECT_EQ(Octets(kMemo, 4), "four");
  FillRow('#');
  (new KezDcQrQRConstant("\"\""))->PutQResult(Cell("memo"));
  EXPECT_EQ(Octets(kMemo, 4), std::string("\0###", 4));
}

TEST_F(VariableTest, FieldOfLengthZeroReceivesNothing) {
  FillRow('#');
  (new KezDcQrQRVariable("$i", 42))->PutQResult(Cell("code"));
  (new KezDcQrQRConstant("\"abc\""))->PutQResult(Cell("code"));
  EXPECT_EQ(Octets(kMemo, 4), "####");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(VariableTest, PutsIntoTwoCellsFillOneRow) {
  KezDcQrQRData* block = Block();
  (new KezDcQrQRVariable("$i", 9))->PutQResult(Cell("amount"));
  _SEQUENCE_SEQUENCE_octet* row = block->p_RowBuffer;
  ASSERT_NE(row, nullptr);
  ASSERT_EQ(row->length(), kRowLength);
  (new KezDcQrQRConstant("\"pear\""))->PutQResult(Cell("item"));
  EXPECT_EQ(block->p_RowBuffer, row);
  EXPECT_EQ(Octets(kItem, 5), std::string("pear\0", 5));
  EXPECT_EQ(Octets(kAmount, 2), std::string("9\0", 2));
  block->PutQResult();
  std::vector<KezDcDbMemoryRow> rows = KezDcDbMemory::GetInsertedRows("shop", "orders");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "pear");
  EXPECT_EQ(rows[0][1], "9");
}

TEST_F(VariableTest, MissingColumnIsReportedAndNothingWritten) {
  KezDcQrQRCell* nope = Cell("nope");
  FillRow('#');
  (new KezDcQrQRVariable("$i", 42))->PutQResult(nope);
  (new KezDcQrQRConstant("\"abc\""))->PutQResult(nope);
  EXPECT_EQ(Errors(), (List{"WARNING: Column <nope> does not exist ! \n", "ERROR: Cell <nope> isn't in Accessor ! \n"}));
  EXPECT_EQ(Octets(0, kRowLength), std::string(kRowLength, '#'));
}

TEST_F(VariableTest, VariableOfUnknownTypePutsNothing) {
  FillRow('#');
  (new KezDcQrQRVariable("$z", "v", "bogus"))->PutQResult(Cell("item"));
  EXPECT_EQ(Octets(kItem, 10), "##########");
  EXPECT_EQ(Errors(), (List{"ERROR: Unknown Type of Variable: <bogus> !\n"}));
}

}  // namespace
}  // namespace test
}  // namespace kez
