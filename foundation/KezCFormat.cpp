// "C"-locale printf and strtod through a thread-local locale switch.
#include "foundation/KezCFormat.h"

#include <locale.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

locale_t CLocale() {
  static locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c_locale;
}

// Switches the calling thread to the "C" locale for its lifetime.
class CLocaleScope {
 public:
  CLocaleScope() : previous_(uselocale(CLocale())) {}
  ~CLocaleScope() { uselocale(previous_); }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  locale_t previous_;
};

}  // namespace

namespace kez {

std::string FormatV(const char* format, va_list args) {
  CLocaleScope c_locale;
  char small[512];
  va_list copy;
  va_copy(copy, args);
  int needed = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (needed < 0) return std::string();
  if (static_cast<std::size_t>(needed) < sizeof small) return std::string(small, static_cast<std::size_t>(needed));
  std::string out(static_cast<std::size_t>(needed) + 1, '\0');
  std::vsnprintf(&out[0], out.size(), format, args);
  out.resize(static_cast<std::size_t>(needed));
  return out;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = FormatV(format, args);
  va_end(args);
  return out;
}

int FormatInto(char* buffer, std::size_t size, const char* format, ...) {
  CLocaleScope c_locale;
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, size, format, args);
  va_end(args);
  return n;
}

std::string FormatD(int value) {
  char buffer[16];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string FormatE(double value) {
  if (!std::isfinite(value)) return Format("%e", value);  // "inf", "-nan"... as printf spells them
  // The shortest text that reads back as value tells how many digits are
  // needed; "%.Ne" with that many (six at least) is rounded correctly, so it
  // is at least as close to value and reads back too.
  char buffer[64];
  auto shortest = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  const char* point = std::find(buffer, shortest.ptr, '.');
  const char* exponent = std::find(buffer, shortest.ptr, 'e');
  int digits = point < exponent ? static_cast<int>(exponent - point - 1) : 0;
  auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, digits > 6 ? digits : 6);
  return std::string(buffer, result.ptr);
}

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsLeadingBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::size_t DecimalNumberLength(const char* text, std::size_t size) {
  if (!text) return 0;
  const char* p = text;
  const char* end = text + size;
  auto at = [&](const char* q) { return q < end ? *q : '\0'; };
  while (IsLeadingBlank(at(p))) ++p;
  if (at(p) == '+' || at(p) == '-') ++p;
  std::size_t digits = 0;
  while (IsDigit(at(p))) ++p, ++digits;
  if (at(p) == '.') {
    ++p;
    while (IsDigit(at(p))) ++p, ++digits;
  }
  if (digits == 0) return 0;
  if (at(p) == 'e' || at(p) == 'E') {
    const char* q = p + 1;
    if (at(q) == '+' || at(q) == '-') ++q;
    if (IsDigit(at(q))) {
      while (IsDigit(at(q))) ++q;
      p = q;
    }
  }
  return static_cast<std::size_t>(p - text);
}

std::size_t DecimalNumberLength(const char* text) {
  return text ? DecimalNumberLength(text, std::strlen(text)) : 0;
}

bool IsDecimalNumber(const char* text) {
  std::size_t length = DecimalNumberLength(text);
  return length > 0 && text[length] == '\0';
}

double DecimalValue(const char* text, bool* whole) {
  std::size_t length = DecimalNumberLength(text);
  if (whole) *whole = length > 0 && text[length] == '\0';
  if (length == 0) return 0.0;
  if (text[length] == '\0') return StrToD(text, nullptr);
  std::string prefix(text, length);
  return StrToD(prefix.c_str(), nullptr);
}

double StrToD(const char* text, char** end) {
  return strtod_l(text, end, CLocale());
}

double AtoF(const char* text) {
  return strtod_l(text, nullptr, CLocale());
}

}  // namespace kez
