// Running the built kezq binary from the tests: its output, errors and exit
// status, and a fixture SQLite database built from fixture.sql.
#ifndef KEZ_TEST_KEZQ_RUN_H
#define KEZ_TEST_KEZQ_RUN_H

#include <string>
#include <vector>

namespace kez {
namespace test {

struct KezqResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs kezq with the arguments (each passed as one word) and, when input is
// not empty, that text on its standard input.
KezqResult RunKezq(const std::vector<std::string>& args, const std::string& input = "");

// A fresh temporary folder, removed with its content at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Builds the fixture database from fixture.sql at path; fails the test on error.
void BuildFixture(const std::string& path);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace test
}  // namespace kez

#endif
