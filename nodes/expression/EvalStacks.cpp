// The literal, operand and operator rules of expression evaluation.
#include "nodes/expression/EvalStacks.h"

#include <climits>
#include <cmath>
#include <memory>

#include "foundation/KezCFormat.h"
#include "foundation/KezDcCMError.h"
#include "nodes/base/KezDcQrQResult.h"
#include "nodes/base/QResultTrace.h"

namespace kez {
namespace detail {

namespace {

int WrapAdd(int a, int b) {
  return static_cast<int>(static_cast<unsigned>(a) + static_cast<unsigned>(b));
}
int WrapSub(int a, int b) {
  return static_cast<int>(static_cast<unsigned>(a) - static_cast<unsigned>(b));
}
int WrapMul(int a, int b) {
  return static_cast<int>(static_cast<unsigned>(a) * static_cast<unsigned>(b));
}

int TruncatedPow(int a, int b) {
  double r = std::pow(static_cast<double>(a), static_cast<double>(b));
  if (std::isnan(r)) return 0;
  if (r >= 2147483647.0) return INT_MAX;
  if (r <= -2147483648.0) return INT_MIN;
  return static_cast<int>(r);
}

// The text without the enclosing quotes that the language put there.
std::string Unquoted(const EvalStacks::Text& value) {
  const std::string& s = value.text;
  if (!value.quoted) return s;
  std::size_t begin = !s.empty() && s.front() == '"' ? 1 : 0;
  std::size_t end = s.size();
  if (end > begin && s.back() == '"') --end;
  return s.substr(begin, end - begin);
}

}  // namespace

void EvalStacks::Reset(KezUnicodeString& basicType, const KezUnicodeString& text) {
  basic_type_ = &basicType;
  text_ = &text;
  failed = false;
  ints.clear();
  doubles.clear();
  strings.clear();
  if (basicType == "int") {
    active_ = kInt;
  } else if (basicType == "double") {
    active_ = kDouble;
  } else if (basicType == "string") {
    active_ = kString;
  } else {
    active_ = kUnknown;
  }
}

namespace {

std::vector<std::unique_ptr<EvalStacks>>& Pool() {
  static std::vector<std::unique_ptr<EvalStacks>>* pool = new std::vector<std::unique_ptr<EvalStacks>>();
  return *pool;
}
std::size_t pool_depth = 0;

}  // namespace

EvalStacksLease::EvalStacksLease(KezUnicodeString& basicType, const KezUnicodeString& text) {
  auto& pool = Pool();
  if (pool_depth == pool.size()) pool.push_back(std::unique_ptr<EvalStacks>(new EvalStacks(basicType, text)));
  stacks_ = pool[pool_depth++].get();
  stacks_->Reset(basicType, text);
}

EvalStacksLease::~EvalStacksLease() {
  --pool_depth;
}

std::size_t EvalStacks::Count() const {
  switch (active_) {
    case kInt:
      return ints.size();
    case kDouble:
      return doubles.size();
    case kString:
      return strings.size();
    default:
      return 0;
  }
}

bool EvalStacks::Needs(const char* op, std::size_t values) {
  if (Count() >= values) return true;
  KezDcCMError::AddError("ERROR: Operator '%s' needs %d value(s), the stack holds %d !\n", op, static_cast<int>(values),
                         static_cast<int>(Count()));
  return false;
}

bool EvalStacks::Unknown() {
  if (active_ != kUnknown) return false;
  KezDcCMError::AddError("ERROR: Unknown Type of Expression: <%s> !\n", basic_type_->ConvertToChar());
  return true;
}

void EvalStacks::PromoteToDouble() {
  for (int v : ints) doubles.push_back(static_cast<double>(v));
  ints.clear();
  active_ = kDouble;
  *basic_type_ = "double";
}

void EvalStacks::PromoteToString() {
  if (active_ == kInt) {
    for (int v : ints) strings.push_back(Text{kez::FormatD(v), false});
    ints.clear();
  } else if (active_ == kDouble) {
    for (double v : doubles) strings.push_back(Text{kez::FormatE(v), false});
    doubles.clear();
  }
  active_ = kString;
  *basic_type_ = "string";
}

void EvalStacks::PushLiteral(char code, const KezUnicodeString& text) {
  if (code == '"') {
    if (active_ == kUnknown) return;
    if (active_ != kString) PromoteToString();
    strings.push_back(Text{text.Std(), true});
  } else if (code == 'i' && active_ == kInt) {
    int value = 0;
    text.ConvertToNum(&value, "%d");
    ints.push_back(value);
  } else if (active_ == kString) {
    strings.push_back(Text{text.Std(), false});
  } else if (active_ != kUnknown) {
    if (active_ == kInt) PromoteToDouble();
    doubles.push_back(kez::AtoF(text.ConvertToChar()));
  }
}

void EvalStacks::PushInt(int value) {
  switch (active_) {
    case kInt:
      ints.push_back(value);
      break;
    case kDouble:
      doubles.push_back(static_cast<double>(value));
      break;
    case kString:
      strings.push_back(Text{kez::FormatD(value), false});
      break;
    default:
      break;
  }
}

void EvalStacks::PushDouble(double value) {
  if (active_ == kInt) PromoteToDouble();
  if (active_ == kDouble) doubles.push_back(value);
  if (active_ == kString) strings.push_back(Text{kez::FormatE(value), false});
}

void EvalStacks::PushText(const char* text) {
  if (active_ == kUnknown) return;
  if (active_ != kString) PromoteToString();
  strings.push_back(Text{text ? text : "", false});
}

void EvalStacks::Sign(char op) {
  if (Unknown()) return;
  if (active_ == kString) {
    if (op == '-') {
      KezDcCMError::AddError("ERROR: Illegal operator '-' on a string !\n");
    } else if (Needs("+", 2)) {
      Concatenate();
    }
    return;
  }
  std::size_t n = Count();
  if (n == 0) {
    KezDcCMError::AddError(op == '+' ? "ERROR: '+' sign alone means nothing !\n"
                                     : "ERROR: '-' sign alone means nothing !\n");
    return;
  }
  if (active_ == kInt) {
    int b = ints.back();
    if (n == 1) {
      if (op == '-') ints.back() = WrapSub(0, b);
      return;
    }
    ints.pop_back();
    ints.back() = op == '+' ? WrapAdd(ints.back(), b) : WrapSub(ints.back(), b);
    return;
  }
  double b = doubles.back();
  if (n == 1) {
    if (op == '-') doubles.back() = -b;
    return;
  }
  doubles.pop_back();
  doubles.back() = op == '+' ? doubles.back() + b : doubles.back() - b;
}

void EvalStacks::Prefix(char op) {
  if (Unknown()) return;
  if (Count() == 0) {
    KezDcCMError::AddError(op == '+' ? "ERROR: '+' sign alone means nothing !\n"
                                     : "ERROR: '-' sign alone means nothing !\n");
    return;
  }
  if (op == '+') return;
  switch (active_) {
    case kInt:
      ints.back() = WrapSub(0, ints.back());
      break;
    case kDouble:
      doubles.back() = -doubles.back();
      break;
    default:
      KezDcCMError::AddError("ERROR: Illegal operator '-' on a string !\n");
      break;
  }
}

void EvalStacks::Concatenate() {
  std::string b = Unquoted(strings.back());
  strings.pop_back();
  Text& a = strings.back();
  a.text = "\"" + Unquoted(a) + b + "\"";
  a.quoted = true;
  QR_TRA(4, "UnicodeStringEval=<%s>\n", a.text.c_str());
}

void EvalStacks::Arithmetic(const std::string& op) {
  if (Unknown()) return;
  if (active_ == kString) {
    KezDcCMError::AddError("ERROR: Illegal operator '%s' on a string !\n", op.c_str());
    return;
  }
  if (!Needs(op.c_str(), 2)) return;
  if (active_ == kInt && op == "/") PromoteToDouble();
  if (active_ == kInt) {
    int b = ints.back();
    ints.pop_back();
    ints.back() = op == "*" ? WrapMul(ints.back(), b) : TruncatedPow(ints.back(), b);
    return;
  }
  double b = doubles.back();
  doubles.pop_back();
  double a = doubles.back();
  doubles.back() = op == "*" ? a * b : op == "/" ? a / b : std::pow(a, b);
}

void EvalStacks::DivisionByZero() {
  KezDcCMError::AddError("ERROR: Division by zero in expression <%s> !\n", text_->ConvertToChar());
  failed = true;
}

// "div" is the quotient truncated toward zero, "mod" the remainder with
// the sign of the dividend (7 div -2 is -3, -7 mod 2 is -1); on doubles
// the same, as doubles.
void EvalStacks::IntDivision(const std::string& op) {
  if (Unknown()) return;
  if (active_ == kString) {
    KezDcCMError::AddError("ERROR: Illegal operator '%s' on a string !\n", op.c_str());
    return;
  }
  if (!Needs(op.c_str(), 2)) return;
  bool div = op == "div";
  if (active_ == kInt) {
    int b = ints.back();
    if (b == 0) return DivisionByZero();
    ints.pop_back();
    int a = ints.back();
    // INT_MIN div -1 overflows: it wraps as '-' does.
    ints.back() = b == -1 ? (div ? WrapSub(0, a) : 0) : (div ? a / b : a % b);
    return;
  }
  double b = doubles.back();
  if (b == 0.0) return DivisionByZero();
  doubles.pop_back();
  double a = doubles.back();
  doubles.back() = div ? std::trunc(a / b) : std::fmod(a, b);
}

// The truth of the value at from_top (0: the top): a number other than 0;
// a text that is neither empty nor a number equal to 0.
bool EvalStacks::Truth(std::size_t from_top) const {
  switch (active_) {
    case kInt:
      return ints[ints.size() - 1 - from_top] != 0;
    case kDouble:
      return doubles[doubles.size() - 1 - from_top] != 0.0;
    default: {
      std::string t = Unquoted(strings[strings.size() - 1 - from_top]);
      if (t.empty()) return false;
      return !kez::IsDecimalNumber(t.c_str()) || kez::AtoF(t.c_str()) != 0.0;
    }
  }
}

// Pops two values and pushes 1 or 0 on the active stack ("1" or "0" on the
// string stack).
void EvalStacks::ReplaceTwoByFlag(bool flag) {
  switch (active_) {
    case kInt:
      ints.pop_back();
      ints.back() = flag ? 1 : 0;
      break;
    case kDouble:
      doubles.pop_back();
      doubles.back() = flag ? 1.0 : 0.0;
      break;
    default:
      strings.pop_back();
      strings.back() = Text{flag ? "1" : "0", false};
      break;
  }
}

// Numbers compare as numbers. Two texts compare as numbers when both are
// numbers, else octet by octet.
void EvalStacks::Compare(const std::string& op) {
  if (Unknown() || !Needs(op.c_str(), 2)) return;
  int order = 0;
  bool unordered = false;  // a NaN: only "!=" holds
  if (active_ == kString && !(kez::IsDecimalNumber(Unquoted(strings[strings.size() - 2]).c_str()) &&
                              kez::IsDecimalNumber(Unquoted(strings.back()).c_str()))) {
    int c = Unquoted(strings[strings.size() - 2]).compare(Unquoted(strings.back()));
    order = c < 0 ? -1 : c > 0 ? 1 : 0;
  } else {
    double a = 0.0;
    double b = 0.0;
    if (active_ == kInt) {
      a = ints[ints.size() - 2];
      b = ints.back();
    } else if (active_ == kDouble) {
      a = doubles[doubles.size() - 2];
      b = doubles.back();
    } else {
      a = kez::AtoF(Unquoted(strings[strings.size() - 2]).c_str());
      b = kez::AtoF(Unquoted(strings.back()).c_str());
    }
    unordered = std::isnan(a) || std::isnan(b);
    order = a < b ? -1 : a > b ? 1 : 0;
  }
  bool r = false;
  if (op == "==") {
    r = !unordered && order == 0;
  } else if (op == "!=") {
    r = unordered || order != 0;
  } else if (!unordered) {
    if (op == "<") r = order < 0;
    if (op == ">") r = order > 0;
    if (op == "<=" || op == "=<") r = order <= 0;
    if (op == ">=" || op == "=>") r = order >= 0;
  }
  ReplaceTwoByFlag(r);
}

void EvalStacks::Logical(const std::string& op) {
  if (Unknown() || !Needs(op.c_str(), 2)) return;
  bool a = Truth(1);
  bool b = Truth(0);
  ReplaceTwoByFlag(op == "&&" ? a && b : a || b);
}

void EvalStacks::Not() {
  if (Unknown() || !Needs("!", 1)) return;
  bool t = Truth(0);
  switch (active_) {
    case kInt:
      ints.back() = t ? 0 : 1;
      break;
    case kDouble:
      doubles.back() = t ? 0.0 : 1.0;
      break;
    default:
      strings.back() = Text{t ? "0" : "1", false};
      break;
  }
}

void EvalStacks::SquareRoot() {
  if (Unknown()) return;
  if (active_ == kString) {
    KezDcCMError::AddError("ERROR: Illegal operator 'sqrt' on a string !\n");
    return;
  }
  if (!Needs("sqrt", 1)) return;
  if (active_ == kInt) PromoteToDouble();
  doubles.back() = std::sqrt(doubles.back());
}

void EvalStacks::Format(const KezUnicodeString& format) {
  if (Unknown()) return;
  if (active_ == kString) {
    KezDcCMError::AddError("ERROR: Illegal operator 'format' on a string !\n");
    return;
  }
  if (!Needs("format", 1)) return;
  if (active_ == kInt) PromoteToDouble();
  KezUnicodeString out;
  KezDcQrQResult::FormatNumeric(doubles.back(), format, out);
  doubles.pop_back();
  PromoteToString();
  strings.push_back(Text{"\"" + out.Std() + "\"", true});
  QR_TRA(4, "UnicodeStringEval=<%s>\n", strings.back().text.c_str());
}

}  // namespace detail
}  // namespace kez
