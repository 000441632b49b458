// Process and file helpers of the kezq tests.
#include "kezq/KezqRun.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kez {
namespace test {

namespace {

std::string Quote(const std::string& word) {
  std::string out = "'";
  for (char c : word) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

}  // namespace

KezqResult RunKezq(const std::vector<std::string>& args, const std::string& input) {
  TempDir dir;
  std::string command = Quote(std::string(KEZDCQR_BINARY_DIR) + "/tools/kezq/kezq");
  for (const std::string& arg : args) command += " " + Quote(arg);
  std::string in = dir.File("in"), out = dir.File("out"), err = dir.File("err");
  WriteFile(in, input);
  command += " <" + Quote(in) + " >" + Quote(out) + " 2>" + Quote(err);
  KezqResult result;
  int raw = std::system(command.c_str());
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadFile(out);
  result.err = ReadFile(err);
  return result;
}

TempDir::TempDir() {
  char pattern[] = "/tmp/kezq-test-XXXXXX";
  const char* made = mkdtemp(pattern);
  path_ = made ? made : "/tmp";
}

TempDir::~TempDir() {
  if (path_ != "/tmp") std::system(("rm -rf '" + path_ + "'").c_str());
}

void BuildFixture(const std::string& path) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::string sql = ReadFile(std::string(KEZDCQR_TESTS_DIR) + "/kezq/fixture.sql");
  char* message = nullptr;
  int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
  EXPECT_EQ(rc, SQLITE_OK) << (message ? message : "");
  sqlite3_free(message);
  sqlite3_close(db);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

}  // namespace test
}  // namespace kez
