// Options of the SQLite backend: the text after "sqlite:" in a data-source
// URI (PATH[?option=value&...]) and the mapping of a column's declared type
// to the access layer's type code and field size.
#ifndef KEZ_DC_DB_SQLITE_OPTIONS_H
#define KEZ_DC_DB_SQLITE_OPTIONS_H

#include <cstdint>
#include <string>

namespace kez {
namespace detail {

// Bounds of the numeric options. A text field never exceeds kMaxTextSize
// octets, declared lengths included, so that a row buffer stays bounded.
constexpr uint32_t kMaxTextSize = 1024 * 1024;
constexpr uint32_t kDefaultTextSize = 255;
// A declared "(n)" larger than max_field_size is sized at it, so that a
// hostile schema cannot make every row buffer huge.
constexpr uint32_t kDefaultMaxFieldSize = 65536;
// A block whose rows could take more octets than max_block_memory, or an
// accessor whose row buffer would, is refused.
constexpr uint64_t kDefaultMaxBlockMemory = 256ull * 1024 * 1024;
constexpr uint64_t kMaxBlockMemory = 1ull << 40;
constexpr int kDefaultBusyTimeoutMs = 5000;
// Numeric columns travel as text in fields of this many octets.
constexpr uint32_t kNumericFieldSize = 80;

struct SqliteOptions {
  std::string path;  // absolute once parsed
  bool create = false;
  bool readonly = false;
  int busy_timeout_ms = kDefaultBusyTimeoutMs;
  uint32_t text_size = kDefaultTextSize;
  uint32_t batch = 1;                                  // rows per transaction; 1: every row commits
  bool declared_size = true;                           // honour "(n)" of CHAR/VARCHAR/... columns
  uint32_t max_field_size = kDefaultMaxFieldSize;      // cap of a declared "(n)"
  uint64_t max_block_memory = kDefaultMaxBlockMemory;  // cap of a block's rows
  // The journal mode to set when the data source opens ("wal", "delete",
  // "truncate" or "persist"); empty: a file the data source creates gets
  // WAL, an existing file keeps the mode it has.
  std::string journal;
};

// Reads "PATH[?option=value&...]" into *options (path made absolute against
// the working directory). Every fault is reported through the error
// collector naming the URI; returns false then, and *options is unusable.
bool ParseSqliteUri(const std::string& text, SqliteOptions* options);

// Makes a path absolute against the working directory; the path unchanged
// when that cannot be done.
std::string AbsolutePath(const std::string& path);

struct SqliteColumnKind {
  uint32_t type;              // KEZDCDB_TYPESTRING, KEZDCDB_TYPEI4 or KEZDCDB_TYPER8
  uint32_t size;              // colSize: declared length or text_size for strings
  bool sized_by_declaration;  // a string column whose size is its "(n)"
  bool capped;                // its "(n)" was larger than max_field_size
};

// The kind of a column from its declared type (null or empty: no type), by
// SQLite's affinity rules, in their order: INT; CHAR, CLOB, TEXT; BLOB or
// no type; REAL, FLOA, DOUB; anything else is NUMERIC.
SqliteColumnKind ColumnKindOf(const char* declared_type, const SqliteOptions& options);

}  // namespace detail
}  // namespace kez

#endif
