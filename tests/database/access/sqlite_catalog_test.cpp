// Registered names, the catalog file, the data-folder fallback to "<name>.db"
// and their order; names refused, however made, that could leave the folder.
#include <fstream>

#include "support/AccessFaults.h"
#include "support/SqliteTestSupport.h"

namespace kez {
namespace test {
namespace {

using Factory = KezDcDbDataSourceFactory;

std::string Refused(const std::string& name) {
  return "ERROR: data-source name <" + name +
         "> is not registered and cannot name a file of the data folder (letters, digits, '_' and '.' only, "
         "not starting with '.', without \"..\": a name a query can write) \n";
}

// A data folder "data" with inside.db (tables t and names), and secret.db
// beside it, outside; every t(a) holds one row.
class CatalogTest : public SqliteFixture {
 protected:
  void SetUp() override {
    SqliteFixture::SetUp();
    folder_ = Path("data");
    std::filesystem::create_directories(folder_ + "/sub");
    SqliteSelect(folder_ + "/inside.db",
                 "CREATE TABLE t(a TEXT); INSERT INTO t VALUES ('inside');"
                 "CREATE TABLE names(n TEXT); INSERT INTO names VALUES ('../secret')");
    for (const char* file : {"secret.db", "data/sub/inner.db", "data/.hidden.db", "data/a..b.db", "data/v1.2_x.db"})
      SqliteSelect(Path(file), std::string("CREATE TABLE t(a TEXT); INSERT INTO t VALUES ('") +
                                   (file[0] == 's' ? "SECRET" : file) + "')");
    setenv("KEZDCDB_CATALOG", "", 1);
    setenv("KEZDCDB_DATA_DIR", folder_.c_str(), 1);
    Factory::ResetCatalog();
  }
  void TearDown() override {
    for (const char* name : {"inside", "odd", "secret", "named"}) Factory::UnregisterDataSource(name);
    unsetenv("KEZDCDB_DATA_DIR");
    unsetenv("KEZDCDB_CATALOG");
    Factory::ResetCatalog();
    SqliteFixture::TearDown();
  }
  std::string WriteFile(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
    return Path(name);
  }
  static std::string Uri(const std::string& name) { return Factory::GetDataSourceUri(KezUnicodeString(name)).Std(); }
  static bool Load(const std::string& path) { return Factory::LoadCatalogFile(KezUnicodeString(path)); }
  static KezIDcDbDataSource* Create(const std::string& name) {
    return Factory::CreateSimpleDataSource(KezUnicodeString(name));
  }
  std::string folder_;
};

TEST_F(CatalogTest, CatalogFileKeepsGoodLinesAndReportsBadOnesWithFileAndLine) {
  std::string path = WriteFile(  // lines 1-4 good, 5-9 bad, 10-12 good, 13 bad, 14 good
      "catalog.txt",
      "# data sources of the tests\nsales = sqlite:/data/sales.db?readonly=1\n\n  mem=memory:m1   \nbroken line\n"
      " = memory:x\nempty =\nodd = ftp://x\nsales = memory:again\ncrlf = memory:c\r\n   # indented comment = memory:no"
      "\nlast = memory:l   # a comment after blanks\nmy-shop = memory:dash\nhash = sqlite:x.db#1");
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
  std::string listed;
  for (const auto& entry : Factory::GetDataSources()) listed += entry.first.Std() + "=" + entry.second.Std() + " ";
  EXPECT_EQ(listed,
            "crlf=memory:c hash=sqlite:x.db#1 last=memory:l mem=memory:m1 sales=sqlite:/data/sales.db?readonly=1 ");
}

TEST_F(CatalogTest, EnvironmentCatalogIsReadOnceAndAFileReplacesItOrLeavesItEmptyWhenUnreadable) {
  setenv("KEZDCDB_CATALOG", WriteFile("env.txt", "a = memory:first\n").c_str(), 1);
  Factory::ResetCatalog();
  EXPECT_EQ(Uri("a"), "memory:first");
  WriteFile("env.txt", "a = memory:second\n");
  EXPECT_EQ(Uri("a"), "memory:first");
  Factory::ResetCatalog();
  EXPECT_EQ(Uri("a"), "memory:second");
  EXPECT_TRUE(Load(WriteFile("other.txt", "s = memory:other\n")));
  EXPECT_EQ(Uri("a") + "|" + Uri("s"), "|memory:other");
  EXPECT_FALSE(Load(Path("missing.txt")));  // its message: tests/kezq/cases/commands.test
  EXPECT_EQ(Uri("s"), "");
}

TEST_F(CatalogTest, RegisteredNamesWinOverTheCatalogWhichWinsOverTheDataFolder) {
  ASSERT_TRUE(Load(WriteFile("catalog.txt", "inside = memory:catalog\n")));
  for (const char* uri : {"memory:one", "memory:registered"}) Factory::RegisterDataSource("inside", uri);
  EXPECT_EQ(Factory::GetDataSources().size(), 1u);
  EXPECT_EQ(Uri("inside"), "memory:registered");
  Factory::UnregisterDataSource("inside");
  EXPECT_EQ(Uri("inside"), "memory:catalog");
  Factory::ResetCatalog();
  EXPECT_EQ(Uri("inside"), "sqlite:" + folder_ + "/inside.db");
  Factory::RegisterDataSource("odd", "ftp:x");
  EXPECT_EQ(Create("odd"), nullptr);
  Factory::RegisterDataSource("my-shop", "memory:m");
  Factory::RegisterDataSource("a b", "memory:m");
  EXPECT_EQ(Uri("my-shop"), "");
  EXPECT_EQ(Errors(), (Texts{"ERROR: data-source URI <ftp:x> has an unknown scheme (known: memory:, sqlite:, "
                             "postgresql://, postgres://) \n",
                             "ERROR: data source not registered: name <my-shop> cannot be written in a query: a data "
                             "path reads '-' as part of the language (use letters, digits, '_' and '.') \n",
                             "ERROR: data source not registered: name <a b> holds a blank or a control character \n"}));
}

TEST_F(CatalogTest, DataFolderNameOpensNameDotDbThereOrInTheWorkingDirectory) {
  EXPECT_EQ(Get("@inside:main:t:{*}:1:a") + Get("@v1.2_x:main:t:{*}:1:a"), "insidedata/v1.2_x.db");
  EXPECT_EQ(Create("nosuch"), nullptr);
  KezDcQrQuery::DeleteAllQueries();
  setenv("KEZDCDB_DATA_DIR", "", 1);
  std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(folder_);
  std::string value = Get("@v1.2_x:main:t:{*}:1:a");
  std::filesystem::current_path(before);
  EXPECT_EQ(value, "data/v1.2_x.db");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(CatalogTest, NamesThatCouldLeaveTheFolderAreRefusedWholeHoweverMade) {
  // In a first argument '/' is the division, so a name is cut there; a put
  // target is read as a data path whole, and cut at no NUL octet either
  // ("inside\0" would open inside.db).
  for (const std::string& name :
       {std::string("../secret"), std::string("sub/inner"), Path("secret"), std::string(".hidden"), std::string("a..b"),
        std::string("sub\\inner"), std::string(""), std::string("a\0b", 3), std::string(".."),
        std::string("sub/../../secret"), std::string("my-shop"), std::string("inside/../../secret"),
        std::string("inside\0", 7), std::string("x\0/../../secret", 15)}) {
    KezDcCMError::ClearErrors();
    EXPECT_EQ(Create(name), nullptr);
    EXPECT_EQ(Errors(), Texts{Refused(name.c_str())}) << name.c_str();
    EXPECT_EQ(Uri(name), "");
    EXPECT_NE(Get("@" + name + ":main:t:{*}:1:a"), "SECRET");
    KezDcCMError::ClearErrors();
    std::string put = "Put(\"x\", @" + name + ":main:t:{*}:1:a)";
    KezDcQrQuery::NewQuery(KezUnicodeString(put.data(), put.size()))->DoQuery();
    EXPECT_EQ(CountError(Refused(name.c_str())), 1);
    EXPECT_EQ(kez::test::AccessFaults::OpenConnections(), 0);
  }
  // Names computed at run time: '#' expanded when the path is read, '$' and
  // bracketed sub-queries at every read, and a name read from a cell.
  RunQuery("Put(\"../secret\", #ds)");
  RunQuery("Put(\"../secret\", $ds)");
  for (const char* path : {"@#ds:main:t:{*}:1:a", "@$ds:main:t:{*}:1:a", "@[\"../\" + \"secret\"]:main:t:{*}:1:a",
                           "@[@inside:main:names:{*}:1:n]:main:t:{*}:1:a"}) {
    KezDcCMError::ClearErrors();
    EXPECT_EQ(Get(path), "") << path;
    EXPECT_GE(CountError(Refused("../secret")), 1) << path;
  }
  // The file outside is there to be read: registered by name, it opens.
  Factory::RegisterDataSource("secret", ("sqlite:" + Path("secret.db")).c_str());
  EXPECT_EQ(Get("@secret:main:t:{*}:1:a"), "SECRET");
}

// A link in the data folder to secret.db outside it opens only when that
// file is registered; a link to a file inside the folder is followed.
TEST_F(CatalogTest, LinksLeavingTheFolderAreRefusedUnlessTheFileIsNamed) {
  std::filesystem::create_symlink(Path("secret.db"), folder_ + "/link.db");
  std::filesystem::create_symlink(folder_ + "/inside.db", folder_ + "/alias.db");
  EXPECT_EQ(Get("@link:main:t:{*}:1:a"), "");
  EXPECT_EQ(CountError("ERROR: data-source name <link> names <" + folder_ +
                       "/link.db>, a link to a file outside the data folder: register that file or name it in the "
                       "catalog to open it \n"),
            1);
  EXPECT_EQ(Uri("link"), "");
  EXPECT_EQ(Get("@alias:main:t:{*}:1:a"), "inside");
  Factory::RegisterDataSource("named", ("sqlite:" + folder_ + "/link.db").c_str());
  EXPECT_EQ(Get("@named:main:t:{*}:1:a"), "SECRET");
}

}  // namespace
}  // namespace test
}  // namespace kez
