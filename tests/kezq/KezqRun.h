// Runs the built kezq from the tests under a time limit, so that a hang fails
// the test instead of stalling the run; temporary folders, files, and the
// fixture SQLite database built from fixture.sql.
#ifndef KEZ_TEST_KEZQ_RUN_H
#define KEZ_TEST_KEZQ_RUN_H

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace kez {
namespace test {

struct KezqResult {
  int status = -1;  // exit status; 124 when the time limit killed it, -1 for a signal
  std::string out;
  std::string err;
};

inline std::string KezqPath() {
  return std::string(KEZDCQR_BINARY_DIR) + "/tools/kezq/kezq";
}
inline bool KezqBuilt() {
  return access(KezqPath().c_str(), X_OK) == 0;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Runs kezq with the arguments (each passed as one word), input on its
// standard input and the environment settings (NAME=VALUE) added.
inline KezqResult RunKezq(const std::vector<std::string>& args, const std::string& input = "",
                          const std::vector<std::string>& env = {}) {
  auto quote = [](const std::string& word) {
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
  };
  TempDir dir("kezq_test");
  std::string command = "env";
  for (const std::string& setting : env) command += " " + quote(setting);
  command += " timeout 120 " + quote(KezqPath());
  for (const std::string& arg : args) command += " " + quote(arg);
  WriteFile(dir.File("in"), input);
  command += " <" + quote(dir.File("in")) + " >" + quote(dir.File("out")) + " 2>" + quote(dir.File("err"));
  int raw = std::system(command.c_str());
  return KezqResult{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir.File("out")), ReadFile(dir.File("err"))};
}

// Builds the fixture database from fixture.sql at path; fails the test on error.
inline void BuildFixture(const std::string& path) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char* message = nullptr;
  int rc = sqlite3_exec(db, ReadFile(std::string(KEZDCQR_TESTS_DIR) + "/kezq/fixture.sql").c_str(), nullptr, nullptr,
                        &message);
  EXPECT_EQ(rc, SQLITE_OK) << (message ? message : "");
  sqlite3_free(message);
  sqlite3_close(db);
}

}  // namespace test
}  // namespace kez

#endif
