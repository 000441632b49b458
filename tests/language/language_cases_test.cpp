// Runs the language case files of tests/language/cases/, one case per
// tab-separated line; tests/language/README.md gives the line format.
#include <sstream>
#include <string>
#include <vector>

#include "support/DbFixture.h"
#include "support/TempDir.h"

namespace kez {
namespace test {
namespace {

// One field with its escapes replaced by their octets.
std::string Unescape(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    char c = field[i] == '\\' && i + 1 < field.size() ? field[++i] : '\0';
    if (c == 'x' && i + 2 < field.size()) {
      out += static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c ? c : field[i];
    }
  }
  return out;
}

Texts Fields(const std::string& line) {
  Texts fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, '\t');) fields.push_back(Unescape(field));
  if (line.empty() || line.back() == '\t') fields.push_back("");
  return fields;
}

// "type:value" of a value that a node hands out, "type null" for none.
std::string Typed(const std::string& type, const void* value) {
  if (!value) return type + " null";
  if (type == "int") return "int:" + std::to_string(*static_cast<const int*>(value));
  if (type == "double") return kez::Format("double:%.15g", *static_cast<const double*>(value));
  return type + ":" + static_cast<const char*>(value);
}

std::string Shown(const KezDcQrQRExpression& e) {
  if (e.Failed()) return "none";
  if (e.BasicType == "int") return Typed("int", &e.IntValue);
  return e.BasicType == "double" ? Typed("double", &e.DoubleValue) : e.BasicType.Std() + ":" + e.StringValue.Std();
}

std::string Symbols(const std::string& text) {
  KezDcQrQRExpression e;
  e.ExpressionText = KezUnicodeString(text);
  std::string symbols;
  for (std::size_t n = 0; e.Parse(), !e.Symbol.IsEmpty() && n <= text.size(); ++n)
    symbols += (symbols.empty() ? "[" : " [") + e.Symbol.Std() + "]";
  return symbols;
}

std::string Postfixed(const std::string& text) {
  std::string type, joined;
  for (const std::string& element : Postfix(NewExpression(text, &type))) joined += ", " + element;
  return joined.empty() ? type : type + ": " + joined.substr(2);
}

// Also checks that the query is registered, even when malformed, and that
// only a put target that is kept (a cell or a variable) is registered.
std::string Queried(const std::string& text) {
  KezDcQrQuery::DeleteAllQueries();
  KezDcCMError::ClearErrors();
  KezDcQrQuery* q = KezDcQrQuery::NewQuery(KezUnicodeString(text));
  EXPECT_EQ(KezDcQrQuery::QueryHTab->Locate(KezUnicodeString(text)), q);
  bool kept = q->TypeOfQRPutTarget == "Variable" || q->TypeOfQRPutTarget == "Cell";
  EXPECT_EQ(KezDcQrQResult::QRHTab->Locate(q->DataPathT) != nullptr, kept);
  return q->Function.Std() + " | " + q->DataPath.Std() + " | " + q->DataPathT.Std() + " | " + q->TypeOfQResult.Std() +
         " | " + q->TypeOfQRPutTarget.Std();
}

// Every output starts as "?" so that an output the parse leaves shows.
std::string Parsed(const std::string& path) {
  KezUnicodeString out[7] = {"?", "?", "?", "?", "?", "?", "?"};
  KezDcQrQResult::ParseDataPath(path.c_str(), out[0], out[1], out[2], out[3], out[4], out[5], out[6]);
  int n = 6;
  while (n > 0 && out[n - 1].IsEmpty()) --n;
  std::string text = out[6].Std() + ":";
  for (int k = 0; k < n; ++k) text += (k ? "|" : " ") + out[k].Std();
  return text;
}

std::string Formatted(const std::string& input) {
  std::size_t blank = input.find(' ');
  double value = kez::AtoF(input.substr(0, blank).c_str());
  if (blank == std::string::npos) return kez::FormatE(value);
  KezUnicodeString out = "unchanged";
  KezDcQrQResult::FormatNumeric(value, input.substr(blank + 1).c_str(), out);
  return out.Std();
}

// The variable or constant that a lone "$name" or "text" names, or else the
// expression of the text, made once.
KezDcQrQResult* NodeOf(const std::string& text) {
  const bool lone =
      text.size() > 1 && (text[0] == '"' ? text.find('"', 1) == text.size() - 1
                                         : text[0] == '$' && text.find_first_of(" +-*/()") == std::string::npos);
  if (lone) return KezDcQrQResult::NewQResult(text.c_str());
  KezDcQrQResult* e = KezDcQrQResult::ExprHTab->Locate(KezUnicodeString(text));
  return e ? e : NewExpression(text);
}

