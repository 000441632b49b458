// One character of a KezUnicodeString. Texts are octet strings, so a
// character is one octet; the empty character stands for "no character"
// (for example a position past the end of a text) and equals no octet.
#ifndef KEZ_UNICODE_CHAR_H
#define KEZ_UNICODE_CHAR_H

#include "foundation/KezExport.h"

class KEZDCQR_API KezUnicodeChar {
 public:
  KezUnicodeChar() : value_(-1) {}
  KezUnicodeChar(char c) : value_(static_cast<unsigned char>(c)) {}  // NOLINT: implicit by design

  KezUnicodeChar& operator=(char c) {
    value_ = static_cast<unsigned char>(c);
    return *this;
  }

  bool IsEmpty() const { return value_ < 0; }
  // The octet, or 0 for the empty character.
  char Get() const { return value_ < 0 ? '\0' : static_cast<char>(value_); }

  bool operator==(const KezUnicodeChar& o) const { return value_ == o.value_; }
  bool operator!=(const KezUnicodeChar& o) const { return value_ != o.value_; }
  bool operator==(char c) const { return value_ == static_cast<unsigned char>(c); }
  bool operator!=(char c) const { return !(*this == c); }

 private:
  int value_;  // 0..255, or -1 for the empty character
};

inline bool operator==(char c, const KezUnicodeChar& u) {
  return u == c;
}
inline bool operator!=(char c, const KezUnicodeChar& u) {
  return u != c;
}

#endif
