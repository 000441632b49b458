// The command line of kezq: exit statuses, where errors are said to come
// from, query files and standard input, and the --rows walk in each format.
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
  const std::string file = dir_.File("q.kq"), catalog = dir_.File("catalog"), missing = dir_.File("missing");
  const std::string bom = dir_.File("bom.kq"), folder = dir_.Path();
  const std::string cell = "@fx:main:t:{*}:2:item";
  WriteFile(file, "-- a comment\n\nGet(40+2)\n  -- indented comment\nget(1)\n");
  WriteFile(bom, "\xEF\xBB\xBFGet(1)\r\nGet(2)");
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
      // A byte-order mark before the first query and "\r\n" line ends are
      // not part of the queries; a line starting with a NUL octet is empty.
      {{"-f", bom}, 0, "1\n2\n"},
      {{"-k"}, 1, "2\n", "<stdin>:1: ERROR in QrQuery::QrQuery: EMPTY QUERY \n", std::string("\0Get(1)\nGet(2)\n", 15)},
      // Run once per row, the empty query is made once and freed at the end.
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

// Discovery lists tables and columns; a session view is walked like a table
// and leaves the database file's schema as it was.
TEST_F(KezqCliTest, TablesColumnsAndSessionViews) {
  const std::string before = RunKezq({"-s", source_, "--tables", "fx"}).out;
  EXPECT_EQ(before, "copy\ncut\nnames\nodd\nsink\nt\n");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out, err = "";
  } cases[] = {
      {{"-s", source_, "--columns", "fx:t"},
       0,
       "item\tstring\t8\namount\tint\t80\nprice\tdouble\t80\nnote\tstring\t255\n"},
      {{"-s", source_, "--view", "top=SELECT item, amount FROM t ORDER BY amount DESC LIMIT 2", "-r",
        "@fx:main:top:{*}:5", "-o", "csv", "Get(@fx:main:top:{*}:5:item)"},
       0,
       "item\nquince\npear\n"},
      {{"-s", source_, "--view", "fx:top=SELECT item FROM t WHERE amount > 5", "--tables", "fx", "--columns", "fx:top"},
       0,
       "copy\ncut\nnames\nodd\nsink\nt\ntop\nitem\tstring\t8\n"},
      {{"-s", source_, "--columns", "fx:nowhere"},
       1,
       "",
       "--columns fx:nowhere: ERROR: sqlite cannot open rowset <nowhere> of <" + fixture_ +
           ">: no such table: nowhere (code 1) \n"},
      {{"--tables", "nobody"}, 1, "", "--tables nobody: ERROR: Impossible to load DataSource @nobody \n"},
      {{"--columns", "fx"}, 2, "", "kezq: --columns wants SOURCE:TABLE, not 'fx' (try kezq --help)\n"},
      {{"--view", "top"}, 2, "", "kezq: --view wants NAME=SELECT..., not 'top' (try kezq --help)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    KezqResult r = RunKezq(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
  EXPECT_EQ(RunKezq({"-s", source_, "--tables", "fx"}).out, before);
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

// A CSV field holding a line end, a carriage return or a quote is quoted,
// its quotes doubled, in single values and in the records of a walk alike.
TEST_F(KezqCliTest, CsvQuotesFieldsWithLineEndsAndQuotes) {
  const std::vector<std::string> values = {"Get(\"a\nb\")", "Get(\"c\rd\")", "Get(\"say \\\"hi\\\"\")"};
  std::vector<std::string> args = {"-o", "csv"};
  args.insert(args.end(), values.begin(), values.end());
  EXPECT_EQ(RunKezq(args).out, "\"a\nb\"\n\"c\rd\"\n\"say \"\"hi\"\"\"\n");
  args.insert(args.begin(), {"-s", source_, "-r", "@fx:main:t:{*}:2", "-n", "1"});
  const std::string out = RunKezq(args).out;
  EXPECT_NE(out.find("\n\"a\nb\",\"c\rd\",\"say \"\"hi\"\"\"\n"), std::string::npos) << out;
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
  void SetUp() override {
    KezqCliTest::SetUp();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(fixture_.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE ins(id INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  static std::string Inserts(int first, int count) {
    std::string lines;
    for (int k = first; k < first + count; ++k) {
      lines += "Put(" + std::to_string(k) + ", @fx:main:ins:{id}:1:id)\nPut(@fx:main:ins:{id}:1)\n";
    }
    return lines;
  }
  long Rows() {
    sqlite3* db = nullptr;
    sqlite3_stmt* count = nullptr;
    long rows = -1;
    sqlite3_open(fixture_.c_str(), &db);
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM ins", -1, &count, nullptr) == SQLITE_OK &&
        sqlite3_step(count) == SQLITE_ROW) {
      rows = sqlite3_column_int(count, 0);
    }
    sqlite3_finalize(count);
    sqlite3_close(db);
    return rows;
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
    EXPECT_EQ(Rows(), first - 1);
  }
}

TEST_F(KezqStopTest, AClosedOutputStopsTheScriptAndCommitsWhatItInserted) {
  WriteFile(dir_.File("ins.kq"), Inserts(1, 3) + "Get(1)\n" + Inserts(4, 3));
  KezqProcess kezq({"-s", batch_, "-f", dir_.File("ins.kq")}, dir_.File("err"), true);
  ASSERT_TRUE(kezq.Started());
  EXPECT_EQ(kezq.Wait(), 128 + SIGPIPE);
  EXPECT_EQ(kezq.Err(), "kezq: stopped: cannot write the output (Broken pipe); 3 rows inserted, all committed\n");
  EXPECT_EQ(Rows(), 3);
}

}  // namespace
}  // namespace test
}  // namespace kez
