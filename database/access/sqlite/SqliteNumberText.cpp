// Shortest round-trip text of a real. std::to_chars finds it for any real;
// a value with a few decimals between 0.1 and 100000 is found here first in
// a handful of divisions, which is most of what a scan converts.
#include "database/access/sqlite/SqliteNumberText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kez {
namespace detail {
namespace {

constexpr int kMaxDecimals = 9;
constexpr double kPowersOfTen[kMaxDecimals + 1] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
// Within [kLow, kHigh) std::to_chars writes a real in fixed notation: with
// at most five integer digits, or a first decimal that is not zero, fixed is
// never longer than scientific (and a tie goes to fixed).
constexpr double kLow = 0.1;
constexpr double kHigh = 1e5;

// The decimal digits and the count of decimals of the fewest-decimals text
// that reads back as magnitude, in [kLow, kHigh); false when it needs more
// than kMaxDecimals decimals. Both N and 10^k are exact doubles (N < 2^53),
// so N / 10^k is the correctly rounded value of the text N * 10^-k: exactly
// what reading that text gives. Doubles below kHigh lie less than 2e-11
// apart, so at most one text of k <= 9 decimals reads back as magnitude,
// and rounding magnitude * 10^k finds it.
bool FewestDecimals(double magnitude, uint64_t* digits, int* decimals) {
  for (int k = 0; k <= kMaxDecimals; ++k) {
    double scaled = std::floor(magnitude * kPowersOfTen[k] + 0.5);
    if (scaled / kPowersOfTen[k] == magnitude) {
      *digits = static_cast<uint64_t>(scaled);
      *decimals = k;
      return true;
    }
  }
  return false;
}

// Writes [-]digits with a point before its last `decimals` digits (and a
// leading "0." and zeros when the digits are fewer).
char* WriteFixed(bool negative, uint64_t digits, int decimals, char* first, char* last) {
  char text[24];
  char* end = std::to_chars(text, text + sizeof text, digits).ptr;
  int count = static_cast<int>(end - text);
  int whole = count > decimals ? count - decimals : 0;
  int zeros = decimals > count ? decimals - count : 0;
  std::size_t size = (negative ? 1 : 0) + (whole > 0 ? whole : 1) + (decimals > 0 ? 1 + decimals : 0);
  if (size > static_cast<std::size_t>(last - first)) return nullptr;
  char* out = first;
  if (negative) *out++ = '-';
  if (whole == 0) *out++ = '0';
  std::memcpy(out, text, whole);
  out += whole;
  if (decimals == 0) return out;
  *out++ = '.';
  std::memset(out, '0', zeros);
  out += zeros;
  std::memcpy(out, text + whole, count - whole);
  return out + (count - whole);
}

}  // namespace

char* WriteShortestReal(double number, char* first, char* last) {
  double magnitude = std::fabs(number);
  uint64_t digits = 0;
  int decimals = 0;
  if (magnitude >= kLow && magnitude < kHigh && FewestDecimals(magnitude, &digits, &decimals))
    return WriteFixed(std::signbit(number), digits, decimals, first, last);
  std::to_chars_result result = std::to_chars(first, last, number);
  return result.ec == std::errc() ? result.ptr : nullptr;
}

}  // namespace detail
}  // namespace kez
