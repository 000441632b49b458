// The data-source catalog: registered names, the catalog file and its error
// messages, the data-folder fallback to "<name>.db", the order in which the
// three are searched, names refused because they could leave the folder,
// and DeleteAllJeleList leaving held objects alone.
#include <fstream>

#include "support/AccessFaults.h"
#include "support/ScopedEnv.h"
#include "support/SqliteTestSupport.h"

namespace kez {
namespace test {
namespace {

using kez::test::ScopedEnv;

class CatalogTest : public SqliteFixture {
 protected:
  void SetUp() override {
    SqliteFixture::SetUp();
    no_catalog_.reset(new ScopedEnv("KEZDCDB_CATALOG", ""));
    data_dir_.reset(new ScopedEnv("KEZDCDB_DATA_DIR", dir_));
    KezDcDbDataSourceFactory::ResetCatalog();
  }
  void TearDown() override {
    for (const char* name : {"sales", "s", "odd"}) KezDcDbDataSourceFactory::UnregisterDataSource(name);
    data_dir_.reset();
    no_catalog_.reset();
    KezDcDbDataSourceFactory::ResetCatalog();
    SqliteFixture::TearDown();
  }

  std::string WriteFile(const std::string& name, const std::string& text) const {
    std::string path = Path(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  static std::string Uri(const char* name) { return KezDcDbDataSourceFactory::GetDataSourceUri(name).Std(); }

  static bool Load(const std::string& path) {
    return KezDcDbDataSourceFactory::LoadCatalogFile(KezUnicodeString(path));
  }
  static KezIDcDbDataSource* Create(const std::string& name) {
    return KezDcDbDataSourceFactory::CreateSimpleDataSource(KezUnicodeString(name));
  }
  // Reads every row of table t of the named data source; empty when it
  // does not open.
  static Rows ReadTable(const std::string& name) {
    Opened o;
    return OpenAll(&o, Create(name), "t") ? ReadAll(o) : Rows{};
  }

  std::unique_ptr<ScopedEnv> no_catalog_;
  std::unique_ptr<ScopedEnv> data_dir_;
};

TEST_F(CatalogTest, CatalogFileKeepsGoodLinesAndReportsBadOnesWithFileAndLine) {
  std::string path = WriteFile("catalog.txt",
                               "# data sources of the tests\n"
                               "sales = sqlite:/data/sales.db?readonly=1\n"
                               "\n"
                               "  mem=memory:m1   \n"
                               "broken line\n"
                               " = memory:x\n"
                               "empty =\n"
                               "odd = ftp://x\n"
                               "sales = memory:again\n"
                               "crlf = memory:c\r\n"
                               "   # indented comment = memory:no\n"
                               "last = memory:l   # a comment after blanks\n"
                               "my-shop = memory:dash\n"
                               "hash = sqlite:x.db#1");
  EXPECT_FALSE(Load(path));
  std::string at = "ERROR: data-source catalog " + path + ":";
  EXPECT_EQ(
      Errors(),
      (Texts{at + "5: expected <name = uri>, not <broken line> \n", at + "6: no data-source name before '=' \n",
             at + "7: no URI after '=' for data source <empty> \n",
             at + "8: URI <ftp://x> has an unknown scheme (known: memory:, sqlite:, postgresql://, postgres://) \n",
             at + "9: data source <sales> is already defined at line 2 \n",
             at + "13: data-source name <my-shop> cannot be written in a query: a data path reads '-' as "
                  "part of the language (use letters, digits, '_' and '.') \n"}));
  std::vector<std::pair<std::string, std::string>> listed;
  for (const auto& entry : KezDcDbDataSourceFactory::GetDataSources())
    listed.emplace_back(entry.first.Std(), entry.second.Std());
  EXPECT_EQ(listed, (std::vector<std::pair<std::string, std::string>>{{"crlf", "memory:c"},
                                                                      {"hash", "sqlite:x.db#1"},
                                                                      {"last", "memory:l"},
                                                                      {"mem", "memory:m1"},
                                                                      {"sales", "sqlite:/data/sales.db?readonly=1"}}));
}

TEST_F(CatalogTest, EnvironmentCatalogIsReadOnceAndAFileReplacesItOrLeavesItEmptyWhenUnreadable) {
  ScopedEnv catalog("KEZDCDB_CATALOG", WriteFile("env.txt", "a = memory:first\n"));
  KezDcDbDataSourceFactory::ResetCatalog();
  EXPECT_EQ(Uri("a"), "memory:first");
  WriteFile("env.txt", "a = memory:second\n");
  EXPECT_EQ(Uri("a"), "memory:first");
  KezDcDbDataSourceFactory::ResetCatalog();
  EXPECT_EQ(Uri("a"), "memory:second");
  EXPECT_TRUE(Load(WriteFile("other.txt", "s = memory:other\n")));
  EXPECT_EQ(Uri("a"), "");
  EXPECT_EQ(Uri("s"), "memory:other");
  EXPECT_FALSE(Load(Path("missing.txt")));
  EXPECT_EQ(Errors(), Texts{"ERROR: cannot read data-source catalog <" + Path("missing.txt") +
                            ">: No such file or directory \n"});
  EXPECT_EQ(Uri("s"), "");
}

TEST_F(CatalogTest, RegisteredNamesWinOverTheCatalogWhichWinsOverTheDataFolder) {
  Sql(Path("sales.db"), "CREATE TABLE t(a)");
  ASSERT_TRUE(Load(WriteFile("catalog.txt", "sales = memory:catalog\n")));
  KezDcDbDataSourceFactory::RegisterDataSource("sales", "memory:one");
  KezDcDbDataSourceFactory::RegisterDataSource("sales", "memory:registered");  // replaces
  EXPECT_EQ(Uri("sales"), "memory:registered");
  auto listed = KezDcDbDataSourceFactory::GetDataSources();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].second, "memory:registered");
  KezDcDbDataSourceFactory::UnregisterDataSource("sales");
  EXPECT_EQ(Uri("sales"), "memory:catalog");
  KezDcDbDataSourceFactory::ResetCatalog();
  EXPECT_EQ(Uri("sales"), "sqlite:" + Path("sales.db"));
  KezDcDbDataSourceFactory::RegisterDataSource("odd", "ftp:x");
  EXPECT_EQ(Create("odd"), nullptr);
  EXPECT_EQ(Errors(), Texts{"ERROR: data-source URI <ftp:x> has an unknown scheme (known: memory:, sqlite:, "
                            "postgresql://, postgres://) \n"});
}

TEST_F(CatalogTest, DataFolderNameOpensNameDotDbThereOrInTheWorkingDirectory) {
  Sql(Path("sales.db"), "CREATE TABLE t(a INTEGER); INSERT INTO t VALUES (1), (2)");
  Sql(Path("v1.2_old_x.db"), "CREATE TABLE t(a TEXT); INSERT INTO t VALUES ('x')");
  EXPECT_EQ(ReadTable("sales"), (Rows{{"1"}, {"2"}}));
  EXPECT_EQ(ReadTable("v1.2_old_x"), Rows{{"x"}});
  EXPECT_EQ(Create("nosuch"), nullptr);
  ScopedEnv no_folder("KEZDCDB_DATA_DIR", "");
  std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  Rows rows = ReadTable("v1.2_old_x");
  std::filesystem::current_path(before);
  EXPECT_EQ(rows, Rows{{"x"}});
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 0);
}

TEST_F(CatalogTest, NamesThatCouldLeaveTheDataFolderAreRefused) {
  std::filesystem::create_directories(Path("data/sub"));
  ScopedEnv folder("KEZDCDB_DATA_DIR", Path("data"));
  for (const char* file : {"secret.db", "data/sub/inner.db", "data/.hidden.db", "data/a..b.db"}) {
    Sql(Path(file), "CREATE TABLE t(a)");
  }
  Texts names = {"../secret",  "sub/inner", Path("secret"),         ".hidden", "a..b",
                 "sub\\inner", "",          std::string("a\0b", 3), "..",      "sub/../../secret",
                 "my-shop"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    KezDcCMError::ClearErrors();
    EXPECT_EQ(Create(name), nullptr);
    EXPECT_EQ(Errors(), Texts{"ERROR: data-source name <" + std::string(name.c_str()) +
                              "> is not registered and cannot name a file of the data folder (letters, digits, "
                              "'_' and '.' only, not starting with '.', without \"..\": a name a query can write) \n"});
    EXPECT_EQ(KezDcDbDataSourceFactory::GetDataSourceUri(KezUnicodeString(name)), "");
  }
}

TEST_F(CatalogTest, NamesThatAQueryCannotWriteAreNotRegistered) {
  KezDcDbDataSourceFactory::RegisterDataSource("my-shop", "memory:m");
  KezDcDbDataSourceFactory::RegisterDataSource("a b", "memory:m");
  EXPECT_EQ(Errors(), (Texts{"ERROR: data source not registered: name <my-shop> cannot be written in a query: a data "
                             "path reads '-' as part of the language (use letters, digits, '_' and '.') \n",
                             "ERROR: data source not registered: name <a b> holds a blank or a control character \n"}));
  EXPECT_EQ(Uri("my-shop"), "");
}

TEST_F(CatalogTest, DeleteAllJeleListLeavesHeldObjectsAlone) {
  Sql(db_, "CREATE TABLE t(a INTEGER); INSERT INTO t VALUES (1), (2), (3)");
  KezDcDbDataSourceFactory::RegisterDataSource("s", KezUnicodeString("sqlite:" + db_));
  Opened o;
  ASSERT_TRUE(OpenAll(&o, Create("s"), "t"));
  uint32_t obtained = 0;
  _SEQUENCE_KezDcDbRowHandleSeq* rows = nullptr;
  ASSERT_EQ(o.rowset->GetNextRows(1, &obtained, &rows), 0);
  int live = kez::test::AccessFaults::LiveObjects();
  long calls = KezDcOtAdapterRowset::GetNbDeleteAllJeleList();
  KezDcOtAdapterRowset::DeleteAllJeleList();
  EXPECT_EQ(KezDcOtAdapterRowset::GetNbDeleteAllJeleList(), calls + 1);
  EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), live);
  // The held row, accessor and rowset all still work.
  _SEQUENCE_SEQUENCE_octet buffer(o.layout.size);
  buffer.length(o.layout.size);
  EXPECT_EQ(o.rowset->GetDataSeq((*rows)[0], o.layout.handle, &buffer), 0);
  EXPECT_EQ(Field(o.layout, buffer, 0), "1");
  o.rowset->ReleaseRows(obtained, rows);
  delete rows;
  EXPECT_EQ(ReadAll(o), (Rows{{"2"}, {"3"}}));
}

}  // namespace
}  // namespace test
}  // namespace kez
