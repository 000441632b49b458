// The SQLite backend's data source and sessions: opening the file, one
// connection per session, rowsets by name, and the batch transaction.
#include "database/access/sqlite/KezDcDbSqlite.h"

#include <cstdlib>
#include <set>

#include "database/access/KezDcDbSessionViews.h"
#include "database/access/sqlite/SqliteRowset.h"
#include "database/access/sqlite/SqliteSession.h"
#include "foundation/KezCFormat.h"
#include "foundation/KezDcCMError.h"

namespace kez {
namespace detail {
namespace {

std::set<SqliteSession*>& LiveSessions() {
  static std::set<SqliteSession*>* sessions = new std::set<SqliteSession*>();  // never destroyed: used at exit
  return *sessions;
}

void CommitAtExit() {
  SqliteSession::CommitAllPending();
}

void ReportWrongClass(const std::string& object, const char* operation, KezDcDbClassId id) {
  KezDcCMError::AddError("ERROR: sqlite %s: %s asked for an unknown class id %u \n", object.c_str(), operation, id);
}

// Sets the journal mode of a writable file: the one the URI names, or WAL
// for a file this data source has just created. A file that existed keeps
// its mode, so that merely reading it changes nothing on disk.
bool SetJournalMode(sqlite3* db, const SqliteOptions& options, bool created) {
  std::string mode = !options.journal.empty() ? options.journal : created ? "wal" : "";
  if (mode.empty()) return true;
  // mode is one of the few names the options accept, never the user's text.
  StatementPtr pragma;
  int rc = Prepare(db, "PRAGMA journal_mode=" + mode, &pragma);
  if (rc == SQLITE_OK) rc = sqlite3_step(pragma.get());
  if (rc == SQLITE_ROW || rc == SQLITE_DONE) return true;
  ReportSqliteFailure(db, rc, "cannot switch database <" + options.path + "> to " + mode + " journal mode");
  return false;
}

// Creates the session views on a new session's connection. Only the first
// statement of a view's SQL is taken: a text with more is refused.
void CreateSessionViews(sqlite3* db, const SessionViewList& views, const std::string& path) {
  for (const SessionView& view : views) {
    std::string sql = "CREATE TEMP VIEW " + QuoteIdentifier(view.name) + " AS " + view.select;
    const std::string what = "cannot create the session view <" + view.name + "> of <" + path + ">";
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, &tail);
    StatementPtr statement(raw);
    if (rc != SQLITE_OK) {
      ReportSqliteFailure(db, rc, what);
      continue;
    }
    std::string rest = tail ? tail : "";
    if (rest.find_first_not_of(" \t\r\n;") != std::string::npos) {
      KezDcCMError::AddError("ERROR: sqlite %s: its SQL holds more than one statement \n", what.c_str());
      continue;
    }
    rc = sqlite3_step(statement.get());
    if (rc != SQLITE_DONE) ReportSqliteFailure(db, rc, what);
  }
}

class SqliteDataSource final : public KezDcDbRefCounted<KezIDcDbDataSource> {
 public:
  explicit SqliteDataSource(std::shared_ptr<const SqliteOptions> options) : options_(std::move(options)) {}

  int QueryInterface(KezDcDbClassId id, void** out) override {
    if (id == KezIDcDbSessionViews::ClassId() && out) {
      *out = static_cast<KezIDcDbSessionViews*>(new SessionViewsAdder(this, &views_));
      return 0;
    }
    return KezDcDbRefCounted<KezIDcDbDataSource>::QueryInterface(id, out);
  }

  int OpenSession(KezDcDbClassId id, void** out) override {
    if (out) *out = nullptr;
    if (id != KezIDcDbSimpleSession::ClassId() || !out) {
      ReportWrongClass("data source <" + options_->path + ">", "OpenSession", id);
      return 1;
    }
    int rc = 0;
    sqlite3* db = OpenConnection(*options_, false, &rc);
    if (!db) return rc;
    *out = static_cast<KezIDcDbSimpleSession*>(new SqliteSession(this, options_, db));
    CreateSessionViews(db, views_, options_->path);
    return 0;
  }

