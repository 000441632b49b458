// What the case files cannot say of kezq's command line: inputs with NUL
// octets, a byte-order mark or "\r\n" line ends, CSV fields holding line
// ends, stops by a signal or a closed output, and the prompt on a terminal.
#include <algorithm>
#include <sstream>

#include "support/KezqRun.h"

namespace kez {
namespace test {
namespace {

class KezqCliTest : public ::testing::Test {
 protected:
  void SetUp() override { BuildFixture(fixture_); }
  KezqResult Run(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"-s", source_});
    return RunKezq(args, input);
  }
  TempDir dir_;
  std::string fixture_ = dir_.File("fixture.db"), source_ = "fx=sqlite:" + fixture_;
};

// A byte-order mark and "\r\n" line ends are not part of the queries; a line
// starting with a NUL octet is an empty query, made once and freed at the
// end, alone and run once per row.
TEST_F(KezqCliTest, RunsPrintAndStopAsTheCommandLineSays) {
  const std::string empty = "<stdin>:1: ERROR in QrQuery::QrQuery: EMPTY QUERY \n";
  KezqResult r = Run({"-f", "-"}, "\xEF\xBB\xBFGet(1)\r\nGet(2)");
  EXPECT_EQ(r.out + r.err + std::to_string(r.status), "1\n2\n0");
  r = Run({"-k"}, std::string("\0Get(1)\nGet(2)\n", 15));
  EXPECT_EQ(r.out + r.err + std::to_string(r.status), "2\n" + empty + "1");
  r = Run({"-k", "-r", "@fx:main:t:{*}:2", "-o", "csv"}, std::string("\0Get(1)\nGet(@fx:main:t:{*}:2:item)\n", 35));
  EXPECT_EQ(r.out + r.err + std::to_string(r.status), "item\napple\npear\nplum\nfig\nquince\n" + empty + "1");
}

// A CSV field holding a line end, a carriage return or a quote is quoted,
// its quotes doubled, in single values and in the records of a walk alike.
TEST_F(KezqCliTest, CsvQuotesFieldsWithLineEndsAndQuotes) {
  std::vector<std::string> args = {"-o", "csv", "Get(\"a\nb\")", "Get(\"c\rd\")", "Get(\"say \\\"hi\\\"\")"};
  EXPECT_EQ(Run(args).out, "\"a\nb\"\n\"c\rd\"\n\"say \"\"hi\"\"\"\n");
  args.insert(args.begin(), {"-r", "@fx:main:t:{*}:2", "-n", "1"});
  EXPECT_EQ(Run(args).out,
            "\"\"\"a\nb\"\"\",\"\"\"c\rd\"\"\",\"\"\"say \\\"\"hi\\\"\"\"\"\"\n\"a\nb\",\"c\rd\",\"say \"\"hi\"\"\"\n");
  // TSV escapes them instead; JSON writes control characters as \u escapes.
  args = {"-o", "tsv", "Get(\"a\tb\nc\rd\\e\")"};
  EXPECT_EQ(Run(args).out, "a\\tb\\nc\\rd\\\\e\n");
  args[1] = "json";
  EXPECT_EQ(Run(args).out, "{\"\\\"a\\u0009b\\u000ac\\u000dd\\\\e\\\"\": \"a\\u0009b\\u000ac\\u000dd\\\\e\"}\n");
}

// Rows of a batch still open when kezq is stopped by a signal, or finds its
// output closed, are committed before it exits, and it says how many. A
// line runs as soon as it is read: "ready" prints while the input is open.
class KezqStopTest : public KezqCliTest {
 protected:
  static std::string Inserts(int first, int count) {
    std::string lines;
    for (int k = first; k < first + count; ++k)
      lines += "Put(" + std::to_string(k) + ", @fx:main:ins:{id}:1:id)\nPut(@fx:main:ins:{id}:1)\n";
    return lines;
  }
  std::string Rows() { return Run({"--view", "n=SELECT count(*) AS n FROM ins", "Get(@fx:main:n:{*}:1:n)"}).out; }
  std::string batch_ = source_ + "?batch=1000";
};

TEST_F(KezqStopTest, SignalsCommitTheOpenBatchAndExitWith128PlusTheSignal) {
  int first = 1;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    KezqProcess kezq({"-s", batch_, "-f", "-"}, dir_.File("err"));
    kezq.Write(Inserts(first, 7) + "Get(\"ready\")\n");
    first += 7;
    EXPECT_EQ(kezq.ReadUntil("ready\n"), "ready\n");
    kezq.Signal(signal);  // while kezq waits for the next line
    EXPECT_EQ(kezq.Wait(), 128 + signal);
    const char* name = signal == SIGTERM ? "SIGTERM" : signal == SIGINT ? "SIGINT" : "SIGHUP";
    EXPECT_EQ(kezq.Err(), std::string("kezq: stopped by ") + name + "; 7 rows inserted, all committed\n");
    EXPECT_EQ(Rows(), std::to_string(first - 1) + "\n");
  }
}

