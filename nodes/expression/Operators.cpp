// The operator table and the questions that the tokenizer, the parser and
// the evaluator ask of it.
#include "nodes/expression/Operators.h"

#include <cctype>
#include <cstring>

namespace kez {
namespace detail {
namespace {

using F = OperatorForm;
using E = Evaluation;

const Operator kOperators[] = {
    // spelling  form        prec operands evaluation       tokenizer
    {"||", F::kInfix, 1, 2, E::kLogical, kHoldsFirst},
    {"&&", F::kInfix, 1, 2, E::kLogical, kHoldsFirst},
    {">", F::kInfix, 2, 2, E::kComparison, 0},
    {"<", F::kInfix, 2, 2, E::kComparison, 0},
    {">=", F::kInfix, 2, 2, E::kComparison, kHoldsFirst},
    {"<=", F::kInfix, 2, 2, E::kComparison, kHoldsFirst},
    {"=>", F::kInfix, 2, 2, E::kComparison, 0},
    {"=<", F::kInfix, 2, 2, E::kComparison, 0},
    {"==", F::kInfix, 2, 2, E::kComparison, 0},
    {"!=", F::kInfix, 2, 2, E::kComparison, kHoldsFirst},
    {"+", F::kInfix, 3, 2, E::kSign, 0},
    {"-", F::kInfix, 3, 2, E::kSign, 0},
    {"*", F::kInfix, 4, 2, E::kArithmetic, 0},
    {"/", F::kInfix, 4, 2, E::kArithmetic, 0},
    {"**", F::kInfix, 4, 2, E::kArithmetic, kHoldsFirst},
    {"div", F::kInfix, 4, 2, E::kIntDivision, kEndsWord},
    {"mod", F::kInfix, 4, 2, E::kIntDivision, kEndsWord},
    {"pow", F::kFunction, 0, 2, E::kArithmetic, 0},
    {"sqrt", F::kFunction, 0, 1, E::kSquareRoot, kEndsWord},
    {"format", F::kFunction, 0, 2, E::kFormat, 0},
    {"(-)", F::kPrefix, 0, 1, E::kPrefixSign, 0},
    {"(+)", F::kPrefix, 0, 1, E::kPrefixSign, 0},
    {"(!)", F::kPrefix, 0, 1, E::kNot, 0},
};

bool IsWord(const char* spelling) {
  return std::isalpha(static_cast<unsigned char>(spelling[0])) != 0;
}

// An infix spelling of operator characters ("**", "<="), not a word.
bool IsSymbolic(const Operator& op) {
  return op.form == F::kInfix && !IsWord(op.spelling);
}

}  // namespace

const Operator* FindOperator(const std::string& spelling) {
  for (const Operator& op : kOperators) {
    if (spelling == op.spelling) return &op;
  }
  return nullptr;
}

bool IsInfixAt(const std::string& symbol, int precedence) {
  const Operator* op = FindOperator(symbol);
  return op && op->form == F::kInfix && op->precedence == precedence;
}

bool IsFunction(const std::string& symbol) {
  const Operator* op = FindOperator(symbol);
  return op && op->form == F::kFunction;
}

bool IsBoundaryChar(char c) {
  if (c == '\0') return false;
  if (c == '(' || c == ')' || c == ',') return true;
  for (const Operator& op : kOperators) {
    if (IsSymbolic(op) && std::strchr(op.spelling, c)) return true;
  }
  return false;
}

bool IsSingleChar(char c) {
  if (c == '(' || c == ',') return true;
  bool single = false;
  for (const Operator& op : kOperators) {
    if (!IsSymbolic(op) || op.spelling[0] != c) continue;
    if (op.spelling[1] != '\0') return false;  // a longer spelling starts with it
    single = true;
  }
  return single;
}

bool CompletesPair(const std::string& symbol, char c) {
  if (symbol.size() != 1) return false;
  for (const Operator& op : kOperators) {
    if (IsSymbolic(op) && std::strlen(op.spelling) == 2 && symbol[0] == op.spelling[0] && c == op.spelling[1]) {
      return true;
    }
  }
  return false;
}

bool EndsPendingPair(const std::string& symbol, char c) {
  if (symbol.size() != 1) return false;
  bool held = false;
  for (const Operator& op : kOperators) {
    if (!(op.tokenizer & kHoldsFirst) || op.spelling[0] != symbol[0]) continue;
    held = true;
    if (op.spelling[1] == c) return false;
  }
  return held;
}

bool CompletesWord(const std::string& symbol, char c) {
  for (const Operator& op : kOperators) {
    if (!(op.tokenizer & kEndsWord)) continue;
    std::size_t n = std::strlen(op.spelling);
    if (symbol.size() + 1 == n && symbol.compare(0, n - 1, op.spelling, n - 1) == 0 && op.spelling[n - 1] == c) {
      return true;
    }
  }
  return false;
}

std::size_t InfixWordAt(const std::string& text, std::size_t pos) {
  for (const Operator& op : kOperators) {
    if (op.form != F::kInfix || !IsWord(op.spelling)) continue;
    std::size_t n = std::strlen(op.spelling);
    if (text.compare(pos, n, op.spelling) != 0) continue;
    unsigned char next = pos + n < text.size() ? static_cast<unsigned char>(text[pos + n]) : ' ';
    if (std::isalnum(next) == 0 && next != '_' && next != '.') return n;
  }
  return 0;
}

}  // namespace detail
}  // namespace kez