 private:
  std::shared_ptr<const SqliteOptions> options_;
  SessionViewList views_;
};

KezIDcDbDataSource* OpenWithOptions(const SqliteOptions& options) {
  int rc = 0;
  bool created = !FileExists(options.path);
  sqlite3* db = OpenConnection(options, true, &rc);
  if (!db) return nullptr;
  bool ok = options.readonly || sqlite3_db_readonly(db, "main") == 1 || SetJournalMode(db, options, created);
  CloseConnection(db);
  if (!ok) return nullptr;
  return new SqliteDataSource(std::make_shared<const SqliteOptions>(options));
}

}  // namespace

SqliteSession::SqliteSession(KezIDcDbDataSource* source, std::shared_ptr<const SqliteOptions> options, sqlite3* db)
    : source_(source), options_(std::move(options)), db_(db) {
  source_->AddRef();
  static const bool kCommitAtExit = std::atexit(CommitAtExit) == 0;
  (void)kCommitAtExit;
  LiveSessions().insert(this);
}

SqliteSession::~SqliteSession() {
  CommitPending();
  LiveSessions().erase(this);
  CloseConnection(db_);
  source_->Release();
}

int SqliteSession::Release() {
  CommitPending();
  return KezDcDbRefCounted<KezIDcDbSimpleSession>::Release();
}

int SqliteSession::OpenRowset(const char* name, KezDcDbClassId id, void** out) {
  if (out) *out = nullptr;
  if (id != KezIDcDbSimpleRowset::ClassId() || !out || !name) {
    ReportWrongClass("session of <" + options_->path + ">", "OpenRowset", id);
    return 1;
  }
  StatementPtr select;
  int rc = Prepare(db_, "SELECT * FROM " + QuoteIdentifier(name), &select);
  if (rc != SQLITE_OK) {
    return ReportSqliteFailure(db_, rc, "cannot open rowset <" + std::string(name) + "> of <" + options_->path + ">");
  }
  *out = static_cast<KezIDcDbSimpleRowset*>(new SqliteRowset(this, name, std::move(select)));
  return 0;
}

int SqliteSession::BeforeInsert() {
  if (options_->batch <= 1) return 0;
  if (in_transaction_ && sqlite3_get_autocommit(db_)) ForgetRolledBackBatch();
  if (in_transaction_) return 0;
  int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return ReportSqliteFailure(db_, rc, "cannot begin a transaction on <" + options_->path + ">");
  in_transaction_ = true;
  return 0;
}

int SqliteSession::AfterInsert(int code) {
  if (options_->batch <= 1) return code;
  if (code != 0) {
    // Some failures (a full disk, for one) make SQLite roll back the whole
    // transaction, not only the failed statement.
    if (in_transaction_ && sqlite3_get_autocommit(db_)) ForgetRolledBackBatch();
    return code;
  }
  if (++pending_rows_ >= options_->batch) return CommitPending();
  return 0;
}

void SqliteSession::ForgetRolledBackBatch() {
  if (pending_rows_ > 0) {
    KezDcCMError::AddError(
        "ERROR: sqlite rolled back the transaction on <%s>: %u rows inserted since the last commit were not committed "
        "\n",
        options_->path.c_str(), pending_rows_);
  }
  in_transaction_ = false;
  pending_rows_ = 0;
}

int SqliteSession::CommitPending() {
  if (!in_transaction_) return 0;
  if (sqlite3_get_autocommit(db_)) {
    ForgetRolledBackBatch();
    return SQLITE_ABORT;
  }
  uint32_t rows = pending_rows_;
  in_transaction_ = false;
  pending_rows_ = 0;
  int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) return 0;
  int code = ReportSqliteFailure(db_, rc,
                                 Format("%u rows inserted into <%s> were not committed", rows, options_->path.c_str()));
  if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  return code;
}

void SqliteSession::CommitAllPending() {
  for (SqliteSession* session : LiveSessions()) session->CommitPending();
}

KezIDcDbDataSource* OpenSqliteDataSource(const std::string& uri) {
  SqliteOptions options;
  if (!ParseSqliteUri(uri, &options)) return nullptr;
  return OpenWithOptions(options);
}

KezIDcDbDataSource* OpenSqliteFile(const std::string& path) {
  SqliteOptions options;
  options.path = AbsolutePath(path);
  return OpenWithOptions(options);
}

std::string SqliteClientVersion() {
  return std::string("SQLite ") + sqlite3_libversion();
}

}  // namespace detail
}  // namespace kez
