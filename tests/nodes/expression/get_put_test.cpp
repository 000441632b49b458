// Getting, freeing and putting values: variables and constants (assignment,
// quote removal, destruction), expressions (handed out by their basic type),
// puts into the fields of a row, and numbers under a decimal-comma locale.
#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "support/ExprTestHelpers.h"

namespace kez {
namespace test {
namespace {

using List = std::vector<std::string>;

// Switches LC_ALL to a locale whose decimal separator is a comma, building
// de_DE.UTF-8 into a temporary folder when the system has none; puts back
// the "C" locale and LOCPATH when it goes.
class CommaLocale {
 public:
  CommaLocale() {
    if (Use()) return;
    char pattern[] = "/tmp/kez_locale_XXXXXX";
    if (!mkdtemp(pattern)) return;
    folder_ = pattern;
    if (const char* old = std::getenv("LOCPATH")) old_locpath_.reset(new std::string(old));
    setenv("LOCPATH", folder_.c_str(), 1);
    std::string command = "localedef -i de_DE -f UTF-8 " + folder_ + "/de_DE.UTF-8 >/dev/null 2>&1";
    if (std::system(command.c_str()) != -1) Use();
  }
  ~CommaLocale() {
    std::setlocale(LC_ALL, "C");
    if (folder_.empty()) return;
    if (old_locpath_) {
      setenv("LOCPATH", old_locpath_->c_str(), 1);
    } else {
      unsetenv("LOCPATH");
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  bool active() const { return active_; }

 private:
  bool Use() { return active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") && std::localeconv()->decimal_point[0] == ','; }

  bool active_ = false;
  std::string folder_;
  std::unique_ptr<std::string> old_locpath_;
};

class GetPutTest : public ShopTest {
 protected:
  static KezDcQrQResult* Registered(const char* key) { return KezDcQrQResult::QRHTab->Locate(key); }
};

// The string value keeps its quotes; the text handed out loses the outer ones.
TEST_F(GetPutTest, AffectChangesValueAndTypeTogether) {
  auto* v = new KezDcQrQRVariable("$v", 5);
  v->Affect(KezUnicodeString("\"x y\""));
  EXPECT_EQ(v->BasicType, "string");
  EXPECT_STREQ(static_cast<char*>(v->GetQResult()), "x y");
  EXPECT_EQ(v->StringValue, "\"x y\"");
  v->Affect(2.5);
  EXPECT_EQ(v->BasicType, "double");
  EXPECT_EQ(v->p_StringQResult, nullptr);
  EXPECT_EQ(*static_cast<double*>(v->GetQResult()), 2.5);
  v->Affect(7);
  EXPECT_EQ(v->GetQResult(), &v->IntValue);
  EXPECT_EQ(v->IntValue, 7);
  const char* cases[][2] = {{"abc", "abc"},   {"\"a\"b\"", "a\"b"}, {"\"\"", ""},         {"\"", ""},
                            {"\"abc", "abc"}, {"abc\"", "abc"},     {"a\"\"b", "a\"\"b"}, {"", ""}};
  for (auto& c : cases) {
    v->Affect(KezUnicodeString(c[0]));
    EXPECT_STREQ(static_cast<char*>(v->GetQResult()), c[1]) << c[0];
  }
}

TEST_F(GetPutTest, FreeEmptiesValuesAndKeepsTheType) {
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

TEST_F(GetPutTest, ConstantsHoldTheirTextWithoutOuterQuotes) {
  const char* cases[][2] = {{"\"abc\"", "abc"}, {"\"\"", ""}, {"\"a b \"", "a b "}};
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

TEST_F(GetPutTest, RegistryHoldsNamedNodesUntilTheNodeItHoldsGoes) {
  auto* first = new KezDcQrQRVariable("$a", 1);
  auto* second = new KezDcQrQRVariable("$a", 2);
  ASSERT_EQ(Registered("$a"), second);
  delete first;
  EXPECT_EQ(Registered("$a"), second);
  KezDcQrQResult::DeleteQResult("  $a ");
  EXPECT_EQ(Registered("$a"), nullptr);
  delete new KezDcQrQRConstant("\"k\"");
  EXPECT_EQ(Registered("\"k\""), nullptr);
  KezDcQrQRVariable unnamed;  // registers nothing
  EXPECT_EQ(Registered(""), nullptr);
}

TEST_F(GetPutTest, UnknownBasicTypeYieldsNullPutsNothingAndIsReported) {
  auto* v = new KezDcQrQRVariable("$z", "v", "bogus");
  EXPECT_EQ(v->GetQResult(), nullptr);
  FillRow('#');
  v->PutQResult(Cell("item"));
  EXPECT_EQ(Octets(kItem, 10), "##########");
  EXPECT_EQ(Errors(), (List(2, "ERROR: Unknown Type of Variable: <bogus> !\n")));
}

// An expression hands its value out by its basic type, a text without its
// outer quotes; a later int result and a free each release the text, and
// the next get evaluates afresh.
TEST_F(GetPutTest, ExpressionGetHandsOutTheValueAndReleasesItsText) {
  auto* v = new KezDcQrQRVariable("$v", "\"a\"");
  KezDcQrQRExpression* e = NewExpression("$v");
  char* text = static_cast<char*>(e->GetQResult());
  EXPECT_STREQ(text, "a");
  EXPECT_EQ(e->p_StringQResult, text);
  v->Affect(5);
  EXPECT_EQ(e->GetQResult(), &e->IntValue);
  EXPECT_EQ(e->p_StringQResult, nullptr);
  EXPECT_EQ(e->IntValue, 5);
  KezDcQrQRExpression* d = NewExpression("1/4");
  EXPECT_EQ(d->GetQResult(), &d->DoubleValue);
  EXPECT_EQ(d->p_IntQResult, nullptr);

  KezDcQrQRExpression* f = NewExpression("$v+\"b\"");
  v->Affect(KezUnicodeString("\"a\""));
  f->GetQResult();
  f->FreeQResult();
  EXPECT_EQ(f->StringValue, "");
  EXPECT_EQ(f->p_StringQResult, nullptr);
  EXPECT_EQ(f->BasicType, "string");
  v->Affect(KezUnicodeString("\"c\""));
  EXPECT_STREQ(static_cast<char*>(f->GetQResult()), "cb");
}

// Each put starts from a row of '#', so that octets it must not touch show:
// a text shorter than its field ends with a zero octet, one as long as the
// field or longer fills it, and a field of length zero receives nothing.
TEST_F(GetPutTest, ValuesArePutAsTextsWithinTheFieldLength) {
  FillRow('#');
  NewExpression("1+2")->PutQResult(Cell("amount"));
  EXPECT_EQ(Octets(kAmount, 3), std::string("3\0#", 3));
  NewExpression("\"abcdefgh\"")->PutQResult(Cell("memo"));
  EXPECT_EQ(Octets(kMemo, 4), "abcd");
  EXPECT_EQ(Octets(kPrice + 79, 1), "#");
  NewExpression("\"xyz\"")->PutQResult(Cell("code"));
  (new KezDcQrQRVariable("$c", 42))->PutQResult(Cell("code"));
  (new KezDcQrQRConstant("\"abc\""))->PutQResult(Cell("code"));
  EXPECT_EQ(Octets(kMemo, 4), "abcd");
  (new KezDcQrQRVariable("$i", -42))->PutQResult(Cell("item"));
  EXPECT_EQ(Octets(kItem, 5), std::string("-42\0#", 5));
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
  // Each cut field is reported once: memo (three cuts), code and item.
  const auto errors = Errors();
  ASSERT_EQ(errors.size(), 3u);
  for (const char* octets : {"8", "3", "12"}) {
    std::string start = std::string("WARNING: a value of ") + octets + " octets put into cell";
    EXPECT_NE(std::find_if(errors.begin(), errors.end(),
                           [&](const std::string& e) { return e.compare(0, start.size(), start) == 0; }),
              errors.end())
        << start;
  }
}

TEST_F(GetPutTest, PutIntoAMissingColumnIsReportedAndWritesNothing) {
  KezDcQrQRCell* nope = Cell("nope");
  FillRow('#');
  (new KezDcQrQRVariable("$i", 42))->PutQResult(nope);
  (new KezDcQrQRConstant("\"abc\""))->PutQResult(nope);
  EXPECT_EQ(Errors(),
            (List{"WARNING: Column <nope> does not exist ! \n", "ERROR: Cell <nope> isn't in Accessor ! \n"}));
  EXPECT_EQ(Octets(0, kRowLength), std::string(kRowLength, '#'));
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

TEST_F(GetPutTest, NumbersAreWrittenAndReadWithAPointUnderADecimalCommaLocale) {
  CommaLocale locale;
  if (!locale.active()) GTEST_SKIP() << "no locale with a decimal comma could be set or built (localedef)";
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
