// The command line of kezq: exit statuses, where errors are said to come
// from, query files and standard input, and the --rows walk in each format.
#include "kezq/KezqRun.h"

namespace kez {
namespace test {
namespace {

class KezqCliTest : public ::testing::Test {
 protected:
  void SetUp() override { BuildFixture(fixture_); }
  TempDir dir_;
  std::string fixture_ = dir_.File("fixture.db");
  std::string source_ = "fx=sqlite:" + fixture_;
};

TEST_F(KezqCliTest, RunsPrintAndStopAsTheCommandLineSays) {
  const std::string file = dir_.File("q.kq"), catalog = dir_.File("catalog"), missing = dir_.File("missing");
  const std::string cell = "@fx:main:t:{*}:2:item";
  WriteFile(file, "-- a comment\n\nGet(40+2)\n  -- indented comment\nget(1)\n");
  WriteFile(catalog, "# data sources\nshop = sqlite:" + fixture_ + "\n");
  const std::string usage = " (try kezq --help)\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out, err = "", input = "";
  } cases[] = {
      // Get prints values by type; other functions print nothing.
      {{"Get(1+2)", "Get(7/2)", "Put(\"a b\",$v)", "Get($v)", "Get(0.1+0.2)"}, 0, "3\n3.5\na b\n0.30000000000000004\n"},
      // The first error stops the run, unless -k keeps going.
      {{"Get(1)", "Get(-)", "Get(2)"}, 1, "1\n0\n", "argument 2: ERROR: '-' sign alone means nothing !\n"},
      {{"-k", "Get(1)", "Get(-)", "Get(2)"}, 1, "1\n0\n2\n", "argument 2: ERROR: '-' sign alone means nothing !\n"},
      // A query file skips blank and comment lines; errors name its file and line.
      {{"-f", file}, 1, "42\n", file + ":5: ERROR: UNKNOWN FUNCTION FOR CONSTANT ! \n"},
      // Queries come from standard input when none is given, or with -f -.
      {{}, 0, "42\nok\n", "", "Get(2*21)\nGet(\"ok\")\n"},
      {{"-f", "-"}, 0, "1\n", "", "Get(1)\n"},
      {{"-c", catalog, "Get(@shop:main:t:{*}:2:item)"}, 0, "apple\n"},
      {{"-s", source_, "-r", cell, "Get(1)"}, 1, "", "--rows: <" + cell + "> does not name a data block\n"},
      // Usage errors exit with 2 and a one-line hint.
      {{"--frobnicate"}, 2, "", "kezq: unknown option '--frobnicate'" + usage},
      {{"-o", "xml", "Get(1)"}, 2, "", "kezq: --format is table, csv, tsv or json, not 'xml'" + usage},
      {{"-s", "noequals"}, 2, "", "kezq: --source wants NAME=URI, not 'noequals'" + usage},
      {{"-n", "-3", "Get(1)"}, 2, "", "kezq: --limit wants a number, not '-3'" + usage},
      {{"-f"}, 2, "", "kezq: option '-f' wants a value" + usage},
      {{"-f", missing}, 2, "", "kezq: cannot read query file '" + missing + "'" + usage},
      {{"-t", "NoSuchChannel=2", "Get(1)"},
       2,
       "",
       "kezq: no trace channel named 'NoSuchChannel' (TraceQResult, TraceQuery or *)" + usage},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    KezqResult r = RunKezq(c.args, c.input);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
}

TEST_F(KezqCliTest, HelpVersionAndTraceChannels) {
  KezqResult r = RunKezq({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Usage: kezq [options] [QUERY ...]"), std::string::npos);
  r = RunKezq({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.compare(0, 5, "kezq "), 0);
  r = RunKezq({"-t", "TraceQuery=2", "Get(1)"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("IN->> QrQuery::DoQuery <Get (1 [,])> \n"), std::string::npos) << r.err;
}

// An empty field (NULL reads as the empty text) is a complete number for a
// cell, so its value is the double 0. A CSV field holding a comma is quoted.
TEST_F(KezqCliTest, RowsRunTheQueriesOncePerRowInEveryFormat) {
  std::string block = "@fx:main:t:{*}:2";
  std::vector<std::string> args = {"-s",
                                   source_,
                                   "-r",
                                   block,
                                   "Get(" + block + ":item)",
                                   "Get(" + block + ":amount * 2)",
                                   "Get(" + block + ":note)"};
  KezqResult r = RunKezq(args);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "item   | " + block +
                       ":amount * 2 | note\n"
                       "------ | " +
                       std::string(block.size() + 11, '-') +
                       " | -------\n"
                       "apple  | 6" +
                       std::string(block.size() + 10, ' ') +
                       " | red\n"
                       "pear   | 14" +
                       std::string(block.size() + 9, ' ') +
                       " | 0\n"
                       "plum   | -4" +
                       std::string(block.size() + 9, ' ') +
                       " | 12.5 kg\n"
                       "fig    | 0" +
                       std::string(block.size() + 10, ' ') +
                       " | 0\n"
                       "quince | 22" +
                       std::string(block.size() + 9, ' ') + " | x,y\n");

  args.insert(args.begin(), {"-o", "csv"});
  EXPECT_EQ(
      RunKezq(args).out,
      "item," + block + ":amount * 2,note\napple,6,red\npear,14,0\nplum,-4,12.5 kg\nfig,0,0\nquince,22,\"x,y\"\n");
  args[1] = "tsv";
  args.insert(args.begin() + 2, {"-n", "3"});
  EXPECT_EQ(RunKezq(args).out, "item\t" + block + ":amount * 2\tnote\napple\t6\tred\npear\t14\t0\nplum\t-4\t12.5 kg\n");
  args[1] = "json";
  args[3] = "1";
  EXPECT_EQ(RunKezq(args).out, "{\"item\": \"apple\", \"" + block + ":amount * 2\": 6, \"note\": \"red\"}\n");
}

TEST_F(KezqCliTest, RowsCopyATableThroughCellPutsAndTheBlockPut) {
  std::string from = "@fx:main:t:{*}:2", to = "@fx:main:copy:{item+amount}:1";
  KezqResult r = RunKezq({"-s", source_, "-r", from, "Put(" + from + ":item," + to + ":item)",
                          "Put(" + from + ":amount," + to + ":amount)", "Put(" + to + ")"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  r = RunKezq({"-s", source_, "-o", "csv", "-r", "@fx:main:copy:{*}:10", "Get(@fx:main:copy:{*}:10:item)",
               "Get(@fx:main:copy:{*}:10:amount)"});
  EXPECT_EQ(r.out, "item,amount\napple,3\npear,7\nplum,-2\nfig,0\nquince,11\n");
}

}  // namespace
}  // namespace test
}  // namespace kez
