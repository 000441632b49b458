// Getting and freeing values: variables and constants (construction,
// assignment, quote removal, destruction) and expressions, whose value is
// handed out by its basic type.
#include "expression/ExprTestHelpers.h"

namespace kez {
namespace test {
namespace {

using List = std::vector<std::string>;

class VariableTest : public ShopTest {
 protected:
  static KezDcQrQResult* Registered(const char* key) { return KezDcQrQResult::QRHTab->Locate(key); }
};

TEST_F(VariableTest, ConstructorsSetTheBasicTypeAndRegisterNamedVariables) {
  auto* s = new KezDcQrQRVariable("$s", "\"x\"");
  auto* t = new KezDcQrQRVariable("#t", "12", "int");
  auto* i = new KezDcQrQRVariable("$i", 42);
  auto* d = new KezDcQrQRVariable("$d", 1.5);
  EXPECT_EQ((List{s->BasicType.Std(), t->BasicType.Std(), i->BasicType.Std(), d->BasicType.Std()}),
            (List{"string", "int", "int", "double"}));
  EXPECT_EQ(t->StringValue, "12");  // the text is kept as it is, not read as a number
  EXPECT_EQ(t->IntValue, 0);
  EXPECT_EQ(*static_cast<int*>(i->GetQResult()), 42);
  EXPECT_EQ(d->GetQResult(), &d->DoubleValue);
  EXPECT_EQ(s->p_StringQResult, nullptr);
  for (auto* v : {s, t, i, d}) EXPECT_EQ(Registered(v->Variable.Std().c_str()), v);
  KezDcQrQRVariable unnamed;
  EXPECT_EQ(unnamed.Type, "Variable");
  EXPECT_EQ(Registered(""), nullptr);
}

TEST_F(VariableTest, AffectChangesValueAndTypeTogether) {
  auto* v = new KezDcQrQRVariable("$v", 5);
  v->Affect(KezUnicodeString("\"s\""));
  EXPECT_EQ(v->BasicType, "string");
  EXPECT_STREQ(static_cast<char*>(v->GetQResult()), "s");
  v->Affect(2.5);
  EXPECT_EQ(v->BasicType, "double");
  EXPECT_EQ(v->p_StringQResult, nullptr);
  EXPECT_EQ(*static_cast<double*>(v->GetQResult()), 2.5);
  v->Affect(7);
  EXPECT_EQ(v->GetQResult(), &v->IntValue);
  EXPECT_EQ(v->IntValue, 7);
}

TEST_F(VariableTest, StringValueKeepsQuotesTheTextLosesTheOuterOnes) {
  auto* v = new KezDcQrQRVariable("$v", "\"x y\"");
  EXPECT_STREQ(static_cast<char*>(v->GetQResult()), "x y");
  EXPECT_EQ(v->StringValue, "\"x y\"");
  const char* cases[][2] = {{"abc", "abc"},   {"\"a\"b\"", "a\"b"}, {"\"\"", ""},         {"\"", ""},
                            {"\"abc", "abc"}, {"abc\"", "abc"},     {"a\"\"b", "a\"\"b"}, {"", ""}};
  for (auto& c : cases) {
    v->Affect(KezUnicodeString(c[0]));
    EXPECT_STREQ(static_cast<char*>(v->GetQResult()), c[1]) << c[0];
  }
}

TEST_F(VariableTest, FreeEmptiesValuesAndKeepsTheType) {
  auto* i = new KezDcQrQRVariable("$i", 7);
  auto* d = new KezDcQrQRVariable("$d", 1.5);
  auto* s = new KezDcQrQRVariable("$s", "\"abc\"");
  s->GetQResult();
  for (auto* v : {i, d, s}) v->FreeQResult();
  EXPECT_EQ(i->GetQResult(), nullptr);
  EXPECT_EQ(i->BasicType, "int");
  EXPECT_EQ(d->GetQResult(), nullptr);
  EXPECT_EQ(d->DoubleValue, 0.0);
  EXPECT_EQ(s->StringValue, "");
  EXPECT_STREQ(static_cast<char*>(s->GetQResult()), "");
  i->Affect(7);
  EXPECT_EQ(*static_cast<int*>(i->GetQResult()), 7);
}

TEST_F(VariableTest, ConstantsHoldTheirTextWithoutOuterQuotes) {
  const char* cases[][2] = {{"\"abc\"", "abc"}, {"\"a\"b\"", "a\"b"}, {"\"\"", ""}, {"\"", ""}, {"\"a b \"", "a b "}};
  for (auto& c : cases) {
    auto* k = static_cast<KezDcQrQRConstant*>(KezDcQrQResult::NewQResult(c[0]));
    ASSERT_NE(k, nullptr) << c[0];
    EXPECT_STREQ(k->GetQResult(), c[1]) << c[0];
    EXPECT_EQ(k->Constant, c[0]);
    EXPECT_EQ(Registered(c[0]), k);
  }
  KezDcQrQRConstant unnamed;
  EXPECT_EQ(unnamed.GetQResult(), nullptr);
  auto* freed = new KezDcQrQRConstant("\"k\"");
  freed->FreeQResult();
  EXPECT_EQ(freed->GetQResult(), nullptr);
}

TEST_F(VariableTest, DestructionLeavesTheRegistryOnlyWhenItHoldsTheNode) {
  auto* first = new KezDcQrQRVariable("$a", 1);
  auto* second = new KezDcQrQRVariable("$a", 2);
  ASSERT_EQ(Registered("$a"), second);
  delete first;
  EXPECT_EQ(Registered("$a"), second);
  KezDcQrQResult::DeleteQResult("  $a ");
  EXPECT_EQ(Registered("$a"), nullptr);
  delete new KezDcQrQRConstant("\"k\"");
  EXPECT_EQ(Registered("\"k\""), nullptr);
}

TEST_F(VariableTest, UnknownBasicTypeYieldsNullPutsNothingAndIsReported) {
  auto* v = new KezDcQrQRVariable("$z", "v", "bogus");
  EXPECT_EQ(v->GetQResult(), nullptr);
  FillRow('#');
  v->PutQResult(Cell("item"));
  EXPECT_EQ(Octets(kItem, 10), "##########");
  EXPECT_EQ(Errors(), (List(2, "ERROR: Unknown Type of Variable: <bogus> !\n")));
}

TEST_F(VariableTest, ExpressionGetHandsOutThePointerOfTheBasicType) {
  KezDcQrQRExpression* e = NewExpression("1+2");
  EXPECT_EQ(e->GetQResult(), &e->IntValue);
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

// A later int result and a free each release the text; the next get
// evaluates afresh.
TEST_F(VariableTest, ExpressionReleasesItsTextAndFreeForgetsTheValue) {
  auto* v = new KezDcQrQRVariable("$v", "\"a\"");
  KezDcQrQRExpression* e = NewExpression("$v");
  EXPECT_STREQ(static_cast<char*>(e->GetQResult()), "a");
  v->Affect(5);
  EXPECT_EQ(e->GetQResult(), &e->IntValue);
  EXPECT_EQ(e->p_StringQResult, nullptr);
  EXPECT_EQ(e->IntValue, 5);

  KezDcQrQRExpression* f = NewExpression("$v+\"b\"");
  v->Affect(KezUnicodeString("\"a\""));
  f->GetQResult();
  f->FreeQResult();
  EXPECT_EQ(f->StringValue, "");
  EXPECT_EQ(f->IntValue, 0);
  EXPECT_EQ(f->p_StringQResult, nullptr);
  EXPECT_EQ(f->p_IntQResult, nullptr);
  EXPECT_EQ(f->p_DoubleQResult, nullptr);
  EXPECT_EQ(f->BasicType, "string");
  v->Affect(KezUnicodeString("\"c\""));
  EXPECT_STREQ(static_cast<char*>(f->GetQResult()), "cb");
}

}  // namespace
}  // namespace test
}  // namespace kez
