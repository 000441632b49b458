// Number formatting and reading in the "C" locale, whatever locale the
// client process has set: every printf-style text and every strtod/atof of
// the library goes through these helpers.
#ifndef KEZ_C_FORMAT_H
#define KEZ_C_FORMAT_H

#include <cstdarg>
#include <cstddef>
#include <string>

#include "foundation/KezExport.h"

namespace kez {

// printf into a std::string, in the "C" locale.
KEZDCQR_API std::string FormatV(const char* format, va_list args);
KEZDCQR_API std::string Format(const char* format, ...) KEZ_PRINTF(1, 2);
// snprintf into a bounded buffer, in the "C" locale; returns what snprintf
// returns (the untruncated length).
KEZDCQR_API int FormatInto(char* buffer, std::size_t size, const char* format, ...) KEZ_PRINTF(3, 4);
// The text that printf's "%d" gives, without going through printf.
KEZDCQR_API std::string FormatD(int value);
// A double in printf's "%e" style with the fewest digits after the point,
// at least six, that read back as the same double: 2.5 gives
// "2.500000e+00" as "%e" does, 2147483647 gives "2.147483647e+09" and 1/7
// "1.4285714285714285e-01". inf and nan are spelled as printf spells them.
KEZDCQR_API std::string FormatE(double value);
// The length of the longest plain decimal number at the start of text:
// optional leading blanks, an optional sign, digits with at most one point
// (at least one digit), then an optional exponent ('e' or 'E', an optional
// sign, digits). 0 when the text does not start with one. inf, nan and
// hexadecimal texts are no numbers.
KEZDCQR_API std::size_t DecimalNumberLength(const char* text);
// The same over the `size` octets at text (no terminating zero needed).
KEZDCQR_API std::size_t DecimalNumberLength(const char* text, std::size_t size);
// True when the whole text is one plain decimal number (see above).
KEZDCQR_API bool IsDecimalNumber(const char* text);
// The value of the decimal number at the start of text (0.0 when there is
// none), and in *whole whether that number is the whole text.
KEZDCQR_API double DecimalValue(const char* text, bool* whole);
// strtod and atof in the "C" locale.
KEZDCQR_API double StrToD(const char* text, char** end);
KEZDCQR_API double AtoF(const char* text);

}  // namespace kez

#endif
