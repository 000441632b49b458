// A session of the PostgreSQL backend: one connection to the server, the
// rowsets opened on it, and the transactions that walks and batches use.
//
// Reading: a walk declares a cursor WITH HOLD inside a read transaction and
// fetches from it; the last walk to finish commits that transaction. A
// write on the session commits an open read transaction first, which keeps
// the walks going (the server keeps the rest of their rows), so that one
// session can read one table and insert into another (the copy road).
//
// Writing: every row commits by default. With batch=N (N > 1) the first
// insert begins a transaction, rows are sent in pipeline mode without
// waiting for each reply, and every N-th row commits the transaction, as
// does every Release of the session, of a rowset or of an insert interface
// opened on it, a read that starts on the session, and a normal process
// exit. A row that fails rolls its whole batch back: the row's error and
// the number of rows lost are reported. A connection lost with a batch
// counts the batch as lost. The next use of a session whose connection was
// lost reconnects.
#ifndef KEZ_DC_DB_PG_SESSION_H
#define KEZ_DC_DB_PG_SESSION_H

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "database/access/KezDcDbRefCounted.h"
#include "database/access/KezDcDbSessionViews.h"
#include "database/access/postgresql/PgCommon.h"
#include "database/access/postgresql/PgOptions.h"

namespace kez {
namespace detail {

class PgRowset;

class PgSession final : public KezDcDbRefCounted<KezIDcDbSimpleSession> {
 public:
  // Takes a reference to source and ownership of the open connection conn.
  PgSession(KezIDcDbDataSource* source, std::shared_ptr<const PgOptions> options, PGconn* conn);
  ~PgSession() override;
  PgSession(const PgSession&) = delete;
  PgSession& operator=(const PgSession&) = delete;

  // Creates the data source's session views on the connection, and again
  // after each reconnection; a refused one is reported (PgSchema.cpp).
  void CreateSessionViews(const SessionViewList& views);
  // Also answers KezIDcDbSchema (PgSchema.cpp).
  int QueryInterface(KezDcDbClassId id, void** out) override;
  // Commits the pending batch, then gives back the reference.
  int Release() override;
  // Opens the table or view named `name` (quoted, never spliced).
  int OpenRowset(const char* name, KezDcDbClassId id, void** out) override;

  const PgOptions& Options() const { return *options_; }
  // The connection, reconnected first when the last one was lost; null,
  // reported, when the server cannot be reached.
  PGconn* Connection();
  // Changes at every reconnection: cursors and prepared statements of an
  // older generation are gone.
  uint64_t Generation() const { return generation_; }
  // Whether the connection was found lost and not yet reconnected.
  bool Lost() const { return lost_; }

  // Sends sql for rowset without waiting for its reply, when the connection
  // is idle; false otherwise. Before the connection serves anything else,
  // the reply goes to the rowset's TakeAhead.
  bool SendAhead(PgRowset* rowset, const std::string& sql);
  // Hands the reply sent ahead, if any, to its rowset.
  void CollectAhead();

  // Runs one statement after the rows queued in a batch have been sent and
  // checked. The result, whatever its status; null when there is no
  // connection (reported).
  PgResult Exec(const std::string& sql);
  // Whether result has the status wanted; otherwise reports it with `what`
  // and notes a lost connection.
  bool Check(const PgResult& result, ExecStatusType wanted, const std::string& what);
  // Prepares sql under name; false when reported.
  bool Prepare(const std::string& name, const std::string& sql, const std::string& what);

  // A walk starting: begins the read transaction when none is open (after
  // committing a pending batch). *serial names it for EndRead.
  bool BeginRead(uint64_t* serial);
  // A walk over: the last walk of the read transaction commits it.
  void EndRead(uint64_t serial);
  // A walk that failed to start: its read transaction is rolled back.
  void AbortRead(uint64_t serial);

  // Inserts one row through the prepared statement, committed at once
  // (per-row mode) or queued in the batch; 0 or 1 (reported).
  int Insert(const std::string& statement, int count, const char* const* values, const std::string& what);
  // Commits the rows inserted since the last commit; 0 or 1 (reported).
  int CommitPending();
  // Commits the pending batch of every live session (at process exit).
  static void CommitAllPending();

 private:
  enum Transaction { kNone, kRead, kBatch };
  struct Queued {
    uint32_t row;  // row of the batch (from 1); 0 for BEGIN, all ones for COMMIT
    std::string what;
  };

  int InsertNow(const std::string& statement, int count, const char* const* values, const std::string& what);
  int Queue(const std::string& statement, int count, const char* const* values, const std::string& what);
  PgResult Describe(const std::string& sql);
  bool EnterBatch();
  int Drain(bool commit);
  bool ReadQueued(const Queued& entry, bool* failed, bool* committed);
  void EndBatch(bool failed, bool committed);
  void EndFailedTransaction();
  void NoteLost();
  void ReportNoRowInserted(const std::string& what);
  void RunSessionViews();

  KezIDcDbDataSource* source_;  // one reference held
  std::shared_ptr<const PgOptions> options_;
  PGconn* conn_;               // owned
  PgRowset* ahead_ = nullptr;  // the rowset whose FETCH is in flight
  bool lost_ = false;
  uint64_t generation_ = 1;
  Transaction transaction_ = kNone;
  uint64_t read_serial_ = 0;
  int read_walks_ = 0;
  bool pipeline_ = false;
  std::deque<Queued> queued_;
  uint32_t pending_rows_ = 0;
  SessionViewList views_;
};

// Sets what every connection of the backend needs: UTF-8 texts, notices
// kept off standard error. Counts the connection.
void SetUpPgConnection(PGconn* conn);
// Closes a connection that SetUpPgConnection counted.
void ClosePgConnection(PGconn* conn);

}  // namespace detail
}  // namespace kez

#endif
