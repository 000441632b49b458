// Runs every case file of tests/kezq/cases through the built kezq and
// compares what each query, or each command line, printed with the lines the
// file expects (the format is in tests/kezq/README.md).
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

// A query, or a "$" command's words; what it must print (lines ended by
// '\n'), a command's input and exit status; fails: an error is expected.
struct Case {
  std::string text;
  int line = 0;  // in the case file
  bool command = false;
  std::string out, err, input;
  int status = 0;
  bool fails = false;
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
      cases.push_back(Case{is_command ? value : line, number, is_command, "", "", "", 0, false});
    } else if (line[0] == '?') {
      cases.back().status = std::atoi(value.c_str());
    } else {
      Case& c = cases.back();
      (line[0] == '=' ? c.out : line[0] == '!' ? c.err : c.input) += value + "\n";
      c.fails |= line[0] == '!' && value.compare(0, 4, "WARN") && value.compare(0, 4, "Warn");
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
    std::vector<std::string> out, err(cases.size());
    for (const std::string& line : SplitLines(result.out + "> ")) {
      std::string* last = out.empty() ? nullptr : &out.back();
      if (line.compare(0, 2, "> ") == 0 && last &&
          (*last == "\n" || last->find("\n\n", last->size() - 2) != std::string::npos))
        last->pop_back();  // the blank line that closes a query's output
      if (line.compare(0, 2, "> ") == 0) {
        out.emplace_back();
      } else if (last) {
        *last += line + "\n";
      }
    }
    out.pop_back();  // opened by the "> " added at the end
    for (const std::string& line : SplitLines(Replace(result.err, fixture_, "FIXTURE"))) {
      std::size_t colon = line.find(':'), second = line.find(": ", colon + 1);
      std::size_t n = colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
      if (second != std::string::npos && n > 0 && n <= cases.size()) err[n - 1] += line.substr(second + 2) + "\n";
    }
    ASSERT_EQ(out.size(), cases.size()) << result.out << result.err;
    bool failed = false;  // warnings are said, but only errors make the run fail
    for (std::size_t k = 0; k < cases.size(); ++k) {
      const Case& c = cases[k];
      EXPECT_EQ(out[k], c.out) << GetParam() << ":" << c.line << ": " << c.text;
      EXPECT_EQ(err[k], c.err) << GetParam() << ":" << c.line << ": " << c.text;
      failed |= c.fails;
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
    SCOPED_TRACE(GetParam() + ":" + std::to_string(c.line) + ": $ " + c.text);
    EXPECT_EQ(shown(r.out), c.out);
    EXPECT_EQ(shown(r.err), c.err);
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
  for (const Case& c : cases)
    if (!c.command) queries.push_back(c);
  if (!queries.empty()) RunQueries(queries);
  for (const Case& c : cases)
    if (c.command) RunCommand(c);
}

INSTANTIATE_TEST_SUITE_P(Cases, KezqCaseFile, ::testing::ValuesIn(CaseFiles("kezq/cases")),
                         CaseName<::testing::TestParamInfo<std::string>>);

}  // namespace
}  // namespace test
}  // namespace kez
