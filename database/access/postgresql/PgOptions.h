// Options of the PostgreSQL backend: the library's own options taken out of
// a "postgresql://" or "postgres://" URI (everything else goes to libpq as
// written), the password-masked form of a URI for messages, and the mapping
// of a column's server type to the access layer's type code and field size.
#ifndef KEZ_DC_DB_PG_OPTIONS_H
#define KEZ_DC_DB_PG_OPTIONS_H

#include <cstdint>
#include <string>

namespace kez {
namespace detail {

constexpr uint32_t kPgMaxTextSize = 1024 * 1024;
constexpr uint32_t kPgDefaultTextSize = 255;
constexpr uint32_t kPgDefaultMaxFieldSize = 65536;
constexpr uint64_t kPgDefaultMaxBlockMemory = 256ull * 1024 * 1024;
constexpr uint64_t kPgMaxBlockMemory = 1ull << 40;
// Numeric columns travel as text in fields of this many octets.
constexpr uint32_t kPgNumericFieldSize = 80;
// Rows come from the server at least this many per round trip, whatever
// the data block asks for.
constexpr uint32_t kPgMinPrefetch = 1000;

struct PgOptions {
  std::string conninfo;  // the URI without the library's options: libpq's
  std::string shown;     // the whole URI, password masked: for messages
  uint32_t text_size = kPgDefaultTextSize;
  uint32_t batch = 1;  // rows per transaction; 1: every row commits
  uint32_t max_field_size = kPgDefaultMaxFieldSize;
  uint64_t max_block_memory = kPgDefaultMaxBlockMemory;
};

// Whether the URI names the PostgreSQL backend.
bool IsPostgresUri(const std::string& uri);

// Reads a whole "postgresql://..." URI into *options. Every fault is
// reported naming the masked URI; returns false then.
bool ParsePostgresUri(const std::string& uri, PgOptions* options);

// The URI with the password of its user part and of any "password="
// parameter replaced by "***"; other URIs unchanged.
std::string MaskPostgresPassword(const std::string& uri);

struct PgColumnKind {
  uint32_t type;  // KEZDCDB_TYPESTRING, KEZDCDB_TYPEI4 or KEZDCDB_TYPER8
  uint32_t size;  // colSize in octets
  bool sized_by_declaration;
  bool capped;  // its declared length was larger than max_field_size
};

// The kind of a column from its type oid and type modifier.
PgColumnKind PgColumnKindOf(uint32_t type_oid, int type_modifier, const PgOptions& options);

}  // namespace detail
}  // namespace kez

#endif
