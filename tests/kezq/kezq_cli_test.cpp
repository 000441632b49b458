// What the case files cannot say of kezq's command line: inputs with NUL
// octets or without line ends, folders, CSV fields holding line ends,
// lines that run while their producer writes, and stops by a signal or a
// closed output.
#include "support/KezqRun.h"

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
  const std::string folder = dir_.Path(), usage = " (try kezq --help)\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out, err, input = "";
  } cases[] = {
      // A byte-order mark before the first query and "\r\n" line ends are
      // not part of the queries.
      {{"-f", "-"}, 0, "1\n2\n", "", "\xEF\xBB\xBFGet(1)\r\nGet(2)"},
      // A line starting with a NUL octet is an empty query, made once and
      // freed at the end, alone and run once per row.
      {{"-k"}, 1, "2\n", "<stdin>:1: ERROR in QrQuery::QrQuery: EMPTY QUERY \n", std::string("\0Get(1)\nGet(2)\n", 15)},
      {{"-k", "-s", source_, "-r", "@fx:main:t:{*}:2", "-o", "csv"},
       1,
       "item\napple\npear\nplum\nfig\nquince\n",
       "<stdin>:1: ERROR in QrQuery::QrQuery: EMPTY QUERY \n",
       std::string("\0Get(1)\nGet(@fx:main:t:{*}:2:item)\n", 35)},
      // Inputs without line ends, and folders, are refused, not read whole.
      {{"-f", "/dev/zero", "Get(1)"},
       1,
       "",
       "/dev/zero:1: the line is longer than 4194304 octets: the rest of /dev/zero is not read\n"},
      {{"-f", folder}, 1, "", "kezq: cannot read query file '" + folder + "': Is a directory\n"},
      {{"-c", "/dev/zero", "Get(1)"},
       2,
       "",
       "configuration: ERROR: data-source catalog /dev/zero:1: the line is longer than 65536 octets \n"
       "kezq: cannot read catalog '/dev/zero'" +
           usage},
      {{"-c", folder, "Get(1)"},
       2,
       "",
       "configuration: ERROR: cannot read data-source catalog <" + folder + ">: Is a directory \n" +
           "kezq: cannot read catalog '" + folder + "'" + usage},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    KezqResult r = RunKezq(c.args, c.input);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
  KezqResult r = RunKezq({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Usage: kezq [options] [QUERY ...]"), std::string::npos);
  EXPECT_NE(r.out.find("Examples:"), std::string::npos);
  EXPECT_EQ(RunKezq({"--version"}).out.compare(0, 5, "kezq "), 0);
  r = RunKezq({"-t", "TraceQuery=2", "Get(1)"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("IN->> QrQuery::DoQuery <Get (1 [,])> \n"), std::string::npos) << r.err;
}

// A CSV field holding a line end, a carriage return or a quote is quoted,
// its quotes doubled, in single values and in the records of a walk alike.
TEST_F(KezqCliTest, CsvQuotesFieldsWithLineEndsAndQuotes) {
  std::vector<std::string> args = {"-o", "csv", "Get(\"a\nb\")", "Get(\"c\rd\")", "Get(\"say \\\"hi\\\"\")"};
  EXPECT_EQ(RunKezq(args).out, "\"a\nb\"\n\"c\rd\"\n\"say \"\"hi\"\"\"\n");
  args.insert(args.begin(), {"-s", source_, "-r", "@fx:main:t:{*}:2", "-n", "1"});
  const std::string out = RunKezq(args).out;
  EXPECT_NE(out.find("\n\"a\nb\",\"c\rd\",\"say \"\"hi\"\"\"\n"), std::string::npos) << out;
}

// A line runs as soon as it is read: a producer that has not finished yet
// sees the values of the lines it wrote.
TEST_F(KezqCliTest, LinesFromAPipeRunBeforeTheInputEnds) {
  KezqProcess kezq({"-f", "-"}, dir_.File("err"));
  ASSERT_TRUE(kezq.Started());
  kezq.Write("Put(20, $v)\nGet($v + 1)\n");
  EXPECT_EQ(kezq.ReadUntil("21\n"), "21\n");
  kezq.Write("Get($v * 2)\n");
  EXPECT_EQ(kezq.ReadUntil("40\n"), "21\n40\n");
  kezq.CloseInput();
  EXPECT_EQ(kezq.Wait(), 0);
  EXPECT_EQ(kezq.Err(), "");
}

// Rows of a batch still open when kezq is stopped by a signal, or finds its
// output closed, are committed before it exits, and it says how many.
class KezqStopTest : public KezqCliTest {
 protected:
  static std::string Inserts(int first, int count) {
    std::string lines;
    for (int k = first; k < first + count; ++k)
      lines += "Put(" + std::to_string(k) + ", @fx:main:ins:{id}:1:id)\nPut(@fx:main:ins:{id}:1)\n";
    return lines;
  }
  std::string Rows() {
    return RunKezq({"-s", source_, "--view", "n=SELECT count(*) AS n FROM ins", "Get(@fx:main:n:{*}:1:n)"}).out;
  }
  std::string batch_ = "fx=sqlite:" + fixture_ + "?batch=1000";
};

TEST_F(KezqStopTest, SignalsCommitTheOpenBatchAndExitWith128PlusTheSignal) {
  const struct {
    int signal;
    const char* name;
  } signals[] = {{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}};
  int first = 1;
  for (const auto& s : signals) {
    SCOPED_TRACE(s.name);
    KezqProcess kezq({"-s", batch_, "-f", "-"}, dir_.File("err"));
    ASSERT_TRUE(kezq.Started());
    kezq.Write(Inserts(first, 7) + "Get(\"ready\")\n");
    first += 7;
    EXPECT_EQ(kezq.ReadUntil("ready\n"), "ready\n");
    kezq.Signal(s.signal);  // while kezq waits for the next line
    EXPECT_EQ(kezq.Wait(), 128 + s.signal);
    EXPECT_EQ(kezq.Err(), std::string("kezq: stopped by ") + s.name + "; 7 rows inserted, all committed\n");
    EXPECT_EQ(Rows(), std::to_string(first - 1) + "\n");
  }
}

TEST_F(KezqStopTest, AClosedOutputStopsTheScriptAndCommitsWhatItInserted) {
  WriteFile(dir_.File("ins.kq"), Inserts(1, 3) + "Get(1)\n" + Inserts(4, 3));
  KezqProcess kezq({"-s", batch_, "-f", dir_.File("ins.kq")}, dir_.File("err"), true);
  ASSERT_TRUE(kezq.Started());
  EXPECT_EQ(kezq.Wait(), 128 + SIGPIPE);
  EXPECT_EQ(kezq.Err(), "kezq: stopped: cannot write the output (Broken pipe); 3 rows inserted, all committed\n");
  EXPECT_EQ(Rows(), "3\n");
}

}  // namespace
}  // namespace test
}  // namespace kez
