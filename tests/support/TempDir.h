// A fresh temporary folder for the life of an object, removed with all it
// holds (owner permissions first given back, for tests that take them away).
#ifndef KEZ_TEST_TEMP_DIR_H
#define KEZ_TEST_TEMP_DIR_H

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

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

}  // namespace test
}  // namespace kez

#endif
