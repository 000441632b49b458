// Counters, quoting and failure reports of the PostgreSQL backend.
#include "database/access/postgresql/PgCommon.h"

#include <cstring>

#include "foundation/KezDcCMError.h"

namespace kez {
namespace detail {
namespace {

// The first line of a libpq message, without its final blanks.
std::string FirstLine(const char* message) {
  std::string text = message ? message : "";
  std::size_t end = text.find('\n');
  if (end != std::string::npos) text.resize(end);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
  // libpq prefixes what the server sent with its severity.
  for (const char* severity : {"FATAL:  ", "ERROR:  "}) {
    if (text.compare(0, std::strlen(severity), severity) == 0) text.erase(0, std::strlen(severity));
  }
  return text.empty() ? "no message from libpq" : text;
}

}  // namespace

std::string QuotePgIdentifier(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string QuotePgRelation(const std::string& name) {
  std::size_t dot = name.find('.');
  if (dot == std::string::npos) return QuotePgIdentifier(name);
  return QuotePgIdentifier(name.substr(0, dot)) + "." + QuotePgIdentifier(name.substr(dot + 1));
}

std::string PgSqlState(const PGresult* result) {
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  return state ? state : "";
}

int ReportPgFailure(PGconn* conn, const PGresult* result, const std::string& what) {
  const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  std::string state = PgSqlState(result);
  std::string message = primary ? primary : FirstLine(conn ? PQerrorMessage(conn) : nullptr);
  if (state.empty() && conn && PQstatus(conn) == CONNECTION_BAD) state = "08006";
  if (state.empty()) {
    KezDcCMError::AddError("ERROR: postgresql %s: %s \n", what.c_str(), message.c_str());
  } else {
    KezDcCMError::AddError("ERROR: postgresql %s: %s (SQLSTATE %s) \n", what.c_str(), message.c_str(), state.c_str());
  }
  return 1;
}

}  // namespace detail
}  // namespace kez
