// Counters, quoting, failure reports and connection opening of the SQLite
// backend.
#include "database/access/sqlite/SqliteCommon.h"

#include <filesystem>
#include <system_error>

#include "foundation/KezDcCMError.h"

namespace kez {
namespace detail {
namespace {

// Reads the schema, which is where a file that is no database, or one that
// another connection holds locked, first shows.
int CheckIsDatabase(sqlite3* db) {
  StatementPtr statement;
  int rc = Prepare(db, "SELECT count(*) FROM sqlite_master", &statement);
  if (rc != SQLITE_OK) return rc;
  rc = sqlite3_step(statement.get());
  return rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_OK : rc;
}

}  // namespace

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

std::string QuoteIdentifier(const std::string& name) {
  std::string quoted;
  quoted.reserve(name.size() + 2);
  quoted += '"';
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

int Prepare(sqlite3* db, const std::string& sql, StatementPtr* out) {
  sqlite3_stmt* statement = nullptr;
  int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr);
  out->reset(statement);
  return rc;
}

int ReportSqliteFailure(sqlite3* db, int rc, const std::string& what) {
  const char* message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  int code = db ? sqlite3_extended_errcode(db) : rc;
  KezDcCMError::AddError("ERROR: sqlite %s: %s (code %d) \n", what.c_str(), message, code);
  int primary = rc & 0xff;
  return primary > 0 ? primary : SQLITE_ERROR;
}

sqlite3* OpenConnection(const SqliteOptions& options, bool allow_create, int* rc) {
  bool create = allow_create && options.create;
  if (!create && !FileExists(options.path)) {
    KezDcCMError::AddError("ERROR: sqlite database <%s> does not exist (add ?create=1 to create it) \n",
                           options.path.c_str());
    *rc = SQLITE_CANTOPEN;
    return nullptr;
  }
  int flags = options.readonly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  // A connection belongs to one session, and the library runs in its
  // caller's thread: SQLite's per-call connection mutex would only cost.
  flags |= SQLITE_OPEN_NOMUTEX;
  sqlite3* db = nullptr;
  *rc = sqlite3_open_v2(options.path.c_str(), &db, flags, nullptr);
  if (*rc == SQLITE_OK) {
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, options.busy_timeout_ms);
    *rc = CheckIsDatabase(db);
  }
  if (*rc != SQLITE_OK) {
    const char* verb =
        db && sqlite3_errcode(db) != SQLITE_CANTOPEN ? "cannot read database <" : "cannot open database <";
    *rc = ReportSqliteFailure(db, *rc, verb + options.path + ">");
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

void CloseConnection(sqlite3* db) {
  if (!db) return;
  // Every statement is finalized by its owner before the connection closes;
  // close_v2 still keeps a forgotten one from leaving the file open.
  sqlite3_close_v2(db);
}

}  // namespace detail
}  // namespace kez
