// The expression node: construction, registration, the recursive-descent
// parser that turns the text into a postfix list, and destruction.
#include "nodes/expression/KezDcQrQRExpression.h"

#include "foundation/KezCFormat.h"
#include "foundation/KezDcCMError.h"
#include "nodes/base/QResultTrace.h"
#include "nodes/expression/Operators.h"

using kez::detail::Addr;

namespace {

// Precedence levels of the operator table, loosest first.
const int kLogical = 1;
const int kComparison = 2;
const int kAdditive = 3;
const int kMultiplicative = 4;

bool IsOneOf(const KezUnicodeString& symbol, int precedence) {
  return kez::detail::IsInfixAt(symbol.Std(), precedence);
}

}  // namespace

void KezDcQrQRExpression::Init() {
  p_StringQResult = nullptr;
  p_IntQResult = nullptr;
  p_DoubleQResult = nullptr;
  IntValue = 0;
  DoubleValue = 0.0;
  ParsePosition = 0;
  depth_ = 0;
  abandoned_ = false;
  Type = "Expression";
  BasicType = "int";
  SubQueryFlag = 'N';
}

KezDcQrQRExpression::KezDcQrQRExpression() : KezDcQrQResult(kExpression) {
  Init();
  QR_TRA(2, "=-->> QrQRExpression::QrExpression (default)\n");
}

KezDcQrQRExpression::KezDcQrQRExpression(KezUnicodeString iText, KezUnicodeString& oType)
    : KezDcQrQResult(kExpression) {
  Init();
  QR_TRA(2, "=-->> QrQRExpression::QrExpression: Expression:<%s>\n", iText.ConvertToChar());
  ExpressionText = iText;
  Register(ExprHTab, ExpressionText);
  Analyse();
  oType = SimpleType;
  QR_TRA(4, "oType=<%s>\n", oType.ConvertToChar());
}

KezDcQrQRExpression::~KezDcQrQRExpression() {
  QR_TRA(4, "=-->> QrQRExpression::~QrQRExpression: Delete <<< %s >>>\n", ExpressionText.ConvertToChar());
  QR_TRA(6, "QrQRExpression::~QrQRExpression: this=%x\n", Addr(this));
  Unregister(ExprHTab, ExpressionText);
  LeaveSubQueryFather();
  QR_TRA(6, "ListOfPostFixedExpression.Size()=%d \n", ListOfPostFixedExpression.Size());
  for (int i = 1; i <= ListOfPostFixedExpression.Size(); ++i) {
    if (KezDcQrQResult* node = QRHTab->Locate(ListOfPostFixedExpression[i])) {
      delete node;
      QR_TRA(6, "Query datapath deleted \n");
    } else {
      QR_TRA(6, "Query datapath already deleted \n");
    }
  }
  ListOfPostFixedExpression.RemoveAll(1);
  ReleaseString();
  QR_TRA(4, "=-->> QrQRExpression::~QrQRExpression OK \n");
}

void KezDcQrQRExpression::ReleaseString() {
  delete[] p_StringQResult;
  p_StringQResult = nullptr;
}

// The text must parse whole: a symbol left after a complete expression (a
// stray ")" or ",", a second operand) is a syntax error.
void KezDcQrQRExpression::Analyse() {
  QR_TRA(2, "=-->> QrQRExpression::Analyse\n");
  ParsePosition = 0;
  Parse();
  QR_TRA(4, "Symbol Parse=<%s>\n", Symbol.ConvertToChar());
  if (!Symbol.IsEmpty()) Expr();
  if (!Symbol.IsEmpty() && syntax_errors_.empty()) SyntaxError("end of expression");
  syntax_errors_fresh_ = !syntax_errors_.empty();
  if (ListOfPostFixedExpression.Size() > 1) SimpleType = "Expression";
  QR_TRA(4, "SimpleType=<%s>\n", SimpleType.ConvertToChar());
}

void KezDcQrQRExpression::Expr() {
  QR_TRA(2, "=-->> QrQRExpression::Expression\n");
  Comparaison();
  while (IsOneOf(Symbol, kLogical)) {
    KezUnicodeString op = Symbol;
    VerifAndNext(op);
    Comparaison();
    Emission(op);
  }
  QR_TRA(2, "=-->> QrQRExpression::Expression <-- Sortie\n");
}

void KezDcQrQRExpression::Comparaison() {
  QR_TRA(4, "=-->> QrQRExpression::Comparaison\n");
  Additive();
  while (IsOneOf(Symbol, kComparison)) {
    KezUnicodeString op = Symbol;
    VerifAndNext(op);
    Additive();
    Emission(op);
  }
  QR_TRA(4, "=-->> QrQRExpression::Comparaison <-- Sortie\n");
}

void KezDcQrQRExpression::Additive() {
  QR_TRA(6, "=-->> QrQRExpression::Additive\n");
  Term();
  while (IsOneOf(Symbol, kAdditive)) {
    KezUnicodeString op = Symbol;
    VerifAndNext(op);
    Term();
    Emission(op);
  }
  QR_TRA(6, "=-->> QrQRExpression::Additive <-- Sortie\n");
}

void KezDcQrQRExpression::Term() {
  QR_TRA(8, "=-->> QrQRExpression::Term\n");
  Signed();
  while (IsOneOf(Symbol, kMultiplicative)) {
    KezUnicodeString op = Symbol;
    VerifAndNext(op);
    Signed();
    Emission(op);
  }
  QR_TRA(8, "=-->> QrQRExpression::Term <-- Sortie\n");
}

