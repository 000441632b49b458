// The command line of kezq: exit statuses, where errors are said to come
// from, query files and standard input, and the --rows walk in each format.
#include <algorithm>

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
      // A failed query prints no value.
      {{"Get(1)", "Get(-)", "Get(2)"}, 1, "1\n", "argument 2: ERROR: '-' sign alone means nothing !\n"},
      {{"-k", "Get(1)", "Get(-)", "Get(2)"}, 1, "1\n2\n", "argument 2: ERROR: '-' sign alone means nothing !\n"},
      {{"Get(\"abc\"*2)"}, 1, "", "argument 1: ERROR: Illegal operator '*' on a string !\n"},
      // A missing database is said once, and nothing goes to standard output.
      {{"-s", "m=sqlite:" + missing, "Get(@m:main:t:{*}:1:a)"},
       1,
       "",
       "argument 1: ERROR: sqlite database <" + missing + "> does not exist (add ?create=1 to create it) \n" +
           "argument 1: ERROR: Impossible to load DataSource @m \nargument 1: ERROR: Impossible to open Session "
           "@m:main \n" +
           "argument 1: ERROR: Impossible to open Rowset @m:main:t \n"},
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
      {{"--nul", "x"}, 2, "", "kezq: unknown option '--nul'; did you mean --null?" + usage},
      {{"--keep-goign"}, 2, "", "kezq: unknown option '--keep-goign'; did you mean --keep-going?" + usage},
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
  EXPECT_EQ(before, "copy\ncut\nlongs\nnames\nodd\nshown\nsink\nt\n");
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
       "copy\ncut\nlongs\nnames\nodd\nshown\nsink\nt\ntop\nitem\tstring\t8\n"},
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
  EXPECT_NE(r.out.find("Examples:"), std::string::npos);
  EXPECT_NE(r.out.find("--strict"), std::string::npos);
  r = RunKezq({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.compare(0, 5, "kezq "), 0);
  r = RunKezq({"-t", "TraceQuery=2", "Get(1)"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("IN->> QrQuery::DoQuery <Get (1 [,])> \n"), std::string::npos) << r.err;
}

// A lone cell prints its text (NULL and the empty text as an empty field);
// an expression is headed by its text. A CSV field holding a comma is quoted.
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
                       " | \n"
                       "plum   | -4" +
                       std::string(block.size() + 9, ' ') +
                       " | 12.5 kg\n"
                       "fig    | 0" +
                       std::string(block.size() + 10, ' ') +
                       " | \n"
                       "quince | 22" +
                       std::string(block.size() + 9, ' ') + " | x,y\n");

  args.insert(args.begin(), {"-o", "csv"});
  EXPECT_EQ(RunKezq(args).out,
            "item," + block + ":amount * 2,note\napple,6,red\npear,14,\nplum,-4,12.5 kg\nfig,0,\nquince,22,\"x,y\"\n");
  args[1] = "tsv";
  args.insert(args.begin() + 2, {"-n", "3"});
  EXPECT_EQ(RunKezq(args).out, "item\t" + block + ":amount * 2\tnote\napple\t6\tred\npear\t14\t\nplum\t-4\t12.5 kg\n");
  args[1] = "json";
  args[3] = "1";
  EXPECT_EQ(RunKezq(args).out, "{\"item\": \"apple\", \"" + block + ":amount * 2\": 6, \"note\": \"red\"}\n");
}

