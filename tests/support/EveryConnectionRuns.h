// Test support: an SQL text run on every SQLite connection opened while the
// object lives (SQLite's auto-extension hook), e.g. to cap a database's size
// or its page cache.
#ifndef KEZ_TEST_EVERY_CONNECTION_RUNS_H
#define KEZ_TEST_EVERY_CONNECTION_RUNS_H

#include <sqlite3.h>

namespace kez {
namespace test {

class EveryConnectionRuns {
 public:
  explicit EveryConnectionRuns(const char* sql) {
    sql_ = sql;
    sqlite3_auto_extension(reinterpret_cast<void (*)(void)>(&Run));
  }
  ~EveryConnectionRuns() { sqlite3_cancel_auto_extension(reinterpret_cast<void (*)(void)>(&Run)); }
  EveryConnectionRuns(const EveryConnectionRuns&) = delete;
  EveryConnectionRuns& operator=(const EveryConnectionRuns&) = delete;

 private:
  static int Run(sqlite3* db, const char** /*error*/, const sqlite3_api_routines* /*api*/) {
    return sqlite3_exec(db, sql_, nullptr, nullptr, nullptr);
  }
  static inline const char* sql_ = "";
};

}  // namespace test
}  // namespace kez

#endif
