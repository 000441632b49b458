// Helpers of the load and endurance tests: their size, scaled by
// KEZDCQR_LOAD_SCALE (1.0, the default, is the full size; CI runs 0.01), the
// heap in use as glibc counts it, and a SQLite database in a temporary folder.
#ifndef KEZ_TEST_LOAD_SUPPORT_H
#define KEZ_TEST_LOAD_SUPPORT_H

#include <malloc.h>

#include <cstdlib>
#include <string>

#include "backends/BackendFixture.h"
#include "support/AccessFaults.h"

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

// A SQLite test database, and a temporary folder for scripts.
class LoadTest : public KezTest {
 protected:
  void TearDown() override {
    KezDcQrQuery::DeleteAllQueries();
    EXPECT_EQ(kez::test::AccessFaults::OpenConnections(), 0);
    KezDcDbDataSourceFactory::UnregisterDataSource("s");
    KezTest::TearDown();
  }
  // The first column of the first row of a query, as an integer.
  long long Number(const std::string& sql) { return std::stoll(db_.Select(sql).at(0).at(0)); }

  SqliteDatabase db_;
  TempDir dir_{"kez_load"};
};

}  // namespace test
}  // namespace kez

#endif
