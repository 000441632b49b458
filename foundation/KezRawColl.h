// Raw collections: growable sequences of pointers, ints and doubles with
// 1-based positions. Removal of a value searches from both ends at once, so
// the two common patterns (a child leaving the front of its father's list
// while the father deletes its children, or the newest entry leaving)
// cost O(1) whatever the list's size.
#ifndef KEZ_RAW_COLL_H
#define KEZ_RAW_COLL_H

#include <deque>

#include "foundation/KezCollecRoot.h"

template <class T>
class KezRawColl : public KezCollecRoot {
 public:
  explicit KezRawColl(int /*capacity*/ = 0) {}

  int Size() const { return static_cast<int>(items_.size()); }
  void Append(T value) { items_.push_back(value); }

  // The entry at 1-based position i, or T() outside the collection.
  T operator[](int i) const {
    if (i < 1 || i > Size()) return T();
    return items_[static_cast<std::size_t>(i - 1)];
  }

  // Removes one entry equal to value, searching from both ends at once (the
  // lists of nodes hold each node once); returns 1 when one was removed.
  int RemoveValue(T value) {
    std::size_t lo = 0;
    std::size_t hi = items_.size();
    while (lo < hi) {
      if (items_[lo] == value) return EraseAt(lo);
      --hi;
      if (hi > lo && items_[hi] == value) return EraseAt(hi);
      ++lo;
    }
    return 0;
  }

  // Removes the entry at 1-based position i; returns 1 when one was removed.
  int RemovePosition(int i) {
    if (i < 1 || i > Size()) return 0;
    items_.erase(items_.begin() + (i - 1));
    return 1;
  }

  void RemoveAll(int /*mode*/ = 1) { items_.clear(); }

 private:
  int EraseAt(std::size_t at) {
    items_.erase(items_.begin() + static_cast<long>(at));
    return 1;
  }

  std::deque<T> items_;
};

class KEZDCQR_API KezRawCollPV : public KezRawColl<void*> {
 public:
  explicit KezRawCollPV(int capacity = 0) : KezRawColl<void*>(capacity) {}
};

class KEZDCQR_API KezRawCollint : public KezRawColl<int> {
 public:
  explicit KezRawCollint(int capacity = 0) : KezRawColl<int>(capacity) {}
};

class KEZDCQR_API KezRawColldouble : public KezRawColl<double> {
 public:
  explicit KezRawColldouble(int capacity = 0) : KezRawColl<double>(capacity) {}
};

#endif
