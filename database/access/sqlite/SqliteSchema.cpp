// The schema of an SQLite session: the tables and views of the database
// file and the session's temporary ones, without SQLite's own tables.
#include <string>
#include <vector>

#include "database/access/sqlite/SqliteSession.h"

namespace kez {
namespace detail {
namespace {

const char kTablesSql[] =
    "SELECT name FROM sqlite_schema WHERE type IN ('table', 'view') AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
    "UNION SELECT name FROM sqlite_temp_schema WHERE type IN ('table', 'view') "
    "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name";

class SqliteSchema final : public KezDcDbRefCounted<KezIDcDbSchema> {
 public:
  explicit SqliteSchema(SqliteSession* session) : session_(session) { session_->AddRef(); }
  ~SqliteSchema() override { session_->Release(); }
  SqliteSchema(const SqliteSchema&) = delete;
  SqliteSchema& operator=(const SqliteSchema&) = delete;

  int GetTables(uint32_t* count, _SEQUENCE_KezDcDbNameSeq** names) override {
    if (count) *count = 0;
    if (names) *names = nullptr;
    sqlite3* db = session_->Connection();
    StatementPtr select;
    int rc = Prepare(db, kTablesSql, &select);
    std::vector<std::string> found;
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
      rc = sqlite3_step(select.get());
      if (rc != SQLITE_ROW) break;
      const unsigned char* name = sqlite3_column_text(select.get(), 0);
      int bytes = sqlite3_column_bytes(select.get(), 0);
      found.emplace_back(name ? reinterpret_cast<const char*>(name) : "", static_cast<std::size_t>(bytes));
    }
    if (rc != SQLITE_DONE) {
      return ReportSqliteFailure(db, rc, "cannot list the tables of <" + session_->Options().path + ">");
    }
    return _SEQUENCE_KezDcDbNameSeq::HandOut(found, count, names);
  }

 private:
  SqliteSession* session_;  // one reference held
};

}  // namespace

int SqliteSession::QueryInterface(KezDcDbClassId id, void** out) {
  if (id == KezIDcDbSchema::ClassId() && out) {
    *out = static_cast<KezIDcDbSchema*>(new SqliteSchema(this));
    return 0;
  }
  return KezDcDbRefCounted<KezIDcDbSimpleSession>::QueryInterface(id, out);
}

}  // namespace detail
}  // namespace kez
