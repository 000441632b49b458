// The expression node: a formula over numbers, quoted texts and data paths,
// registered under its text, parsed once into a postfix list of element
// texts and evaluated over three typed stacks at every read.
#ifndef KEZ_DC_QR_QR_EXPRESSION_H
#define KEZ_DC_QR_QR_EXPRESSION_H

#include <string>
#include <vector>

#include "foundation/KezListValKezUnicodeString.h"
#include "nodes/base/KezDcQrQResult.h"

class KezDcQrQRCell;
class KezDcQrQRVariable;
namespace kez {
namespace detail {
class EvalStacks;
}  // namespace detail
}  // namespace kez

class KEZDCQR_API KezDcQrQRExpression : public KezDcQrQResult {
 public:
  static constexpr Kind kNodeKind = kExpression;  // for kez::As<KezDcQrQRExpression>

  // Nesting levels of parentheses (and pow/sqrt/format) the parser descends.
  // A deeper text is reported once and its analysis abandoned there: the
  // postfix list keeps what was emitted before that point.
  static constexpr int kMaxDepth = 1000;

  char* p_StringQResult;            // owned; the string result without enclosing quotes
  int* p_IntQResult;                // &IntValue after an int result, else null
  double* p_DoubleQResult;          // &DoubleValue after a double result, else null
  KezUnicodeString SimpleType;      // "Expression", "Exp_<kind>" or "" when empty
  KezUnicodeString ExpressionText;  // the key in ExprHTab
  KezListValKezUnicodeString ListOfPostFixedExpression;
  KezUnicodeString StringValue;
  int IntValue;
  double DoubleValue;
  int ParsePosition;
  KezUnicodeString Symbol;

  KezDcQrQRExpression();
  KezDcQrQRExpression(KezUnicodeString iText, KezUnicodeString& oType);
  ~KezDcQrQRExpression() override;

  // Parser levels; each works on the current symbol.
  void Analyse();
  void Expr();
  void Comparaison();
  void Additive();
  void Term();
  void Signed();
  void Factor();
  void Emission(KezUnicodeString iElement);

  // Tokenizer: reads the next symbol; checks the current one and reads on.
  void Parse();
  void VerifAndNext(KezUnicodeString ToVerif);

  // Evaluates the postfix list into BasicType and one of the values.
  void Evaluate();

  // Evaluates and hands out the value by BasicType (see the members); null
  // when the evaluation failed (see Failed).
  void* GetQResult();
  // True when the last evaluation gave no value: the text does not parse,
  // an element is no operand or operator, or a division by zero.
  bool Failed() const { return failed_; }
  void FreeQResult() override;
  void PutQResult(KezDcQrQRCell* pTarget);
  void PutQResult(KezDcQrQRVariable* pTarget);
  // Inserts the row of the data block that an "Exp_Data" expression names.
  void PutQResult();

 private:
  void PushVariable(kez::detail::EvalStacks& stacks, int i, const KezUnicodeString& element);
  void PushNode(kez::detail::EvalStacks& stacks, int i, const KezUnicodeString& element);
  void ApplyOperator(kez::detail::EvalStacks& stacks, const KezUnicodeString& op);
  void StoreResult(kez::detail::EvalStacks& stacks);
  bool FormatPicture(const std::string& element, KezUnicodeString& oPicture);
  void Init();
  void FactorNested();
  static KezUnicodeString PathElement(const KezUnicodeString* components, const KezUnicodeString& kind);
  bool Descend();
  void SyntaxError(const char* expected);
  void ReportSyntax(const std::string& message);
  bool BadElements();
  void Ascend() { --depth_; }
  void ReleaseString();

  // The node registered under element i, looked up once and kept while no
  // registry entry leaves (KezHashDico::Changes()).
  KezDcQrQResult* Operand(int i, const KezUnicodeString& element);

  int depth_;
  bool abandoned_;              // the nesting bound was reached: nothing more is analysed
  bool string_quoted_ = false;  // StringValue carries the language's enclosing quotes
  // The syntax errors of the analysis, said again at every evaluation but
  // the first (the analysis said them just before it).
  std::vector<std::string> syntax_errors_;
  bool syntax_errors_fresh_ = false;
  bool failed_ = false;
  std::vector<KezDcQrQResult*> operands_;
  unsigned long long operands_changes_ = ~0ULL;
};

#endif
