// Reading side of a SQLite rowset: column information, accessors, blocks of
// rows and their fields.
#include "database/access/sqlite/SqliteRowset.h"

#include <algorithm>

#include "database/access/RowsetInsert.h"
#include "foundation/KezCFormat.h"
#include "foundation/KezDcCMError.h"

namespace kez {
namespace detail {

// The end code of GetNextRows after a read failure.
constexpr int kReadFailedCode = 3;

SqliteRowset::SqliteRowset(SqliteSession* session, std::string name, StatementPtr select)
    : session_(session), name_(std::move(name)), select_(std::move(select)) {
  session_->AddRef();
  ReadColumns();
}

SqliteRowset::~SqliteRowset() {
  // Statements (the accessors' inserts) go before the session reference:
  // the last one closes the connection.
  book_.Close();
  select_.reset();
  session_->Release();
}

int SqliteRowset::Release() {
  session_->CommitPending();
  return KezDcDbRefCounted<KezIDcDbSimpleRowset>::Release();
}

int SqliteRowset::QueryInterface(KezDcDbClassId id, void** out) {
  if (id != KezIDcDbInsertRowset::ClassId() || !out)
    return KezDcDbRefCounted<KezIDcDbSimpleRowset>::QueryInterface(id, out);
  *out = static_cast<KezIDcDbInsertRowset*>(new RowsetInsert<SqliteRowset>(this));
  return 0;
}

std::string SqliteRowset::Describe() const {
  return "<" + name_ + "> of <" + session_->Options().path + ">";
}

void SqliteRowset::ReadColumns() {
  int count = sqlite3_column_count(select_.get());
  for (int c = 0; c < count; ++c) {
    const char* name = sqlite3_column_name(select_.get(), c);
    SqliteColumnKind kind = ColumnKindOf(sqlite3_column_decltype(select_.get(), c), session_->Options());
    columns_.push_back(Column{name ? name : "", kind});
    caps_.push_back(NaturalSize(static_cast<uint32_t>(c)));
  }
  book_.ResetCuts(columns_.size());
}

uint32_t SqliteRowset::NaturalSize(uint32_t column) const {
  const SqliteColumnKind& kind = columns_[column].kind;
  return kind.type == KEZDCDB_TYPESTRING ? kind.size : kNumericFieldSize;
}

int SqliteRowset::GetColumnsInfo(uint32_t* nbCols, _SEQUENCE_KezDcDbColInfoSeq** info) {
  return kez::detail::ColumnsInfo(columns_, nbCols, info);
}

int SqliteRowset::CreateAccessor(uint32_t nbBindings, _SEQUENCE_KezDcDbBindingSeq* bindings, KezDcDbHAccessor* out) {
  if (!out) return 1;
  *out = 0;
  if (!book_.RowFits(nbBindings, bindings, session_->Options().max_block_memory, [this] { return Describe(); })) {
    return 1;
  }
  Accessor accessor;
  for (uint32_t i = 0; bindings && i < nbBindings && i < bindings->length(); ++i) {
    const KezDcDbBinding& b = (*bindings)[i];
    accessor.bindings.push_back(b);
    // Rows fetched from now on keep enough of this column for the field.
    if (b.columnId >= 1 && b.columnId <= columns_.size())
      caps_[b.columnId - 1] = std::max(caps_[b.columnId - 1], b.maxlen);
  }
  *out = book_.AddAccessor(std::move(accessor));
  return 0;
}

int SqliteRowset::ReleaseAccessor(KezDcDbHAccessor accessor) {
  return book_.ReleaseAccessor(accessor);
}

// The octets that one row of a block may take at most: every column's cap.
uint64_t SqliteRowset::RowOctets() const {
  uint64_t row = 0;
  for (uint32_t cap : caps_) row += cap;
  return row;
}

bool SqliteRowset::BlockFits(uint32_t wanted) {
  const uint64_t row = RowOctets();
  const uint64_t cap = session_->Options().max_block_memory;
  if (row == 0 || wanted <= cap / row) return true;
  KezDcCMError::AddError(
      "ERROR: sqlite rowset %s: a block of %u rows of up to %llu octets each exceeds max_block_memory=%llu octets; "
      "ask for fewer rows per block, or open the data source with a larger max_block_memory or a smaller "
      "max_field_size \n",
      Describe().c_str(), wanted, static_cast<unsigned long long>(row), static_cast<unsigned long long>(cap));
  failed_ = true;
  return false;
}

int SqliteRowset::GetNextRows(uint32_t wanted, uint32_t* obtained, _SEQUENCE_KezDcDbRowHandleSeq** rows) {
  book_.DropHeldRows();
  arena_.Reset(static_cast<uint32_t>(columns_.size()));
  bool failed_before = failed_;
  uint32_t n = at_end_ || !BlockFits(wanted) ? 0 : FetchInto(wanted);
  block_first_ = next_handle_;
  next_handle_ += n;
  book_.HoldRows(n);
  if (obtained) *obtained = n;
  if (rows) {
    *rows = new _SEQUENCE_KezDcDbRowHandleSeq(n);
    (*rows)->length(n);
    for (uint32_t k = 0; k < n; ++k) (**rows)[k] = block_first_ + k;
  }
  return n == 0 && (failed_before || failed_) ? kReadFailedCode : 0;
}

uint32_t SqliteRowset::FetchInto(uint32_t wanted) {
  if (!walk_started_) {
    walk_started_ = true;
    TakeWalkBound();
  }
  uint32_t n = 0;
  while (n < wanted) {
    int rc = counted_ && rows_left_ == 0 ? SQLITE_DONE : sqlite3_step(select_.get());
    if (rc == SQLITE_ROW && counted_) --rows_left_;
    if (rc == SQLITE_ROW) {
      arena_.CaptureRow(select_.get(), caps_);
      ++n;
      continue;
    }
    if (rc != SQLITE_DONE) {
      ReportSqliteFailure(session_->Connection(), rc, "cannot read rowset " + Describe());
      failed_ = true;
    }
    // Reset now so that the read transaction ends with the walk.
    at_end_ = true;
    sqlite3_reset(select_.get());
    break;
  }
  return n;
}

int SqliteRowset::GetDataSeq(KezDcDbRowHandle row, KezDcDbHAccessor handle, _SEQUENCE_SEQUENCE_octet* buffer) {
  const Accessor* accessor = FindAccessor(handle, "GetDataSeq");
  if (!accessor) return 1;
  uint32_t index = row - block_first_;
  if (book_.HeldRows() == 0 || index >= arena_.Rows()) {
    KezDcCMError::AddError("ERROR: sqlite rowset %s: row handle %u is not in the block held \n", Describe().c_str(),
                           row);
    return 1;
  }
  if (!HasBuffer(buffer, "GetDataSeq")) return 1;
  for (uint32_t i = 0; i < accessor->bindings.size(); ++i) {
    const KezDcDbBinding& binding = accessor->bindings[i];
    WriteBinding(index, binding, buffer);
    uint32_t column = binding.columnId;
    buffer->SetNull(i, column >= 1 && column <= columns_.size() && arena_.IsNull(index, column - 1));
  }
  return 0;
}

void SqliteRowset::WriteBinding(uint32_t row, const KezDcDbBinding& binding, _SEQUENCE_SEQUENCE_octet* buffer) {
  if (binding.columnId < 1 || binding.columnId > columns_.size()) return;
  uint32_t length = buffer->length();
  if (binding.offset > length) return;
  uint32_t room = std::min(binding.maxlen, length - binding.offset);
  uint32_t whole = 0;
  if (!arena_.WriteField(row, binding.columnId - 1, buffer->data() + binding.offset, room, &whole)) {
    ReportCut(binding.columnId - 1, whole, room);
  }
}

void SqliteRowset::ReportCut(uint32_t column, uint32_t length, uint32_t maxlen) {
  const auto& kind = columns_[column].kind;
  book_.ReportCut(
      column, columns_[column].name, length, maxlen,
      [&] {
        return CutHint(kind.type == KEZDCDB_TYPESTRING, kind.capped, kind.sized_by_declaration, length,
                       kNumericFieldSize, kMaxTextSize);
      },
      [this] { return Describe(); });
}

int SqliteRowset::ReleaseRows(uint32_t count, _SEQUENCE_KezDcDbRowHandleSeq* /*rows*/) {
  book_.ReleaseRows(count);
  return 0;
}

}  // namespace detail
}  // namespace kez
