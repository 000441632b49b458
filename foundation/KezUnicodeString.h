// The text type of the whole library: an octet string (UTF-8 passes through
// untouched, positions and lengths count octets) with the handful of
// operations that the query results use.
#ifndef KEZ_UNICODE_STRING_H
#define KEZ_UNICODE_STRING_H

#include <cstddef>
#include <cstring>
#include <string>

#include "foundation/KezExport.h"
#include "foundation/KezUnicodeChar.h"

class KEZDCQR_API KezUnicodeString {
 public:
  KezUnicodeString() = default;
  KezUnicodeString(const char* s) : text_(s ? s : "") {}  // NOLINT: implicit by design
  KezUnicodeString(const char* s, std::size_t n) : text_(s ? std::string(s, n) : std::string()) {}
  explicit KezUnicodeString(std::string s) : text_(std::move(s)) {}
  // The character c repeated n times (n below 0 counts as 0).
  KezUnicodeString(const KezUnicodeChar& c, int n);
  KezUnicodeString(const KezUnicodeString&) = default;
  KezUnicodeString(KezUnicodeString&&) noexcept = default;
  KezUnicodeString& operator=(const KezUnicodeString&) = default;
  KezUnicodeString& operator=(KezUnicodeString&&) noexcept = default;
  // Reuses the storage the text already has (kind and type texts are set
  // over and over with short texts).
  KezUnicodeString& operator=(const char* s) {
    if (!s) s = "";
    std::size_t n = std::strlen(s);
    if (n > text_.capacity()) {
      text_.assign(s, n);
      return *this;
    }
    if (n > text_.size()) text_.resize(n);
    std::memmove(&text_[0], s, n);
    text_.resize(n);
    return *this;
  }

  bool operator==(const KezUnicodeString& o) const { return text_ == o.text_; }
  bool operator!=(const KezUnicodeString& o) const { return text_ != o.text_; }
  friend bool operator==(const KezUnicodeString& a, const char* b) { return a.EqualsC(b ? b : ""); }
  friend bool operator!=(const KezUnicodeString& a, const char* b) { return !(a == b); }
  friend bool operator==(const char* a, const KezUnicodeString& b) { return b == a; }
  friend bool operator!=(const char* a, const KezUnicodeString& b) { return !(b == a); }

  // The character at 0-based position i; the empty character when i is
  // outside the text.
  KezUnicodeChar operator[](int i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= text_.size()) return KezUnicodeChar();
    return KezUnicodeChar(text_[static_cast<std::size_t>(i)]);
  }
  int GetLengthInChar() const { return static_cast<int>(text_.size()); }
  bool IsEmpty() const { return text_.empty(); }

  KezUnicodeString& Append(const KezUnicodeString& s) {
    text_ += s.text_;
    return *this;
  }
  KezUnicodeString& Append(const char* s) {
    if (s) text_ += s;
    return *this;
  }
  KezUnicodeString& Append(const KezUnicodeChar& c) {
    if (!c.IsEmpty()) text_ += c.Get();
    return *this;
  }
  KezUnicodeString& Append(char c) {
    text_ += c;
    return *this;
  }

  // Removes n characters from pos; positions outside the text are ignored.
  void Remove(int pos, int n = 1);
  // The n characters from pos, clipped to the text.
  KezUnicodeString SubString(int pos, int n) const;
  // A copy without the characters c at the start (mode 1) or at the end
  // (mode 2); any other mode returns the text unchanged.
  KezUnicodeString Strip(int mode, const KezUnicodeChar& c) const;

  const char* ConvertToChar() const { return text_.c_str(); }
  operator const char*() const { return text_.c_str(); }  // NOLINT: implicit by design

  // Reads the number the text holds ("%d" for int, "%lu" for unsigned long):
  // leading blanks, a sign and decimal digits, as scanf reads them, in the
  // "C" locale. A text that is no number yields 0. A number out of range
  // saturates at the type's limits instead of being undefined. Returns 1
  // when a number was read, 0 otherwise.
  int ConvertToNum(int* out, const char* format = "%d") const;
  int ConvertToNum(unsigned long* out, const char* format = "%lu") const;

  const std::string& Std() const { return text_; }
  std::string& Std() { return text_; }

 private:
  // Compares with a C string octet by octet, stopping at the first
  // difference (the type and kind texts compared all the time differ early).
  bool EqualsC(const char* b) const {
    const char* d = text_.data();
    const std::size_t n = text_.size();
    for (std::size_t i = 0; i < n; ++i) {
      if (b[i] == '\0' || b[i] != d[i]) return false;
    }
    return b[n] == '\0';
  }

  std::string text_;
};

namespace std {
template <>
struct hash<KezUnicodeString> {
  size_t operator()(const KezUnicodeString& s) const noexcept { return hash<string>()(s.Std()); }
};
}  // namespace std

#endif
