// Internal: the bookkeeping that every backend's rowset keeps alike — the
// accessors created on it, by handle, and the rows of the block it holds —
// with the caller's misuses reported in one wording.
#ifndef KEZ_DC_DB_ROWSET_BOOK_H
#define KEZ_DC_DB_ROWSET_BOOK_H

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "database/access/KezDcDbSequence.h"
#include "foundation/KezDcCMError.h"

namespace kez {
namespace detail {

template <class Accessor>
class RowsetBook {
 public:
  // backend names the backend in messages ("sqlite").
  explicit RowsetBook(const char* backend) : backend_(backend) {}
  RowsetBook(const RowsetBook&) = delete;
  RowsetBook& operator=(const RowsetBook&) = delete;

  // Gives back what the caller left held and forgets every accessor; the
  // rowset calls it before releasing what the accessors use.
  void Close() {
    DropHeldRows();
    accessors_.clear();
  }

  KezDcDbHAccessor AddAccessor(Accessor accessor) {
    if (next_accessor_ == 0) ++next_accessor_;
    KezDcDbHAccessor handle = next_accessor_++;
    accessors_.emplace(handle, std::move(accessor));
    return handle;
  }
  // 0, or 1 for a handle that is not one of this rowset's.
  int ReleaseAccessor(KezDcDbHAccessor handle) { return accessors_.erase(handle) == 0 ? 1 : 0; }
  // The accessor of the handle, or null after reporting the misuse;
  // describe() names the rowset (called only then).
  template <class Describe>
  Accessor* FindAccessor(KezDcDbHAccessor handle, const char* operation, Describe describe) {
    auto found = accessors_.find(handle);
    if (found != accessors_.end()) return &found->second;
    KezDcCMError::AddError("ERROR: %s rowset %s: %s with unknown accessor handle %u \n", backend_, describe().c_str(),
                           operation, handle);
    return nullptr;
  }
  template <class Describe>
  bool HasBuffer(const _SEQUENCE_SEQUENCE_octet* buffer, const char* operation, Describe describe) {
    if (buffer) return true;
    KezDcCMError::AddError("ERROR: %s rowset %s: %s without a row buffer \n", backend_, describe().c_str(), operation);
    return false;
  }

  // Rows still held when the next block is fetched (or the rowset goes)
  // are dropped: a slip in the caller's release discipline.
  void DropHeldRows() { held_rows_ = 0; }
  // The rows of a newly fetched block.
  void HoldRows(uint32_t count) { held_rows_ = count; }
  // ReleaseRows of the interface: more than held gives back what is held.
  void ReleaseRows(uint32_t count) { held_rows_ -= count < held_rows_ ? count : held_rows_; }
  uint32_t HeldRows() const { return held_rows_; }

 private:
  const char* backend_;
  std::map<KezDcDbHAccessor, Accessor> accessors_;
  KezDcDbHAccessor next_accessor_ = 1;
  uint32_t held_rows_ = 0;
};

}  // namespace detail
}  // namespace kez

#endif
