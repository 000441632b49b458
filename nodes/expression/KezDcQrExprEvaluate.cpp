// Expression evaluation: classifies each element of the postfix list and
// applies its rule on the typed stacks. Int arithmetic is 32-bit and
// defined on overflow: '+', '-' and '*' wrap modulo 2^32 (two's
// complement), and the truncated '**' saturates at INT_MIN and INT_MAX
// (NaN gives 0).
#include <charconv>
#include <string>

#include "foundation/KezCFormat.h"
#include "foundation/KezDcCMError.h"
#include "nodes/base/QResultTrace.h"
#include "nodes/database/KezDcQrQRAccessor.h"
#include "nodes/database/KezDcQrQRCell.h"
#include "nodes/database/KezDcQrQRData.h"
#include "nodes/database/KezDcQrQRDataSource.h"
#include "nodes/database/KezDcQrQRRowset.h"
#include "nodes/database/KezDcQrQRSession.h"
#include "nodes/expression/EvalStacks.h"
#include "nodes/expression/KezDcQrQRExpression.h"
#include "nodes/expression/KezDcQrQRVariable.h"
#include "nodes/expression/Operators.h"

using kez::detail::EvalStacks;
using kez::detail::Evaluation;

namespace {

// A literal that starts like a number: 'i' for a plain 32-bit int, 'd' for
// any other decimal number (a point, an exponent, or too large for an
// int), 'x' for a text that is no number as a whole (12abc, 1.2.3, 0x10).
char ClassOfNumber(const std::string& s) {
  if (!kez::IsDecimalNumber(s.c_str())) return 'x';
  if (s.find_first_of(".eE") != std::string::npos) return 'd';
  int value = 0;
  auto result = std::from_chars(s.data(), s.data() + s.size(), value);
  return result.ec == std::errc() ? 'i' : 'd';
}

// The class of an element: '$', '#', '@', '"' as its first character; 'i'
// or 'd' for a number ('x' for a text that starts like one but is none);
// 'o' for an operator of the table or a format element; 'u' for anything
// else, which is no operand and no operator.
char ClassOf(const KezUnicodeString& element) {
  const std::string& s = element.Std();
  char first = s.empty() ? '\0' : s[0];
  if (first == '$' || first == '#' || first == '@' || first == '"') return first;
  if (first == '.' || (first >= '0' && first <= '9')) return ClassOfNumber(s);
  if (s.compare(0, 8, "{format=") == 0) return 'o';
  const kez::detail::Operator* op = kez::detail::FindOperator(s);
  return op && op->evaluation != Evaluation::kFormat ? 'o' : 'u';
}

// The operand of a node that is not a cell: 1 when its own read yields an
// open object, 0 otherwise; a data block counts 0 after its read.
int OpenFlag(KezDcQrQResult* node) {
  switch (node->GetKind()) {
    case KezDcQrQResult::kDataSource:
      return static_cast<KezDcQrQRDataSource*>(node)->GetQResult() ? 1 : 0;
    case KezDcQrQResult::kSession:
      return static_cast<KezDcQrQRSession*>(node)->GetQResult() ? 1 : 0;
    case KezDcQrQResult::kRowset:
      return static_cast<KezDcQrQRRowset*>(node)->GetQResult() ? 1 : 0;
    case KezDcQrQResult::kAccessor:
      return static_cast<KezDcQrQRAccessor*>(node)->GetQResult() != 0 ? 1 : 0;
    case KezDcQrQResult::kData:
      static_cast<KezDcQrQRData*>(node)->GetQResult();
      return 0;
    default:
      return 0;
  }
}

}  // namespace

