// Shared set-up of the fuzz targets and of their replay in tests/regress/:
// a small memory database registered as "m", a SQLite file registered as
// "q" and "r", variables of the three basic types, the access layer wrapped
// by kez::test::AccessFaults (tests/support/), and the check that every input
// leaves the library as clean as it found it.
#ifndef KEZ_FUZZ_SUPPORT_H
#define KEZ_FUZZ_SUPPORT_H

#include <sqlite3.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "kezdcqr/KezDcQr.h"
#include "support/AccessFaults.h"

namespace kez {
namespace fuzz {

// The SQLite file behind the data sources "q" (batches of 2 rows) and "r"
// (read-only): tables t, u and h like the memory ones, made once per
// process in a temporary folder removed at exit. The connection returned
// stays open to take the rows an input inserted out again.
inline sqlite3* SqliteFixture() {
  static sqlite3* db = [] {
    static std::string folder = (std::filesystem::temp_directory_path() / "kez_fuzz_XXXXXX").string();
    if (!mkdtemp(&folder[0])) return static_cast<sqlite3*>(nullptr);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(folder, ec);
    });
    const std::string file = folder + "/fz.db";
    sqlite3* opened = nullptr;
    sqlite3_open(file.c_str(), &opened);
    sqlite3_exec(opened,
                 "PRAGMA journal_mode=WAL;"
                 "CREATE TABLE t(item VARCHAR(8), amount INTEGER, price REAL);"
                 "INSERT INTO t VALUES ('it0', 0, 0), ('it1', 3, 0.5), ('it2', 6, 1), ('it3', 9, 1.5), (NULL, 12, 2),"
                 "  ('it5', NULL, 2.5), ('it6', 18, 'x');"
                 "CREATE TABLE u(a CHAR(3), b TEXT);"
                 "CREATE TABLE h(\"*\" TEXT, \"a+b\" INTEGER, \"c:d\" TEXT, \"[e]\" BLOB, \"\" TEXT);"
                 "INSERT INTO h VALUES ('t', 12, 'u', '$i', 'x'), ('[#s]', -1e308, '@m', 'main', '')",
                 nullptr, nullptr, nullptr);
    KezDcDbDataSourceFactory::RegisterDataSource("q", ("sqlite:" + file + "?batch=2&busy_timeout=0").c_str());
    KezDcDbDataSourceFactory::RegisterDataSource("r", ("sqlite:" + file + "?readonly=1").c_str());
    return opened;
  }();
  return db;
}

// Creates the memory tables afresh (inputs insert rows into them): t with
// texts and numbers, u with a field of 3 octets and one of none, h with
// column names that hold the path and attribute-list separators. The SQLite
// tables lose the rows the last input inserted.
inline void SetUpDatabase() {
  kez::test::AccessFaults::Install();
  KezDcDbMemory::CreateRowset(
      "fz", "t", {{"item", KEZDCDB_TYPESTRING, 8}, {"amount", KEZDCDB_TYPEI4, 4}, {"price", KEZDCDB_TYPER8, 8}});
  for (int i = 0; i < 7; ++i) {
    KezDcDbMemory::AppendRow("fz", "t", {"it" + std::to_string(i), std::to_string(i * 3), std::to_string(i * 0.5)});
  }
  KezDcDbMemory::CreateRowset("fz", "u", {{"a", KEZDCDB_TYPESTRING, 3}, {"b", KEZDCDB_TYPESTRING, 0}});
  KezDcDbMemory::CreateRowset("fz", "h",
                              {{"*", KEZDCDB_TYPESTRING, 4},
                               {"a+b", KEZDCDB_TYPEI4, 4},
                               {"c:d", KEZDCDB_TYPESTRING, 6},
                               {"[e]", KEZDCDB_TYPEPTRSUBLIST, 5},
                               {"", 7, 3}});
  KezDcDbMemory::AppendRow("fz", "h", {"t", "12", "u", "$i", "x"});
  KezDcDbMemory::AppendRow("fz", "h", {"[#s]", "-1e308", "@m", "main", ""});
  KezDcDbDataSourceFactory::RegisterDataSource("m", "memory:fz");
  sqlite3_exec(SqliteFixture(), "DELETE FROM t WHERE rowid > 7; DELETE FROM u; DELETE FROM h WHERE rowid > 2", nullptr,
               nullptr, nullptr);
}

inline void SetUpVariables() {
  KezUnicodeString type = "Variable";
  auto* i = static_cast<KezDcQrQRVariable*>(KezDcQrQResult::NewQR("$i", "", "", "", "", "", type));
  i->Affect(7);
  auto* d = static_cast<KezDcQrQRVariable*>(KezDcQrQResult::NewQR("$d", "", "", "", "", "", type));
  d->Affect(2.5);
  auto* s = static_cast<KezDcQrQRVariable*>(KezDcQrQResult::NewQR("#s", "", "", "", "", "", type));
  s->Affect(KezUnicodeString("\"t\""));
  auto* loop = static_cast<KezDcQrQRVariable*>(KezDcQrQResult::NewQR("#a", "", "", "", "", "", type));
  loop->Affect(KezUnicodeString("#b"));
  auto* back = static_cast<KezDcQrQRVariable*>(KezDcQrQResult::NewQR("#b", "", "", "", "", "", type));
  back->Affect(KezUnicodeString("#a"));
}

// What the access layer holds before an input, to compare after it.
struct LayerMark {
  long rows = kez::test::AccessFaults::OutstandingRows();
  int accessors = kez::test::AccessFaults::LiveAccessors();
  int misuses = kez::test::AccessFaults::Misuses();
};

// Deletes everything and says whether nothing is left: no node,
// expression or query registered, no layer object or connection alive, no
// row or accessor handle kept and no misuse of the layer (unless the input
// made a release fail, when the layer keeps what it refused).
inline bool CleanAfter(const LayerMark& mark, bool releases_failed) {
  KezDcQrQuery::DeleteAllQueries();
  kez::test::AccessFaults::ClearFailures();
  KezDcCMError::ClearErrors();
  bool clean = KezDcQrQResult::QRHTab->Size() == 0 && KezDcQrQResult::ExprHTab->Size() == 0 &&
               KezDcQrQuery::QueryHTab->Size() == 0 && kez::test::AccessFaults::LiveObjects() == 0 &&
               kez::test::AccessFaults::OpenConnections() == 0;
  if (releases_failed) return clean;
  return clean && kez::test::AccessFaults::OutstandingRows() == mark.rows &&
         kez::test::AccessFaults::LiveAccessors() == mark.accessors &&
         kez::test::AccessFaults::Misuses() == mark.misuses;
}

// The input split into lines (at most max_lines).
inline std::vector<std::string> Lines(const uint8_t* data, size_t size, size_t max_lines) {
  std::vector<std::string> lines(1);
  for (size_t k = 0; k < size && lines.size() <= max_lines; ++k) {
    if (data[k] == '\n') {
      lines.emplace_back();
    } else if (data[k] != '\0') {
      lines.back() += static_cast<char>(data[k]);
    }
  }
  return lines;
}

// Reads every octet of the value that a node hands out, so that a pointer
// to freed or too short storage shows at once.
inline size_t Touch(const char* text) {
  size_t n = 0;
  while (text && text[n]) ++n;
  return n;
}

}  // namespace fuzz
}  // namespace kez

#endif
