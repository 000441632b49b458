// Internal: the insert interface of a SQL backend's rowset, the same for
// every backend: it holds its rowset, inserts through it, and commits the
// session's pending batch as each reference goes.
#ifndef KEZ_DC_DB_ROWSET_INSERT_H
#define KEZ_DC_DB_ROWSET_INSERT_H

#include "database/access/KezDcDbInterfaces.h"
#include "database/access/KezDcDbRefCounted.h"

namespace kez {
namespace detail {

// Rowset: has Insert(accessor, buffer) and Session()->CommitPending().
template <class Rowset>
class RowsetInsert final : public KezDcDbRefCounted<KezIDcDbInsertRowset> {
 public:
  // Takes a reference to rowset.
  explicit RowsetInsert(Rowset* rowset) : rowset_(rowset) { rowset_->AddRef(); }
  ~RowsetInsert() override { rowset_->Release(); }
  RowsetInsert(const RowsetInsert&) = delete;
  RowsetInsert& operator=(const RowsetInsert&) = delete;

  // Commits the session's pending batch, then gives back the reference.
  int Release() override {
    rowset_->Session()->CommitPending();
    return KezDcDbRefCounted<KezIDcDbInsertRowset>::Release();
  }
  int InsertRow(KezDcDbHAccessor accessor, _SEQUENCE_SEQUENCE_octet* buffer) override {
    return rowset_->Insert(accessor, buffer);
  }

 private:
  Rowset* rowset_;  // one reference held
};

}  // namespace detail
}  // namespace kez

#endif
