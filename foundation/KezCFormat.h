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
// The texts that printf's "%d" and "%e" give, octet for octet, without
// going through printf (values are written this way all the time).
KEZDCQR_API std::string FormatD(int value);
KEZDCQR_API std::string FormatE(double value);
// strtod and atof in the "C" locale.
KEZDCQR_API double StrToD(const char* text, char** end);
KEZDCQR_API double AtoF(const char* text);

}  // namespace kez

#endif
