// Replays every input that once made a fuzz target fail (inputs/<target>/)
// and every seed of the fuzz corpora (fuzz/corpus/<target>/) through the
// fuzz targets' own drivers: each must run without a crash, a sanitizer
// report or anything left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/QueryInput.h"
#include "fuzz/ValueInputs.h"

namespace {

namespace fs = std::filesystem;

typedef bool (*Driver)(const uint8_t*, size_t);

struct Target {
  const char* name;
  Driver driver;
};

const Target kTargets[] = {{"query", kez::fuzz::RunQueryInput},
                           {"datapath", kez::fuzz::RunDataPathInput},
                           {"expression", kez::fuzz::RunExpressionInput},
                           {"format", kez::fuzz::RunFormatInput}};

std::vector<fs::path> FilesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    // Dot files (.keep) only keep an empty folder in the repository.
    if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string Octets(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ReplayTest : public ::testing::TestWithParam<Target> {
 protected:
  void SetUp() override {
    KezDcQrQuery::DeleteAllQueries();
    KezDcDbMemory::DropAll();
    KezDcCMError::ClearErrors();
  }
  void TearDown() override {
    KezDcQrQuery::DeleteAllQueries();
    KezDcDbMemory::DropAll();
    KezDcCMError::ClearErrors();
  }

  // Runs every file of the folder; returns how many there were.
  size_t ReplayFolder(const fs::path& folder) {
    std::vector<fs::path> files = FilesIn(folder);
    for (const fs::path& file : files) {
      std::string input = Octets(file);
      EXPECT_TRUE(GetParam().driver(reinterpret_cast<const uint8_t*>(input.data()), input.size()))
          << file << " left something behind";
    }
    return files.size();
  }
};

TEST_P(ReplayTest, KeptFailingInputsRunClean) {
  ReplayFolder(fs::path(KEZDCQR_TESTS_DIR) / "regress" / "inputs" / GetParam().name);
}

TEST_P(ReplayTest, SeedCorpusRunsClean) {
  EXPECT_GT(ReplayFolder(fs::path(KEZDCQR_TESTS_DIR) / ".." / "fuzz" / "corpus" / GetParam().name), 0u);
}

INSTANTIATE_TEST_SUITE_P(EveryTarget, ReplayTest, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.name); });

}  // namespace
