// Expression, variable and constant nodes beyond the language case files
// (tests/language/cases/): what they hand out and put into the fields of a
// row, the nodes an expression names (deleted with it or elsewhere, or
// changing between evaluations), unknown basic types, the nesting bound,
// and numbers under a decimal-comma locale.
#include <clocale>
#include <cstdlib>
#include <filesystem>

#include "support/ExprTestHelpers.h"

namespace kez {
namespace test {
namespace {

using List = std::vector<std::string>;

class ExpressionTest : public ShopTest {
 protected:
  static KezDcQrQRCell* Cell(const std::string& column) {
    return static_cast<KezDcQrQRCell*>(KezDcQrQResult::NewQResult(KezUnicodeString(CellPath(column))));
  }
  static KezDcQrQResult* Registered(const std::string& key) { return KezDcQrQResult::QRHTab->Locate(key.c_str()); }
  // What a variable or an expression hands out, read by its basic type:
  // "int:7", "double:2.5", "string:x y" (the text handed out), or "null".
  template <class T>
  static std::string Handed(T* node) {
    void* value = node->GetQResult();
    if (!value) return "null";
    if (node->BasicType == "int") return "int:" + std::to_string(*static_cast<int*>(value));
    if (node->BasicType == "double") return kez::Format("double:%g", *static_cast<double*>(value));
    return node->BasicType.Std() + ":" + static_cast<char*>(value);
  }
  // The octets of the row buffer from offset (item at 0, amount at 10,
  // price at 90, memo at 170, 174 in all), n of them.
  static std::string Octets(uint32_t offset, uint32_t n) {
    _SEQUENCE_SEQUENCE_octet* row = Cell("item")->p_QRData->p_RowBuffer;
    std::string out;
    for (uint32_t i = offset; row && i < offset + n && i < row->length(); ++i) out += static_cast<char>((*row)[i]);
    return out;
  }
  // Fills the whole row buffer with c, so that untouched octets show.
  static void FillRow(char c) {
    KezDcQrQRData* block = Cell("item")->p_QRData;
    block->InitQResult();
    for (uint32_t i = 0; i < block->p_RowBuffer->length(); ++i) (*block->p_RowBuffer)[i] = c;
  }
};

// A text keeps its quotes in StringValue and is handed out without the
// outer ones; a free empties the value and keeps the type.
TEST_F(ExpressionTest, VariablesChangeValueAndTypeTogetherAndFreeKeepsTheType) {
  auto* v = new KezDcQrQRVariable("$v", 5);
  v->Affect(KezUnicodeString("\"x y\""));
  EXPECT_EQ(Handed(v), "string:x y");
  EXPECT_EQ(v->StringValue, "\"x y\"");
  v->Affect(2.5);
  EXPECT_EQ(Handed(v), "double:2.5");
  EXPECT_EQ(v->p_StringQResult, nullptr);
  EXPECT_EQ((v->Affect(7), Handed(v)), "int:7");
  const char* cases[][2] = {{"abc", "abc"},   {"\"a\"b\"", "a\"b"}, {"\"\"", ""},         {"\"", ""},
                            {"\"abc", "abc"}, {"abc\"", "abc"},     {"a\"\"b", "a\"\"b"}, {"", ""}};
  for (auto& c : cases) EXPECT_EQ((v->Affect(KezUnicodeString(c[0])), Handed(v)), std::string("string:") + c[1]);
  auto* i = new KezDcQrQRVariable("$i", 7);
  auto* d = new KezDcQrQRVariable("$d", 1.5);
  auto* s = new KezDcQrQRVariable("$s", "\"abc\"");
  s->GetQResult();
  for (auto* freed : {i, d, s}) freed->FreeQResult();
  EXPECT_EQ(Handed(i) + " " + Handed(d) + " " + Handed(s) + " " + i->BasicType.Std() + s->StringValue.Std(),
            "null null string: int");
  EXPECT_EQ((i->Affect(7), Handed(i)), "int:7");
}

// A constant hands out its text without the outer quotes; the registry
// holds the last node registered under a name until that node goes, and an
// unnamed node registers nothing.
TEST_F(ExpressionTest, ConstantsHoldTheirTextAndTheRegistryTheLastNode) {
  for (const char* text : {"\"abc\"", "\"\"", "\"a b \""}) {
    auto* k = static_cast<KezDcQrQRConstant*>(KezDcQrQResult::NewQResult(text));
    EXPECT_EQ(std::string("\"") + k->GetQResult() + "\"", text);
    EXPECT_EQ(Registered(text), k);
  }
  KezDcQrQRConstant unnamed;
  auto* freed = new KezDcQrQRConstant("\"k\"");
  freed->FreeQResult();
  EXPECT_TRUE(!unnamed.GetQResult() && !freed->GetQResult());
  delete freed;
  auto* first = new KezDcQrQRVariable("$a", 1);
  auto* second = new KezDcQrQRVariable("$a", 2);
  delete first;
  EXPECT_EQ(Registered("$a"), second);
  KezDcQrQResult::DeleteQResult("  $a ");
  KezDcQrQRVariable nameless;
  EXPECT_TRUE(!Registered("\"k\"") && !Registered("$a") && !Registered(""));
}

// An expression hands its value out by its basic type; a later int result
// and a free each release the text, and the next get evaluates afresh.
TEST_F(ExpressionTest, ExpressionGetHandsOutTheValueAndReleasesItsText) {
  auto* v = new KezDcQrQRVariable("$v", "\"a\"");
  KezDcQrQRExpression* e = NewExpression("$v");
  EXPECT_EQ(Handed(e), "string:a");
  EXPECT_EQ((v->Affect(5), Handed(e)), "int:5");
  EXPECT_EQ(e->p_StringQResult, nullptr);
  KezDcQrQRExpression* d = NewExpression("1/4");
  EXPECT_EQ(Handed(d), "double:0.25");
  EXPECT_EQ(d->p_IntQResult, nullptr);
  KezDcQrQRExpression* f = NewExpression("$v+\"b\"");
  v->Affect(KezUnicodeString("\"a\""));
  f->GetQResult();
  f->FreeQResult();
  EXPECT_EQ(f->BasicType.Std() + ":" + f->StringValue.Std(), "string:");
  EXPECT_EQ(f->p_StringQResult, nullptr);
  EXPECT_EQ((v->Affect(KezUnicodeString("\"c\"")), Handed(f)), "string:cb");
}

// Each put starts from a row of '#', so that octets it must not touch show:
// a text shorter than its field ends with a zero octet, one as long as the
// field or longer fills it, and a field of length zero receives nothing. A
// cut is reported once per field; nothing is put from an unknown type.
TEST_F(ExpressionTest, ValuesArePutAsTextsWithinTheFieldLength) {
  FillRow('#');
  NewExpression("1+2")->PutQResult(Cell("amount"));
  EXPECT_EQ(Octets(10, 3), std::string("3\0#", 3));
  NewExpression("\"abcdefgh\"")->PutQResult(Cell("memo"));
  NewExpression("\"xyz\"")->PutQResult(Cell("code"));
  (new KezDcQrQRVariable("$c", 42))->PutQResult(Cell("code"));
  (new KezDcQrQRConstant("\"abc\""))->PutQResult(Cell("code"));
  EXPECT_EQ(Octets(90 + 79, 5), "#abcd");
  (new KezDcQrQRVariable("$i", -42))->PutQResult(Cell("item"));
  EXPECT_EQ(Octets(0, 5), std::string("-42\0#", 5));
  KezDcQrQuery::NewQuery("Put(\"too\" + \"long\",$l)")->DoQuery();  // a text put into a variable
  static_cast<KezDcQrQRVariable*>(Registered("$l"))->PutQResult(Cell("memo"));
  EXPECT_EQ(Octets(170, 4), "tool");
  (new KezDcQrQRVariable("$z", "v", "bogus"))->PutQResult(Cell("memo"));
  EXPECT_EQ(Octets(170, 4), "tool");
  (new KezDcQrQRConstant("\"abcdefghijkl\""))->PutQResult(Cell("item"));
  EXPECT_EQ(Octets(0, 11), "abcdefghij3");  // amount, next to it, untouched
  (new KezDcQrQRConstant("\"\""))->PutQResult(Cell("memo"));
  EXPECT_EQ(Octets(170, 4), std::string("\0ool", 4));
  auto* freed = new KezDcQrQRConstant("\"zz\"");
  freed->FreeQResult();
  freed->PutQResult(Cell("item"));
  EXPECT_EQ(Octets(0, 10), "abcdefghij");
  const auto cut = [](int octets, const char* column) {
    return "WARNING: a value of " + std::to_string(octets) + " octets put into cell <" + CellPath(column) + ">";
  };
  const List errors = Errors();
  ASSERT_EQ(errors.size(), 4u);
  EXPECT_EQ(errors[0].rfind(cut(8, "memo"), 0), 0u) << errors[0];
  EXPECT_EQ(errors[1].rfind(cut(3, "code"), 0), 0u) << errors[1];
  EXPECT_EQ(errors[2], "ERROR: Unknown Type of Variable: <bogus> !\n");
  EXPECT_EQ(errors[3].rfind(cut(12, "item"), 0), 0u) << errors[3];
}

TEST_F(ExpressionTest, PutIntoAMissingColumnOrWithoutADataBlockIsReportedAndWritesNothing) {
  KezDcQrQRCell* nope = Cell("nope");
  FillRow('#');
  (new KezDcQrQRVariable("$i", 42))->PutQResult(nope);
  (new KezDcQrQRConstant("\"abc\""))->PutQResult(nope);
  EXPECT_EQ(Octets(0, 174), std::string(174, '#'));
  NewExpression(CellPath("item"))->PutQResult();
  NewExpression("1+2")->PutQResult();
  KezDcQrQRExpression* e = NewExpression("@m : s : orders : {item} : 2");
  ASSERT_EQ(e->SimpleType, "Exp_Data");
  KezDcQrQResult::DeleteQResult("@m:s:orders:{item}:2");
  e->PutQResult();
  EXPECT_EQ(Errors(),
            (List{"WARNING: Column <nope> does not exist ! \n", "ERROR: Cell <nope> isn't in Accessor ! \n",
                  "ERROR: Impossible to Put the Expression: <" + CellPath("item") +
                      "> which is not a Exp_Data but a <Expression> !\n",
                  "ERROR: Impossible to Put the Expression: <1+2> which is not a Exp_Data but a <Expression> !\n",
                  "ERROR Unknown Data <@m:s:orders:{item}:2>\n"}));
}

// Each evaluation starts afresh from the operands' types; an expression
// that failed its analysis gives no value and says why at each later one;
// an unknown basic type is reported.
TEST_F(ExpressionTest, EachEvaluationFollowsTheOperands) {
  auto* v = new KezDcQrQRVariable("$v", 1);
  KezDcQrQRExpression* e = NewExpression("$v * 2");
  std::string shown = Handed(e);
  shown += " " + (v->Affect(0.25), Handed(e));
  shown += " " + (v->Affect(KezUnicodeString("\"a\"")), Handed(e));
  EXPECT_EQ(shown, "int:2 double:0.5 string:2");
  EXPECT_EQ(Errors(), (List{"ERROR: Illegal operator '*' on a string !\n"}));
  KezDcQrQRExpression* failed = NewExpression("sqrt(4");
  KezDcCMError::ClearErrors();
  EXPECT_EQ(failed->GetQResult(), nullptr);
  EXPECT_TRUE(Errors().empty());  // the analysis has just said it
  EXPECT_EQ(failed->GetQResult(), nullptr);
  EXPECT_EQ(Errors(), (List{"SYNTAX ERROR <)> WAITING AT [6] !\n"}));
  KezDcCMError::ClearErrors();
  KezDcQrQRExpression bogus;
  bogus.ListOfPostFixedExpression.Append("1");
  bogus.ListOfPostFixedExpression.Append("+");
  bogus.BasicType = "bogus";
  bogus.Evaluate();
  EXPECT_EQ(bogus.BasicType, "bogus");
  EXPECT_EQ((new KezDcQrQRVariable("$z", "v", "bogus"))->GetQResult(), nullptr);
  EXPECT_EQ(Errors(),
            (List{"ERROR: Unknown Type of Expression: <bogus> !\n", "ERROR: Unknown Type of Variable: <bogus> !\n"}));
}

// Deleting an expression deletes the nodes its list names, also a constant
// registered under a quoted element, and survives nodes deleted in cascade
// or named twice; an operand deleted elsewhere is reported unknown.
TEST_F(ExpressionTest, DeletionDeletesTheNodesTheListNames) {
  const std::string cell = "@m:s:orders:{item}:2:item", text = cell + " + $v + \"abc\"";
  KezDcQrQResult::NewQResult("\"abc\"");
  NewExpression(text);
  ASSERT_TRUE(Registered(cell) && Registered("$v"));
  KezDcQrQResult::DeleteQResult(KezUnicodeString(text));
  for (const char* key : {"@m:s:orders:{item}:2:item", "$v", "\"abc\"", "@m:s:orders:{item}:2"}) {
    EXPECT_FALSE(Registered(key)) << key;  // the data block, left without a child, went too
  }
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Locate(KezUnicodeString(text)), nullptr);
  NewExpression("@m + @m:s:orders:{item}:2:item + $v * $v");
  KezDcQrQResult::DeleteQResult("@m + @m:s:orders:{item}:2:item + $v * $v");
  EXPECT_FALSE(Registered("@m") || Registered(cell) || Registered("$v"));
  KezDcQrQRExpression* c = NewExpression(CellPath("price") + " + 2");
  KezDcQrQRExpression* keeper = NewExpression("$k + 1");
  NewExpression("$k * 2");
  KezDcQrQResult::DeleteQResult("$k * 2");
  KezDcQrQResult::DeleteQResult(KezUnicodeString(CellPath("price")));
  const std::string sum = Handed(c);  // what was deleted elsewhere contributes nothing
  EXPECT_EQ(sum + " " + Handed(keeper), "int:2 int:1");
  EXPECT_EQ(Errors(), (List{"ERROR Unknown Cell <" + CellPath("price") + ">\n", "ERROR Unknown Variable <$k>\n"}));
}

// Past the bound the text analysed before it is kept, with one error and no
// stack exhausted; up to the bound the text is analysed normally.
TEST_F(ExpressionTest, NestingIsBoundedAndRefusedOnce) {
  const int bound = KezDcQrQRExpression::kMaxDepth;
  for (const char* opener : {"(", "sqrt(", "pow(", "format("}) {
    KezDcCMError::ClearErrors();
    std::string text;
    for (int i = 0; i < 10000; ++i) text += opener;
    EXPECT_EQ(Postfix(NewExpression(text + "1")), List{}) << opener;
    ASSERT_EQ(KezDcCMError::GetNbErrors(), 1) << opener;
    EXPECT_EQ(Errors()[0].rfind("ERROR: EXPRESSION NESTED MORE THAN 1000 LEVELS DEEP AT ", 0), 0u) << Errors()[0];
  }
  KezDcCMError::ClearErrors();
  KezDcQrQRExpression* e = NewExpression("$a*2+" + std::string(bound + 1, '(') + "1)+3");
  EXPECT_EQ(Postfix(e), (List{"$a", "2", "*"}));
  EXPECT_EQ(e->GetQResult(), nullptr);
  EXPECT_EQ(Errors(),
            (List{kez::Format("ERROR: EXPRESSION NESTED MORE THAN 1000 LEVELS DEEP AT ([%d] !\n", bound + 6)}));
  KezDcCMError::ClearErrors();
  EXPECT_EQ(Postfix(NewExpression(std::string(bound, '(') + "2*3" + std::string(bound, ')'))), (List{"2", "3", "*"}));
  EXPECT_TRUE(Errors().empty());
}

// Switches LC_ALL to a locale whose decimal separator is a comma, building
// de_DE.UTF-8 into a temporary folder when the system has none; puts back
// the "C" locale and LOCPATH when it goes.
class CommaLocale {
 public:
  CommaLocale() {
    char pattern[] = "/tmp/kez_locale_XXXXXX";
    if (Use() || !mkdtemp(pattern)) return;
    folder_ = pattern;
    const char* old = std::getenv("LOCPATH");
    old_locpath_ = old ? old : "";
    setenv("LOCPATH", pattern, 1);
    if (std::system(("localedef -i de_DE -f UTF-8 " + folder_ + "/de_DE.UTF-8 >/dev/null 2>&1").c_str()) != -1) Use();
  }
  ~CommaLocale() {
    std::setlocale(LC_ALL, "C");
    if (folder_.empty()) return;
    old_locpath_.empty() ? unsetenv("LOCPATH") : setenv("LOCPATH", old_locpath_.c_str(), 1);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  bool Use() { return active = std::setlocale(LC_ALL, "de_DE.UTF-8") && std::localeconv()->decimal_point[0] == ','; }
  bool active = false;

 private:
  std::string folder_, old_locpath_;
};

TEST_F(ExpressionTest, NumbersAreWrittenAndReadWithAPointUnderADecimalCommaLocale) {
  CommaLocale locale;
  if (!locale.active) GTEST_SKIP() << "no locale with a decimal comma could be set or built (localedef)";
  KezDcQrQuery::NewQuery("Put(2.5,$d)")->DoQuery();
  KezDcQrQuery* twice = KezDcQrQuery::NewQuery("Get($d*2)");
  twice->DoQuery();
  EXPECT_EQ(static_cast<KezDcQrQRExpression*>(twice->p_QResult)->DoubleValue, 5.0);
  EXPECT_EQ(Handed(NewExpression("1.25*2")), "double:2.5");
  EXPECT_EQ(Handed(NewExpression("2.5+\"x\"")), "string:2.500000e+00x");
  EXPECT_EQ(Handed(NewExpression("format(3.14159,\"###.##\")")), "string:003.14");
  EXPECT_EQ(Handed(NewExpression(CellPath("price") + "*2")), "double:25");
  NewExpression("7/2")->PutQResult(Cell("price"));
  EXPECT_EQ(Octets(90, 13), std::string("3.500000e+00\0", 13));
  (new KezDcQrQRVariable("$h", 0.5))->PutQResult(Cell("amount"));
  EXPECT_EQ(Octets(10, 13), std::string("5.000000e-01\0", 13));
  EXPECT_TRUE(Errors().empty());
}

}  // namespace
}  // namespace test
}  // namespace kez