void KezDcQrQRExpression::Evaluate() {
  QR_TRA(2, "IN->> QrQRExpression::Evaluate\n");
  failed_ = false;
  if (!syntax_errors_.empty()) {
    if (!syntax_errors_fresh_) {
      for (const std::string& message : syntax_errors_) KezDcCMError::AddError("%s", message.c_str());
    }
    syntax_errors_fresh_ = false;
    failed_ = true;
    return;
  }
  if (BadElements()) {
    failed_ = true;
    return;
  }
  kez::detail::EvalStacksLease lease(BasicType, ExpressionText);
  EvalStacks& stacks = lease.Stacks();
  for (int i = 1; i <= ListOfPostFixedExpression.Size() && !stacks.failed; ++i) {
    const KezUnicodeString& element = ListOfPostFixedExpression[i];
    char code = ClassOf(element);
    QR_TRA(4, "TypeOfElement[%d]='%c'\n", i, code);
    QR_TRA(4, "this->BasicType=<%s>\n", BasicType.ConvertToChar());
    switch (code) {
      case '$':
      case '#':
        PushVariable(stacks, i, element);
        break;
      case '@':
        PushNode(stacks, i, element);
        break;
      case 'o':
        ApplyOperator(stacks, element);
        break;
      default:
        stacks.PushLiteral(code, element);
        break;
    }
  }
  failed_ = stacks.failed;
  if (!failed_) StoreResult(stacks);
}

// Reports every element that is neither an operand nor an operator; true
// when there was one. Such a text is not evaluated at all.
bool KezDcQrQRExpression::BadElements() {
  bool bad = false;
  for (int i = 1; i <= ListOfPostFixedExpression.Size(); ++i) {
    const KezUnicodeString& element = ListOfPostFixedExpression[i];
    char code = ClassOf(element);
    if (code == 'x') {
      KezDcCMError::AddError("ERROR: <%s> is not a number in expression <%s> !\n", element.ConvertToChar(),
                             ExpressionText.ConvertToChar());
    } else if (code == 'u') {
      KezDcCMError::AddError("ERROR: Unknown symbol <%s> in expression <%s> !\n", element.ConvertToChar(),
                             ExpressionText.ConvertToChar());
    }
    bad = bad || code == 'x' || code == 'u';
  }
  return bad;
}

void KezDcQrQRExpression::StoreResult(EvalStacks& stacks) {
  if (BasicType == "int") {
    IntValue = stacks.ints.empty() ? 0 : stacks.ints.back();
    QR_TRA(2, "OUT>> QrQRExpression::Evaluate  IntValue=%d\n", IntValue);
  } else if (BasicType == "double") {
    DoubleValue = stacks.doubles.empty() ? 0.0 : stacks.doubles.back();
    QR_TRA(2, "OUT>> QrQRExpression::Evaluate  DoubleValue=%e\n", DoubleValue);
  } else if (BasicType == "string") {
    StringValue = stacks.strings.empty() ? KezUnicodeString() : KezUnicodeString(stacks.strings.back().text);
    string_quoted_ = !stacks.strings.empty() && stacks.strings.back().quoted;
    QR_TRA(2, "OUT>> QrQRExpression::Evaluate  this->StringValue=<%s>\n", StringValue.ConvertToChar());
  }
}

KezDcQrQResult* KezDcQrQRExpression::Operand(int i, const KezUnicodeString& element) {
  std::size_t size = static_cast<std::size_t>(ListOfPostFixedExpression.Size()) + 1;
  if (operands_changes_ != KezHashDico::Changes() || operands_.size() != size) {
    operands_.assign(size, nullptr);
    operands_changes_ = KezHashDico::Changes();
  }
  KezDcQrQResult*& cached = operands_[static_cast<std::size_t>(i)];
  if (!cached) cached = QRHTab->Locate(element);
  return cached;
}

void KezDcQrQRExpression::PushVariable(EvalStacks& stacks, int i, const KezUnicodeString& element) {
  auto* variable = kez::As<KezDcQrQRVariable>(Operand(i, element));
  if (!variable) {
    KezDcCMError::AddError("ERROR Unknown Variable <%s>\n", element.ConvertToChar());
    return;
  }
  QR_TRA(4, "Locate <%s> ==> OK\n", element.ConvertToChar());
  QR_TRA(4, "p_Variable->BasicType=<%s>\n", variable->BasicType.ConvertToChar());
  QR_TRA(4, "p_Variable->Type=<%s>\n", variable->Type.ConvertToChar());
  void* value = variable->GetQResult();
  if (!value) return;  // an int or double variable after its FreeQResult: contributes nothing
  if (variable->BasicType == "int") {
    stacks.PushInt(*static_cast<int*>(value));
  } else if (variable->BasicType == "double") {
    stacks.PushDouble(*static_cast<double*>(value));
  } else {
    stacks.PushText(static_cast<char*>(value));
  }
}

