// The operator table of the expression language: one row per operator with
// its spelling, form, precedence, operand count and evaluation. The
// tokenizer, the parser and the evaluator read it, so an operator gets its
// meaning, or a new one its place in the language, by editing one row.
#ifndef KEZ_DC_QR_OPERATORS_H
#define KEZ_DC_QR_OPERATORS_H

#include <cstddef>
#include <string>

namespace kez {
namespace detail {

enum class OperatorForm {
  kInfix,     // a op b, at its precedence level
  kFunction,  // name(a, b, ...)
  kPrefix,    // the parser's own element for a sign or '!' before an operand
};

// What the evaluator does with the operator's element.
enum class Evaluation {
  kSign,         // '+' or '-' between two values
  kArithmetic,   // '*', '/', '**', "pow" (EvalStacks::Arithmetic)
  kIntDivision,  // "div" and "mod": integer quotient and remainder
  kComparison,   // 1 when the comparison holds, else 0
  kLogical,      // "&&" and "||": 1 or 0
  kPrefixSign,   // "(-)" or "(+)"
  kNot,          // "(!)": 1 for a false value, else 0
  kSquareRoot,
  kFormat,  // format(value, picture): its element is "{format=picture}"
};

// Tokenizer marks of a row.
enum : unsigned {
  kHoldsFirst = 1,  // a two-character spelling whose first character waits for the second
  kEndsWord = 2,    // a word that ends its symbol as soon as it is complete
};

struct Operator {
  const char* spelling;
  OperatorForm form;
  int precedence;  // infix: 1 (loosest, "||") to 4 (tightest, "*"); 0 otherwise
  int operands;
  Evaluation evaluation;
  unsigned tokenizer;
};

// The row of the spelling, or null.
const Operator* FindOperator(const std::string& spelling);
// True when the symbol is an infix operator of that precedence.
bool IsInfixAt(const std::string& symbol, int precedence);
// True when the symbol starts a function form: name(...).
bool IsFunction(const std::string& symbol);

// For the tokenizer.
bool IsBoundaryChar(char c);  // ends the symbol before it: operator characters, "(", ")", ","
bool IsSingleChar(char c);    // a symbol on its own: "(", ",", and operators no longer spelling starts with
bool CompletesPair(const std::string& symbol, char c);    // symbol + c is a two-character spelling
bool EndsPendingPair(const std::string& symbol, char c);  // a held first character that c does not complete
bool CompletesWord(const std::string& symbol, char c);    // symbol + c is a word marked kEndsWord

// The length of an infix word ("div", "mod") that begins at pos of text
// and is not the start of a longer word, or 0.
std::size_t InfixWordAt(const std::string& text, std::size_t pos);

}  // namespace detail
}  // namespace kez

#endif
