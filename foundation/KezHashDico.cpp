// Insertion-ordered dictionary with holes, behind every registry.
#include "foundation/KezHashDico.h"

unsigned long long KezHashDico::changes_ = 0;

KezHashDico::KezHashDico(int size) {
  if (size > 0) index_.reserve(static_cast<std::size_t>(size));
}

void KezHashDico::Insert(const KezUnicodeString& key, void* value) {
  auto found = index_.find(key.Std());
  if (found != index_.end()) {
    if (slots_[found->second].value != value) ++changes_;
    slots_[found->second].value = value;
    return;
  }
  if (holes_ > 32 && holes_ > index_.size()) Compact();
  index_.emplace(key.Std(), slots_.size());
  slots_.push_back(Slot{key, value, true});
}

void* KezHashDico::Locate(const KezUnicodeString& key) const {
  auto found = index_.find(key.Std());
  return found == index_.end() ? nullptr : slots_[found->second].value;
}

int KezHashDico::Remove(const KezUnicodeString& key) {
  auto found = index_.find(key.Std());
  if (found == index_.end()) return 0;
  Slot& slot = slots_[found->second];
  slot.live = false;
  slot.value = nullptr;
  slot.key = KezUnicodeString();
  index_.erase(found);
  ++holes_;
  ++changes_;
  return 1;
}

int KezHashDico::Remove(const KezUnicodeString& key, const void* value) {
  auto found = index_.find(key.Std());
  if (found == index_.end() || slots_[found->second].value != value) return 0;
  return Remove(key);
}

void KezHashDico::RemoveAll() {
  if (!index_.empty()) ++changes_;
  slots_.clear();
  index_.clear();
  holes_ = 0;
}

void* KezHashDico::Next(int& i, int& j, KezUnicodeString* key) const {
  if (i < 1) i = 1;
  if (j < 0) j = 0;
  while (static_cast<std::size_t>(j) < slots_.size()) {
    const Slot& slot = slots_[static_cast<std::size_t>(j)];
    ++j;
    // A null value would read as the end of the walk: pass over it.
    if (!slot.live || !slot.value) continue;
    if (key) *key = slot.key;
    return slot.value;
  }
  return nullptr;
}

void KezHashDico::Compact() {
  std::vector<Slot> kept;
  kept.reserve(index_.size());
  for (Slot& slot : slots_) {
    if (!slot.live) continue;
    index_[slot.key.Std()] = kept.size();
    kept.push_back(std::move(slot));
  }
  slots_.swap(kept);
  holes_ = 0;
}