void KezDcQrQRExpression::PushNode(EvalStacks& stacks, int i, const KezUnicodeString& element) {
  KezDcQrQResult* node = Operand(i, element);
  if (!node) {
    KezDcCMError::AddError("ERROR Unknown Cell <%s>\n", element.ConvertToChar());
    return;
  }
  auto* cell = kez::As<KezDcQrQRCell>(node);
  if (!cell) {
    int flag = OpenFlag(node);
    QR_TRA(4, "Locate <%s> ==> OK\n", element.ConvertToChar());
    stacks.PushInt(flag);
    return;
  }
  const char* text = cell->GetQResult();
  QR_TRA(4, "Locate <%s> ==> OK\n", element.ConvertToChar());
  QR_TRA(4, "p_Query->BasicType=<%s>\n", cell->BasicType.ConvertToChar());
  QR_TRA(4, "p_Query->Type=<%s>\n", cell->Type.ConvertToChar());
  if (!text) text = "";
  if (cell->BasicType == "double") {
    // A cell read on its own that found a text has just converted it into
    // DoubleValue. The empty text of a read that found no row keeps the
    // DoubleValue of an earlier row, and a cell read through sub-queries
    // holds another cell's text: those are read again.
    bool converted = cell->SubQueryFlag == 'N' && text[0] != '\0';
    stacks.PushDouble(converted ? cell->DoubleValue : kez::AtoF(text));
  } else if (cell->BasicType == "int") {
    stacks.PushInt(cell->IntValue);
  } else {
    stacks.PushText(text);
  }
}

// The picture of a format element "{format=P}": the text of a quoted P
// without its quotes, or the value of the variable P names ($pic, #pic).
bool KezDcQrQRExpression::FormatPicture(const std::string& element, KezUnicodeString& oPicture) {
  std::string symbol = element.size() >= 9 ? element.substr(8, element.size() - 9) : std::string();
  if (symbol.empty() || (symbol[0] != '$' && symbol[0] != '#')) {
    oPicture = element.size() >= 11 ? KezUnicodeString(element.substr(9, element.size() - 11)) : KezUnicodeString();
    return true;
  }
  auto* variable = kez::As<KezDcQrQRVariable>(QRHTab->Locate(KezUnicodeString(symbol)));
  if (!variable || !variable->ValueText(oPicture)) {
    KezDcCMError::AddError("ERROR Unknown Variable <%s>\n", symbol.c_str());
    return false;
  }
  return true;
}

void KezDcQrQRExpression::ApplyOperator(EvalStacks& stacks, const KezUnicodeString& op) {
  const std::string& s = op.Std();
  if (s.compare(0, 8, "{format=") == 0) {
    KezUnicodeString picture;
    if (FormatPicture(s, picture)) stacks.Format(picture);
    return;
  }
  const kez::detail::Operator* row = kez::detail::FindOperator(s);
  if (!row) return;  // ClassOf gives 'o' only to the table's operators
  switch (row->evaluation) {
    case Evaluation::kSign:
      stacks.Sign(s[0]);
      break;
    case Evaluation::kArithmetic:
      stacks.Arithmetic(s);
      break;
    case Evaluation::kIntDivision:
      stacks.IntDivision(s);
      break;
    case Evaluation::kComparison:
      stacks.Compare(s);
      break;
    case Evaluation::kLogical:
      stacks.Logical(s);
      break;
    case Evaluation::kPrefixSign:
      stacks.Prefix(s[1]);
      break;
    case Evaluation::kNot:
      stacks.Not();
      break;
    case Evaluation::kSquareRoot:
      stacks.SquareRoot();
      break;
    case Evaluation::kFormat:
      break;  // its elements are "{format=...}", handled above
  }
}
