// The SQLite backend of the access layer, opened by the data-source catalog
// for URIs "sqlite:PATH[?option=value&...]".
//
// PATH is an existing database file (relative paths are taken from the
// working directory when the data source opens; the first '?' starts the
// options). Options:
//   create=1          create the file when it does not exist
//   readonly=1        open read-only (excludes create=1)
//   busy_timeout=MS   wait up to MS milliseconds for a locked file (5000)
//   text_size=N       octets of a text column without a declared length,
//                     and of BLOB or untyped columns (255; 1 to 1048576)
//   declared_size=0   give every text column text_size octets instead of
//                     the n of its declared "(n)" (1: honour it)
//   max_field_size=N  a declared "(n)" above N octets is sized at N (65536;
//                     1 to 1048576); longer values are cut and reported
//   max_block_memory=N  refuse an accessor whose row buffer, or a block
//                     whose rows, could take more than N octets (268435456)
//   batch=N           commit inserted rows N at a time (1: every row);
//                     what a crash may lose: see SqliteSession.h
//   journal=MODE      set the journal mode (wal, delete, truncate, persist)
// A file that the data source creates is put in WAL journal mode; an
// existing file keeps its mode unless journal= asks. Each session is its own
// connection, opened without SQLite's per-call mutex (SQLITE_OPEN_NOMUTEX):
// like every object of the library, it is used by one thread at a time. A
// rowset is the table or view that its name names; a walk reads the rows
// that it held at its first fetch (up to the largest rowid it had then, or
// for a view or WITHOUT ROWID table as many rows as it had then). An insert
// that changes no row (an IGNORE constraint or trigger) is a warning.
//
// Columns map by SQLite's affinity rules: INT -> KEZDCDB_TYPEI4; REAL, FLOA,
// DOUB and NUMERIC -> KEZDCDB_TYPER8; CHAR, CLOB, TEXT -> KEZDCDB_TYPESTRING
// of the declared "(n)" or text_size; BLOB or no type -> string of
// text_size. NULL reads as the empty text with the field's NULL mark set,
// and a field marked NULL is inserted as NULL; a numeric field binds as a
// number only when its text is a plain decimal number, and as its text
// otherwise. A value longer than its field is
// cut (on a character boundary for text) and reported once per rowset and
// column. Every failure is reported through KezDcCMError with SQLite's own
// message and code; operations then return SQLite's primary result code
// (GetNextRows returns 3, the end).
#ifndef KEZ_DC_DB_SQLITE_H
#define KEZ_DC_DB_SQLITE_H

#include <string>

#include "database/access/KezDcDbInterfaces.h"

namespace kez {
namespace detail {
// "SQLite 3.40.1": the SQLite library in use.
std::string SqliteClientVersion();
// Opens the data source of the URI text after "sqlite:" (one reference, the
// caller's), or null after reporting why.
KezIDcDbDataSource* OpenSqliteDataSource(const std::string& uri);
// Opens an existing database file with the default options, or null.
KezIDcDbDataSource* OpenSqliteFile(const std::string& path);
// How many times a rowset's block storage had to grow, over every rowset
// (for tests); a walk in blocks of equal size stops growing after its first
// blocks.
long SqliteArenaGrowths();
}  // namespace detail
}  // namespace kez

#endif
