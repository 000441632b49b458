// Files of the tests: a fresh temporary folder for the life of an object,
// removed with all it holds (owner permissions first given back, for tests
// that take them away); whole files read and written; the case files of a
// folder of tests/, each naming its test.
#ifndef KEZ_TEST_TEMP_DIR_H
#define KEZ_TEST_TEMP_DIR_H

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace kez {
namespace test {

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "kez_test") {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "_XXXXXX")).string();
    if (mkdtemp(&pattern[0])) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  bool Made() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;  // empty when the folder could not be made
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// The "*.test" files of tests/<folder>, sorted; a file's name without
// ".test", its '-' written '_', names its test.
inline std::vector<std::string> CaseFiles(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(KEZDCQR_TESTS_DIR) + "/" + folder))
    if (entry.path().extension() == ".test") files.push_back(entry.path().filename().string());
  std::sort(files.begin(), files.end());
  return files;
}
template <class ParamInfo>
std::string CaseName(const ParamInfo& info) {
  std::string name = info.param.substr(0, info.param.size() - 5);
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

}  // namespace test
}  // namespace kez

#endif
