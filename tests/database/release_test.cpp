// Release discipline: every object, row and accessor handle of the layer is
// given back exactly once and bottom-up, by freeing at any level, by
// deleting nodes and by deleting every query.
#include <functional>

#include "database/DbFixture.h"
#include "database/SpyLayer.h"

namespace kez {
namespace test {
namespace {

const char kSpyCell[] = "@spy:main:any:item:2:item";

using ReleaseTest = DbTest;

TEST_F(ReleaseTest, FreeingOrDeletingAnyLevelReleasesWhatItHoldsOnceBottomUp) {
  const std::vector<std::string> road = {"ReleaseRows 2",  "rowset.Release", "ReleaseAccessor 7", "rowset.Release",
                                         "insert.Release", "rowset.Release", "session.Release",   "source.Release"};
  const auto free_source = [] { static_cast<KezDcQrQRDataSource*>(Registered("@spy"))->FreeQResult(); };
  struct Case {
    const char* name;
    std::function<void()> release;
    size_t released;  // the first events of the road
  } cases[] = {
      {"free of the rowset", [] { static_cast<KezDcQrQRRowset*>(Registered("@spy:main:any"))->FreeQResult(); }, 6},
      {"deleting the data source", [] { KezDcQrQResult::DeleteQResult("@spy"); }, 8},
      {"deleting every query", [] { KezDcQrQuery::DeleteAllQueries(); }, 8},
      {"free of the data source", free_source, 8},
  };
  SpyLog log;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KezDcQrQuery::DeleteAllQueries();
    ASSERT_EQ(log.alive, 0);
    // The spy layer under @spy, a cell read and the insert interface
    // obtained: every kind of object and handle is held.
    Node<KezDcQrQRDataSource>("@spy")->p_QResult = new SpySource(&log);
    auto* cell = Node<KezDcQrQRCell>(kSpyCell);
    ASSERT_STREQ(cell->GetQResult(), "row1");
    ASSERT_NE(cell->p_QRData->p_QRRowset->GetWriteQResult(), nullptr);
    log.events.clear();
    c.release();
    EXPECT_EQ(log.events, std::vector<std::string>(road.begin(), road.begin() + c.released));
    EXPECT_EQ(log.alive, c.released == road.size() ? 0 : 2);
  }
  log.events.clear();
  free_source();  // a second free has nothing left to release
  EXPECT_TRUE(log.events.empty());
}

TEST_F(ReleaseTest, EachLevelReleasesWhatItHoldsAndNoMore) {
  FillOrders(12);
  auto* cell = Node<KezDcQrQRCell>("@m:main:orders:*:10:item");
  cell->GetQResult();
  EXPECT_EQ(Held(), "3/10/1");
  cell->FreeQResult();
  EXPECT_EQ(Held(), "3/10/1");
  cell->p_QRData->FreeQResult();
  EXPECT_EQ(Held(), "3/0/1");
  cell->p_QRData->p_QRAccessor->FreeQResult();
  EXPECT_EQ(Held(), "3/0/0");
  cell->p_QRData->p_QRRowset->FreeQResult();
  EXPECT_EQ(Held(), "2/0/0");
  static_cast<KezDcQrQRSession*>(Registered("@m:main"))->FreeQResult();
  EXPECT_EQ(Held(), "1/0/0");
  static_cast<KezDcQrQRDataSource*>(Registered("@m"))->FreeQResult();
  EXPECT_EQ(Held(), "0/0/0");
}

TEST_F(ReleaseTest, SeveralBlocksAndAccessorsUnderOneRowsetAllGoBack) {
  FillOrders(12);
  Node<KezDcQrQRCell>("@m:main:orders:*:10:item")->GetQResult();
  Node<KezDcQrQRCell>("@m:main:orders:*:5:item")->GetQResult();
  Node<KezDcQrQRCell>("@m:main:orders:item:3:item")->GetQResult();
  Node<KezDcQrQRData>("@m:main:orders:item:3")->p_QRRowset->GetWriteQResult();
  EXPECT_EQ(Held(), "4/12/2");  // the blocks share the rowset's one position
  static_cast<KezDcQrQRRowset*>(Registered("@m:main:orders"))->FreeQResult();
  EXPECT_EQ(Held(), "2/0/0");
  Node<KezDcQrQRCell>("@m:main:orders:*:5:item")->GetQResult();
  EXPECT_EQ(Held(), "3/5/1");
  KezDcQrQResult::DeleteQResult("@m:main:orders:*");
  EXPECT_EQ(Held(), "3/0/0");
  EXPECT_EQ(Registered("@m:main:orders:*:5:item"), nullptr);
}

TEST_F(ReleaseTest, DeletingPartsOfTheRoadReleasesTheirObjects) {
  FillOrders(3);
  const std::string text = "Get(@m:main:orders:{item+amount}:10:item)";
  Run(text);
  EXPECT_EQ(Held(), "3/3/1");
  KezDcQrQuery::DeleteQuery(text.c_str());  // the cell only
  EXPECT_EQ(Registered("@m:main:orders:{item+amount}:10:item"), nullptr);
  EXPECT_EQ(Held(), "3/3/1");
  KezDcQrQResult::DeleteQResult("@m:main:orders:{item+amount}:10");
  EXPECT_EQ(Held(), "3/0/1");
  KezDcQrQResult::DeleteQResult(" @m:main ");
  EXPECT_EQ(Held(), "1/0/0");
  Run(text);
  EXPECT_EQ(Held(), "3/3/1");
  KezDcQrQuery::DeleteAllQueries();
  EXPECT_EQ(Held(), "0/0/0");
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size(), 0);
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 0);
}

}  // namespace
}  // namespace test
}  // namespace kez
