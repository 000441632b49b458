// The examples of the docs run as written: every fenced `console` block
// that a `<!-- doctest -->` line marks, in README.md and
// docs/query-language.md, runs its `$ ` commands (a trailing backslash
// continues a command) from a folder laid out as after `make demo`, with a
// fresh demo database, and prints the lines the block shows (standard
// output and error together, blanks at line ends aside).
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "support/KezqRun.h"

namespace kez {
namespace test {
namespace {

struct Example {
  int line = 0;  // of the block's first command in the document
  std::vector<std::string> commands;
  std::string expected;
};

std::string TrimEnd(const std::string& text) {
  std::size_t end = text.find_last_not_of(" \t\r");
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::vector<Example> Examples(const std::string& document) {
  std::vector<Example> examples;
  std::istringstream in(document);
  bool marked = false;
  bool inside = false;
  bool continued = false;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!inside) {
      if (marked && line.compare(0, 10, "```console") == 0) {
        inside = true;
        examples.emplace_back();
      }
      marked = TrimEnd(line) == "<!-- doctest -->";
      continue;
    }
    if (line.compare(0, 3, "```") == 0) {
      inside = false;
    } else if (continued) {
      examples.back().commands.back() += "\n" + line;
      continued = !line.empty() && line.back() == '\\';
    } else if (line.compare(0, 2, "$ ") == 0) {
      if (examples.back().commands.empty()) examples.back().line = number;
      examples.back().commands.push_back(line.substr(2));
      continued = !line.empty() && line.back() == '\\';
    } else {
      examples.back().expected += TrimEnd(line) + "\n";
    }
  }
  return examples;
}

// Standard output and error of a shell command run in folder.
std::string Output(const std::string& folder, const std::string& command) {
  std::string full = "cd '" + folder + "' && { " + command + "\n} 2>&1";
  std::FILE* pipe = popen(full.c_str(), "r");
  std::string out;
  char buffer[4096];
  for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  if (pipe) pclose(pipe);
  std::string trimmed;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) trimmed += TrimEnd(line) + "\n";
  return trimmed;
}

// A folder laid out as the repository after `make demo`: the built kezq and
// a fresh demo database.
void LayOut(const TempDir& dir) {
  std::filesystem::create_directories(dir.File("build/tools/kezq"));
  std::filesystem::create_directories(dir.File("build/demo"));
  std::filesystem::create_symlink(KezqPath(), dir.File("build/tools/kezq/kezq"));
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(dir.File("build/demo/demo.db").c_str(), &db), SQLITE_OK);
  std::string sql = ReadFile(std::string(KEZDCQR_TESTS_DIR) + "/../examples/demo/demo.sql");
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

class DocTest : public ::testing::TestWithParam<std::string> {};

TEST_P(DocTest, EveryMarkedExamplePrintsWhatTheDocumentShows) {
  ASSERT_TRUE(KezqBuilt());
  std::string path = std::string(KEZDCQR_TESTS_DIR) + "/../" + GetParam();
  std::vector<Example> examples = Examples(ReadFile(path));
  ASSERT_FALSE(examples.empty()) << path << " has no example marked <!-- doctest -->";
  for (const Example& example : examples) {
    TempDir dir("kez_doc");
    LayOut(dir);
    std::string printed;
    for (const std::string& command : example.commands) printed += Output(dir.Path(), command);
    EXPECT_EQ(printed, example.expected) << GetParam() << ":" << example.line;
  }
}

INSTANTIATE_TEST_SUITE_P(Docs, DocTest, ::testing::Values("README.md", "docs/query-language.md"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return info.param == "README.md" ? std::string("Readme") : std::string("QueryLanguage");
                         });

}  // namespace
}  // namespace test
}  // namespace kez