TEST_F(KezqStopTest, AClosedOutputStopsTheScriptAndCommitsWhatItInserted) {
  WriteFile(dir_.File("ins.kq"), Inserts(1, 3) + "Get(1)\n" + Inserts(4, 3));
  KezqProcess kezq({"-s", batch_, "-f", dir_.File("ins.kq")}, dir_.File("err"), true);
  EXPECT_EQ(kezq.Wait(), 128 + SIGPIPE);
  EXPECT_EQ(kezq.Err(), "kezq: stopped: cannot write the output (Broken pipe); 3 rows inserted, all committed\n");
  EXPECT_EQ(Rows(), "3\n");
}

// kezq's prompt on a pseudo-terminal: queries and dot-commands. Over
// batch=10, rows reach the file (seen through a second connection) at
// .commit, at Free of the data block and at .delete of the put.
TEST_F(KezqCliTest, PromptRunsQueriesAndDotCommandsThatCommitTheOpenBatch) {
  const std::string block = "@w:main:copy:{item+amount}:1";
  // Puts a row into the batch; then a mark, after what the reader sees.
  auto put = [&](std::string item) { return "Put(\"" + item + "\"," + block + ":item)\nPut(" + block + ")\n"; };
  auto seen = [](std::string s, std::string mark) {
    return ".rows @r:" + s + ":copy:{*}:5 0\nGet(\"" + mark + "\")\n";
  };
  KezqProcess kezq(
      {"-s", "fx=sqlite:" + fixture_, "-s", "w=sqlite:" + fixture_ + "?batch=10", "-s", "r=sqlite:" + fixture_}, "");
  std::istringstream lines(put("fig1") + seen("s1", "=A=") + ".commit\n" + seen("s2", "=B=") + put("fig2") + "Free(" +
                           block + ")\n" + seen("s3", "=C=") + put("fig3") + ".delete Put(" + block + ")\n" +
                           seen("s4", "=D=") +
                           "Get(40+2)\n.rows @fx:main:t:{*}:2 2\n.sources\nget(1)\n.errors\n.trace NoSuch 2\n"
                           ".tables fx\n.columns fx t\n.help\n.quit\n");
  for (std::string line; std::getline(lines, line);) kezq.ReadUntil("kezq> "), kezq.Write(line + "\n");
  std::string screen = kezq.ReadUntil("\x01");  // to the end of the output
  EXPECT_LT(kezq.Wait(), 124) << screen;        // it exited, on no signal
  std::size_t at[] = {0, screen.find("=A="), screen.find("=B="), screen.find("=C="), screen.find("=D=")};
  ASSERT_EQ(std::count(at, at + 5, std::string::npos), 0) << screen;
  EXPECT_EQ(screen.substr(0, at[1]).find("fig1 "), std::string::npos) << screen;
  for (int k = 1; k <= 3; ++k)  // figK is seen between the marks of the reader after its commit
    EXPECT_NE(screen.substr(at[k], at[k + 1] - at[k]).find("fig" + std::to_string(k)), std::string::npos) << screen;
  for (const std::string& text : std::vector<std::string>{
           "42", "apple", "pear", "fx = sqlite:" + fixture_, "ERROR: UNKNOWN FUNCTION FOR CONSTANT !",
           ".trace: no channel named NoSuch", "names", "amount\tint\t80", ".columns SOURCE TABLE", ".quit"})
    EXPECT_NE(screen.find(text, at[4]), std::string::npos) << text << " in:\n" << screen;
  EXPECT_EQ(screen.find("plum"), std::string::npos) << screen;  // two rows only
}

}  // namespace
}  // namespace test
}  // namespace kez
