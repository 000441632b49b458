// Reading side of a PostgreSQL rowset: column information, accessors, the
// walk's cursor, blocks of rows and their fields.
#include "database/access/postgresql/PgRowset.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "database/access/RowsetInsert.h"
#include "database/access/postgresql/KezDcDbPostgres.h"
#include "foundation/KezCFormat.h"
#include "foundation/KezDcCMError.h"

namespace kez {
namespace detail {
namespace {

long round_trips = 0;  // FETCH statements sent, by every rowset

// The end code of GetNextRows after a failure.
constexpr int kReadFailedCode = 3;
// A walk whose start meets a serialization failure or a deadlock is tried
// again this many times, after 10, 40 and 160 ms.
constexpr int kStartRetries = 3;
constexpr int kFirstBackOffMs = 10;

bool IsIntegerType(Oid type) {
  return type == 20 || type == 21 || type == 23;
}

bool IsRetryable(const std::string& state) {
  return state == "40001" || state == "40P01";
}

// The end of a cut at `cut` octets that does not split a UTF-8 character:
// steps back over at most three continuation octets.
uint32_t CharacterBoundary(const char* text, uint32_t cut) {
  uint32_t end = cut;
  for (int k = 0; k < 3 && end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80; ++k) --end;
  return (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80 ? cut : end;
}

uint64_t NextSerial() {
  static uint64_t serial = 0;
  return ++serial;
}

}  // namespace

PgRowset::PgRowset(PgSession* session, std::string name, const PGresult* described)
    : session_(session), name_(std::move(name)) {
  session_->AddRef();
  int count = PQnfields(described);
  for (int c = 0; c < count; ++c) {
    const char* column = PQfname(described, c);
    Oid type = PQftype(described, c);
    columns_.push_back(Column{column ? column : "", PgColumnKindOf(type, PQfmod(described, c), session_->Options()),
                              IsIntegerType(type)});
  }
  book_.ResetCuts(columns_.size());
  insert_what_ = "cannot insert a row into " + Describe();
}

PgRowset::~PgRowset() {
  book_.DropHeldRows();
  EndWalk();
  book_.Close();
  block_.clear();
  current_.reset();
  previous_.reset();
  ahead_.reset();
  session_->Release();
}

int PgRowset::Release() {
  session_->CommitPending();
  return KezDcDbRefCounted<KezIDcDbSimpleRowset>::Release();
}

int PgRowset::QueryInterface(KezDcDbClassId id, void** out) {
  if (id != KezIDcDbInsertRowset::ClassId() || !out)
    return KezDcDbRefCounted<KezIDcDbSimpleRowset>::QueryInterface(id, out);
  *out = static_cast<KezIDcDbInsertRowset*>(new RowsetInsert<PgRowset>(this));
  return 0;
}

std::string PgRowset::Describe() const {
  return "<" + name_ + "> of <" + session_->Options().shown + ">";
}

int PgRowset::GetColumnsInfo(uint32_t* nbCols, _SEQUENCE_KezDcDbColInfoSeq** info) {
  return kez::detail::ColumnsInfo(columns_, nbCols, info);
}

int PgRowset::CreateAccessor(uint32_t nbBindings, _SEQUENCE_KezDcDbBindingSeq* bindings, KezDcDbHAccessor* out) {
  if (!out) return 1;
  *out = 0;
  if (!book_.RowFits(nbBindings, bindings, session_->Options().max_block_memory, [this] { return Describe(); })) {
    return 1;
  }
  Accessor accessor;
  for (uint32_t i = 0; bindings && i < nbBindings && i < bindings->length(); ++i)
    accessor.bindings.push_back((*bindings)[i]);
  *out = book_.AddAccessor(std::move(accessor));
  return 0;
}

int PgRowset::ReleaseAccessor(KezDcDbHAccessor accessor) {
  return book_.ReleaseAccessor(accessor);
}

// A block whose rows could take more than max_block_memory octets in their
// fields is refused.
bool PgRowset::BlockFits(uint32_t wanted) {
  uint64_t row = 0;
  for (const Column& column : columns_) row += column.kind.size;
  const uint64_t cap = session_->Options().max_block_memory;
  if (row == 0 || wanted <= cap / row) return true;
  KezDcCMError::AddError(
      "ERROR: postgresql rowset %s: a block of %u rows of up to %llu octets each exceeds max_block_memory=%llu "
      "octets; ask for fewer rows per block, or open the data source with a larger max_block_memory or a smaller "
      "max_field_size \n",
      Describe().c_str(), wanted, static_cast<unsigned long long>(row), static_cast<unsigned long long>(cap));
  failed_ = true;
  return false;
}

int PgRowset::GetNextRows(uint32_t wanted, uint32_t* obtained, _SEQUENCE_KezDcDbRowHandleSeq** rows) {
  book_.DropHeldRows();
  bool failed_before = failed_;
  uint32_t n = 0;
  if (!at_end_ && BlockFits(wanted)) {
    uint32_t prefetch = std::max(wanted, kPgMinPrefetch);
    if (!started_) {
      started_ = true;
      if (!StartWalk(prefetch)) failed_ = true;
    }
    n = TakeRows(wanted);
    if (n < wanted) at_end_ = true;
  }
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

// The cursor reads the rows the rowset held when it was declared: rows
// inserted meanwhile, even through this session, are left to the next walk.
PgResult PgRowset::DeclareAndFetch(uint32_t prefetch) {
  PgResult declared =
      session_->Exec("DECLARE " + cursor_ + " NO SCROLL CURSOR WITH HOLD FOR SELECT * FROM " + QuotePgRelation(name_));
  if (!declared || PQresultStatus(declared.get()) != PGRES_COMMAND_OK) return declared;
  ++round_trips;
  return session_->Exec("FETCH FORWARD " + std::to_string(prefetch) + " FROM " + cursor_);
}

bool PgRowset::StartWalk(uint32_t prefetch) {
  cursor_ = "kez_walk_" + std::to_string(NextSerial());
  int back_off_ms = kFirstBackOffMs;
  for (int attempt = 0;; ++attempt) {
    if (!session_->BeginRead(&read_serial_)) return false;
    generation_ = session_->Generation();
    PgResult fetched = DeclareAndFetch(prefetch);
    if (fetched && PQresultStatus(fetched.get()) == PGRES_TUPLES_OK) {
      walking_ = true;
      Install(std::move(fetched), prefetch);
      return true;
    }
    bool retry = attempt < kStartRetries && IsRetryable(PgSqlState(fetched.get()));
    if (!retry) session_->Check(fetched, PGRES_TUPLES_OK, "cannot read rowset " + Describe());
    session_->AbortRead(read_serial_);
    if (!retry) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(back_off_ms));
    back_off_ms *= 4;
  }
}

bool PgRowset::Fetch(uint32_t prefetch) {
  if (ahead_sent_) session_->CollectAhead();
  if (!ahead_ready_ && (session_->Lost() || session_->Generation() != generation_)) {
    walking_ = false;
    failed_ = true;
    KezDcCMError::AddError("ERROR: postgresql rowset %s: the walk ends early: its connection was lost \n",
                           Describe().c_str());
    return false;
  }
  PgResult fetched;
  if (ahead_ready_) {
    fetched = std::move(ahead_);
    ahead_ready_ = false;
  } else {
    ++round_trips;
    fetched = session_->Exec("FETCH FORWARD " + std::to_string(prefetch) + " FROM " + cursor_);
  }
  if (!session_->Check(fetched, PGRES_TUPLES_OK, "cannot read rowset " + Describe())) {
    walking_ = false;
    failed_ = true;
    if (!session_->Lost()) session_->AbortRead(read_serial_);
    return false;
  }
  previous_ = std::move(current_);
  Install(std::move(fetched), prefetch);
  return true;
}

// Makes fetched the rows to hand out; closes the walk when they are the
// last, or asks for the next ones at once.
void PgRowset::Install(PgResult fetched, uint32_t prefetch) {
  current_ = std::move(fetched);
  next_row_ = 0;
  if (PQntuples(current_.get()) < static_cast<int>(prefetch)) {
    EndWalk();
    return;
  }
  ahead_sent_ = session_->SendAhead(this, "FETCH FORWARD " + std::to_string(prefetch) + " FROM " + cursor_);
  if (ahead_sent_) ++round_trips;
}

void PgRowset::TakeAhead(PgResult reply) {
  ahead_ = std::move(reply);
  ahead_sent_ = false;
  ahead_ready_ = true;
}

// Closes the cursor of a walk that is still open on a live connection.
void PgRowset::EndWalk() {
  if (ahead_sent_) session_->CollectAhead();
  ahead_.reset();
  ahead_ready_ = false;
  if (!walking_) return;
  walking_ = false;
  server_done_ = true;
  if (session_->Lost() || session_->Generation() != generation_) return;
  session_->Check(session_->Exec("CLOSE " + cursor_), PGRES_COMMAND_OK, "cannot close the walk of " + Describe());
  session_->EndRead(read_serial_);
}

uint32_t PgRowset::TakeRows(uint32_t wanted) {
  block_.clear();
  previous_.reset();  // the block that used it was released
  while (block_.size() < wanted) {
    if (current_ && next_row_ < PQntuples(current_.get())) {
      block_.push_back(RowRef{current_.get(), next_row_++});
      continue;
    }
    if (!walking_ || !Fetch(std::max(wanted, kPgMinPrefetch))) break;
  }
  return static_cast<uint32_t>(block_.size());
}

int PgRowset::GetDataSeq(KezDcDbRowHandle row, KezDcDbHAccessor handle, _SEQUENCE_SEQUENCE_octet* buffer) {
  const Accessor* accessor = FindAccessor(handle, "GetDataSeq");
  if (!accessor) return 1;
  uint32_t index = row - block_first_;
  if (book_.HeldRows() == 0 || index >= block_.size()) {
    KezDcCMError::AddError("ERROR: postgresql rowset %s: row handle %u is not in the block held \n", Describe().c_str(),
                           row);
    return 1;
  }
  if (!HasBuffer(buffer, "GetDataSeq")) return 1;
  const RowRef& ref = block_[index];
  for (uint32_t i = 0; i < accessor->bindings.size(); ++i) {
    const KezDcDbBinding& binding = accessor->bindings[i];
    uint32_t column = binding.columnId;
    bool valid = column >= 1 && column <= columns_.size();
    WriteBinding(ref, binding, buffer);
    buffer->SetNull(i, valid && PQgetisnull(ref.result, ref.row, static_cast<int>(column - 1)));
  }
  return 0;
}

void PgRowset::WriteBinding(const RowRef& ref, const KezDcDbBinding& binding, _SEQUENCE_SEQUENCE_octet* buffer) {
  if (binding.columnId < 1 || binding.columnId > columns_.size()) return;
  uint32_t length = buffer->length();
  if (binding.offset > length) return;
  uint32_t room = std::min(binding.maxlen, length - binding.offset);
  unsigned char* field = buffer->data() + binding.offset;
  int column = static_cast<int>(binding.columnId - 1);
  const char* text = PQgetvalue(ref.result, ref.row, column);
  uint32_t whole = static_cast<uint32_t>(PQgetlength(ref.result, ref.row, column));
  uint32_t n = std::min(whole, room);
  if (whole > room) n = CharacterBoundary(text, room);  // text holds whole + 1 octets
  if (n > 0) std::memcpy(field, text, n);
  if (n < room) field[n] = 0;
  if (whole > room) ReportCut(binding.columnId - 1, whole, room);
}

void PgRowset::ReportCut(uint32_t column, uint32_t length, uint32_t maxlen) {
  const auto& kind = columns_[column].kind;
  book_.ReportCut(
      column, columns_[column].name, length, maxlen,
      [&] {
        return CutHint(kind.type == KEZDCDB_TYPESTRING, kind.capped, false, length, kPgNumericFieldSize,
                       kPgMaxTextSize);
      },
      [this] { return Describe(); });
}

int PgRowset::ReleaseRows(uint32_t count, _SEQUENCE_KezDcDbRowHandleSeq* /*rows*/) {
  book_.ReleaseRows(count);
  return 0;
}

long PostgresRoundTrips() {
  return round_trips;
}

}  // namespace detail
}  // namespace kez
