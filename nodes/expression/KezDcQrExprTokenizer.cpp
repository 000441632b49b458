// The expression tokenizer: cuts ExpressionText into symbols, one per call
// of Parse, with the operator characters, pairs and words of the operator
// table. Blanks are not separators: a symbol ends at an operator
// character, at the end of the text, or when an operator or keyword is
// complete; only the blanks at its two ends are removed. An infix word
// ("div", "mod") after a blank or a closing parenthesis begins a symbol of
// its own, so that "7 div 2" is 7, div, 2.
#include <cstring>

#include "foundation/KezCFormat.h"
#include "foundation/KezDcCMError.h"
#include "nodes/base/QResultTrace.h"
#include "nodes/expression/KezDcQrQRExpression.h"
#include "nodes/expression/Operators.h"

namespace {

struct Flags {
  bool in_string = false;
  bool in_brackets = false;
  bool in_braces = false;
  bool Any() const { return in_string || in_brackets || in_braces; }
};

using kez::detail::CompletesPair;
using kez::detail::CompletesWord;
using kez::detail::EndsPendingPair;
using kez::detail::InfixWordAt;
using kez::detail::IsBoundaryChar;
using kez::detail::IsSingleChar;

// True when an infix word at pos ends the symbol read so far: the symbol
// is ")" or ends with a blank after something else.
bool InfixWordFollows(const std::string& text, std::size_t pos, const std::string& symbol) {
  if (symbol.empty()) return false;
  bool after_blank = symbol.back() == ' ' && symbol.find_first_not_of(' ') != std::string::npos;
  return (symbol == ")" || after_blank) && InfixWordAt(text, pos) > 0;
}

void ToggleFlags(const std::string& text, std::size_t pos, Flags& flags) {
  char c = text[pos];
  if (c == '"') {
    if (pos == 0) {
      flags.in_string = true;
    } else if (text[pos - 1] != '\\') {
      flags.in_string = !flags.in_string;
    }
  }
  if (c == '{' || c == '}') flags.in_braces = !flags.in_braces;
  if (c == '[' || c == ']') flags.in_brackets = !flags.in_brackets;
}

// Reads one symbol from pos into symbol; returns the position after it.
std::size_t ReadSymbol(const std::string& text, std::size_t pos, Flags& flags, std::string& symbol) {
  const std::size_t n = text.size();
  while (pos < n) {
    char c = text[pos];
    // A held first character ("<", "!") ends before an opening quote,
    // bracket or brace as before any other character that does not
    // complete it: "<\"b\"" is <, "b".
    if (!flags.Any() && EndsPendingPair(symbol, c)) return pos;
    ToggleFlags(text, pos, flags);
    if (flags.Any()) {
      bool escape = c == '\\' && pos + 1 < n && text[pos + 1] == '"';
      if (!escape) symbol += c;
      ++pos;
      continue;
    }
    if (c == '\t' || c == '\n') {
      ++pos;
      continue;
    }
    if (InfixWordFollows(text, pos, symbol)) return pos;
    if (symbol.empty() && IsSingleChar(c)) return symbol += c, pos + 1;
    if (EndsPendingPair(symbol, c)) return pos;
    if (CompletesPair(symbol, c) || CompletesWord(symbol, c)) return symbol += c, pos + 1;
    if (IsBoundaryChar(c) && !symbol.empty()) return pos;
    symbol += c;
    ++pos;
  }
  return pos;
}

}  // namespace

void KezDcQrQRExpression::Parse() {
  QR_TRA(16, "=-->> QrQRExpression::Parse\n");
  const std::string& text = ExpressionText.Std();
  std::string symbol;
  Flags flags;
  std::size_t pos = ParsePosition < 0 ? 0 : static_cast<std::size_t>(ParsePosition);
  while (pos < text.size()) {
    symbol.clear();
    pos = ReadSymbol(text, pos, flags, symbol);
    std::size_t first = symbol.find_first_not_of(' ');
    symbol =
        first == std::string::npos ? std::string() : symbol.substr(first, symbol.find_last_not_of(' ') - first + 1);
    if (!symbol.empty()) break;
  }
  ParsePosition = static_cast<int>(pos);
  Symbol = KezUnicodeString(std::move(symbol));
  QR_TRA(16, "Symbol Parse final = <%s>\n", Symbol.ConvertToChar());
  QR_TRA(16, "=-->> QrQRExpression::Parse <-- Sortie\n");
}

void KezDcQrQRExpression::VerifAndNext(KezUnicodeString ToVerif) {
  QR_TRA(14, "=-->> QrQRExpression::VerifAndNext\n");
  QR_TRA(14, "Symbol=<%s> =?= ToVerif=<%s> \n", Symbol.ConvertToChar(), ToVerif.ConvertToChar());
  if (Symbol == ToVerif) {
    Parse();
  } else if (!abandoned_) {
    // Once the analysis is abandoned at the nesting bound, the symbols that
    // the open levels still expect are missing by design, not by mistake.
    SyntaxError(ToVerif.ConvertToChar());
  }
  QR_TRA(14, "=-->> QrQRExpression::VerifAndNext <-- Sortie\n");
}

// Reports that the analysis expected `expected` where the current symbol
// stands; the text is kept to be said again at later evaluations.
void KezDcQrQRExpression::SyntaxError(const char* expected) {
  ReportSyntax(kez::Format("SYNTAX ERROR <%s> WAITING AT %s[%d] !\n", expected, Symbol.ConvertToChar(), ParsePosition));
}

void KezDcQrQRExpression::ReportSyntax(const std::string& message) {
  syntax_errors_.push_back(message);
  KezDcCMError::AddError("%s", message.c_str());
}
