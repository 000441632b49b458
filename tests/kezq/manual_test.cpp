// The help, the manual page that documents every option the help shows,
// and the bash completion of options, output formats and catalog names.
#include <regex>
#include <set>

#include "support/KezqRun.h"

namespace kez {
namespace test {
namespace {

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
  for (const std::string& name : options) EXPECT_NE(manual.find(name), std::string::npos) << name;
  for (const char* word : {"KEZ_TRACE", "KEZDCDB_CATALOG", "KEZDCDB_DATA_DIR", ".commit", "EXIT STATUS", "EXAMPLES"})
    EXPECT_NE(manual.find(word), std::string::npos) << word;
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
