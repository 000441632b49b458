// The examples of the docs run as written: every fenced `console` block
// that a `<!-- doctest -->` line marks, in README.md and
// docs/query-language.md, runs its `$ ` commands (a trailing backslash
// continues a command) from a folder laid out as after `make demo`, with a
// fresh demo database, and prints the lines the block shows (standard
// output and error together, blanks at line ends aside).
#include <filesystem>
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
    std::filesystem::create_directories(dir.File("build/tools/kezq"));
    std::filesystem::create_directories(dir.File("build/demo"));
    std::filesystem::create_symlink(KezqPath(), dir.File("build/tools/kezq/kezq"));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dir.File("build/demo/demo.db").c_str(), &db), SQLITE_OK);
    std::string sql = ReadFile(std::string(KEZDCQR_TESTS_DIR) + "/../examples/demo/demo.sql");
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
    WriteFile(dir.File("example.sh"), example.script);
    std::system(("cd '" + dir.Path() + "' && sh example.sh >printed 2>&1").c_str());
    EXPECT_EQ(TrimEnds(ReadFile(dir.File("printed"))), example.expected) << GetParam() << ":" << example.line;
  }
}

INSTANTIATE_TEST_SUITE_P(Docs, DocTest, ::testing::Values("README.md", "docs/query-language.md"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return info.param == "README.md" ? std::string("Readme") : std::string("QueryLanguage");
                         });

}  // namespace
}  // namespace test
}  // namespace kez
