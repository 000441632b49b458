// A dictionary from texts to untyped pointers: the storage of every
// registry of the library. It does not own its values.
//
// Next() walks the entries in insertion order from the position pair (1, 0)
// and stays valid while entries are removed between two calls: a removed
// entry leaves a hole that the walk skips, so a value is never yielded after
// its removal and the whole walk takes linear time. Holes are compacted only
// by Insert, never during removals.
#ifndef KEZ_HASH_DICO_H
#define KEZ_HASH_DICO_H

#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/KezCollecRoot.h"
#include "foundation/KezUnicodeString.h"

class KEZDCQR_API KezHashDico : public KezCollecRoot {
 public:
  explicit KezHashDico(int size = 100);
  KezHashDico(const KezHashDico&) = default;
  KezHashDico& operator=(const KezHashDico&) = default;
  ~KezHashDico() override = default;

  // Registers value under key; a key already present takes the new value.
  void Insert(const KezUnicodeString& key, void* value);
  // The value registered under key, or null.
  void* Locate(const KezUnicodeString& key) const;
  // Removes key; returns 0 when nothing was removed.
  int Remove(const KezUnicodeString& key);
  // Removes key only while it still holds value (a node leaving the
  // registry must not remove a newer node registered under its key).
  int Remove(const KezUnicodeString& key, const void* value);
  void RemoveAll();
  // One value per call from the position pair (i, j), starting at (1, 0);
  // null at the end (entries holding a null value are passed over). The
  // key is written when key is not null.
  void* Next(int& i, int& j, KezUnicodeString* key) const;
  int Size() const { return static_cast<int>(index_.size()); }

  // Counts, over every dictionary of the process, the entries that left or
  // were replaced. A pointer found in a dictionary is still the one
  // registered there as long as this count has not moved.
  static unsigned long long Changes() { return changes_; }

 private:
  struct Slot {
    KezUnicodeString key;
    void* value;
    bool live;
  };
  void Compact();

  std::vector<Slot> slots_;
  std::unordered_map<std::string, std::size_t> index_;
  std::size_t holes_ = 0;
  static unsigned long long changes_;
};

#endif
