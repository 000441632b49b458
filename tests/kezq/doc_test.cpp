// The examples of the docs run as written: every fenced `console` block
// that a `<!-- doctest -->` line marks, in README.md and
// docs/query-language.md, runs its `$ ` commands (a trailing backslash
// continues a command) from a folder laid out as after `make demo`, with a
// fresh demo database, and prints the lines the block shows (standard
// output and error together, blanks at line ends aside). The manual page
// and the bash completion follow the help.
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "support/KezqRun.h"

namespace kez {
namespace test {
namespace {

struct Example {
  int line = 0;  // of the block's first command in the document
  std::string script, expected;
};

std::string TrimEnds(const std::string& text) {
  std::string trimmed;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) trimmed += line.erase(line.find_last_not_of(" \t\r") + 1) + "\n";
  return trimmed;
}

std::vector<Example> Examples(const std::string& document) {
  std::vector<Example> examples;
  std::istringstream in(document);
  bool marked = false, inside = false, continued = false;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!inside) {
      inside = marked && line.compare(0, 10, "```console") == 0;
      if (inside) examples.emplace_back();
      marked = TrimEnds(line) == "<!-- doctest -->\n";
    } else if (line.compare(0, 3, "```") == 0) {
      inside = false;
    } else if (continued || line.compare(0, 2, "$ ") == 0) {
      if (examples.back().line == 0) examples.back().line = number;
      examples.back().script += continued ? line + "\n" : line.substr(2) + "\n";
      continued = !line.empty() && line.back() == '\\';
    } else {
      examples.back().expected += TrimEnds(line);
    }
  }
  return examples;
}

class DocTest : public ::testing::TestWithParam<std::string> {};

TEST_P(DocTest, EveryMarkedExamplePrintsWhatTheDocumentShows) {
  ASSERT_TRUE(KezqBuilt());
  std::string path = std::string(KEZDCQR_TESTS_DIR) + "/../" + GetParam();
  std::vector<Example> examples = Examples(ReadFile(path));
  ASSERT_FALSE(examples.empty()) << path << " has no example marked <!-- doctest -->";
  for (const Example& example : examples) {
    // A folder laid out as the repository after `make demo`: the built kezq
    // and a fresh demo database.
    TempDir dir("kez_doc");
    for (const char* folder : {"build/tools/kezq", "build/demo"}) std::filesystem::create_directories(dir.File(folder));
    std::filesystem::create_symlink(KezqPath(), dir.File("build/tools/kezq/kezq"));
    BuildFixture(dir.File("build/demo/demo.db"), "../examples/demo/demo.sql");
    WriteFile(dir.File("example.sh"), example.script);
    std::system(("cd '" + dir.Path() + "' && sh example.sh >printed 2>&1").c_str());
    EXPECT_EQ(TrimEnds(ReadFile(dir.File("printed"))), example.expected) << GetParam() << ":" << example.line;
  }
}

INSTANTIATE_TEST_SUITE_P(Docs, DocTest, ::testing::Values("README.md", "docs/query-language.md"), [](const auto& info) {
  return std::string(info.param[0] == 'R' ? "Readme" : "QueryLanguage");
});

// The help, and the manual page that documents every option the help
// shows; the bash completion of options, output formats and catalog names.
TEST(KezqManualTest, EveryOptionOfTheHelpIsInTheManualPage) {
  ASSERT_TRUE(KezqBuilt());
  KezqResult help = RunKezq({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: kezq [options] [QUERY ...]\n", 0), 0u);
  EXPECT_NE(help.out.find("\nExamples:\n"), std::string::npos);
  EXPECT_EQ(RunKezq({"--version"}).out.compare(0, 5, "kezq "), 0);
  KezqResult traced = RunKezq({"-t", "TraceQuery=2", "Get(1)"});
  EXPECT_NE(traced.err.find("IN->> QrQuery::DoQuery <Get (1 [,])> \n"), std::string::npos) << traced.err;
  std::string manual = ReadFile(std::string(KEZDCQR_TESTS_DIR) + "/../tools/kezq/kezq.1");
  for (std::size_t at; (at = manual.find("\\-")) != std::string::npos;) manual.replace(at, 2, "-");
  std::set<std::string> options;
  std::regex option("(^|[ ,])(--?[a-z][a-z-]*)");
  for (std::sregex_iterator it(help.out.begin(), help.out.end(), option), end; it != end; ++it)
    options.insert((*it)[2]);
  ASSERT_GT(options.size(), 10u) << help.out;
  options.insert({"KEZ_TRACE", "KEZDCDB_CATALOG", "KEZDCDB_DATA_DIR", ".commit", "EXIT STATUS", "EXAMPLES"});
  for (const std::string& name : options) EXPECT_NE(manual.find(name), std::string::npos) << name;
}

TEST(KezqManualTest, BashCompletionCompletesOptionsFormatsAndCatalogNames) {
  TempDir dir;
  WriteFile(dir.File("catalog"), "sales = sqlite:/tmp/s.db\nsupport = memory:x   # a comment\n");
  // Completes the command line's last word; the words completed, one a line.
  auto complete = [&](const std::string& line) {
    WriteFile(dir.File("complete.sh"), "PATH='" + std::string(KEZDCQR_BINARY_DIR) + "/tools/kezq':$PATH; " +
                                           "KEZDCDB_CATALOG='" + dir.File("catalog") + "'; source '" +
                                           KEZDCQR_TESTS_DIR + "/../tools/kezq/kezq.bash-completion'; COMP_WORDS=(" +
                                           line + "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _kezq; " +
                                           "printf '%s\\n' \"${COMPREPLY[@]}\" > '" + dir.File("out") + "'");
    EXPECT_EQ(std::system(("bash '" + dir.File("complete.sh") + "'").c_str()), 0);
    return ReadFile(dir.File("out"));
  };
  EXPECT_EQ(complete("kezq -o c"), "csv\n");
  EXPECT_EQ(complete("kezq --kee"), "--keep-going\n");
  EXPECT_EQ(complete("kezq -s s"), "sales\nsupport\n");
  EXPECT_EQ(complete("kezq -r @sa"), "@sales\n");
}

}  // namespace
}  // namespace test
}  // namespace kez
