// The schema of a PostgreSQL session: the tables, views, materialized views
// and foreign tables of the schemas in its search path, and its own
// temporary ones. The statement is fixed text: nothing of the user's is in it.
#include <string>
#include <vector>

#include "database/access/postgresql/PgSession.h"

namespace kez {
namespace detail {
namespace {

const char kTablesSql[] =
    "SELECT DISTINCT c.relname FROM pg_catalog.pg_class c "
    "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
    "WHERE c.relkind IN ('r', 'v', 'm', 'f', 'p') "
    "AND (n.nspname = ANY (pg_catalog.current_schemas(false)) OR n.oid = pg_catalog.pg_my_temp_schema()) "
    "ORDER BY 1";

class PgSchema final : public KezDcDbRefCounted<KezIDcDbSchema> {
 public:
  explicit PgSchema(PgSession* session) : session_(session) { session_->AddRef(); }
  ~PgSchema() override { session_->Release(); }
  PgSchema(const PgSchema&) = delete;
  PgSchema& operator=(const PgSchema&) = delete;

  int GetTables(uint32_t* count, _SEQUENCE_KezDcDbNameSeq** names) override {
    if (count) *count = 0;
    if (names) *names = nullptr;
    PgResult result = session_->Exec(kTablesSql);
    if (!session_->Check(result, PGRES_TUPLES_OK, "cannot list the tables of <" + session_->Options().shown + ">")) {
      return 1;
    }
    int rows = PQntuples(result.get());
    std::vector<std::string> found;
    found.reserve(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
      found.emplace_back(PQgetvalue(result.get(), i, 0), static_cast<std::size_t>(PQgetlength(result.get(), i, 0)));
    }
    return _SEQUENCE_KezDcDbNameSeq::HandOut(found, count, names);
  }

 private:
  PgSession* session_;  // one reference held
};

}  // namespace

void PgSession::CreateSessionViews(const SessionViewList& views) {
  views_ = views;
  RunSessionViews();
}

// Each view is one statement sent alone through the extended protocol,
// which refuses a text of several statements.
void PgSession::RunSessionViews() {
  for (const SessionView& view : views_) {
    std::string sql = "CREATE TEMP VIEW " + QuotePgIdentifier(view.name) + " AS " + view.select;
    PgResult result(PQexecParams(conn_, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0));
    Check(result, PGRES_COMMAND_OK, "cannot create the session view <" + view.name + "> of <" + options_->shown + ">");
  }
}

int PgSession::QueryInterface(KezDcDbClassId id, void** out) {
  if (id == KezIDcDbSchema::ClassId() && out) {
    *out = static_cast<KezIDcDbSchema*>(new PgSchema(this));
    return 0;
  }
  return KezDcDbRefCounted<KezIDcDbSimpleSession>::QueryInterface(id, out);
}

}  // namespace detail
}  // namespace kez
