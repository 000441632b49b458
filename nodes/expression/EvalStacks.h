// Internal: the three typed stacks of one evaluation and the rules that
// push literals and operands and apply operators on the active stack.
// BasicType (held by reference) names the active stack and changes as
// values are promoted: int to double to string, never back.
#ifndef KEZ_DC_QR_EVAL_STACKS_H
#define KEZ_DC_QR_EVAL_STACKS_H

#include <string>
#include <vector>

#include "foundation/KezUnicodeString.h"

namespace kez {
namespace detail {

class EvalStacks {
 public:
  EvalStacks(KezUnicodeString& basicType, const KezUnicodeString& text) { Reset(basicType, text); }
  // Empties the stacks (keeping their storage) for an evaluation of the
  // expression text whose active stack basicType names.
  void Reset(KezUnicodeString& basicType, const KezUnicodeString& text);

  // Set by an error that leaves the expression without a value (a zero
  // divisor); the evaluation stops there.
  bool failed = false;

  // A text on the string stack. quoted says that the language put the
  // enclosing quotes there (a literal, a join, a format): only those are
  // ever removed. Texts from cells, variables and numbers are taken as
  // they are, whatever characters they start or end with.
  struct Text {
    std::string text;
    bool quoted;
  };

  std::vector<int> ints;
  std::vector<double> doubles;
  std::vector<Text> strings;

  // A literal element of class 'i', 'd' or '"' (a valid number for 'i' and
  // 'd': the evaluator reports the others).
  void PushLiteral(char code, const KezUnicodeString& text);
  // Operand values (variables, cells), converted to the active stack.
  void PushInt(int value);
  void PushDouble(double value);
  void PushText(const char* text);

  void Sign(char op);                       // '+' or '-'
  void Prefix(char op);                     // a sign before an operand: '+' or '-'
  void Arithmetic(const std::string& op);   // "*", "**", "pow" or "/"
  void IntDivision(const std::string& op);  // "div" or "mod"
  void Compare(const std::string& op);      // ">", "<", ">=", "<=", "=>", "=<", "==", "!="
  void Logical(const std::string& op);      // "&&" or "||"
  void Not();                               // "(!)"
  void SquareRoot();
  void Format(const KezUnicodeString& format);

 private:
  enum Active { kInt, kDouble, kString, kUnknown };

  std::size_t Count() const;
  bool Needs(const char* op, std::size_t values);
  bool Unknown();
  void PromoteToDouble();
  void PromoteToString();
  void Concatenate();
  bool Truth(std::size_t from_top) const;
  void ReplaceTwoByFlag(bool flag);
  void DivisionByZero();

  KezUnicodeString* basic_type_;
  const KezUnicodeString* text_;
  Active active_;
};

// Lends emptied stacks for one evaluation from a pool kept per nesting level
// (an evaluation can run inside another through a sub-query), so that their
// storage serves one evaluation after another without new allocations.
class EvalStacksLease {
 public:
  EvalStacksLease(KezUnicodeString& basicType, const KezUnicodeString& text);
  ~EvalStacksLease();
  EvalStacksLease(const EvalStacksLease&) = delete;
  EvalStacksLease& operator=(const EvalStacksLease&) = delete;
  EvalStacks& Stacks() { return *stacks_; }

 private:
  EvalStacks* stacks_;
};

}  // namespace detail
}  // namespace kez

#endif
