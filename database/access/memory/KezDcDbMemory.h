// The in-process "memory:NAME" backend of the access layer, with the small
// C++ API that builds its tables and reads back inserted rows.
//
// Databases live in the process until DropAll; every session of a database
// sees the same tables. Column values are texts. A rowset reads the rows
// that its table held at its first fetch, not those inserted since.
#ifndef KEZ_DC_DB_MEMORY_H
#define KEZ_DC_DB_MEMORY_H

#include <string>
#include <vector>

#include "database/access/KezDcDbInterfaces.h"
#include "foundation/KezExport.h"

struct KezDcDbMemoryColumn {
  std::string name;
  uint32_t type;  // KEZDCDB_TYPESTRING, KEZDCDB_TYPEI4, ...
  uint32_t size;  // colSize as the layer states it
};

// A row: one text per column. SQL NULL is the one-octet text that holds a
// zero octet (KezDcDbMemory::Null()), which no field text can hold.
typedef std::vector<std::string> KezDcDbMemoryRow;

class KEZDCQR_API KezDcDbMemory {
 public:
  // The value that stands for SQL NULL in a row.
  static const std::string& Null();

  // Creates (or replaces) the rowset of a database with these columns.
  static void CreateRowset(const std::string& database, const std::string& rowset,
                           const std::vector<KezDcDbMemoryColumn>& columns);
  static void AppendRow(const std::string& database, const std::string& rowset, const KezDcDbMemoryRow& row);
  // Every row of the rowset, appended and inserted, in order.
  static std::vector<KezDcDbMemoryRow> GetRows(const std::string& database, const std::string& rowset);
  // The rows that InsertRow added, in order.
  static std::vector<KezDcDbMemoryRow> GetInsertedRows(const std::string& database, const std::string& rowset);
  // Forgets every database (objects still referenced stay alive, over the
  // tables they opened).
  static void DropAll();
};

namespace kez {
namespace detail {
// Opens the memory database NAME as a data-source object (one reference).
KezIDcDbDataSource* OpenMemoryDataSource(const std::string& name);
}  // namespace detail
}  // namespace kez

#endif
