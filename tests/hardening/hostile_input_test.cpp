// Hostile input: texts of a megabyte, a hundred thousand path components,
// ten thousand nested brackets, self-referring variables, and table values
// of every odd kind end with their value or a clear error, no crash and
// bounded memory. SQL in names and cycles: tests/kezq/cases/hostile.test;
// names leaving the data folder: tests/database/access/sqlite_catalog_test.cpp.
#include "support/KezqRun.h"
#include "support/SqliteTestSupport.h"

namespace kez {
namespace test {
namespace {

using HostileTextTest = KezTest;

const std::string kOpen(10000, '['), kClose(10000, ']');

// "@a:c:c:...": a hundred thousand components; "1+1+...+1": a megabyte long, 500001 ones.
std::string Repeated(std::string text, const std::string& part, int count) {
  while (count-- > 0) text += part;
  return text;
}
const std::string kManyComponents = Repeated("@a", ":c", 99999), kMegabyteSum = Repeated("1", "+1", 500000);

TEST_F(HostileTextTest, HugeDataPathsAndQueriesKeepTheirPartsAndEndWithTheirValueOrAClearError) {
  KezUnicodeString parts[6], kind;
  auto parse = [&](const std::string& path, int part) {  // the kind of the path and one of its parts
    KezDcQrQResult::ParseDataPath(path.c_str(), parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], kind);
    return kind.Std() + " " + parts[part].Std();
  };
  EXPECT_EQ(parse("@a:b:" + std::string(1 << 20, 'x'), 2), "Rowset " + std::string(1 << 20, 'x'));
  EXPECT_EQ(parse("@a:" + kOpen + "x:y" + kClose + ":r", 1), "Rowset " + kOpen + "x:y" + kClose);
  EXPECT_TRUE(Errors().empty());
  // The first six components are kept; each other one is reported (the collector keeps the newest).
  EXPECT_EQ(parse(kManyComponents, 5), "Cell c");
  EXPECT_EQ(KezDcCMError::GetNbErrors() + KezDcCMError::GetNbDropped(), 100000 - 6);
  KezDcCMError::ClearErrors();
  // A variable whose value names itself grows the path only so far.
  NewQR("Variable", "#v", ("#v:" + std::string(100000, 'q')).c_str());
  parse("@a:#v", 0);
  EXPECT_TRUE(parts[0] == "@a" && !Errors().empty());
  // Queries: commas then quotes make one argument; brackets nest as deep as
  // the text goes (parentheses have a bound, held by the expression tests).
  KezDcCMError::ClearErrors();
  EXPECT_EQ(Get(kMegabyteSum), "500001");
  EXPECT_EQ(RunQuery(std::string(1 << 20, 'G'))->p_QResult, nullptr);
  EXPECT_EQ(Errors(), (Texts{"ERROR: INVALID QUERY \n", "ERROR in QrQuery::QrQuery: EMPTY QUERY \n"}));
  EXPECT_EQ(RunQuery("Put(" + std::string(1 << 19, ',') + std::string(1 << 19, '"') + ")")->DataPathT, "");
  EXPECT_EQ(RunQuery("Get(@a:" + kOpen + "@b:[x]" + kClose + ":r:c:1:v)")->TypeOfQResult, "Exp_Cell");
  std::string path = "@z";  // each level's bracket holds a path whose session is the next level
  for (int k = 0; k < 200; ++k) path = "@a" + std::to_string(k) + ":[" + path + "]";
  ASSERT_NE(KezDcQrQResult::NewQResult(path.c_str()), nullptr);
  EXPECT_EQ(KezDcQrQResult::NewQResult(path.c_str())->Type, "Session");
  KezDcCMError::ClearErrors();
  EXPECT_NE(RunQuery("Get(@a:" + kOpen + "x)")->p_QResult, nullptr);
  EXPECT_GE(CountError("ERROR: INVALID DATAPATH - Too many opened brackets\n"), 1);
  EXPECT_EQ(RunQuery("Put(1, " + kManyComponents + ")")->TypeOfQRPutTarget, "Cell");
  EXPECT_TRUE(KezDcCMError::GetNbErrors() == KezDcCMError::kMaxErrors && KezDcCMError::GetNbDropped() > 0);
}

// Megabyte, NUL, non-UTF-8, extreme and number-, sub-query- or format-like
// values are read, computed with, copied cell to cell and inserted; each
// copy is its text (a NUL octet ends a field's text, NULL reads as empty).
using HostileValueTest = SqliteFixture;

TEST_F(HostileValueTest, EveryValueIsReadComputedCopiedAndInserted) {
  Sql("CREATE TABLE vals(v TEXT, n REAL); CREATE TABLE back(v TEXT, n REAL);"
      "INSERT INTO vals VALUES (printf('%.*c', 1048576, 'm'), 1e308), (x'610062', -1e308), (x'ff80c0fe', 4.9e-324),"
      "  ('  12  ', NULL), ('1e999', 0), ('nan', 1), ('[@b:main:vals:{v+n}:1:v]', 2), ('$v', 3), ('#v', 4),"
      "  ('%s%n%x', 5), ('', 6), (NULL, 7)");
  Use("text_size=1048576");
  const std::string row = "@b:main:vals:{v+n}:1", copy = "@b:main:back:{v+n}:1";
  KezDcQrQResult* block = KezDcQrQResult::NewQResult(row.c_str());
  int seen = 0;
  for (Get(row + ":v"); block->IsMoreData() && seen < 24; block->GetNextLine(), ++seen) {
    for (const std::string& e : {row + ":v * 2", row + ":n * " + row + ":n", "format(" + row + ":n, \"###.##\")"})
      Get(e);
    RunQuery("Put(" + row + ":v, " + copy + ":v)");
    RunQuery("Put(" + row + ":n, " + copy + ":n)");
    RunQuery("Put(" + copy + ")");
  }
  EXPECT_EQ(seen, 12);
  KezDcQrQuery::DeleteAllQueries();
  EXPECT_EQ(Sql("SELECT count(*), sum(coalesce(CAST(a.v AS BLOB), x'') = "
                "coalesce(CAST(substr(b.v, 1, length(b.v)) AS BLOB), x'')) FROM vals a JOIN back b "
                "ON a.rowid = b.rowid WHERE a.v IS NULL OR instr(CAST(a.v AS BLOB), x'00') = 0"),
            (Rows{{"11", "11"}}));
  EXPECT_EQ(Sql("SELECT v FROM back WHERE rowid = 2"), Rows{{"a"}});
}

TEST(KezqHostileTest, MegabyteLinesEndCleanly) {
  if (!KezqBuilt()) GTEST_SKIP() << "kezq is not built";
  TempDir dir;
  const std::string megabyte(1 << 20, 'x');
  WriteFile(dir.File("q"), "Get(" + kMegabyteSum + ")\n" + std::string(1 << 20, 'G') + "\nGet(\"" + megabyte + "\")\n");
  KezqResult run = RunKezq({"-k", "-f", dir.File("q")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "500001\n" + megabyte + "\n");
  const std::string line = dir.File("q") + ":2: ";
  EXPECT_EQ(run.err, line + "ERROR: INVALID QUERY \n" + line + "ERROR in QrQuery::QrQuery: EMPTY QUERY \n");
}

}  // namespace
}  // namespace test
}  // namespace kez
