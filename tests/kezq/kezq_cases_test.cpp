// Runs every case file of tests/kezq/cases through the built kezq and
// compares what each query printed with the lines the file expects.
#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "support/KezqRun.h"

namespace kez {
namespace test {
namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct Case {
  std::string query;
  int line = 0;  // in the case file
  std::vector<std::string> out;
  std::vector<std::string> err;
};

std::vector<Case> ParseCases(const std::string& text) {
  std::vector<Case> cases;
  int number = 0;
  for (const std::string& line : SplitLines(text)) {
    ++number;
    if (line.empty() || line.compare(0, 2, "--") == 0) continue;
    bool expected = (line[0] == '=' || line[0] == '!') && (line.size() == 1 || line[1] == ' ');
    if (!expected) {
      cases.push_back(Case{line, number, {}, {}});
    } else if (!cases.empty()) {
      std::string value = line.size() > 2 ? line.substr(2) : "";
      (line[0] == '=' ? cases.back().out : cases.back().err).push_back(value);
    }
  }
  return cases;
}

// What kezq -e printed for each query: the lines after "> query" up to the
// next one, without the blank line that closes each query.
std::vector<std::vector<std::string>> OutputsByQuery(const std::string& out) {
  std::vector<std::vector<std::string>> outputs;
  for (const std::string& line : SplitLines(out)) {
    if (line.compare(0, 2, "> ") == 0) {
      outputs.emplace_back();
    } else if (!outputs.empty()) {
      outputs.back().push_back(line);
    }
  }
  for (auto& lines : outputs) {
    if (!lines.empty() && lines.back().empty()) lines.pop_back();
  }
  return outputs;
}

// Standard-error lines by query number ("queries:N: message").
std::map<int, std::vector<std::string>> ErrorsByQuery(const std::string& err, const std::string& fixture) {
  std::map<int, std::vector<std::string>> errors;
  for (std::string line : SplitLines(err)) {
    std::size_t colon = line.find(':');
    std::size_t second = colon == std::string::npos ? colon : line.find(": ", colon + 1);
    if (second == std::string::npos) continue;
    int number = std::atoi(line.substr(colon + 1, second - colon - 1).c_str());
    std::string message = line.substr(second + 2);
    for (std::size_t at; (at = message.find(fixture)) != std::string::npos;)
      message.replace(at, fixture.size(), "FIXTURE");
    errors[number].push_back(message);
  }
  return errors;
}

std::vector<std::string> CaseFiles() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(KEZDCQR_TESTS_DIR) + "/kezq/cases")) {
    if (entry.path().extension() == ".test") files.push_back(entry.path().filename().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class KezqCaseFile : public ::testing::TestWithParam<std::string> {};

TEST_P(KezqCaseFile, EveryQueryPrintsWhatTheFileExpects) {
  std::string path = std::string(KEZDCQR_TESTS_DIR) + "/kezq/cases/" + GetParam();
  std::vector<Case> cases = ParseCases(ReadFile(path));
  ASSERT_FALSE(cases.empty()) << path;
  TempDir dir;
  std::string fixture = dir.File("fixture.db");
  BuildFixture(fixture);
  std::string queries;
  for (const Case& c : cases) queries += c.query + "\n";
  WriteFile(dir.File("queries"), queries);
  KezqResult result = RunKezq({"-k", "-e", "-s", "fx=sqlite:" + fixture, "-f", dir.File("queries")});
  auto outputs = OutputsByQuery(result.out);
  auto errors = ErrorsByQuery(result.err, fixture);
  ASSERT_EQ(outputs.size(), cases.size()) << result.out << result.err;
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const Case& c = cases[k];
    EXPECT_EQ(outputs[k], c.out) << GetParam() << ":" << c.line << ": " << c.query;
    EXPECT_EQ(errors[static_cast<int>(k) + 1], c.err) << GetParam() << ":" << c.line << ": " << c.query;
  }
  // Warnings are said, but only errors make the run fail.
  bool failed = false;
  for (const auto& entry : errors) {
    for (const std::string& message : entry.second) {
      if (message.compare(0, 7, "WARNING") != 0 && message.compare(0, 7, "Warning") != 0) failed = true;
    }
  }
  EXPECT_EQ(result.status, failed ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, KezqCaseFile, ::testing::ValuesIn(CaseFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param.substr(0, info.param.size() - 5);
                           std::replace_if(
                               name.begin(), name.end(), [](char c) { return !isalnum(c); }, '_');
                           return name;
                         });

}  // namespace
}  // namespace test
}  // namespace kez
