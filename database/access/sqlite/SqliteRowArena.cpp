// Block storage of the SQLite backend: typed capture of a row, text output
// into row-buffer fields.
#include "database/access/sqlite/SqliteRowArena.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "database/access/sqlite/KezDcDbSqlite.h"
#include "database/access/sqlite/SqliteCommon.h"
#include "database/access/sqlite/SqliteNumberText.h"

namespace kez {
namespace detail {
namespace {

long& ArenaGrowthCount() {
  static long growths = 0;
  return growths;
}

// Grows v to hold at least `needed` elements, doubling so that a walk
// settles within its first block; counts every growth.
template <class T>
void EnsureSize(std::vector<T>* v, std::size_t needed) {
  if (needed <= v->size()) return;
  const std::size_t kFirstSize = 256;
  v->resize(std::max({needed, v->size() * 2, kFirstSize}));
  ++ArenaGrowthCount();
}

// The end of a cut at `cut` octets that does not split a UTF-8 character:
// steps back over at most three continuation octets.
uint32_t CharacterBoundary(const char* text, uint32_t cut) {
  uint32_t end = cut;
  for (int k = 0; k < 3 && end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80; ++k) --end;
  return (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80 ? cut : end;
}

}  // namespace

void SqliteRowArena::Reset(uint32_t columns) {
  columns_ = columns;
  rows_ = 0;
  bytes_used_ = 0;
}

void SqliteRowArena::CaptureRow(sqlite3_stmt* statement, const std::vector<uint32_t>& caps) {
  EnsureSize(&values_, static_cast<std::size_t>(rows_ + 1) * columns_);
  Value* row = values_.data() + static_cast<std::size_t>(rows_) * columns_;
  int available = sqlite3_data_count(statement);
  for (uint32_t c = 0; c < columns_; ++c) {
    Value& value = row[c];
    int type = static_cast<int>(c) < available ? sqlite3_column_type(statement, static_cast<int>(c)) : SQLITE_NULL;
    switch (type) {
      case SQLITE_INTEGER:
        value.kind = kInteger;
        value.integer = sqlite3_column_int64(statement, static_cast<int>(c));
        break;
      case SQLITE_FLOAT:
        value.kind = kReal;
        value.real = sqlite3_column_double(statement, static_cast<int>(c));
        break;
      case SQLITE_TEXT:
      case SQLITE_BLOB:
        CaptureText(statement, static_cast<int>(c), type == SQLITE_TEXT ? kText : kBlob, caps[c], &value);
        break;
      default:
        value.kind = kNull;
    }
  }
  ++rows_;
}

void SqliteRowArena::CaptureText(sqlite3_stmt* statement, int column, Kind kind, uint32_t cap, Value* value) {
  const void* data = kind == kText ? static_cast<const void*>(sqlite3_column_text(statement, column))
                                   : sqlite3_column_blob(statement, column);
  int bytes = sqlite3_column_bytes(statement, column);
  uint32_t length = data && bytes > 0 ? static_cast<uint32_t>(bytes) : 0;
  uint32_t copied = static_cast<uint32_t>(std::min<uint64_t>(length, static_cast<uint64_t>(cap) + 1));
  EnsureSize(&bytes_, bytes_used_ + copied);
  if (copied > 0) std::memcpy(bytes_.data() + bytes_used_, data, copied);
  value->kind = kind;
  value->offset = bytes_used_;
  value->copied = copied;
  value->length = length;
  bytes_used_ += copied;
}

bool SqliteRowArena::WriteField(uint32_t row, uint32_t column, unsigned char* field, uint32_t maxlen,
                                uint32_t* full_length) const {
  const Value& value = values_[static_cast<std::size_t>(row) * columns_ + column];
  switch (value.kind) {
    case kInteger:
      return WriteInteger(value.integer, field, maxlen, full_length);
    case kReal:
      return WriteReal(value.real, field, maxlen, full_length);
    case kText:
    case kBlob:
      return WriteText(value, field, maxlen, full_length);
    default:
      if (maxlen > 0) field[0] = 0;
      return true;
  }
}

bool SqliteRowArena::WriteText(const Value& value, unsigned char* field, uint32_t maxlen, uint32_t* full_length) const {
  const char* text = bytes_.data() + value.offset;
  uint32_t n = std::min(value.copied, maxlen);
  bool fits = value.length <= maxlen;
  if (!fits && value.kind == kText && n < value.copied) n = CharacterBoundary(text, n);
  if (n > 0) std::memcpy(field, text, n);
  if (n < maxlen) field[n] = 0;
  *full_length = value.length;
  return fits && n == value.length;
}

bool SqliteRowArena::WriteNumber(const char* text, std::size_t length, unsigned char* field, uint32_t maxlen,
                                 uint32_t* full_length) {
  std::memcpy(field, text, std::min<std::size_t>(length, maxlen));
  if (length < maxlen) field[length] = 0;
  *full_length = static_cast<uint32_t>(length);
  return length <= maxlen;
}

bool SqliteRowArena::WriteInteger(int64_t number, unsigned char* field, uint32_t maxlen, uint32_t* full_length) {
  char text[24];
  char* end = std::to_chars(text, text + sizeof text, number).ptr;
  return WriteNumber(text, static_cast<std::size_t>(end - text), field, maxlen, full_length);
}

bool SqliteRowArena::WriteReal(double number, unsigned char* field, uint32_t maxlen, uint32_t* full_length) {
  char text[64];
  char* end = WriteShortestReal(number, text, text + sizeof text);
  return WriteNumber(text, end ? static_cast<std::size_t>(end - text) : 0, field, maxlen, full_length);
}

long SqliteArenaGrowths() {
  return ArenaGrowthCount();
}

}  // namespace detail
}  // namespace kez
