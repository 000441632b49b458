// The expression tokenizer: cuts ExpressionText into symbols, one per call
// of Parse. Blanks are not separators: a symbol ends at an operator
// character, at the end of the text, or when an operator or keyword is
// complete; only the blanks at its two ends are removed.
#include <cstring>

#include "nodes/expression/KezDcQrQRExpression.h"
#include "foundation/KezDcCMError.h"
#include "nodes/base/QResultTrace.h"

namespace {

struct Flags {
  bool in_string = false;
  bool in_brackets = false;
  bool in_braces = false;
  bool Any() const { return in_string || in_brackets || in_braces; }
};

bool IsBoundary(char c) { return c != '\0' && std::strchr("=!+-/*(),|&><", c) != nullptr; }
bool IsSingle(char c) { return c != '\0' && std::strchr("(+-/,", c) != nullptr; }

// The two-character operators, in the order they are tried.
bool CompletesPair(const std::string& symbol, char c) {
  static const char* const kPairs[] = {"**", "||", "&&", "=>", "=<", ">=", "<=", "!=", "=="};
  if (symbol.size() != 1) return false;
  for (const char* pair : kPairs) {
    if (symbol[0] == pair[0] && c == pair[1]) return true;
  }
  return false;
}

// A pending "<", ">", "*", "|" or "&" that c does not complete.
bool EndsPendingPair(const std::string& symbol, char c) {
  if (symbol == "<" || symbol == ">") return c != '=';
  if (symbol == "*") return c != '*';
  if (symbol == "|") return c != '|';
  if (symbol == "&") return c != '&';
  return false;
}

bool CompletesKeyword(const std::string& symbol, char c) {
  return (symbol == "sqr" && c == 't') || (symbol == "mo" && c == 'd') || (symbol == "di" && c == 'v');
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
    if (symbol.empty() && IsSingle(c)) return symbol += c, pos + 1;
    if (EndsPendingPair(symbol, c)) return pos;
    if (CompletesPair(symbol, c) || CompletesKeyword(symbol, c)) return symbol += c, pos + 1;
    if (IsBoundary(c) && !symbol.empty()) return pos;
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
    symbol = first == std::string::npos ? std::string() : symbol.substr(first, symbol.find_last_not_of(' ') - first + 1);
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
    KezDcCMError::AddError("SYNTAX ERROR <%s> WAITING AT %s[%d] !\n", ToVerif.ConvertToChar(), Symbol.ConvertToChar(),
                           ParsePosition);
  }
  QR_TRA(14, "=-->> QrQRExpression::VerifAndNext <-- Sortie\n");
}