// Each record shows what each query yields: a lone cell's text as the
// database gave it, a computed whole number without exponent, no value for a
// failed query (an empty field, JSON null), NULL as --null says.
TEST_F(KezqCliTest, RecordsShowWhatEachQueryYields) {
  const std::string b = "@fx:main:shown:{*}:2";
  std::vector<std::string> args = {"-s",
                                   source_,
                                   "-r",
                                   b,
                                   "-o",
                                   "csv",
                                   "-k",
                                   "Get(" + b + ":id)",
                                   "Get(" + b + ":code)",
                                   "Get(" + b + ":dec)",
                                   "Get(" + b + ":huge)",
                                   "Get(" + b + ":id * 2)",
                                   "Get(\"abc\"*2)"};
  KezqResult r = RunKezq(args);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "id,code,dec,huge," + b + ":id * 2,\"\"\"abc\"\"*2\"\n" +
                       "100000,01234,1.10,9007199254740993,200000,\n200000,7,2,1,400000,\n");
  const std::string error = "argument 6: ERROR: Illegal operator '*' on a string !\n";
  EXPECT_EQ(r.err, error + error);
  args[5] = "json";
  args.insert(args.begin() + 6, {"-n", "1"});
  EXPECT_EQ(RunKezq(args).out, "{\"id\": 100000, \"code\": \"01234\", \"dec\": 1.10, \"huge\": 9007199254740993, \"" +
                                   b + ":id * 2\": 200000, \"\\\"abc\\\"*2\": null}\n");

  // The header names the column even when an earlier Put used the same cell.
  r = RunKezq({"-s", source_, "-r", b, "-o", "csv", "-n", "1", "Put(" + b + ":code,$c)", "Get(" + b + ":code)"});
  EXPECT_EQ(r.out, "code\n01234\n") << r.err;

  const std::string t = "@fx:main:t:{*}:2";
  std::vector<std::string> named = {"-s",
                                    source_,
                                    "-r",
                                    t,
                                    "-o",
                                    "csv",
                                    "-n",
                                    "2",
                                    "--null",
                                    "NULL",
                                    "--header",
                                    "a,b",
                                    "Get(" + t + ":item)",
                                    "Get(" + t + ":note)"};
  EXPECT_EQ(RunKezq(named).out, "a,b\napple,red\npear,NULL\n");
  named[10] = "--no-header";
  named.erase(named.begin() + 11);
  EXPECT_EQ(RunKezq(named).out, "apple,red\npear,NULL\n");
  named[5] = "json";
  EXPECT_EQ(RunKezq(named).out, "{\"item\": \"apple\", \"note\": \"red\"}\n{\"item\": \"pear\", \"note\": null}\n");
}

// Table columns line up by display width; JSON replaces invalid UTF-8 with
// U+FFFD and says so once.
TEST_F(KezqCliTest, OutputIsWellFormedWhateverTheText) {
  const std::string b = "@fx:main:shown:{*}:2";
  KezqResult r = RunKezq({"-s", source_, "-r", b, "Get(" + b + ":place)", "Get(" + b + ":id)"});
  EXPECT_EQ(r.out, "place   | id\n------- | ------\nTucum\xC3\xA1n | 100000\nSalta   | 200000\n");
  r = RunKezq({"-s", source_, "-r", b, "-o", "json", "Get(" + b + ":bad)", "Get(" + b + ":bad)"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "{\"bad\": \"A\xEF\xBF\xBD"
            "B\", \"bad_2\": \"A\xEF\xBF\xBD"
            "B\"}\n{\"bad\": \"ok\", \"bad_2\": \"ok\"}\n");
  EXPECT_EQ(r.err, "kezq: warning: a value is not valid UTF-8; its invalid octets print as U+FFFD\n");
}

// A warning about a column no query asked for is said once and does not
// stop the walk; --strict makes it count in the exit status.
TEST_F(KezqCliTest, WarningsAreSaidOnceAndDoNotStopTheRun) {
  const std::string b = "@fx:main:longs:{*}:2";
  std::vector<std::string> args = {"-s", source_, "-r", b, "-o", "csv", "Get(" + b + ":id)"};
  KezqResult r = RunKezq(args);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "id\n1\n2\n3\n");
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_EQ(r.err.rfind("--rows: WARNING: sqlite rowset <longs> of", 0), 0u) << r.err;
  args.insert(args.begin(), "--strict");
  r = RunKezq(args);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
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
