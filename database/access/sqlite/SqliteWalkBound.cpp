// The bound of a walk: a rowset reads the rows that existed when its first
// block was fetched, so that rows inserted meanwhile (through the same
// session, as a copy of the table into itself does) never keep it going.
#include <cstring>

#include "database/access/sqlite/SqliteRowset.h"

namespace kez {
namespace detail {
namespace {

bool SameName(const std::string& a, const char* b) {
  return sqlite3_stricmp(a.c_str(), b) == 0;
}

// The single number that sql yields, or false when it yields none.
bool QueryNumber(sqlite3* db, const std::string& sql, sqlite3_int64* out, bool* null) {
  StatementPtr statement;
  if (Prepare(db, sql, &statement) != SQLITE_OK) return false;
  if (sqlite3_step(statement.get()) != SQLITE_ROW) return false;
  *null = sqlite3_column_type(statement.get(), 0) == SQLITE_NULL;
  *out = sqlite3_column_int64(statement.get(), 0);
  return true;
}

}  // namespace

// The rowid alias that no column of the rowset hides, or null.
const char* SqliteRowset::RowidName() const {
  for (const char* alias : {"rowid", "_rowid_", "oid"}) {
    bool hidden = false;
    for (const Column& column : columns_) hidden = hidden || SameName(column.name, alias);
    if (!hidden) return alias;
  }
  return nullptr;
}

// A table with a rowid is read up to the largest rowid it held at the start
// (new rows get larger ones); any other rowset (a view, a WITHOUT ROWID
// table) stops after as many rows as it held then, and an empty table
// after none.
void SqliteRowset::TakeWalkBound() {
  sqlite3* db = session_->Connection();
  const std::string table = QuoteIdentifier(name_);
  sqlite3_int64 number = 0;
  bool null = false;
  if (const char* rowid = RowidName()) {
    // A view may answer a NULL rowid: it is then counted like any rowset
    // without one.
    if (QueryNumber(db, std::string("SELECT max(") + rowid + ") FROM " + table, &number, &null) && !null) {
      StatementPtr bounded;
      const std::string sql = "SELECT * FROM " + table + " WHERE " + rowid + " <= ?1";
      if (Prepare(db, sql, &bounded) == SQLITE_OK &&
          sqlite3_column_count(bounded.get()) == sqlite3_column_count(select_.get())) {
        sqlite3_bind_int64(bounded.get(), 1, number);
        select_ = std::move(bounded);
        return;
      }
    }
  }
  if (QueryNumber(db, "SELECT count(*) FROM " + table, &number, &null) && !null) {
    rows_left_ = static_cast<uint64_t>(number);
    counted_ = true;
  }
}

}  // namespace detail
}  // namespace kez
