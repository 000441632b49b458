// Writing side of a SQLite rowset: the insert interface and the INSERT
// prepared once per accessor, with the row buffer's fields bound as values.
#include <charconv>
#include <cmath>
#include <cstring>

#include "database/access/sqlite/SqliteRowset.h"
#include "foundation/KezCFormat.h"
#include "foundation/KezDcCMError.h"

namespace kez {
namespace detail {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The field's text without blanks around it and without a leading '+'.
void Trim(const char** text, std::size_t* length) {
  const char* first = *text;
  const char* last = first + *length;
  while (first < last && IsBlank(*first)) ++first;
  while (last > first && IsBlank(last[-1])) --last;
  if (first < last && *first == '+') ++first;
  *text = first;
  *length = static_cast<std::size_t>(last - first);
}

// Binds a numeric column's text: an integer or a real when the whole text
// is one plain decimal number, the text itself otherwise (nothing is lost:
// "INFINITY", "0x1F" and the empty text stay texts; NULL comes from the
// field's NULL mark).
void BindNumeric(sqlite3_stmt* insert, int parameter, const char* text, std::size_t length) {
  const char* number = text;
  std::size_t size = length;
  Trim(&number, &size);
  if (size == 0 || kez::DecimalNumberLength(number, size) != size) {
    sqlite3_bind_text(insert, parameter, text, static_cast<int>(length), SQLITE_STATIC);
    return;
  }
  int64_t integer = 0;
  auto as_integer = std::from_chars(number, number + size, integer);
  if (as_integer.ec == std::errc() && as_integer.ptr == number + size) {
    sqlite3_bind_int64(insert, parameter, integer);
    return;
  }
  double real = 0;
  auto as_real = std::from_chars(number, number + size, real);
  if (as_real.ec == std::errc() && as_real.ptr == number + size && !std::isnan(real)) {
    sqlite3_bind_double(insert, parameter, real);
    return;
  }
  sqlite3_bind_text(insert, parameter, text, static_cast<int>(length), SQLITE_STATIC);
}

}  // namespace

int SqliteRowset::Insert(KezDcDbHAccessor handle, _SEQUENCE_SEQUENCE_octet* buffer) {
  Accessor* accessor = FindAccessor(handle, "InsertRow");
  if (!accessor || !HasBuffer(buffer, "InsertRow")) return 1;
  if (!accessor->insert) {
    if (int code = PrepareInsert(accessor)) return code;
  }
  if (int code = session_->BeforeInsert()) return code;
  sqlite3_stmt* insert = accessor->insert.get();
  for (std::size_t p = 0; p < accessor->parameters.size(); ++p) {
    BindField(insert, static_cast<int>(p + 1), *accessor, accessor->parameters[p], *buffer);
  }
  int rc = sqlite3_step(insert);
  int code = 0;
  if (rc != SQLITE_DONE)
    code = ReportSqliteFailure(session_->Connection(), rc, "cannot insert a row into " + Describe());
  else if (sqlite3_changes(session_->Connection()) == 0)
    ReportNoRowInserted();
  sqlite3_reset(insert);
  sqlite3_clear_bindings(insert);
  return session_->AfterInsert(code);
}

// An ON CONFLICT IGNORE constraint or a RAISE(IGNORE) trigger drops the row
// without a failure: the caller must not take that for an insert.
void SqliteRowset::ReportNoRowInserted() {
  KezDcCMError::AddError(
      "WARNING: sqlite rowset %s: the insert changed no row (a constraint or trigger of the table ignored it) \n",
      Describe().c_str());
}

// INSERT INTO "rowset" ("column", ...) VALUES (?, ...), one parameter per
// bound column (the first binding of a column wins), or DEFAULT VALUES.
int SqliteRowset::PrepareInsert(Accessor* accessor) {
  std::vector<bool> used(columns_.size(), false);
  std::vector<uint32_t> parameters;
  std::string names;
  std::string marks;
  for (uint32_t i = 0; i < accessor->bindings.size(); ++i) {
    uint32_t column = accessor->bindings[i].columnId;
    if (column < 1 || column > columns_.size() || used[column - 1]) continue;
    used[column - 1] = true;
    parameters.push_back(i);
    names += (names.empty() ? "" : ", ") + QuoteIdentifier(columns_[column - 1].name);
    marks += marks.empty() ? "?" : ", ?";
  }
  std::string sql = "INSERT INTO " + QuoteIdentifier(name_);
  sql += parameters.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + marks + ")";
  int rc = Prepare(session_->Connection(), sql, &accessor->insert);
  if (rc != SQLITE_OK) return ReportSqliteFailure(session_->Connection(), rc, "cannot insert a row into " + Describe());
  accessor->parameters = std::move(parameters);
  return 0;
}

void SqliteRowset::BindField(sqlite3_stmt* insert, int parameter, const Accessor& accessor, uint32_t field,
                             const _SEQUENCE_SEQUENCE_octet& buffer) {
  if (buffer.IsNull(field)) {
    sqlite3_bind_null(insert, parameter);
    return;
  }
  const KezDcDbBinding& binding = accessor.bindings[field];
  uint32_t length = buffer.length();
  uint32_t room = binding.offset < length ? std::min(binding.maxlen, length - binding.offset) : 0;
  const char* text = room > 0 ? reinterpret_cast<const char*>(buffer.data() + binding.offset) : "";
  const void* zero = room > 0 ? std::memchr(text, 0, room) : nullptr;
  std::size_t size = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : room;
  if (columns_[binding.columnId - 1].kind.type == KEZDCDB_TYPESTRING) {
    sqlite3_bind_text(insert, parameter, text, static_cast<int>(size), SQLITE_STATIC);
    return;
  }
  BindNumeric(insert, parameter, text, size);
}

}  // namespace detail
}  // namespace kez
