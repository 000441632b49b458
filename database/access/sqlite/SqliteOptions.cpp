// Reading of "sqlite:" URIs and of SQLite declared column types.
#include "database/access/sqlite/SqliteOptions.h"

#include <charconv>
#include <filesystem>
#include <system_error>

#include "database/access/KezDcDbSequence.h"
#include "foundation/KezDcCMError.h"

namespace kez {
namespace detail {
namespace {

constexpr const char* kKnownOptions =
    "create, readonly, busy_timeout, text_size, batch, declared_size, max_field_size, max_block_memory, journal";
constexpr uint64_t kMaxInt = 2147483647;

// A whole number of decimal digits only (no sign, no blank) within
// [low, high]; false otherwise.
bool ReadWholeNumber(const std::string& text, uint64_t low, uint64_t high, uint64_t* out) {
  if (text.empty() || text.size() > 19) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  uint64_t value = 0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || value < low || value > high) return false;
  *out = value;
  return true;
}

void ReportBadValue(const std::string& uri, const std::string& name, const char* wanted, const std::string& value) {
  KezDcCMError::AddError("ERROR: sqlite data source <%s>: option <%s> must be %s, not <%s> \n", uri.c_str(),
                         name.c_str(), wanted, value.c_str());
}

bool ReadFlag(const std::string& uri, const std::string& name, const std::string& value, bool* out) {
  uint64_t number = 0;
  if (!ReadWholeNumber(value, 0, 1, &number)) {
    ReportBadValue(uri, name, "0 or 1", value);
    return false;
  }
  *out = number == 1;
  return true;
}

bool ReadCount(const std::string& uri, const std::string& name, const std::string& value, uint64_t low, uint64_t high,
               uint64_t* out) {
  if (ReadWholeNumber(value, low, high, out)) return true;
  std::string wanted = "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
  ReportBadValue(uri, name, wanted.c_str(), value);
  return false;
}

// Applies one "name=value" option; false (reported) when it is not one.
bool ApplyOption(const std::string& uri, const std::string& name, const std::string& value, SqliteOptions* o) {
  uint64_t n = 0;
  if (name == "create") return ReadFlag(uri, name, value, &o->create);
  if (name == "readonly") return ReadFlag(uri, name, value, &o->readonly);
  if (name == "declared_size") return ReadFlag(uri, name, value, &o->declared_size);
  if (name == "journal") {
    if (value != "wal" && value != "delete" && value != "truncate" && value != "persist") {
      ReportBadValue(uri, name, "wal, delete, truncate or persist", value);
      return false;
    }
    o->journal = value;
    return true;
  }
  if (name == "busy_timeout") {
    if (!ReadCount(uri, name, value, 0, kMaxInt, &n)) return false;
    o->busy_timeout_ms = static_cast<int>(n);
    return true;
  }
  if (name == "text_size" || name == "batch") {
    uint64_t high = name == "text_size" ? kMaxTextSize : kMaxInt;
    if (!ReadCount(uri, name, value, 1, high, &n)) return false;
    (name == "text_size" ? o->text_size : o->batch) = static_cast<uint32_t>(n);
    return true;
  }
  if (name == "max_field_size") {
    if (!ReadCount(uri, name, value, 1, kMaxTextSize, &n)) return false;
    o->max_field_size = static_cast<uint32_t>(n);
    return true;
  }
  if (name == "max_block_memory") return ReadCount(uri, name, value, 1, kMaxBlockMemory, &o->max_block_memory);
  KezDcCMError::AddError("ERROR: sqlite data source <%s>: unknown option <%s> (known: %s) \n", uri.c_str(),
                         name.c_str(), kKnownOptions);
  return false;
}

// Applies "a=1&b=2"; every bad option is reported, not only the first.
bool ApplyOptions(const std::string& uri, const std::string& query, SqliteOptions* options) {
  bool ok = true;
  std::size_t start = 0;
  while (start <= query.size()) {
    std::size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    std::string item = query.substr(start, end - start);
    start = end + 1;
    if (item.empty()) continue;
    std::size_t equal = item.find('=');
    std::string name = item.substr(0, equal);
    std::string value = equal == std::string::npos ? std::string() : item.substr(equal + 1);
    if (!ApplyOption(uri, name, value, options)) ok = false;
  }
  return ok;
}

bool Contains(const std::string& upper, const char* word) {
  return upper.find(word) != std::string::npos;
}

// The n of the first "(n" in the declared type, capped at kMaxTextSize;
// false when there is none.
bool DeclaredLength(const std::string& declared, uint32_t* out) {
  std::size_t open = declared.find('(');
  if (open == std::string::npos) return false;
  std::size_t k = open + 1;
  while (k < declared.size() && declared[k] == ' ') ++k;
  std::size_t digits = k;
  while (k < declared.size() && declared[k] >= '0' && declared[k] <= '9') ++k;
  if (k == digits) return false;
  uint64_t value = 0;
  auto result = std::from_chars(declared.data() + digits, declared.data() + k, value);
  if (result.ec == std::errc::result_out_of_range || value > kMaxTextSize) value = kMaxTextSize;
  *out = static_cast<uint32_t>(value);
  return true;
}

}  // namespace

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec) return path;
  return absolute.lexically_normal().string();
}

bool ParseSqliteUri(const std::string& text, SqliteOptions* options) {
  const std::string uri = "sqlite:" + text;
  *options = SqliteOptions();
  std::size_t question = text.find('?');
  std::string path = text.substr(0, question);
  bool ok = question == std::string::npos || ApplyOptions(uri, text.substr(question + 1), options);
  if (path.empty()) {
    KezDcCMError::AddError("ERROR: sqlite data source <%s>: no database path \n", uri.c_str());
    return false;
  }
  if (ok && !options->journal.empty() && options->readonly) {
    KezDcCMError::AddError("ERROR: sqlite data source <%s>: option journal cannot be set with readonly=1 \n",
                           uri.c_str());
    ok = false;
  }
  if (ok && options->create && options->readonly) {
    KezDcCMError::AddError("ERROR: sqlite data source <%s>: options create=1 and readonly=1 exclude each other \n",
                           uri.c_str());
    ok = false;
  }
  options->path = AbsolutePath(path);
  return ok;
}

SqliteColumnKind ColumnKindOf(const char* declared_type, const SqliteOptions& options) {
  std::string upper = declared_type ? declared_type : "";
  // ASCII only: the client's locale must not change how "int" reads.
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (Contains(upper, "INT")) return {KEZDCDB_TYPEI4, kNumericFieldSize, false, false};
  bool text = Contains(upper, "CHAR") || Contains(upper, "CLOB") || Contains(upper, "TEXT");
  uint32_t length = 0;
  if (text && options.declared_size && DeclaredLength(upper, &length)) {
    bool capped = length > options.max_field_size;
    return {KEZDCDB_TYPESTRING, capped ? options.max_field_size : length, true, capped};
  }
  if (text || upper.empty() || Contains(upper, "BLOB")) return {KEZDCDB_TYPESTRING, options.text_size, false, false};
  return {KEZDCDB_TYPER8, kNumericFieldSize, false, false};
}

}  // namespace detail
}  // namespace kez
