// Hostile input through the road of a query: data-source names that try to
// leave the data folder, names that try to be SQL, values of every odd kind,
// and kezq texts that are huge, deep or cyclic. Nothing opens a file outside
// the folder, no name executes SQL, and everything ends with a clear error.
#include <optional>

#include "support/AccessFaults.h"
#include "support/KezqRun.h"
#include "support/ScopedEnv.h"
#include "support/SqliteRoad.h"

namespace kez {
namespace test {
namespace {

std::string Refused(const std::string& name) {
  return "ERROR: data-source name <" + name +
         "> is not registered and cannot name a file of the data folder (letters, digits, '_' and '.' only, "
         "not starting with '.', without \"..\": a name a query can write) \n";
}

// A data folder inside the temporary folder with inside.db, and secret.db
// planted beside the folder, outside it. Both have a table t(a).
class DataFolderTest : public SqliteRoadTest {
 protected:
  void SetUp() override {
    SqliteRoadTest::SetUp();
    folder_ = dir_ + "/data";
    std::filesystem::create_directory(folder_);
    Sql(folder_ + "/inside.db",
        "CREATE TABLE t(a TEXT); INSERT INTO t VALUES ('inside');"
        "CREATE TABLE names(n TEXT); INSERT INTO names VALUES ('../secret')");
    Sql(dir_ + "/secret.db", "CREATE TABLE t(a TEXT); INSERT INTO t VALUES ('SECRET')");
    env_.emplace("KEZDCDB_DATA_DIR", folder_);
  }

