// The command line of kezq: exit statuses, where errors are said to come
// from, query files and standard input, and the --rows walk in each format.
#include <gtest/gtest.h>

#include "kezq/KezqRun.h"

namespace {

using kez::test::KezqResult;
using kez::test::RunKezq;

class KezqCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fixture_ = dir_.File("fixture.db");
    kez::test::BuildFixture(fixture_);
    source_ = "fx=sqlite:" + fixture_;
  }
  kez::test::TempDir dir_;
  std::string fixture_;
  std::string source_;
};

TEST_F(KezqCliTest, GetPrintsValuesByTypeAndOtherFunctionsPrintNothing) {
  KezqResult r = RunKezq({"Get(1+2)", "Get(7/2)", "Put(\"a b\",$v)", "Get($v)", "Get(0.1+0.2)"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "3\n3.5\na b\n0.30000000000000004\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(KezqCliTest, FirstErrorStopsTheRunUnlessKeepGoing) {
  KezqResult r = RunKezq({"Get(1)", "Get(-)", "Get(2)"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "1\n0\n");
  EXPECT_EQ(r.err, "argument 2: ERROR: '-' sign alone means nothing !\n");

  r = RunKezq({"-k", "Get(1)", "Get(-)", "Get(2)"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "1\n0\n2\n");
}

TEST_F(KezqCliTest, QueryFileSkipsBlankAndCommentLinesAndNamesFileAndLine) {
  std::string file = dir_.File("q.kq");
  kez::test::WriteFile(file, "-- a comment\n\nGet(40+2)\n  -- indented comment\nget(1)\n");
  KezqResult r = RunKezq({"-f", file});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "42\n");
  EXPECT_EQ(r.err, file + ":5: ERROR: UNKNOWN FUNCTION FOR CONSTANT ! \n");
}

TEST_F(KezqCliTest, QueriesComeFromStandardInputWhenNoneIsGiven) {
  KezqResult r = RunKezq({}, "Get(2*21)\nGet(\"ok\")\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "42\nok\n");
  r = RunKezq({"-f", "-"}, "Get(1)\n");
  EXPECT_EQ(r.out, "1\n");
}

TEST_F(KezqCliTest, UsageErrorsExitWithTwoAndAOneLineHint) {
  KezqResult r = RunKezq({"--frobnicate"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "kezq: unknown option '--frobnicate' (try kezq --help)\n");
  EXPECT_EQ(RunKezq({"-o", "xml", "Get(1)"}).err,
            "kezq: --format is table, csv, tsv or json, not 'xml' (try kezq --help)\n");
  EXPECT_EQ(RunKezq({"-s", "noequals"}).status, 2);
  EXPECT_EQ(RunKezq({"-n", "-3", "Get(1)"}).status, 2);
  EXPECT_EQ(RunKezq({"-f"}).err, "kezq: option '-f' wants a value (try kezq --help)\n");
  EXPECT_EQ(RunKezq({"-f", dir_.File("missing")}).status, 2);
  EXPECT_EQ(RunKezq({"-t", "NoSuchChannel=2", "Get(1)"}).status, 2);
}

TEST_F(KezqCliTest, HelpAndVersion) {
  KezqResult r = RunKezq({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Usage: kezq [options] [QUERY ...]"), std::string::npos);
  r = RunKezq({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.compare(0, 5, "kezq "), 0);
}

// An empty field (NULL reads as the empty text) is a complete number for a
// cell, so its value is the double 0.
TEST_F(KezqCliTest, RowsRunTheQueriesOncePerRowInEveryFormat) {
  std::string block = "@fx:main:t:{*}:2";
  std::vector<std::string> args = {"-s", source_, "-r", block, "Get(" + block + ":item)",
                                   "Get(" + block + ":amount * 2)", "Get(" + block + ":note)"};
  KezqResult r = RunKezq(args);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "item   | " + block + ":amount * 2 | note\n"
            "------ | " + std::string(block.size() + 11, '-') + " | -------\n"
            "apple  | 6" + std::string(block.size() + 10, ' ') + " | red\n"
            "pear   | 14" + std::string(block.size() + 9, ' ') + " | 0\n"
            "plum   | -4" + std::string(block.size() + 9, ' ') + " | 12.5 kg\n"
            "fig    | 0" + std::string(block.size() + 10, ' ') + " | 0\n"
            "quince | 22" + std::string(block.size() + 9, ' ') + " | x,y\n");

  args.insert(args.begin(), {"-o", "csv", "-n", "3"});
  EXPECT_EQ(RunKezq(args).out, "item," + block + ":amount * 2,note\napple,6,red\npear,14,0\nplum,-4,12.5 kg\n");
  args[1] = "tsv";
  EXPECT_EQ(RunKezq(args).out, "item\t" + block + ":amount * 2\tnote\napple\t6\tred\npear\t14\t0\nplum\t-4\t12.5 kg\n");
  args[1] = "json";
  args[3] = "1";
  EXPECT_EQ(RunKezq(args).out, "{\"item\": \"apple\", \"" + block + ":amount * 2\": 6, \"note\": \"red\"}\n");
}

TEST_F(KezqCliTest, CsvQuotesFieldsThatNeedIt) {
  std::string block = "@fx:main:t:{*}:5";
  KezqResult r = RunKezq({"-s", source_, "-o", "csv", "-r", block, "Get(" + block + ":note)", "Get(\"say \"\"hi\"\"\")"});
  EXPECT_EQ(r.out.substr(0, 5), "note,");
  EXPECT_NE(r.out.find("\"x,y\""), std::string::npos) << r.out;
}

TEST_F(KezqCliTest, RowsRefusesAPathThatIsNoDataBlock) {
  KezqResult r = RunKezq({"-s", source_, "-r", "@fx:main:t:{*}:2:item", "Get(1)"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "--rows: <@fx:main:t:{*}:2:item> does not name a data block\n");
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

TEST_F(KezqCliTest, CatalogFileNamesTheDataSources) {
  std::string catalog = dir_.File("catalog");
  kez::test::WriteFile(catalog, "# data sources\nshop = sqlite:" + fixture_ + "\n");
  KezqResult r = RunKezq({"-c", catalog, "Get(@shop:main:t:{*}:2:item)"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "apple\n");
}

TEST_F(KezqCliTest, TraceOptionWritesTheChannelsLines) {
  KezqResult r = RunKezq({"-t", "TraceQuery=2", "Get(1)"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("IN->> QrQuery::DoQuery <Get (1 [,])> \n"), std::string::npos) << r.err;
}

}  // namespace
