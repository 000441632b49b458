// A list of texts with 1-based positions: attribute lists of accessors,
// postfix lists of expressions and the evaluator's string stack.
#ifndef KEZ_LIST_VAL_UNICODE_STRING_H
#define KEZ_LIST_VAL_UNICODE_STRING_H

#include <vector>

#include "foundation/KezCollecRoot.h"
#include "foundation/KezUnicodeString.h"

class KEZDCQR_API KezListValKezUnicodeString : public KezCollecRoot {
 public:
  explicit KezListValKezUnicodeString(int /*capacity*/ = 0) {}

  int Size() const { return static_cast<int>(items_.size()); }
  void Append(const KezUnicodeString& s) { items_.push_back(s); }

  // The text at 1-based position i; an empty text outside the list.
  const KezUnicodeString& operator[](int i) const {
    static const KezUnicodeString kEmpty;
    if (i < 1 || i > Size()) return kEmpty;
    return items_[static_cast<std::size_t>(i - 1)];
  }

  // Removes the text at 1-based position i; returns 1 when one was removed.
  int RemovePosition(int i) {
    if (i < 1 || i > Size()) return 0;
    items_.erase(items_.begin() + (i - 1));
    return 1;
  }
  void RemoveAll(int /*mode*/ = 1) { items_.clear(); }

 private:
  std::vector<KezUnicodeString> items_;
};

#endif
