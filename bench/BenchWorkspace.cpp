// The benchmarks' workspace: temporary folder, table files, row values.
#include "bench/BenchWorkspace.h"

#include <stdlib.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace kez {
namespace bench {
namespace {

bool Exec(sqlite3* db, const char* sql, const std::string& path) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  std::fprintf(stderr, "bench: %s on %s: %s\n", sql, path.c_str(), message ? message : "?");
  sqlite3_free(message);
  return false;
}

std::string NewTemporaryFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/kezdcqr-bench-XXXXXX";
  if (!mkdtemp(pattern.data())) return "";
  return pattern;
}

// Inserts rows [0, rows) in one transaction through a prepared INSERT.
bool Fill(sqlite3* db, long rows, const std::string& path) {
  sqlite3_stmt* insert = nullptr;
  if (sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?, ?, ?)", -1, &insert, nullptr) != SQLITE_OK) return false;
  bool ok = Exec(db, "BEGIN", path);
  char item[32];
  for (long i = 0; ok && i < rows; ++i) {
    std::size_t length = ItemText(i, item, sizeof item);
    sqlite3_bind_text(insert, 1, item, static_cast<int>(length), SQLITE_STATIC);
    sqlite3_bind_int(insert, 2, Amount(i));
    sqlite3_bind_double(insert, 3, Price(i));
    ok = sqlite3_step(insert) == SQLITE_DONE;
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  return ok && Exec(db, "COMMIT", path);
}

}  // namespace

std::size_t ItemText(long i, char* out, std::size_t size) {
  // Cheap on purpose: it runs inside the timed loops of both sides.
  static const char kPrefix[] = "item-";
  const std::size_t prefix = sizeof kPrefix - 1;
  if (size <= prefix) {
    if (size > 0) out[0] = 0;
    return 0;
  }
  std::memcpy(out, kPrefix, prefix);
  std::to_chars_result r = std::to_chars(out + prefix, out + size - 1, i);
  std::size_t length = r.ec == std::errc() ? static_cast<std::size_t>(r.ptr - out) : prefix;
  out[length] = 0;
  return length;
}

Workspace::Workspace(const std::string& folder) : folder_(folder) {
  if (folder_.empty()) {
    folder_ = NewTemporaryFolder();
    owned_ = !folder_.empty();
  } else {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
  }
  if (folder_.empty() || !std::filesystem::is_directory(folder_)) {
    std::fprintf(stderr, "bench: cannot create the work folder <%s>\n", folder_.c_str());
    std::exit(2);
  }
}

Workspace::~Workspace() {
  if (!owned_) return;
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

sqlite3* OpenRaw(const std::string& path, bool no_mutex) {
  sqlite3* db = nullptr;
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | (no_mutex ? SQLITE_OPEN_NOMUTEX : 0);
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) == SQLITE_OK) return db;
  std::fprintf(stderr, "bench: cannot open %s: %s\n", path.c_str(), db ? sqlite3_errmsg(db) : "out of memory");
  sqlite3_close(db);
  return nullptr;
}

void RemoveDatabase(const std::string& path) {
  std::error_code ec;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(path + suffix, ec);
}

bool CreateEmptyTable(const std::string& path) {
  RemoveDatabase(path);
  sqlite3* db = OpenRaw(path);
  if (!db) return false;
  bool ok = Exec(db, "PRAGMA journal_mode=WAL", path) && Exec(db, kCreateTable, path);
  sqlite3_close(db);
  return ok;
}

bool CreateFilledTable(const std::string& path, long rows) {
  if (!CreateEmptyTable(path)) return false;
  sqlite3* db = OpenRaw(path);
  if (!db) return false;
  bool ok = Fill(db, rows, path);
  // Leaves the rows in the main file, so that no scan pays for the WAL.
  ok = ok && Exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", path);
  sqlite3_close(db);
  return ok;
}

long CountRows(const std::string& path) {
  sqlite3* db = OpenRaw(path);
  if (!db) return -1;
  sqlite3_stmt* count = nullptr;
  long rows = -1;
  if (sqlite3_prepare_v2(db, "SELECT count(*) FROM t", -1, &count, nullptr) == SQLITE_OK &&
      sqlite3_step(count) == SQLITE_ROW)
    rows = static_cast<long>(sqlite3_column_int64(count, 0));
  sqlite3_finalize(count);
  sqlite3_close(db);
  return rows;
}

std::string PragmaValue(const std::string& path, const char* pragma) {
  sqlite3* db = OpenRaw(path);
  if (!db) return "";
  sqlite3_stmt* statement = nullptr;
  std::string value;
  std::string sql = std::string("PRAGMA ") + pragma;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(statement, 0);
    value = text ? reinterpret_cast<const char*>(text) : "";
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return value;
}

}  // namespace bench
}  // namespace kez
