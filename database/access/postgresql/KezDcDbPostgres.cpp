// The PostgreSQL backend's data source: connecting to the server and
// opening sessions, each on a connection of its own.
#include "database/access/postgresql/KezDcDbPostgres.h"

#include "database/access/KezDcDbSessionViews.h"
#include "database/access/postgresql/PgSession.h"
#include "foundation/KezDcCMError.h"

namespace kez {
namespace detail {
namespace {

// A new connection set up for the backend, or null (reported).
PGconn* Connect(const PgOptions& options) {
  PGconn* conn = PQconnectdb(options.conninfo.c_str());
  if (conn && PQstatus(conn) == CONNECTION_OK) {
    SetUpPgConnection(conn);
    return conn;
  }
  ReportPgFailure(conn, nullptr, "cannot connect to <" + options.shown + ">");
  PQfinish(conn);
  return nullptr;
}

class PgDataSource final : public KezDcDbRefCounted<KezIDcDbDataSource> {
 public:
  // Takes the connection made to check the URI: the first session uses it.
  PgDataSource(std::shared_ptr<const PgOptions> options, PGconn* first) : options_(std::move(options)), spare_(first) {}
  ~PgDataSource() override { ClosePgConnection(spare_); }
  PgDataSource(const PgDataSource&) = delete;
  PgDataSource& operator=(const PgDataSource&) = delete;

  int OpenSession(KezDcDbClassId id, void** out) override {
    if (out) *out = nullptr;
    if (id != KezIDcDbSimpleSession::ClassId() || !out) {
      KezDcCMError::AddError("ERROR: postgresql data source <%s>: OpenSession asked for an unknown class id %u \n",
                             options_->shown.c_str(), id);
      return 1;
    }
    PGconn* conn = spare_ ? spare_ : Connect(*options_);
    spare_ = nullptr;
    if (!conn) return 1;
    auto* session = new PgSession(this, options_, conn);
    *out = static_cast<KezIDcDbSimpleSession*>(session);
    session->CreateSessionViews(views_);
    return 0;
  }

  int QueryInterface(KezDcDbClassId id, void** out) override {
    if (id == KezIDcDbSessionViews::ClassId() && out) {
      *out = static_cast<KezIDcDbSessionViews*>(new SessionViewsAdder(this, &views_));
      return 0;
    }
    return KezDcDbRefCounted<KezIDcDbDataSource>::QueryInterface(id, out);
  }

 private:
  SessionViewList views_;
  std::shared_ptr<const PgOptions> options_;
  PGconn* spare_;  // owned; null once a session took it
};

}  // namespace

KezIDcDbDataSource* OpenPostgresDataSource(const std::string& uri) {
  PgOptions options;
  if (!ParsePostgresUri(uri, &options)) return nullptr;
  PGconn* conn = Connect(options);
  if (!conn) return nullptr;
  return new PgDataSource(std::make_shared<const PgOptions>(options), conn);
}

std::string PostgresClientVersion() {
  int version = PQlibVersion();  // 150010 for 15.10 (major * 10000 + minor from 10 on)
  return "libpq " + std::to_string(version / 10000) + "." + std::to_string(version % 10000);
}

}  // namespace detail
}  // namespace kez
