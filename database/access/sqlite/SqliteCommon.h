// Pieces shared by the SQLite backend's objects: statement ownership, identifier quoting, the one way SQLite failures
// are reported, and opening a connection to a database file.
#ifndef KEZ_DC_DB_SQLITE_COMMON_H
#define KEZ_DC_DB_SQLITE_COMMON_H

#include <sqlite3.h>

#include <memory>
#include <string>

#include "database/access/RowsetBook.h"
#include "database/access/sqlite/SqliteOptions.h"

namespace kez {
namespace detail {

struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
// A prepared statement, finalized when its owner lets it go.
typedef std::unique_ptr<sqlite3_stmt, StatementFinalizer> StatementPtr;

// The name as one SQL identifier: in double quotes, inner quotes doubled.
std::string QuoteIdentifier(const std::string& name);

// Prepares sql on db into *out; SQLite's code.
int Prepare(sqlite3* db, const std::string& sql, StatementPtr* out);

// Reports "ERROR: sqlite <what>: <SQLite's message> (code <extended code>)"
// for the failure rc that just happened on db (db may be null), and returns
// the primary result code, always above 0.
int ReportSqliteFailure(sqlite3* db, int rc, const std::string& what);

// Opens a connection to options.path with the options' mode and busy
// timeout, creating the file only when allow_create and options.create, and
// checks that the file is a database. Returns the connection (the caller's,
// to be closed with CloseConnection) or null, reported, with *rc set.
sqlite3* OpenConnection(const SqliteOptions& options, bool allow_create, int* rc);
// Whether a file (or anything else) stands at path.
bool FileExists(const std::string& path);
void CloseConnection(sqlite3* db);

}  // namespace detail
}  // namespace kez

#endif
