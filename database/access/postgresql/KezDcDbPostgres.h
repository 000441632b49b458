// The PostgreSQL backend of the access layer, opened by the data-source
// catalog for URIs "postgresql://..." and "postgres://...".
//
// The URI goes to libpq as written (percent-decoding, sslmode, service
// files, ~/.pgpass and the PG* variables are libpq's), without the
// library's own options, which it takes out:
//   text_size=N         octets of a column of text, json, date, uuid, bytea
//                       and every other type without a declared length
//                       (255; 1 to 1048576)
//   max_field_size=N    a varchar(n) or char(n) field is 4n octets (n
//                       characters of UTF-8), capped at N (65536)
//   max_block_memory=N  refuse an accessor whose row buffer, or a block
//                       whose rows, could take more than N octets (268435456)
//   batch=N             commit inserted rows N at a time, sent in pipeline
//                       mode (1: every row commits); see PgSession.h
// A session is one connection (client encoding UTF-8). A rowset is the
// table or view that its name names, quoted: "sales.orders" is the table
// orders of the schema sales (split at the first '.'), any other name a
// table of the search path. Columns: int2, int4, int8 -> KEZDCDB_TYPEI4;
// float4, float8, numeric -> KEZDCDB_TYPER8; the rest are strings. Values
// travel in the server's text format; NULL reads as the empty text with the
// field's NULL mark set, and a field marked NULL is inserted as NULL. A
// walk reads through a cursor at least 1000 rows per round trip, the rows
// its rowset held when it started. Every failure is reported with the
// server's message and SQLSTATE, the URI shown with its password masked.
#ifndef KEZ_DC_DB_POSTGRES_H
#define KEZ_DC_DB_POSTGRES_H

#include <string>

#include "database/access/KezDcDbInterfaces.h"

namespace kez {
namespace detail {
// Opens the data source of a whole "postgresql://" or "postgres://" URI
// (one reference, the caller's), or null after reporting why.
KezIDcDbDataSource* OpenPostgresDataSource(const std::string& uri);
// Whether the URI names this backend.
bool IsPostgresUri(const std::string& uri);
// The URI with its password masked; any other text unchanged.
std::string MaskPostgresPassword(const std::string& uri);
// "libpq 15.10": the libpq in use.
std::string PostgresClientVersion();
// FETCH statements sent by every rowset (round trips of walks; for tests).
long PostgresRoundTrips();
}  // namespace detail
}  // namespace kez

#endif
