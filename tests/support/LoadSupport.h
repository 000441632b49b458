// Helpers of the load and endurance tests: their size, scaled by
// KEZDCQR_LOAD_SCALE (1.0, the default, is the full size; CI runs 0.01), the
// heap in use as glibc counts it, and a SQLite file in a temporary folder.
#ifndef KEZ_TEST_LOAD_SUPPORT_H
#define KEZ_TEST_LOAD_SUPPORT_H

#include <malloc.h>
#include <sqlite3.h>

#include <cstdlib>
#include <string>

#include "database/access/sqlite/KezDcDbSqlite.h"
#include "support/AccessFaults.h"
#include "support/KezTestSupport.h"
#include "support/TempDir.h"

namespace kez {
namespace test {

// The sanitizers bring their own allocator, which glibc's counters do not
// see: memory is then judged by LeakSanitizer alone.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kHeapCounted = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kHeapCounted = false;
#else
constexpr bool kHeapCounted = true;
#endif
#else
constexpr bool kHeapCounted = true;
#endif

inline double LoadScale() {
  const char* text = std::getenv("KEZDCQR_LOAD_SCALE");
  double scale = text && *text ? std::atof(text) : 1.0;
  return scale > 0 ? scale : 1.0;
}

// The full size times the scale, at least minimum.
inline long Scaled(long full, long minimum = 1) {
  long n = static_cast<long>(static_cast<double>(full) * LoadScale());
  return n < minimum ? minimum : n;
}

// Octets of heap in use: small blocks (uordblks) and mapped ones (hblkhd).
inline long InUseHeap() {
  struct mallinfo2 info = mallinfo2();
  return static_cast<long>(info.uordblks + info.hblkhd);
}

// A temporary folder with one SQLite file, removed at the end.
class LoadTest : public KezTest {
 protected:
  void SetUp() override {
    KezTest::SetUp();
    ASSERT_TRUE(temp_.Made());
    dir_ = temp_.Path();
    db_ = dir_ + "/load.db";
  }
  void TearDown() override {
    KezDcQrQuery::DeleteAllQueries();
    EXPECT_EQ(kez::test::AccessFaults::OpenConnections(), 0);
    KezDcDbDataSourceFactory::UnregisterDataSource("s");
    KezTest::TearDown();
  }

  void Sql(const std::string& sql) const {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(db_.c_str(), &db), SQLITE_OK);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
  }

  // The first column of the first row of a query, as an integer.
  long long Number(const std::string& sql) const {
    sqlite3* db = nullptr;
    sqlite3_stmt* select = nullptr;
    long long value = -1;
    sqlite3_open_v2(db_.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &select, nullptr) == SQLITE_OK && sqlite3_step(select) == SQLITE_ROW) {
      value = sqlite3_column_int64(select, 0);
    }
    sqlite3_finalize(select);
    sqlite3_close(db);
    return value;
  }

  TempDir temp_{"kez_load"};
  std::string dir_;
  std::string db_;
};

}  // namespace test
}  // namespace kez

#endif
