// Operations of the library's text type that are too long to sit inline.
#include "foundation/KezUnicodeString.h"

#include <climits>

namespace {

bool IsScanfSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Reads [blanks][sign]digits as scanf's %d would, saturating instead of
// overflowing. Returns false when no digit follows.
bool ReadDecimal(const std::string& text, bool* negative, unsigned long long* magnitude) {
  std::size_t i = 0;
  while (i < text.size() && IsScanfSpace(text[i])) ++i;
  *negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    *negative = text[i] == '-';
    ++i;
  }
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
  unsigned long long value = 0;
  const unsigned long long cap = ULLONG_MAX / 10 - 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value > cap) {
      value = ULLONG_MAX;  // far beyond any target type: saturates below
      continue;
    }
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
  }
  *magnitude = value;
  return true;
}

}  // namespace

KezUnicodeString::KezUnicodeString(const KezUnicodeChar& c, int n) {
  if (!c.IsEmpty() && n > 0) text_.assign(static_cast<std::size_t>(n), c.Get());
}

void KezUnicodeString::Remove(int pos, int n) {
  if (pos < 0 || n <= 0 || static_cast<std::size_t>(pos) >= text_.size()) return;
  text_.erase(static_cast<std::size_t>(pos), static_cast<std::size_t>(n));
}

KezUnicodeString KezUnicodeString::SubString(int pos, int n) const {
  if (pos < 0) {
    n += pos;
    pos = 0;
  }
  if (n <= 0 || static_cast<std::size_t>(pos) >= text_.size()) return KezUnicodeString();
  return KezUnicodeString(text_.substr(static_cast<std::size_t>(pos), static_cast<std::size_t>(n)));
}

KezUnicodeString KezUnicodeString::Strip(int mode, const KezUnicodeChar& c) const {
  if (c.IsEmpty()) return *this;
  const char ch = c.Get();
  if (mode == 1) {
    std::size_t first = text_.find_first_not_of(ch);
    return first == std::string::npos ? KezUnicodeString() : KezUnicodeString(text_.substr(first));
  }
  if (mode == 2) {
    std::size_t last = text_.find_last_not_of(ch);
    return last == std::string::npos ? KezUnicodeString() : KezUnicodeString(text_.substr(0, last + 1));
  }
  return *this;
}

int KezUnicodeString::ConvertToNum(int* out, const char* /*format*/) const {
  bool negative = false;
  unsigned long long magnitude = 0;
  if (!ReadDecimal(text_, &negative, &magnitude)) {
    if (out) *out = 0;
    return 0;
  }
  long long value;
  if (negative) {
    value = magnitude > static_cast<unsigned long long>(INT_MAX) + 1ULL ? INT_MIN : -static_cast<long long>(magnitude);
  } else {
    value = magnitude > static_cast<unsigned long long>(INT_MAX) ? INT_MAX : static_cast<long long>(magnitude);
  }
  if (value < INT_MIN) value = INT_MIN;
  if (out) *out = static_cast<int>(value);
  return 1;
}

int KezUnicodeString::ConvertToNum(unsigned long* out, const char* /*format*/) const {
  bool negative = false;
  unsigned long long magnitude = 0;
  if (!ReadDecimal(text_, &negative, &magnitude)) {
    if (out) *out = 0;
    return 0;
  }
  unsigned long value = magnitude > ULONG_MAX ? ULONG_MAX : static_cast<unsigned long>(magnitude);
  if (negative) value = 0;
  if (out) *out = value;
  return 1;
}
