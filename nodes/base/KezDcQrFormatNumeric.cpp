// Number formatting under a picture-like format text: the text is
// translated into one printf conversion for a double ("###.##" gives
// "%06.2f") and applied in the "C" locale. The result is cut to 254
// characters; huge widths and precisions are brought down (Bound) in a way
// that changes nothing of those 254 characters and bounds the work.
#include <algorithm>
#include <cmath>
#include <string>

#include "foundation/KezCFormat.h"
#include "nodes/base/KezDcQrQResult.h"
#include "nodes/base/QResultTrace.h"

namespace {

// A double's exact decimal expansion never needs more fraction digits than
// kMaxPrecision, so a larger precision only adds zeros; kMaxWidth pads past
// the longest such text by more than the 254 characters that are kept.
const long kMaxPrecision = 1100;
const long kMaxWidth = 2048;
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
      case '+':
        p.plus = true;
        break;
      case ' ':
        p.blank = true;
        break;
      case '0':
        p.zero = true;
        break;
      case '.':
        p.dot = true;
        break;
      case '#':
        ++p.hashes;
        if (p.dot) ++p.fraction_hashes;
        break;
      case 'e':
      case 'E':
        p.style = c;
        break;
      default:
        break;
    }
  }
  return p;
}

// Brings a huge precision down to kMaxPrecision and lowers the width by as
// much, so that the padding of a finite number (one character longer per
// digit of precision) stays the same; then brings a huge width down to
// kMaxWidth, which still pads past the first 254 characters.
void Bound(long& width, long& precision, bool finite) {
  if (precision > kMaxPrecision) {
    if (finite) width = std::max(1L, width - (precision - kMaxPrecision));
    precision = kMaxPrecision;
  }
  width = std::min(width, kMaxWidth);
}

std::string Conversion(const Picture& p, bool finite) {
  long width = p.hashes + (p.fraction_hashes != 0 ? 1 : 0);
  long precision = p.fraction_hashes;
  Bound(width, precision, finite);
  std::string conversion = "%";
  if (p.plus) conversion += '+';
  if (p.blank) conversion += ' ';
  if (p.zero) conversion += '0';
  if (p.hashes > 0) {
    if (!p.zero) conversion += '0';
    conversion += std::to_string(width);
  }
  if (p.dot) conversion += "." + std::to_string(precision);
  conversion += p.style;
  return conversion;
}

}  // namespace

void KezDcQrQResult::FormatNumeric(double iValue, KezUnicodeString iFormat, KezUnicodeString& oResult) {
  QR_TRA(2, "=-->> QrQResult::FormatNumeric [%g, %s] \n", iValue, iFormat.ConvertToChar());
  std::string conversion = Conversion(ScanPicture(iFormat.Std()), std::isfinite(iValue));
  QR_TRA(4, "Format = <%s> \n", conversion.c_str());
  char result[kResultSize] = "";
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  kez::FormatInto(result, sizeof result, conversion.c_str(), iValue);
#pragma GCC diagnostic pop
  QR_TRA(4, "FormatedNumeric = <%s> \n", result);
  oResult = result;
  QR_TRA(2, "=-->> QrQResult::FormatNumeric ENDING [%g, %s] => (%s) => <%s>\n", iValue, iFormat.ConvertToChar(),
         conversion.c_str(), result);
}
