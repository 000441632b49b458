// The PostgreSQL backend's sessions: reconnection, read transactions and
// the pipelined batch transaction.
#include "database/access/postgresql/PgSession.h"

#include <cstdlib>
#include <cstring>
#include <set>

#include "database/access/postgresql/PgRowset.h"
#include "foundation/KezDcCMError.h"

namespace kez {
namespace detail {
namespace {

// Rows sent in a batch before their replies are read, so that neither side
// fills its socket buffer while the other waits.
constexpr uint32_t kSyncEvery = 512;
// The row number of a queued COMMIT.
constexpr uint32_t kCommitEntry = 0xFFFFFFFF;

std::set<PgSession*>& LiveSessions() {
  static std::set<PgSession*>* sessions = new std::set<PgSession*>();  // never destroyed: used at exit
  return *sessions;
}

void CommitAtExit() {
  PgSession::CommitAllPending();
}

void IgnoreNotice(void*, const char*) {}

}  // namespace

void SetUpPgConnection(PGconn* conn) {
  PQsetNoticeProcessor(conn, IgnoreNotice, nullptr);
  PQsetClientEncoding(conn, "UTF8");
}

void ClosePgConnection(PGconn* conn) {
  if (!conn) return;
  PQfinish(conn);
}

PgSession::PgSession(KezIDcDbDataSource* source, std::shared_ptr<const PgOptions> options, PGconn* conn)
    : source_(source), options_(std::move(options)), conn_(conn) {
  source_->AddRef();
  static const bool kCommitAtExit = std::atexit(CommitAtExit) == 0;
  (void)kCommitAtExit;
  LiveSessions().insert(this);
}

PgSession::~PgSession() {
  CommitPending();
  LiveSessions().erase(this);
  ClosePgConnection(conn_);
  source_->Release();
}

int PgSession::Release() {
  CommitPending();
  return KezDcDbRefCounted<KezIDcDbSimpleSession>::Release();
}

bool PgSession::SendAhead(PgRowset* rowset, const std::string& sql) {
  if (ahead_ || pipeline_ || lost_ || PQstatus(conn_) != CONNECTION_OK) return false;
  if (PQsendQuery(conn_, sql.c_str()) != 1) return false;
  ahead_ = rowset;
  return true;
}

void PgSession::CollectAhead() {
  if (!ahead_) return;
  PgRowset* rowset = ahead_;
  ahead_ = nullptr;
  PgResult reply(PQgetResult(conn_));
  while (PGresult* extra = PQgetResult(conn_)) PQclear(extra);
  rowset->TakeAhead(std::move(reply));
}

PGconn* PgSession::Connection() {
  CollectAhead();
  if (!lost_) return conn_;
  PQreset(conn_);
  if (PQstatus(conn_) != CONNECTION_OK) {
    ReportPgFailure(conn_, nullptr, "cannot reconnect to <" + options_->shown + ">");
    return nullptr;
  }
  PQexitPipelineMode(conn_);
  SetUpPgConnection(conn_);
  lost_ = false;
  ++generation_;
  RunSessionViews();  // the temporary views went with the old connection
  return conn_;
}

void PgSession::NoteLost() {
  if (PQstatus(conn_) != CONNECTION_BAD || lost_) return;
  lost_ = true;
  pipeline_ = false;
  queued_.clear();
  if (transaction_ == kBatch && pending_rows_ > 0) {
    KezDcCMError::AddError(
        "ERROR: postgresql lost the connection to <%s>: %u rows inserted since the last commit were not committed "
        "\n",
        options_->shown.c_str(), pending_rows_);
  }
  pending_rows_ = 0;
  transaction_ = kNone;
  read_walks_ = 0;
}

PgResult PgSession::Exec(const std::string& sql) {
  if (pipeline_) Drain(false);
  PGconn* conn = Connection();
  if (!conn) return nullptr;
  return PgResult(PQexec(conn, sql.c_str()));
}

bool PgSession::Check(const PgResult& result, ExecStatusType wanted, const std::string& what) {
  if (result && PQresultStatus(result.get()) == wanted) return true;
  if (!result && lost_) return false;  // Connection() reported it
  ReportPgFailure(conn_, result.get(), what);
  NoteLost();
  if (!lost_ && PQtransactionStatus(conn_) == PQTRANS_INERROR) EndFailedTransaction();
  return false;
}

// A statement that failed inside the session's transaction ended it on the
// server: its batch is lost (and said so), its walks end.
void PgSession::EndFailedTransaction() {
  if (transaction_ == kBatch) {
    EndBatch(true, false);
    return;
  }
  transaction_ = kNone;
  PgResult rollback(PQexec(conn_, "ROLLBACK"));
}

bool PgSession::Prepare(const std::string& name, const std::string& sql, const std::string& what) {
  if (pipeline_) Drain(false);
  PGconn* conn = Connection();
  if (!conn) return false;
  PgResult result(PQprepare(conn, name.c_str(), sql.c_str(), 0, nullptr));
  return Check(result, PGRES_COMMAND_OK, what);
}

int PgSession::OpenRowset(const char* name, KezDcDbClassId id, void** out) {
  if (out) *out = nullptr;
  if (id != KezIDcDbSimpleRowset::ClassId() || !out || !name) {
    KezDcCMError::AddError("ERROR: postgresql session of <%s>: OpenRowset asked for an unknown class id %u \n",
                           options_->shown.c_str(), id);
    return 1;
  }
  // The columns as the server describes the rowset; no row is read.
  const std::string what = "cannot open rowset <" + std::string(name) + "> of <" + options_->shown + ">";
  PgResult described = Describe("SELECT * FROM " + QuotePgRelation(name) + " LIMIT 0");
  if (!Check(described, PGRES_TUPLES_OK, what)) return 1;
  *out = static_cast<KezIDcDbSimpleRowset*>(new PgRowset(this, name, described.get()));
  return 0;
}

// A failed statement inside a transaction would end the walks and the batch
// of the session: inside one, the statement runs under a savepoint.
PgResult PgSession::Describe(const std::string& sql) {
  if (transaction_ == kNone) return Exec(sql);
  PgResult savepoint = Exec("SAVEPOINT kez_describe");
  if (!savepoint || PQresultStatus(savepoint.get()) != PGRES_COMMAND_OK) return savepoint;
  PgResult described = Exec(sql);
  bool ok = described && PQresultStatus(described.get()) == PGRES_TUPLES_OK;
  if (!Lost())
    PgResult end(PQexec(conn_, ok ? "RELEASE SAVEPOINT kez_describe" : "ROLLBACK TO SAVEPOINT kez_describe"));
  return described;
}

bool PgSession::BeginRead(uint64_t* serial) {
  if (transaction_ == kBatch && CommitPending() != 0 && lost_) return false;
  if (transaction_ == kNone) {
    if (!Check(Exec("BEGIN"), PGRES_COMMAND_OK, "cannot begin a read transaction on <" + options_->shown + ">"))
      return false;
    transaction_ = kRead;
    ++read_serial_;
    read_walks_ = 0;
  }
  ++read_walks_;
  *serial = read_serial_;
  return true;
}

void PgSession::EndRead(uint64_t serial) {
  if (transaction_ != kRead || serial != read_serial_ || --read_walks_ > 0) return;
  transaction_ = kNone;
  Check(Exec("COMMIT"), PGRES_COMMAND_OK, "cannot end a read transaction on <" + options_->shown + ">");
}

void PgSession::AbortRead(uint64_t serial) {
  if (transaction_ != kRead || serial != read_serial_) return;
  transaction_ = kNone;
  Check(Exec("ROLLBACK"), PGRES_COMMAND_OK, "cannot roll back a read transaction on <" + options_->shown + ">");
}

int PgSession::Insert(const std::string& statement, int count, const char* const* values, const std::string& what) {
  if (transaction_ == kRead) {
    // Walks keep their rows: the server keeps what their cursors have left.
    transaction_ = kNone;
    if (!Check(Exec("COMMIT"), PGRES_COMMAND_OK, "cannot end a read transaction on <" + options_->shown + ">"))
      return 1;
  }
  if (options_->batch <= 1) return InsertNow(statement, count, values, what);
  return Queue(statement, count, values, what);
}

int PgSession::InsertNow(const std::string& statement, int count, const char* const* values, const std::string& what) {
  PGconn* conn = Connection();
  if (!conn) return 1;
  PgResult result(PQexecPrepared(conn, statement.c_str(), count, values, nullptr, nullptr, 0));
  if (!Check(result, PGRES_COMMAND_OK, what)) return 1;
  const char* changed = PQcmdTuples(result.get());
  if (changed && std::strcmp(changed, "0") == 0) ReportNoRowInserted(what);
  return 0;
}

void PgSession::ReportNoRowInserted(const std::string& what) {
  KezDcCMError::AddError(
      "WARNING: postgresql %s: the insert changed no row (a rule or trigger of the table ignored it) \n",
      what.c_str() + std::strlen("cannot insert a row into "));
}

bool PgSession::EnterBatch() {
  if (pipeline_) return true;
  PGconn* conn = Connection();
  if (!conn || PQenterPipelineMode(conn) != 1) {
    if (conn) ReportPgFailure(conn, nullptr, "cannot send a batch to <" + options_->shown + ">");
    return false;
  }
  pipeline_ = true;
  if (transaction_ == kBatch) return true;
  if (PQsendQueryParams(conn, "BEGIN", 0, nullptr, nullptr, nullptr, nullptr, 0) != 1) {
    ReportPgFailure(conn, nullptr, "cannot begin a transaction on <" + options_->shown + ">");
    PQexitPipelineMode(conn);
    pipeline_ = false;
    NoteLost();
    return false;
  }
  queued_.push_back({0, "cannot begin a transaction on <" + options_->shown + ">"});
  transaction_ = kBatch;
  pending_rows_ = 0;
  return true;
}

int PgSession::Queue(const std::string& statement, int count, const char* const* values, const std::string& what) {
  if (!EnterBatch()) return 1;
  if (PQsendQueryPrepared(conn_, statement.c_str(), count, values, nullptr, nullptr, 0) != 1) {
    ReportPgFailure(conn_, nullptr, what);
    return Drain(false) | 1;
  }
  ++pending_rows_;
  queued_.push_back({pending_rows_, what});
  if (pending_rows_ >= options_->batch) return CommitPending();
  if (queued_.size() >= kSyncEvery) return Drain(false);
  return 0;
}

int PgSession::CommitPending() {
  if (transaction_ != kBatch) return 0;
  if (!pipeline_ && !EnterBatch()) {
    NoteLost();
    return 1;
  }
  return Drain(true);
}

// Sends what is queued (and a COMMIT when asked), then reads every reply.
int PgSession::Drain(bool commit) {
  if (!pipeline_) return 0;
  bool failed = false;
  bool committed = false;
  if (commit && PQsendQueryParams(conn_, "COMMIT", 0, nullptr, nullptr, nullptr, nullptr, 0) == 1) {
    queued_.push_back({kCommitEntry, "cannot commit the transaction on <" + options_->shown + ">"});
  }
  PQpipelineSync(conn_);
  while (!queued_.empty()) {
    Queued entry = std::move(queued_.front());
    queued_.pop_front();
    if (!ReadQueued(entry, &failed, &committed)) break;
  }
  queued_.clear();
  if (PQstatus(conn_) == CONNECTION_OK) PgResult sync(PQgetResult(conn_));
  PQexitPipelineMode(conn_);
  pipeline_ = false;
  EndBatch(failed, committed);
  return failed ? 1 : 0;
}

// Reads the replies of one queued statement; false when the connection is
// gone.
bool PgSession::ReadQueued(const Queued& entry, bool* failed, bool* committed) {
  for (;;) {
    PgResult result(PQgetResult(conn_));
    if (!result) return PQstatus(conn_) == CONNECTION_OK;
    ExecStatusType status = PQresultStatus(result.get());
    if (status == PGRES_COMMAND_OK) {
      // A transaction that failed unseen answers COMMIT with ROLLBACK.
      if (entry.row == kCommitEntry)
        *(std::strcmp(PQcmdStatus(result.get()), "COMMIT") == 0 ? committed : failed) = true;
      const char* changed = PQcmdTuples(result.get());
      if (entry.row > 0 && entry.row != kCommitEntry && changed && std::strcmp(changed, "0") == 0)
        ReportNoRowInserted(entry.what);
      continue;
    }
    if (status == PGRES_PIPELINE_ABORTED || *failed) continue;
    *failed = true;
    std::string what = entry.what;
    if (entry.row > 0 && entry.row != kCommitEntry) what += " (row " + std::to_string(entry.row) + " of the batch)";
    ReportPgFailure(conn_, result.get(), what);
    if (PQstatus(conn_) != CONNECTION_OK) return false;
  }
}

void PgSession::EndBatch(bool failed, bool committed) {
  if (PQstatus(conn_) != CONNECTION_OK) {
    NoteLost();
    return;
  }
  if (!failed && !committed) return;  // the batch goes on
  uint32_t rows = pending_rows_;
  transaction_ = kNone;
  pending_rows_ = 0;
  if (!failed) return;
  PgResult rollback(PQexec(conn_, "ROLLBACK"));
  if (rows == 0) return;
  KezDcCMError::AddError(
      "ERROR: postgresql rolled back the transaction on <%s>: %u rows inserted since the last commit were not "
      "committed \n",
      options_->shown.c_str(), rows);
}

void PgSession::CommitAllPending() {
  for (PgSession* session : LiveSessions()) session->CommitPending();
}

}  // namespace detail
}  // namespace kez
