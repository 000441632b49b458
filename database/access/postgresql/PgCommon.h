// Pieces shared by the PostgreSQL backend's objects: result ownership, identifier quoting, and the one way server
// and connection failures are reported.
#ifndef KEZ_DC_DB_PG_COMMON_H
#define KEZ_DC_DB_PG_COMMON_H

#include <libpq-fe.h>

#include <memory>
#include <string>

#include "database/access/RowsetBook.h"

namespace kez {
namespace detail {

struct ResultClearer {
  void operator()(PGresult* result) const { PQclear(result); }
};
// A result, cleared when its owner lets it go.
typedef std::unique_ptr<PGresult, ResultClearer> PgResult;

// The name as SQL: a name "schema.table" (at its first '.') is the table of
// that schema, any other name a table of the search path; each part in
// double quotes, inner quotes doubled.
std::string QuotePgRelation(const std::string& name);
// One identifier in double quotes, inner quotes doubled.
std::string QuotePgIdentifier(const std::string& name);

// The SQLSTATE of a failed result ("" when none).
std::string PgSqlState(const PGresult* result);

// Reports "ERROR: postgresql <what>: <primary message> (SQLSTATE <code>)"
// from the result when it carries the server's error, or from the
// connection's message otherwise; returns 1.
int ReportPgFailure(PGconn* conn, const PGresult* result, const std::string& what);

}  // namespace detail
}  // namespace kez

#endif
