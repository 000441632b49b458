// Release discipline: every object, row and accessor handle of the layer is
// given back exactly once and bottom-up, by freeing at any level, by
// deleting nodes and by deleting every query.
#include "database/DbFixture.h"
#include "database/SpyLayer.h"

namespace kez {
namespace test {
namespace {

const char kSpyCell[] = "@spy:main:any:item:2:item";

class ReleaseTest : public DbTest {
 protected:
  // Opens the spy layer under @spy, reads a cell and obtains the insert
  // interface: every kind of object and handle is then held.
  void OpenSpyRoad() {
    Node<KezDcQrQRDataSource>("@spy")->p_QResult = new SpySource(&log_, 3);
    auto* cell = Node<KezDcQrQRCell>(kSpyCell);
    ASSERT_STREQ(cell->GetQResult(), "row1");
    ASSERT_NE(cell->p_QRData->p_QRRowset->GetWriteQResult(), nullptr);
    log_.events.clear();
  }
  // The releases of one whole road, from the rows up to the data source.
  static std::vector<std::string> WholeRoad() {
    return {"ReleaseRows 2",  "rowset.Release", "ReleaseAccessor 7", "rowset.Release", "insert.Release",
            "rowset.Release", "session.Release", "source.Release"};
  }
  SpyLog log_;
};

TEST_F(ReleaseTest, FreeOfTheDataSourceReleasesEverythingOnceBottomUp) {
  OpenSpyRoad();
  static_cast<KezDcQrQRDataSource*>(Registered("@spy"))->FreeQResult();
  EXPECT_EQ(log_.events, WholeRoad());
  EXPECT_EQ(log_.alive, 0);
  log_.events.clear();
  static_cast<KezDcQrQRDataSource*>(Registered("@spy"))->FreeQResult();
  EXPECT_TRUE(log_.events.empty());
}

TEST_F(ReleaseTest, DeletingTheDataSourceReleasesEverythingOnceBottomUp) {
  OpenSpyRoad();
  KezDcQrQResult::DeleteQResult("@spy");
  EXPECT_EQ(log_.events, WholeRoad());
  EXPECT_EQ(log_.alive, 0);
  EXPECT_EQ(Registered(kSpyCell), nullptr);
}

TEST_F(ReleaseTest, DeleteAllQueriesReleasesEverythingOnce) {
  OpenSpyRoad();
  KezDcQrQuery::DeleteAllQueries();
  EXPECT_EQ(log_.alive, 0);
  EXPECT_EQ(log_.events.size(), WholeRoad().size());
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
  KezDcQrQuery* query = KezDcQrQuery::NewQuery("Get(@m:main:orders:{item+amount}:10:item)");
  query->DoQuery();
  EXPECT_EQ(Held(), "3/3/1");
  KezDcQrQuery::DeleteQuery("Get(@m:main:orders:{item+amount}:10:item)");  // the cell only
  EXPECT_EQ(Registered("@m:main:orders:{item+amount}:10:item"), nullptr);
  EXPECT_EQ(Held(), "3/3/1");
  KezDcQrQResult::DeleteQResult("@m:main:orders:{item+amount}:10");
  EXPECT_EQ(Held(), "3/0/1");
  KezDcQrQResult::DeleteQResult(" @m:main ");
  EXPECT_EQ(Held(), "1/0/0");
  KezDcQrQuery::NewQuery("Get(@m:main:orders:{item+amount}:10:item)")->DoQuery();
  EXPECT_EQ(Held(), "3/3/1");
  KezDcQrQuery::DeleteAllQueries();
  EXPECT_EQ(Held(), "0/0/0");
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size(), 0);
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 0);
}

}  // namespace
}  // namespace test
}  // namespace kez
