// Typed views over the raw collections: a list of pointers and a dictionary
// of pointers to T. Neither owns the objects it points to, except through
// ApplyDelete, which deletes every object the dictionary holds.
#ifndef KEZ_TYPED_CONTAINERS_H
#define KEZ_TYPED_CONTAINERS_H

#include "foundation/KezCollecRoot.h"
#include "foundation/KezHashDico.h"
#include "foundation/KezRawColl.h"

template <class T>
class KezPtrList : public KezCollecRoot {
 public:
  explicit KezPtrList(int capacity = 0) : raw_(new KezRawCollPV(capacity)) {}
  KezPtrList(const KezPtrList& other) : KezCollecRoot(other), raw_(new KezRawCollPV(*other.raw_)) {}
  KezPtrList& operator=(const KezPtrList& other) {
    if (this != &other) *raw_ = *other.raw_;
    return *this;
  }
  ~KezPtrList() override { delete raw_; }

  void Append(T* p) { raw_->Append(p); }
  int RemoveValue(T* p) { return raw_->RemoveValue(p); }
  void RemoveAll(int mode = 1) { raw_->RemoveAll(mode); }
  T* operator[](int i) const { return static_cast<T*>((*raw_)[i]); }
  int Size() const { return raw_->Size(); }

 private:
  KezRawCollPV* raw_;
};

template <class T>
class KezPtrDict : public KezCollecRoot {
 public:
  explicit KezPtrDict(int size = 100) : dico_(new KezHashDico(size)) {}
  explicit KezPtrDict(KezHashDico* dico) : dico_(dico ? dico : new KezHashDico(100)) {}
  KezPtrDict(const KezPtrDict& other) : KezCollecRoot(other), dico_(new KezHashDico(*other.dico_)) {}
  KezPtrDict& operator=(const KezPtrDict& other) {
    if (this != &other) *dico_ = *other.dico_;
    return *this;
  }
  ~KezPtrDict() override { delete dico_; }

  void Insert(const KezUnicodeString& key, T* value) { dico_->Insert(key, value); }
  T* Locate(const KezUnicodeString& key) const { return static_cast<T*>(dico_->Locate(key)); }
  int Remove(const KezUnicodeString& key) { return dico_->Remove(key); }
  int Remove(const KezUnicodeString& key, const T* value) { return dico_->Remove(key, value); }
  void RemoveAll() { dico_->RemoveAll(); }
  T* Next(int& i, int& j, KezUnicodeString* key) const { return static_cast<T*>(dico_->Next(i, j, key)); }
  int Size() const { return dico_->Size(); }

  // Deletes every object the dictionary holds, then empties it. Deleting an
  // object may remove other entries (its own and those deleted in cascade):
  // the walk skips them and never yields an object twice.
  void ApplyDelete() {
    int i = 1;
    int j = 0;
    while (T* value = Next(i, j, nullptr)) delete value;
    RemoveAll();
  }

 private:
  KezHashDico* dico_;
};

#endif
