// The manual page documents every option that `kezq --help` shows, and the
// bash completion completes options, output formats and the data-source
// names of the catalog.
#include <regex>
#include <set>

#include "support/KezqRun.h"

namespace kez {
namespace test {
namespace {

TEST(KezqManualTest, EveryOptionOfTheHelpIsInTheManualPage) {
  ASSERT_TRUE(KezqBuilt());
  std::string help = RunKezq({"--help"}).out;
  std::string manual = ReadFile(std::string(KEZDCQR_TESTS_DIR) + "/../tools/kezq/kezq.1");
  for (std::size_t at; (at = manual.find("\\-")) != std::string::npos;) manual.replace(at, 2, "-");
  std::set<std::string> options;
  std::regex option("(^|[ ,])(--?[a-z][a-z-]*)");
  for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it) options.insert((*it)[2]);
  ASSERT_GT(options.size(), 10u) << help;
  for (const std::string& name : options) EXPECT_NE(manual.find(name), std::string::npos) << name;
  for (const char* word : {"KEZ_TRACE", "KEZDCDB_CATALOG", "KEZDCDB_DATA_DIR", ".commit", "EXIT STATUS", "EXAMPLES"}) {
    EXPECT_NE(manual.find(word), std::string::npos) << word;
  }
}

// Completes COMMAND LINE's last word; the words completed, one per line.
std::string Complete(const TempDir& dir, const std::string& line) {
  std::string script = "PATH='" + std::string(KEZDCQR_BINARY_DIR) + "/tools/kezq':$PATH; KEZDCDB_CATALOG='" +
                       dir.File("catalog") + "'; source '" + KEZDCQR_TESTS_DIR +
                       "/../tools/kezq/kezq.bash-completion'; COMP_WORDS=(" + line +
                       "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _kezq; printf '%s\\n' \"${COMPREPLY[@]}\"";
  WriteFile(dir.File("complete.sh"), script);
  std::string out;
  std::FILE* pipe = popen(("bash '" + dir.File("complete.sh") + "'").c_str(), "r");
  char buffer[1024];
  for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  if (pipe) pclose(pipe);
  return out;
}

TEST(KezqManualTest, BashCompletionCompletesOptionsFormatsAndCatalogNames) {
  ASSERT_TRUE(KezqBuilt());
  TempDir dir;
  WriteFile(dir.File("catalog"), "sales = sqlite:/tmp/s.db\nsupport = memory:x   # a comment\n");
  EXPECT_EQ(Complete(dir, "kezq -o c"), "csv\n");
  EXPECT_EQ(Complete(dir, "kezq --kee"), "--keep-going\n");
  EXPECT_EQ(Complete(dir, "kezq -s s"), "sales\nsupport\n");
  EXPECT_EQ(Complete(dir, "kezq -r @sa"), "@sales\n");
}

}  // namespace
}  // namespace test
}  // namespace kez
