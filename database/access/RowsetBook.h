// Internal: the bookkeeping that every backend's rowset keeps alike — the
// accessors created on it, by handle, and the rows of the block it holds —
// with the caller's misuses reported in one wording.
#ifndef KEZ_DC_DB_ROWSET_BOOK_H
#define KEZ_DC_DB_ROWSET_BOOK_H

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "database/access/KezDcDbSequence.h"
#include "foundation/KezCFormat.h"
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

  // Whether a row buffer for the bindings fits in cap octets
  // (max_block_memory); reports it when not.
  template <class Describe>
  bool RowFits(uint32_t nbBindings, const _SEQUENCE_KezDcDbBindingSeq* bindings, uint64_t cap, Describe describe) {
    uint64_t row = 0;
    for (uint32_t i = 0; bindings && i < nbBindings && i < bindings->length(); ++i) row += (*bindings)[i].maxlen;
    if (row <= cap) return true;
    KezDcCMError::AddError(
        "ERROR: %s rowset %s: a row buffer of %llu octets for %u fields exceeds max_block_memory=%llu octets; "
        "bind fewer columns, or open the data source with a larger max_block_memory or a smaller max_field_size \n",
        backend_, describe().c_str(), static_cast<unsigned long long>(row), nbBindings,
        static_cast<unsigned long long>(cap));
    return false;
  }

  // One cut report per column and rowset: the columns of the rowset.
  void ResetCuts(std::size_t columns) { cut_reported_.assign(columns, false); }
  // Reports, the first time only for the column, a value of length octets
  // cut to its maxlen-octet field; hint() says what would fit it.
  template <class Hint, class Describe>
  void ReportCut(uint32_t column, const std::string& name, uint32_t length, uint32_t maxlen, Hint hint,
                 Describe describe) {
    if (column >= cut_reported_.size() || cut_reported_[column]) return;
    cut_reported_[column] = true;
    KezDcCMError::AddError(
        "WARNING: %s rowset %s: a value of column <%s> (%u octets) was cut to its %u-octet field; %s \n", backend_,
        describe().c_str(), name.c_str(), length, maxlen, hint().c_str());
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
  std::vector<bool> cut_reported_;  // per column
};

// What would fit a value of length octets that was cut: numeric fields hold
// numeric_size octets whatever the options; a text column sized by the
// server's bounds (capped), by its declaration, or by text_size.
inline std::string CutHint(bool text, bool capped, bool by_declaration, uint32_t length, uint32_t numeric_size,
                           uint32_t max_text) {
  if (!text) return Format("numeric fields hold %u octets whatever the options", numeric_size);
  if (length > max_text) return Format("no text_size fits it (at most %u)", max_text);
  if (capped) return Format("open the data source with max_field_size=%u or more to fit it", length);
  if (by_declaration) return Format("open the data source with declared_size=0&text_size=%u or more to fit it", length);
  return Format("open the data source with text_size=%u or more to fit it", length);
}

// GetColumnsInfo of a rowset whose columns each have a name and a kind
// (type and size): the count, and a new sequence (the caller's).
template <class Columns>
int ColumnsInfo(const Columns& columns, uint32_t* nbCols, _SEQUENCE_KezDcDbColInfoSeq** info) {
  auto n = static_cast<uint32_t>(columns.size());
  if (nbCols) *nbCols = n;
  if (!info) return 0;
  auto* seq = new _SEQUENCE_KezDcDbColInfoSeq(n);
  seq->length(n);
  for (uint32_t j = 0; j < n; ++j) {
    (*seq)[j].colName = columns[j].name.c_str();
    (*seq)[j].colType = columns[j].kind.type;
    (*seq)[j].colSize = columns[j].kind.size;
  }
  *info = seq;
  return 0;
}

}  // namespace detail
}  // namespace kez

#endif