  std::string folder_;
  std::optional<ScopedEnv> env_;  // restored when the test object goes
};

// In a first argument '/' is the division, so a name is cut there and the
// part before it refused; a put target is read as a data path whole.
TEST_F(DataFolderTest, NamesThatLeaveTheFolderNeverOpenTheFileOutside) {
  EXPECT_EQ(Get("@inside:main:t:{*}:1:a"), "inside");
  const std::string names[] = {"../secret",   "data/../../secret", dir_ + "/secret",      "..",
                               "./../secret", ".secret",           "inside/../../secret", "..\\secret"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    KezDcCMError::ClearErrors();
    EXPECT_NE(Get("@" + name + ":main:t:{*}:1:a"), "SECRET");
    KezDcCMError::ClearErrors();
    RunQuery("Put(\"x\", @" + name + ":main:t:{*}:1:a)");
    EXPECT_EQ(CountError(Refused(name)), 1);
  }
  // The file outside is there to be read: registered by name, it opens.
  KezDcDbDataSourceFactory::RegisterDataSource("secret", ("sqlite:" + dir_ + "/secret.db").c_str());
  EXPECT_EQ(Get("@secret:main:t:{*}:1:a"), "SECRET");
}

// A link in the data folder leads to secret.db outside it: the plain name
// does not open it, a registration (or catalog entry) of that file does. A
// link to a file inside the folder is followed.
TEST_F(DataFolderTest, LinksLeavingTheFolderAreRefusedUnlessTheFileIsNamed) {
  std::filesystem::create_symlink(dir_ + "/secret.db", folder_ + "/link.db");
  std::filesystem::create_symlink(folder_ + "/inside.db", folder_ + "/alias.db");
  EXPECT_EQ(Get("@link:main:t:{*}:1:a"), "");
  EXPECT_EQ(CountError("ERROR: data-source name <link> names <" + folder_ +
                       "/link.db>, a link to a file outside the data folder: register that file or name it in the "
                       "catalog to open it \n"),
            1);
  EXPECT_EQ(KezDcDbDataSourceFactory::GetDataSourceUri("link"), "");
  EXPECT_EQ(Get("@alias:main:t:{*}:1:a"), "inside");
  KezDcDbDataSourceFactory::RegisterDataSource("named", ("sqlite:" + folder_ + "/link.db").c_str());
  EXPECT_EQ(Get("@named:main:t:{*}:1:a"), "SECRET");
  KezDcDbDataSourceFactory::UnregisterDataSource("named");
}

// A name is checked whole: cut at its NUL octet, "inside\0" would open
// inside.db.
TEST_F(DataFolderTest, NamesHoldingANulOctetAreRefusedWhole) {
  for (std::string name :
       {std::string("../secret\0", 10), std::string("x\0/../../secret", 15), std::string("inside\0", 7)}) {
    KezDcCMError::ClearErrors();
    std::string text = "Put(\"x\", @" + name + ":main:t:{*}:1:a)";
    KezDcQrQuery::NewQuery(KezUnicodeString(text.data(), text.size()))->DoQuery();
    EXPECT_EQ(CountError(Refused(name.c_str())), 1) << name.c_str();
    EXPECT_EQ(kez::test::AccessFaults::OpenConnections(), 0);
  }
}

// Names computed at run time: '#' expanded when the path is read, '$' and
// bracketed sub-queries at every read, and a name read from a cell.
TEST_F(DataFolderTest, ComputedNamesThatLeaveTheFolderAreRefusedToo) {
  RunQuery("Put(\"../secret\", #ds)");
  RunQuery("Put(\"../secret\", $ds)");
  const std::string paths[] = {"@#ds:main:t:{*}:1:a", "@$ds:main:t:{*}:1:a", "@[\"../\" + \"secret\"]:main:t:{*}:1:a",
                               "@[@inside:main:names:{*}:1:n]:main:t:{*}:1:a"};
  for (const std::string& path : paths) {
    KezDcCMError::ClearErrors();
    EXPECT_EQ(Get(path), "") << path;
    EXPECT_GE(CountError(Refused("../secret")), 1) << path;
  }
}

TEST_F(DataFolderTest, KezqRefusesTheNameAndPrintsNothingOfTheFileOutside) {
  if (!KezqBuilt()) GTEST_SKIP() << "kezq is not built";
  KezqResult run = RunKezq({"-k", "Put(\"../secret\",#d)", "Get(@#d:main:t:{*}:1:a)", "Get(@inside:main:t:{*}:1:a)"},
                           "", {"KEZDCDB_DATA_DIR=" + folder_});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out.find("SECRET"), std::string::npos);
  EXPECT_NE(run.out.find("inside"), std::string::npos);
  EXPECT_NE(run.err.find("data-source name <../secret> is not registered"), std::string::npos) << run.err;
}

// A table whose name holds quotes, ';', "--" and SQL keywords, and the
// table t that those names try to drop or empty.
class SqlNameTest : public SqliteRoadTest {
 protected:
  void SetUp() override {
    SqliteRoadTest::SetUp();
    Sql(db_,
        "CREATE TABLE t(a TEXT, b INTEGER); INSERT INTO t VALUES ('one', 1), ('two', 2);"
        "CREATE TABLE \"we\"\"ird; DROP TABLE t; --\"(\"select\" TEXT, \"from\"\"--\" INTEGER);"
        "INSERT INTO \"we\"\"ird; DROP TABLE t; --\" VALUES ('kept', 7)");
  }
  void ExpectIntact() {
    EXPECT_EQ(Select("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"),
              (std::vector<std::vector<std::string>>{{"copy"}, {"orders"}, {"t"}, {"we\"ird; DROP TABLE t; --"}}));
    EXPECT_EQ(Get("@s:main:t:{a+b}:5:a"), "one");
    EXPECT_EQ(Get("@s:main:t:{a+b}:5:b * 10"), "10");
  }
};

const char* const kHostileNames[] = {"t\\\"; DROP TABLE t; --", "t' OR '1'='1", "t; DELETE FROM t",
                                     "t\\\" WHERE 0 UNION SELECT 1 --", "sqlite_master\\\"; DROP TABLE t; --"};

// The text of a quoted constant: a backslash before a quote is dropped.
std::string Unescaped(std::string text) {
  for (size_t k = text.find("\\\""); k != std::string::npos; k = text.find("\\\"", k)) text.erase(k, 1);
  return text;
}

TEST_F(SqlNameTest, RowsetNamesAreNeverSql) {
  for (const char* name : kHostileNames) {
    SCOPED_TRACE(name);
    RunQuery(std::string("Put(\"") + name + "\", #r)");
    RunQuery(std::string("Put(\"") + name + "\", $r)");
    for (const char* rowset : {"#r", "$r"}) {
      Get(std::string("@s:main:") + rowset + ":{*}:1:a");
      RunQuery(std::string("Put(\"x\", @s:main:") + rowset + ":{a+b}:1:a)");
      RunQuery(std::string("Put(@s:main:") + rowset + ":{a+b}:1)");
    }
    // SQLite took the name as one identifier and found no such table.
    EXPECT_GE(CountError("ERROR: sqlite cannot open rowset <" + Unescaped(name) + "> of <" + db_ +
                         ">: no such table: " + Unescaped(name) + " (code 1) \n"),
              1);
    KezDcQrQuery::DeleteAllQueries();
  }
  ExpectIntact();
}

// Column names come from the table, never from the path: an attribute
// holding SQL binds no column, and the row goes in with the columns named.
TEST_F(SqlNameTest, AttributeNamesAreNeverSql) {
  RunQuery("Put(\"a+b\\\" ) VALUES (1); DROP TABLE t; --\", #c)");
  RunQuery("Put(\"three\", @s:main:t:#c:1:a)");
  RunQuery("Put(@s:main:t:#c:1)");
  KezDcQrQuery::DeleteAllQueries();
  ExpectIntact();
  KezDcQrQResult* block = KezDcQrQResult::NewQResult("@s:main:t:{a+b}:5");
  block->GetNextLine();
  block->GetNextLine();
  EXPECT_EQ(Get("@s:main:t:{a+b}:5:a"), "three");
}

// A table whose own name and columns hold quotes and keywords is read and
// written like any other.
TEST_F(SqlNameTest, QuotedNamesAreJustNames) {
  RunQuery("Put(\"we\\\"ird; DROP TABLE t; --\", #w)");
  EXPECT_EQ(Get("@s:main:#w:{*}:1:select"), "kept");
  RunQuery("Put(\"added\", @s:main:#w:{*}:1:select)");
  RunQuery("Put(@s:main:#w:{*}:1)");
  EXPECT_TRUE(Errors().empty());
  KezDcQrQuery::DeleteAllQueries();
  ExpectIntact();
}

// Values that a table may hold: a megabyte of text, NUL octets, octets
// that are no UTF-8, numbers at the ends of the double range, texts that
// look like numbers, sub-queries, variables or format directives. Each is
// read, computed with, copied cell to cell and inserted; the copy of every
// text that fits its field is the text itself.
using DataValueTest = SqliteRoadTest;

TEST_F(DataValueTest, EveryValueIsReadComputedCopiedAndInserted) {
  Sql(db_,
      "CREATE TABLE vals(v TEXT, n REAL); CREATE TABLE back(v TEXT, n REAL);"
      "INSERT INTO vals VALUES (printf('%.*c', 1048576, 'm'), 1e308), (x'610062', -1e308),"
      "  (x'ff80c0fe', 4.9e-324), ('  12  ', NULL), ('1e999', 0), ('-0', -0.0), ('nan', 1),"
      "  ('[@s:main:vals:{v+n}:1:v]', 2), ('$v', 3), ('#v', 4), ('%s%n%x', 5), ('', 6), (NULL, 7)");
  Use("?text_size=1048576");
  const int kRows = 13;
  const std::string row = "@s:main:vals:{v+n}:1";
  const std::string copy = "@s:main:back:{v+n}:1";
  KezDcQrQResult* block = KezDcQrQResult::NewQResult(row.c_str());
  int seen = 0;
  for (Get(row + ":v"); block->IsMoreData() && seen < 2 * kRows; block->GetNextLine(), ++seen) {
    for (const char* expression : {":v", ":n", ":v * 2", ":n * :n", ":v + \"x\"", "format(:n, \"###.##\")"}) {
      std::string text = expression;
      for (size_t at = text.find(':'); at != std::string::npos; at = text.find(':', at + row.size() + 1)) {
        text.insert(at, row);
      }
      Get(text);
    }
    KezDcQrQResult::NewQResult((row + ":v").c_str())->PutCell(KezDcQrQResult::NewQResult((copy + ":v").c_str()));
    KezDcQrQResult::NewQResult((row + ":n").c_str())->PutCell(KezDcQrQResult::NewQResult((copy + ":n").c_str()));
    RunQuery("Put(" + copy + ")");
  }
  EXPECT_EQ(seen, kRows);
  KezDcQrQuery::DeleteAllQueries();
  // NULL reads (and so comes back) as the empty text; a NUL octet ends a
  // field's text.
  const std::string same = std::to_string(kRows - 1);
  EXPECT_EQ(Select("SELECT count(*), sum(coalesce(CAST(a.v AS BLOB), x'') = "
                   "coalesce(CAST(substr(b.v, 1, length(b.v)) AS BLOB), x'')) FROM vals a JOIN back b "
                   "ON a.rowid = b.rowid WHERE a.v IS NULL OR instr(CAST(a.v AS BLOB), x'00') = 0"),
            (std::vector<std::vector<std::string>>{{same, same}}));
  EXPECT_EQ(Select("SELECT v FROM back WHERE rowid = 2"), (std::vector<std::vector<std::string>>{{"a"}}));
}

// kezq over the SQLite file: each hostile text ends within the time limit,
// with a clear error and nothing left by the sanitizers. A cell whose value
// is a sub-query naming that very cell, variables naming themselves and '#'
// variables naming each other stop at the nesting bound.
using KezqHostileTest = SqliteRoadTest;

TEST_F(KezqHostileTest, HugeDeepAndCyclicTextsEndCleanly) {
  if (!KezqBuilt()) GTEST_SKIP() << "kezq is not built";
  Sql(db_, "CREATE TABLE names(name TEXT); INSERT INTO names VALUES ('[@s:main:names:{*}:1:name]')");
  std::string sum = "Get(1", path = "@s:main:orders:{*}:2:item";
  for (int k = 0; k < 500000; ++k) sum += "+1";
  for (int k = 0; k < 100000; ++k) path += ":c";
  const std::string megabyte(1 << 20, 'x'), open(10000, '['), close(10000, ']');
  const struct {
    const char* name;
    std::string queries, err_has, out_begins, out_ends;
  } cases[] = {
      {"megabyte lines", sum + ")\n" + std::string(1 << 20, 'G') + "\nGet(\"" + megabyte + "\")\n",
       "ERROR: INVALID QUERY", "500001\n", megabyte + "\n"},
      {"hundred thousand components", "Get(" + path + ")\nPut(1, " + path + ")\nGet(@s:other:orders:{*}:3:item)\n", "",
       "", "o1\n"},
      {"ten thousand nested brackets and parentheses",
       "Get(" + std::string(10000, '(') + "1" + std::string(10000, ')') + ")\nGet(@s:" + open + "@s:[x]" + close +
           ":orders:{*}:2:item)\nGet(" + open + ")\nGet(1+2)\n",
       "ERROR: EXPRESSION NESTED MORE THAN 1000 LEVELS DEEP", "", "3\n"},
      {"sub-query and expansion cycles",
       "Get(@s:main:[@s:main:names:{*}:1:name]:{*}:1:item)\nPut(\"[$v]\", $v)\nGet(@s:main:$v:{*}:1:item)\n"
       "Put(\"#b\", #a)\nPut(\"#a\", #b)\nGet(@s:main:#a:{*}:1:item)\nGet(@s:main:orders:{*}:1:item)\n",
       "NESTED MORE THAN 16 LEVELS DEEP", "", "o1\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(dir_ + "/queries.kq", c.queries);
    KezqResult run = RunKezq({"-k", "-s", "s=sqlite:" + db_, "-f", dir_ + "/queries.kq"});
    EXPECT_TRUE(run.status == 0 || run.status == 1) << "exit status " << run.status;
    EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err.substr(0, 2000);
    EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << run.err.substr(0, 2000);
    EXPECT_NE(run.err.find(c.err_has), std::string::npos) << run.err.substr(0, 2000);
    EXPECT_EQ(run.out.compare(0, c.out_begins.size(), c.out_begins), 0) << run.out.substr(0, 200);
    EXPECT_TRUE(run.out.size() >= c.out_ends.size() &&
                run.out.compare(run.out.size() - c.out_ends.size(), c.out_ends.size(), c.out_ends) == 0)
        << run.out.substr(run.out.size() > 200 ? run.out.size() - 200 : 0);
  }
}

}  // namespace
}  // namespace test
}  // namespace kez
