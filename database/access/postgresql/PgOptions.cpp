// Reading of "postgresql://" URIs, password masking and server column types.
#include "database/access/postgresql/PgOptions.h"

#include <charconv>
#include <vector>

#include "database/access/KezDcDbSequence.h"
#include "foundation/KezDcCMError.h"

namespace kez {
namespace detail {
namespace {

constexpr uint64_t kMaxInt = 2147483647;
constexpr char kMask[] = "***";
// Octets that one character may take in UTF-8, the client encoding.
constexpr uint32_t kUtf8MaxOctets = 4;

// Type oids of the server's built-in types.
enum : uint32_t {
  kInt8 = 20,
  kInt2 = 21,
  kInt4 = 23,
  kFloat4 = 700,
  kFloat8 = 701,
  kBpchar = 1042,
  kVarchar = 1043,
  kNumeric = 1700
};

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

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

// Applies one option of the library; false (reported) when its value is bad.
bool ApplyOption(const std::string& shown, const std::string& name, const std::string& value, PgOptions* o) {
  uint64_t low = 1, high = kMaxInt, n = 0;
  if (name == "text_size" || name == "max_field_size") high = kPgMaxTextSize;
  if (name == "max_block_memory") high = kPgMaxBlockMemory;
  if (!ReadWholeNumber(value, low, high, &n)) {
    KezDcCMError::AddError(
        "ERROR: postgresql data source <%s>: option <%s> must be a whole number from %llu to %llu, not <%s> \n",
        shown.c_str(), name.c_str(), static_cast<unsigned long long>(low), static_cast<unsigned long long>(high),
        value.c_str());
    return false;
  }
  if (name == "text_size") o->text_size = static_cast<uint32_t>(n);
  if (name == "batch") o->batch = static_cast<uint32_t>(n);
  if (name == "max_field_size") o->max_field_size = static_cast<uint32_t>(n);
  if (name == "max_block_memory") o->max_block_memory = n;
  return true;
}

bool IsOwnOption(const std::string& name) {
  return name == "text_size" || name == "batch" || name == "max_field_size" || name == "max_block_memory";
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> items;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = text.find(separator, start);
    items.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return items;
    start = end + 1;
  }
}

std::string MaskQuery(const std::string& query) {
  std::string out;
  for (const std::string& item : Split(query, '&')) {
    if (!out.empty()) out += '&';
    out += StartsWith(item, "password=") ? std::string("password=") + kMask : item;
  }
  return out;
}

}  // namespace

bool IsPostgresUri(const std::string& uri) {
  return StartsWith(uri, "postgresql://") || StartsWith(uri, "postgres://");
}

std::string MaskPostgresPassword(const std::string& uri) {
  if (!IsPostgresUri(uri)) return uri;
  std::size_t authority = uri.find("://") + 3;
  std::size_t question = uri.find('?', authority);
  std::size_t end = std::min(uri.find('/', authority), question);
  if (end == std::string::npos) end = uri.size();
  std::string out = uri.substr(0, end);
  std::size_t at = out.rfind('@');
  std::size_t colon = at == std::string::npos ? std::string::npos : out.find(':', authority);
  if (colon != std::string::npos && colon < at) out = out.substr(0, colon + 1) + kMask + out.substr(at);
  if (question == std::string::npos) return out + uri.substr(end);
  return out + uri.substr(end, question + 1 - end) + MaskQuery(uri.substr(question + 1));
}

bool ParsePostgresUri(const std::string& uri, PgOptions* options) {
  *options = PgOptions();
  options->shown = MaskPostgresPassword(uri);
  std::size_t question = uri.find('?');
  options->conninfo = uri.substr(0, question);
  if (question == std::string::npos) return true;
  bool ok = true;
  std::string kept;
  for (const std::string& item : Split(uri.substr(question + 1), '&')) {
    std::size_t equal = item.find('=');
    std::string name = item.substr(0, equal);
    if (!IsOwnOption(name)) {
      if (!item.empty()) kept += (kept.empty() ? "" : "&") + item;
      continue;
    }
    std::string value = equal == std::string::npos ? std::string() : item.substr(equal + 1);
    if (!ApplyOption(options->shown, name, value, options)) ok = false;
  }
  if (!kept.empty()) options->conninfo += "?" + kept;
  return ok;
}

PgColumnKind PgColumnKindOf(uint32_t type_oid, int type_modifier, const PgOptions& options) {
  switch (type_oid) {
    case kInt2:
    case kInt4:
    case kInt8:
      return {KEZDCDB_TYPEI4, kPgNumericFieldSize, false, false};
    case kFloat4:
    case kFloat8:
    case kNumeric:
      return {KEZDCDB_TYPER8, kPgNumericFieldSize, false, false};
    case kBpchar:
    case kVarchar:
      if (type_modifier >= 4) {
        uint64_t octets = static_cast<uint64_t>(type_modifier - 4) * kUtf8MaxOctets;
        bool capped = octets > options.max_field_size;
        return {KEZDCDB_TYPESTRING, capped ? options.max_field_size : static_cast<uint32_t>(octets), true, capped};
      }
      break;
    default:
      break;
  }
  return {KEZDCDB_TYPESTRING, options.text_size, false, false};
}

}  // namespace detail
}  // namespace kez
