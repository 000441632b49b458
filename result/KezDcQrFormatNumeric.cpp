// Number formatting under a picture-like format text: the text is
// translated into one printf conversion for a double ("###.##" gives
// "%06.2f") and applied in the "C" locale. The result is cut to 254
// characters; widths and precisions above kMaxCount are lowered to it,
// which changes nothing of those 254 characters and bounds the work.
#include <string>

#include "foundation/KezCFormat.h"
#include "result/KezDcQrQResult.h"
#include "result/QResultTrace.h"

namespace {

const long kMaxCount = 4096;
const std::size_t kResultSize = 255;  // 254 characters and the zero octet

struct Picture {
  bool plus = false;
  bool blank = false;
  bool zero = false;
  bool dot = false;
  long hashes = 0;           // every '#'
  long fraction_hashes = 0;  // the '#' after the first '.'
  char style = 'f';          // the last 'e' or 'E', else 'f'
};

Picture ScanPicture(const std::string& format) {
  Picture p;
  for (char c : format) {
    switch (c) {
      case '+': p.plus = true; break;
      case ' ': p.blank = true; break;
      case '0': p.zero = true; break;
      case '.': p.dot = true; break;
      case '#':
        ++p.hashes;
        if (p.dot) ++p.fraction_hashes;
        break;
      case 'e':
      case 'E': p.style = c; break;
      default: break;
    }
  }
  return p;
}

std::string Count(long n) { return std::to_string(n < kMaxCount ? n : kMaxCount); }

std::string Specification(const Picture& p) {
  std::string spec = "%";
  if (p.plus) spec += '+';
  if (p.blank) spec += ' ';
  if (p.zero) spec += '0';
  if (p.hashes > 0) {
    if (!p.zero) spec += '0';
    spec += Count(p.hashes + (p.fraction_hashes != 0 ? 1 : 0));
  }
  if (p.dot) spec += p.fraction_hashes == 0 ? std::string(".0") : "." + Count(p.fraction_hashes);
  spec += p.style;
  return spec;
}

}  // namespace

void KezDcQrQResult::FormatNumeric(double iValue, KezUnicodeString iFormat, KezUnicodeString& oResult) {
  QR_TRA(2, "=-->> QrQResult::FormatNumeric [%g, %s] \n", iValue, iFormat.ConvertToChar());
  std::string spec = Specification(ScanPicture(iFormat.Std()));
  QR_TRA(4, "Format = <%s> \n", spec.c_str());
  char result[kResultSize];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  kez::FormatInto(result, sizeof result, spec.c_str(), iValue);
#pragma GCC diagnostic pop
  QR_TRA(4, "FormatedNumeric = <%s> \n", result);
  oResult = result;
  QR_TRA(2, "=-->> QrQResult::FormatNumeric ENDING [%g, %s] => (%s) => <%s>\n", iValue, iFormat.ConvertToChar(),
         spec.c_str(), result);
}