// An operand with its prefixes: a '-', '+' or '!' where an operand stands
// applies to the operand and to the '**' that follow it (-2**2 is -4,
// !2**0 is 0), and binds tighter than '*' and '/' (2*-3 is -6). Its element
// is "(-)", "(+)" or "(!)". A sign with no operand after it stays the lone
// "-" or "+" it was, which the evaluation reports; a '!' without its
// operand is a syntax error.
void KezDcQrQRExpression::Signed() {
  if (Symbol != "-" && Symbol != "+" && Symbol != "!") {
    Factor();
    return;
  }
  KezUnicodeString prefix = Symbol;
  VerifAndNext(prefix);
  if (prefix != "!" && (Symbol.IsEmpty() || Symbol == ")" || Symbol == ",")) {
    Emission(prefix);
    return;
  }
  if (!Descend()) return;
  Signed();
  while (Symbol == "**") {
    VerifAndNext("**");
    Signed();
    Emission("**");
  }
  Ascend();
  Emission(KezUnicodeString("(").Append(prefix).Append(')'));
}

// Counts one nesting level. Past kMaxDepth it reports once and abandons
// the analysis: the rest of the text is skipped, so the parser unwinds at
// once instead of reporting a syntax error for every level left open.
bool KezDcQrQRExpression::Descend() {
  if (depth_ < kMaxDepth) {
    ++depth_;
    return true;
  }
  ReportSyntax(kez::Format("ERROR: EXPRESSION NESTED MORE THAN %d LEVELS DEEP AT %s[%d] !\n", kMaxDepth,
                           Symbol.ConvertToChar(), ParsePosition));
  abandoned_ = true;
  Symbol = "";
  ParsePosition = ExpressionText.GetLengthInChar();
  return false;
}

void KezDcQrQRExpression::Factor() {
  QR_TRA(10, "=-->> QrQRExpression::Factor \n");
  bool nests = kez::detail::IsFunction(Symbol.Std()) || Symbol == "(";
  const kez::detail::Operator* infix = kez::detail::FindOperator(Symbol.Std());
  bool missing =
      Symbol.IsEmpty() || Symbol == ")" || Symbol == "," || (infix && infix->form == kez::detail::OperatorForm::kInfix);
  if (missing) {
    // Nothing is emitted and the symbol stays for the level that knows it.
    if (syntax_errors_.empty()) SyntaxError("operand");
  } else if (!nests) {
    KezUnicodeString operand = Symbol;
    Emission(operand);
    VerifAndNext(operand);
  } else if (Descend()) {
    FactorNested();
    Ascend();
  }
  QR_TRA(10, "=-->> QrQRExpression::Factor <-- Sortie\n");
}

void KezDcQrQRExpression::FactorNested() {
  const kez::detail::Operator* function = kez::detail::FindOperator(Symbol.Std());
  if (function && function->evaluation == kez::detail::Evaluation::kFormat) {
    QR_TRA(12, "FORMAT\n");
    KezUnicodeString element = "{format=";
    VerifAndNext(function->spelling);
    VerifAndNext("(");
    Expr();
    VerifAndNext(",");
    element.Append(Symbol).Append('}');
    Parse();
    VerifAndNext(")");
    Emission(element);
  } else if (function && function->form == kez::detail::OperatorForm::kFunction) {
    // name(operand, operand, ...): the name is emitted after its operands.
    KezUnicodeString name = Symbol;
    VerifAndNext(name);
    VerifAndNext("(");
    Expr();
    for (int k = 1; k < function->operands; ++k) {
      VerifAndNext(",");
      Expr();
    }
    VerifAndNext(")");
    Emission(name);
  } else {
    VerifAndNext("(");
    Expr();
    VerifAndNext(")");
  }
}

void KezDcQrQRExpression::Emission(KezUnicodeString iElement) {
  QR_TRA(12, "=-->> QrQRExpression::Emission <%s>\n", iElement.ConvertToChar());
  if (abandoned_) return;  // the operators of the levels left open mean nothing
  KezUnicodeChar first = iElement[0];
  if (first == '$' || first == '#' || first == '@') {
    KezUnicodeString c[6], kind;
    ParseDataPath(iElement, c[0], c[1], c[2], c[3], c[4], c[5], kind);
    NewQR(c[0], c[1], c[2], c[3], c[4], c[5], kind);
    ListOfPostFixedExpression.Append(PathElement(c, kind));
    SimpleType = KezUnicodeString("Exp_").Append(kind);
  } else {
    SimpleType = "Exp_Constant";
    QR_TRA(4, "SimpleType=<%s>\n", SimpleType.ConvertToChar());
    ListOfPostFixedExpression.Append(iElement);
  }
  QR_TRA(12, "=-->> QrQRExpression::Emission <-- Sortie\n");
}

// The element of a path operand: the key of the node it names.
KezUnicodeString KezDcQrQRExpression::PathElement(const KezUnicodeString* c, const KezUnicodeString& kind) {
  static const char* const kLastOf[] = {"DataSource", "Session", "Rowset", "Accessor", "Data"};
  KezUnicodeString element = c[0];
  if (kind == "Constant" || kind == "Variable") return element;
  for (int k = 0; k < 5; ++k) {
    if (kind == kLastOf[k]) return element;
    element.Append(':').Append(c[k + 1]);
  }
  return element;
}
