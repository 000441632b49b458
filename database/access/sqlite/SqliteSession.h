// A session of the SQLite backend: its own connection to the database file,
// the rowsets opened on it, and the transaction that groups inserted rows
// when the data source was opened with batch=N.
//
// Batching: with batch=N (N > 1) the first insert begins a transaction
// (BEGIN IMMEDIATE, so a locked database shows at once), every N-th row
// commits it, and so does every Release of the session, of a rowset or of
// an insert interface opened on it, and a normal process exit. A crash,
// kill or power loss in between loses the rows inserted since the last
// commit, at most N - 1 per session; the file itself stays consistent
// (SQLite rolls the open transaction back when it next opens the file).
// A failed COMMIT rolls the transaction back and reports how many rows
// were not committed. Rows read on the same session see the rows of its
// open transaction; other sessions see them once committed.
#ifndef KEZ_DC_DB_SQLITE_SESSION_H
#define KEZ_DC_DB_SQLITE_SESSION_H

#include <sqlite3.h>

#include <cstdint>
#include <memory>

#include "database/access/KezDcDbRefCounted.h"
#include "database/access/sqlite/SqliteCommon.h"

namespace kez {
namespace detail {

class SqliteSession final : public KezDcDbRefCounted<KezIDcDbSimpleSession> {
 public:
  // Takes a reference to source and ownership of the open connection db.
  SqliteSession(KezIDcDbDataSource* source, std::shared_ptr<const SqliteOptions> options, sqlite3* db);
  ~SqliteSession() override;
  SqliteSession(const SqliteSession&) = delete;
  SqliteSession& operator=(const SqliteSession&) = delete;

  // Also answers KezIDcDbSchema (SqliteSchema.cpp).
  int QueryInterface(KezDcDbClassId id, void** out) override;
  // Commits the pending batch, then gives back the reference.
  int Release() override;
  // Opens the table or view named `name` (always quoted as one identifier).
  int OpenRowset(const char* name, KezDcDbClassId id, void** out) override;

  sqlite3* Connection() const { return db_; }
  const SqliteOptions& Options() const { return *options_; }

  // Around one insert: BeforeInsert begins the batch transaction when
  // needed (0, or a reported failure code); AfterInsert takes the insert's
  // outcome (0 or its code, already reported), counts the row, commits at
  // N, and returns the code that the insert finally has.
  int BeforeInsert();
  int AfterInsert(int code);
  // Commits the rows inserted since the last commit; 0 or the reported
  // failure code (the rows are then rolled back).
  int CommitPending();
  // Commits the pending batch of every live session (at process exit).
  static void CommitAllPending();

 private:
  void ForgetRolledBackBatch();

  KezIDcDbDataSource* source_;  // one reference held
  std::shared_ptr<const SqliteOptions> options_;
  sqlite3* db_;  // owned
  bool in_transaction_ = false;
  uint32_t pending_rows_ = 0;
};

}  // namespace detail
}  // namespace kez

#endif
