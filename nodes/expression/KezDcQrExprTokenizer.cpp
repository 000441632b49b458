// The expression tokenizer: cuts ExpressionText into symbols, one per call
// of Parse, with the operator characters, pairs and words of the operator
// table. Blanks are not separators: a symbol ends at an operator
// character, at the end of the text, or when an operator or keyword is
// complete; only the blanks at its two ends are removed.
#include <cstring>

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
using kez::detail::IsBoundaryChar;
using kez::detail::IsSingleChar;

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
    KezDcCMError::AddError("SYNTAX ERROR <%s> WAITING AT %s[%d] !\n", ToVerif.ConvertToChar(), Symbol.ConvertToChar(),
                           ParsePosition);
  }
  QR_TRA(14, "=-->> QrQRExpression::VerifAndNext <-- Sortie\n");
}
