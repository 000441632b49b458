// Writing side of a PostgreSQL rowset: the insert interface and the INSERT
// prepared once per accessor (and connection), with the row buffer's fields
// bound as text parameters.
#include <charconv>
#include <cmath>
#include <cstring>

#include "database/access/postgresql/PgRowset.h"
#include "foundation/KezCFormat.h"
#include "foundation/KezDcCMError.h"

namespace kez {
namespace detail {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// An integer column takes a plain decimal number with a point or an
// exponent ("1.000000e+02", as the library writes reals) when its value is
// a whole number: the server would refuse the text itself.
std::string IntegerText(const std::string& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  if (first < last && text[first] == '+') ++first;
  const char* number = text.data() + first;
  std::size_t size = last - first;
  if (size == 0 || kez::DecimalNumberLength(number, size) != size) return text;
  if (text.find_first_of(".eE", first) == std::string::npos) return text;
  double real = 0;
  auto read = std::from_chars(number, number + size, real);
  if (read.ec != std::errc() || read.ptr != number + size) return text;
  if (!std::isfinite(real) || std::trunc(real) != real || std::fabs(real) >= 9.2e18) return text;
  return std::to_string(static_cast<long long>(real));
}

uint64_t NextStatementSerial() {
  static uint64_t serial = 0;
  return ++serial;
}

}  // namespace

int PgRowset::Insert(KezDcDbHAccessor handle, _SEQUENCE_SEQUENCE_octet* buffer) {
  Accessor* accessor = FindAccessor(handle, "InsertRow");
  if (!accessor || !HasBuffer(buffer, "InsertRow")) return 1;
  bool stale = accessor->prepared_generation != session_->Generation() || session_->Lost();
  if ((accessor->statement.empty() || stale) && !PrepareInsert(accessor)) return 1;
  std::size_t count = accessor->parameters.size();
  texts_.resize(count);
  values_.resize(count);
  for (std::size_t p = 0; p < count; ++p) {
    uint32_t field = accessor->parameters[p];
    if (buffer->IsNull(field)) {
      values_[p] = nullptr;
      continue;
    }
    texts_[p] = ParameterText(*accessor, field, *buffer);
    values_[p] = texts_[p].c_str();
  }
  return session_->Insert(accessor->statement, static_cast<int>(count), values_.data(), insert_what_);
}

// INSERT INTO "rowset" ("column", ...) VALUES ($1, ...), one parameter per
// bound column (the first binding of a column wins), or DEFAULT VALUES.
bool PgRowset::PrepareInsert(Accessor* accessor) {
  std::vector<bool> used(columns_.size(), false);
  std::vector<uint32_t> parameters;
  std::string names;
  std::string marks;
  for (uint32_t i = 0; i < accessor->bindings.size(); ++i) {
    uint32_t column = accessor->bindings[i].columnId;
    if (column < 1 || column > columns_.size() || used[column - 1]) continue;
    used[column - 1] = true;
    parameters.push_back(i);
    names += (names.empty() ? "" : ", ") + QuotePgIdentifier(columns_[column - 1].name);
    marks += (marks.empty() ? "$" : ", $") + std::to_string(parameters.size());
  }
  std::string sql = "INSERT INTO " + QuotePgRelation(name_);
  sql += parameters.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + marks + ")";
  std::string statement = "kez_insert_" + std::to_string(NextStatementSerial());
  if (!session_->Prepare(statement, sql, insert_what_)) return false;
  accessor->statement = statement;
  accessor->prepared_generation = session_->Generation();
  accessor->parameters = std::move(parameters);
  return true;
}

std::string PgRowset::ParameterText(const Accessor& accessor, uint32_t field,
                                    const _SEQUENCE_SEQUENCE_octet& buffer) const {
  const KezDcDbBinding& binding = accessor.bindings[field];
  uint32_t length = buffer.length();
  uint32_t room = binding.offset < length ? std::min(binding.maxlen, length - binding.offset) : 0;
  const char* text = room > 0 ? reinterpret_cast<const char*>(buffer.data() + binding.offset) : "";
  const void* zero = room > 0 ? std::memchr(text, 0, room) : nullptr;
  std::size_t size = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : room;
  std::string value(text, size);
  return columns_[binding.columnId - 1].integer ? IntegerText(value) : value;
}

}  // namespace detail
}  // namespace kez
