// Runs every case file of tests/kezq/cases through the built kezq and
// compares what each query, or each command line, printed with the lines the
// file expects (the format is in tests/kezq/README.md).
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

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

// The words of a command line: blanks separate them, except inside '...'.
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  bool quoted = false, open = false;
  for (char c : line) {
    if (c == ' ' && !quoted) {
      open = false;
    } else {
      if (!open) words.emplace_back();
      open = true;
      quoted ^= c == '\'';
      if (c != '\'') words.back() += c;
    }
  }
  return words;
}

struct Case {
  std::string text;  // the query, or the command's words after "$ "
  int line = 0;      // in the case file
  bool command = false;
  std::vector<std::string> out, err;
  std::string input;  // a command's standard input
  int status = 0;     // a command's exit status
};

std::vector<Case> ParseCases(const std::string& text) {
  std::vector<Case> cases;
  int number = 0;
  for (const std::string& line : SplitLines(text)) {
    ++number;
    if (line.empty() || line.compare(0, 2, "--") == 0) continue;
    bool command = !cases.empty() && cases.back().command;
    bool expected =
        std::string(command ? "=!<?" : "=!").find(line[0]) != std::string::npos && (line.size() == 1 || line[1] == ' ');
    std::string value = line.size() > 2 ? line.substr(2) : "";
    if (!expected) {
      bool is_command = line == "$" || line.compare(0, 2, "$ ") == 0;
      cases.push_back(Case{is_command ? value : line, number, is_command, {}, {}, "", 0});
    } else if (line[0] == '<') {
      cases.back().input += value + "\n";
    } else if (line[0] == '?') {
      cases.back().status = std::atoi(value.c_str());
    } else if (!cases.empty()) {
      (line[0] == '=' ? cases.back().out : cases.back().err).push_back(value);
    }
  }
  return cases;
}

class KezqCaseFile : public ::testing::TestWithParam<std::string> {
 protected:
  // Runs the query cases in one kezq -e: what it printed for each query is
  // the lines after "> query" up to the next one, but the blank line that
  // closes each; its messages are "queries:N: message" for the N-th.
  void RunQueries(const std::vector<Case>& cases) {
    std::string queries;
    for (const Case& c : cases) queries += c.text + "\n";
    WriteFile(dir_.File("queries"), queries);
    KezqResult result = RunKezq({"-k", "-e", "-s", source_, "-f", dir_.File("queries")});
    std::vector<std::vector<std::string>> outputs;
    for (const std::string& line : SplitLines(result.out)) {
      if (line.compare(0, 2, "> ") == 0) {
        outputs.emplace_back();
      } else if (!outputs.empty()) {
        outputs.back().push_back(line);
      }
    }
    for (auto& lines : outputs) {
      if (!lines.empty() && lines.back().empty()) lines.pop_back();
    }
    std::map<int, std::vector<std::string>> errors;
    for (const std::string& line : SplitLines(Replace(result.err, fixture_, "FIXTURE"))) {
      std::size_t colon = line.find(':'), second = line.find(": ", colon + 1);
      if (colon != std::string::npos && second != std::string::npos)
        errors[std::atoi(line.c_str() + colon + 1)].push_back(line.substr(second + 2));
    }
    ASSERT_EQ(outputs.size(), cases.size()) << result.out << result.err;
    bool failed = false;  // warnings are said, but only errors make the run fail
    for (std::size_t k = 0; k < cases.size(); ++k) {
      const Case& c = cases[k];
      EXPECT_EQ(outputs[k], c.out) << GetParam() << ":" << c.line << ": " << c.text;
      EXPECT_EQ(errors[static_cast<int>(k) + 1], c.err) << GetParam() << ":" << c.line << ": " << c.text;
      for (const std::string& message : c.err) failed |= message.compare(0, 4, "WARN") && message.compare(0, 4, "Warn");
    }
    EXPECT_EQ(result.status, failed ? 1 : 0);
  }
  void RunCommand(const Case& c) {
    std::vector<std::string> args = {"-s", source_};
    for (const std::string& word : Words(c.text))
      args.push_back(Replace(Replace(word, "FIXTURE", fixture_), "DIR", dir_.Path()));
    KezqResult r = RunKezq(args, Replace(c.input, "FIXTURE", fixture_));
    auto shown = [&](const std::string& text) {
      return Replace(Replace(text, fixture_, "FIXTURE"), dir_.Path(), "DIR");
    };
    auto joined = [](const std::vector<std::string>& lines) {
      std::string text;
      for (const std::string& line : lines) text += line + "\n";
      return text;
    };
    SCOPED_TRACE(GetParam() + ":" + std::to_string(c.line) + ": $ " + c.text);
    EXPECT_EQ(shown(r.out), joined(c.out));
    EXPECT_EQ(shown(r.err), joined(c.err));
    EXPECT_EQ(r.status, c.status);
  }

  TempDir dir_;
  std::string fixture_ = dir_.File("fixture.db"), source_ = "fx=sqlite:" + fixture_;
};

TEST_P(KezqCaseFile, EveryQueryPrintsWhatTheFileExpects) {
  std::vector<Case> cases = ParseCases(ReadFile(std::string(KEZDCQR_TESTS_DIR) + "/kezq/cases/" + GetParam()));
  ASSERT_FALSE(cases.empty()) << GetParam();
  BuildFixture(fixture_);
  std::vector<Case> queries;
  std::copy_if(cases.begin(), cases.end(), std::back_inserter(queries), [](const Case& c) { return !c.command; });
  if (!queries.empty()) RunQueries(queries);
  for (const Case& c : cases) {
    if (c.command) RunCommand(c);
  }
}

std::vector<std::string> CaseFiles() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(KEZDCQR_TESTS_DIR) + "/kezq/cases")) {
    if (entry.path().extension() == ".test") files.push_back(entry.path().filename().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// A case file's name, without ".test", names its test: letters, digits and '_'.
INSTANTIATE_TEST_SUITE_P(Cases, KezqCaseFile, ::testing::ValuesIn(CaseFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return info.param.substr(0, info.param.size() - 5);
                         });

}  // namespace
}  // namespace test
}  // namespace kez