std::string Handed(KezDcQrQResult* node) {
  auto* v = As<KezDcQrQRVariable>(node);
  auto* e = As<KezDcQrQRExpression>(node);
  void* value = v ? v->GetQResult() : e ? e->GetQResult() : node ? node->GetConstant() : nullptr;
  return Typed(node ? node->BasicType.Std() : "", value);
}

std::string Put(const std::string& input) {
  const std::size_t blank = input.find(' ');
  auto* cell = As<KezDcQrQRCell>(KezDcQrQResult::NewQResult((ShopTest::CellPath(input.substr(0, blank))).c_str()));
  if (!cell || blank == std::string::npos) return "no cell in " + input;
  KezDcQrQResult* node = NodeOf(input.substr(blank + 1));
  _SEQUENCE_SEQUENCE_octet* row = (cell->p_QRData->InitQResult(), cell->p_QRData->p_RowBuffer);
  for (uint32_t i = 0; i < row->length(); ++i) (*row)[i] = '#';
  if (auto* v = As<KezDcQrQRVariable>(node)) v->PutQResult(cell);
  if (auto* k = As<KezDcQrQRConstant>(node)) k->PutQResult(cell);
  if (auto* e = As<KezDcQrQRExpression>(node)) e->PutQResult(cell);
  std::string changed;
  for (uint32_t i = 0; i < row->length(); ++i) {
    if ((*row)[i] == '#') continue;
    if (i == 0 || (*row)[i - 1] == '#') changed += (changed.empty() ? "" : " ") + std::to_string(i) + ":";
    changed += static_cast<char>((*row)[i]);
  }
  return changed;
}

// An expression of the text, or, with list_expression, the postfix list of
// elements between blanks; list_expression lives for the whole file: an
// expression that is deleted deletes the variables its list names.
std::string Evaluated(const std::string& text, KezDcQrQRExpression* list_expression = nullptr) {
  KezDcQrQRExpression* e = list_expression ? list_expression : NewExpression(text);
  std::istringstream in(list_expression ? text : "");
  if (list_expression) e->ListOfPostFixedExpression.RemoveAll();
  for (std::string element; in >> element;) e->ListOfPostFixedExpression.Append(KezUnicodeString(element));
  e->GetQResult();
  return Shown(*e);
}

void MakeVariable(const Texts& f) {
  if (f.size() < 3) return;
  const char* value = f[2].c_str();
  auto* v = As<KezDcQrQRVariable>(KezDcQrQResult::QRHTab->Locate(KezUnicodeString(f[1])));
  if (!v) v = new KezDcQrQRVariable(KezUnicodeString(f[1]), 0);
  if (!kez::IsDecimalNumber(value))
    v->Affect(KezUnicodeString(value));
  else if (f[2].find_first_of(".eE") == std::string::npos)
    v->Affect(std::stoi(f[2]));
  else
    v->Affect(kez::AtoF(value));
  if (f.size() > 3 && f[3] == "free") v->FreeQResult();
}

class LanguageCaseTest : public ShopTest, public ::testing::WithParamInterface<std::string> {
 protected:
  KezDcQrQRExpression list_expression_;
};

TEST_P(LanguageCaseTest, EveryLineGivesItsValueAndItsMessages) {
  std::istringstream file(ReadFile(std::string(KEZDCQR_TESTS_DIR) + "/language/cases/" + GetParam()));
  int number = 0, cases = 0;
  for (std::string line; std::getline(file, line);) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    Texts f = Fields(line);
    const std::string where = GetParam() + ":" + std::to_string(number) + ": " + line;
    if (f[0] == "var" && (MakeVariable(f), true)) continue;
    ASSERT_GE(f.size(), 3u) << where;
    KezDcCMError::ClearErrors();
    const std::string& kind = f[0];
    std::string got = kind == "tokens"    ? Symbols(f[1])
                      : kind == "postfix" ? Postfixed(f[1])
                      : kind == "eval"    ? Evaluated(f[1])
                      : kind == "query"   ? Queried(f[1])
                      : kind == "path"    ? Parsed(f[1])
                      : kind == "format"  ? Formatted(f[1])
                      : kind == "list"    ? Evaluated(f[1], &list_expression_)
                      : kind == "get"     ? Handed(NodeOf(f[1]))
                      : kind == "put"     ? Put(f[1])
                                          : "unknown kind " + kind;
    EXPECT_EQ(got, f[2]) << where;
    Texts messages;
    for (std::size_t k = 3; k < f.size(); ++k) messages.push_back(f[k] + "\n");
    EXPECT_EQ(Errors(), messages) << where;
    ++cases;
  }
  EXPECT_GT(cases, 0) << GetParam() << " holds no case";
}

INSTANTIATE_TEST_SUITE_P(CaseFiles, LanguageCaseTest, ::testing::ValuesIn(CaseFiles("language/cases")),
                         CaseName<::testing::TestParamInfo<std::string>>);

}  // namespace
}  // namespace test
}  // namespace kez
