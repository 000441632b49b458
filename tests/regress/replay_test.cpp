// Replays every input that once made a fuzz target fail (inputs/<target>/)
// and every seed of the fuzz corpora (fuzz/corpus/<target>/) through the
// fuzz targets' own drivers: each must run without a crash, a sanitizer
// report or anything left behind.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/QueryInput.h"
#include "fuzz/ValueInputs.h"
#include "support/KezTestSupport.h"

namespace kez {
namespace test {
namespace {

namespace fs = std::filesystem;

struct Target {
  const char* name;
  bool (*driver)(const uint8_t*, size_t);
};

const Target kTargets[] = {{"query", fuzz::RunQueryInput},
                           {"datapath", fuzz::RunDataPathInput},
                           {"expression", fuzz::RunExpressionInput},
                           {"format", fuzz::RunFormatInput}};

// The fuzz drivers make the layer refuse releases at times, so the handles
// it keeps are no leak here: each driver checks what it left itself.
class ReplayTest : public ::testing::TestWithParam<Target> {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    KezDcQrQuery::DeleteAllQueries();
    KezDcDbMemory::DropAll();
    KezDcCMError::ClearErrors();
  }
  // Runs every file of the folder but dot files (.keep only keeps an empty
  // folder in the repository), in name order; returns how many there were.
  size_t ReplayFolder(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
      if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      std::ifstream in(file, std::ios::binary);
      std::string input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      EXPECT_TRUE(GetParam().driver(reinterpret_cast<const uint8_t*>(input.data()), input.size()))
          << file << " left something behind";
    }
    return files.size();
  }
};

TEST_P(ReplayTest, KeptFailingInputsAndTheSeedCorpusRunClean) {
  ReplayFolder(fs::path(KEZDCQR_TESTS_DIR) / "regress" / "inputs" / GetParam().name);
  EXPECT_GT(ReplayFolder(fs::path(KEZDCQR_TESTS_DIR) / ".." / "fuzz" / "corpus" / GetParam().name), 0u);
}

INSTANTIATE_TEST_SUITE_P(EveryTarget, ReplayTest, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace test
}  // namespace kez
