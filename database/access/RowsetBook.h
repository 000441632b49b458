// Internal: the bookkeeping that every backend's rowset keeps alike — the
// accessors created on it, by handle; the rows of the block it holds; the
// live-object counters of both — with every slip in the caller's release
// discipline counted as a misuse and reported in one wording.
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

// The counters of live layer objects that each backend keeps for its tests.
struct LayerCounters {
  int live_objects = 0;       // data sources, sessions, rowsets, insert interfaces
  long outstanding_rows = 0;  // row handles fetched and not released
  int live_accessors = 0;     // accessor handles created and not released
  int open_connections = 0;
  int misuses = 0;
};

template <class Accessor>
class RowsetBook {
 public:
  // backend names the backend in messages ("sqlite"); counters outlive the
  // book.
  RowsetBook(const char* backend, LayerCounters& counters) : backend_(backend), counters_(counters) {}
  RowsetBook(const RowsetBook&) = delete;
  RowsetBook& operator=(const RowsetBook&) = delete;

  // Gives back what the caller left held (a misuse) and forgets every
  // accessor; the rowset calls it before releasing what the accessors use.
  void Close() {
    DropHeldRows();
    if (!accessors_.empty()) {
      ++counters_.misuses;
      counters_.live_accessors -= static_cast<int>(accessors_.size());
    }
    accessors_.clear();
  }

  KezDcDbHAccessor AddAccessor(Accessor accessor) {
    if (next_accessor_ == 0) ++next_accessor_;
    KezDcDbHAccessor handle = next_accessor_++;
    accessors_.emplace(handle, std::move(accessor));
    ++counters_.live_accessors;
    return handle;
  }
  // 0, or 1 for a handle that is not one of this rowset's.
  int ReleaseAccessor(KezDcDbHAccessor handle) {
    if (accessors_.erase(handle) == 0) {
      ++counters_.misuses;
      return 1;
    }
    --counters_.live_accessors;
    return 0;
  }
  // The accessor of the handle, or null after reporting the misuse;
  // describe() names the rowset (called only then).
  template <class Describe>
  Accessor* FindAccessor(KezDcDbHAccessor handle, const char* operation, Describe describe) {
    auto found = accessors_.find(handle);
    if (found != accessors_.end()) return &found->second;
    ++counters_.misuses;
    KezDcCMError::AddError("ERROR: %s rowset %s: %s with unknown accessor handle %u \n", backend_, describe().c_str(),
                           operation, handle);
    return nullptr;
  }
  template <class Describe>
  bool HasBuffer(const _SEQUENCE_SEQUENCE_octet* buffer, const char* operation, Describe describe) {
    if (buffer) return true;
    ++counters_.misuses;
    KezDcCMError::AddError("ERROR: %s rowset %s: %s without a row buffer \n", backend_, describe().c_str(), operation);
    return false;
  }

  // Rows still held when the next block is fetched (or the rowset goes)
  // are dropped: a slip in the caller's release discipline.
  void DropHeldRows() {
    if (held_rows_ == 0) return;
    ++counters_.misuses;
    counters_.outstanding_rows -= held_rows_;
    held_rows_ = 0;
  }
  // The rows of a newly fetched block.
  void HoldRows(uint32_t count) {
    held_rows_ = count;
    counters_.outstanding_rows += count;
  }
  // ReleaseRows of the interface: more than held is a misuse.
  void ReleaseRows(uint32_t count) {
    if (count > held_rows_) {
      ++counters_.misuses;
      count = held_rows_;
    }
    held_rows_ -= count;
    counters_.outstanding_rows -= count;
  }
  uint32_t HeldRows() const { return held_rows_; }

 private:
  const char* backend_;
  LayerCounters& counters_;
  std::map<KezDcDbHAccessor, Accessor> accessors_;
  KezDcDbHAccessor next_accessor_ = 1;
  uint32_t held_rows_ = 0;
};

}  // namespace detail
}  // namespace kez

#endif
