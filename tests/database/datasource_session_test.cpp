// Data-source and session nodes: opening once, reopening after a free, a
// name that loads nothing, and a session without a father.
#include "database/DbFixture.h"

namespace kez {
namespace test {
namespace {

using DataSourceTest = DbTest;

TEST_F(DataSourceTest, SourceAndSessionOpenOnceCloseTogetherAndOpenAgain) {
  auto* session = Node<KezDcQrQRSession>("@m:main");
  auto* source = static_cast<KezDcQrQRDataSource*>(Registered("@m"));
  EXPECT_EQ(session->p_QRDataSource, source);
  KezIDcDbSimpleSession* opened = session->GetQResult();
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(session->GetQResult(), opened);
  KezIDcDbDataSource* loaded = source->GetQResult();
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(source->GetQResult(), loaded);
  EXPECT_EQ(Calls(KezDcDbMemory::kCreateDataSource), 1);
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenSession), 1);
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), 2);
  source->FreeQResult();  // closes the session first
  EXPECT_EQ(session->p_QResult, nullptr);
  EXPECT_EQ(source->p_QResult, nullptr);
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), 0);
  source->FreeQResult();  // a second free has nothing left to release
  EXPECT_NE(session->GetQResult(), nullptr);
  EXPECT_EQ(Calls(KezDcDbMemory::kCreateDataSource), 2);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(DataSourceTest, FailedLoadReportsWithTheMarkerAndRetriesAtEveryRead) {
  auto* source = Node<KezDcQrQRDataSource>("@nowhere");
  EXPECT_EQ(source->GetQResult(), nullptr);
  EXPECT_EQ(source->GetQResult(), nullptr);
  EXPECT_EQ(Errors(), std::vector<std::string>(2, "ERROR: Impossible to load DataSource @nowhere \n"));
}

TEST_F(DataSourceTest, SessionWithoutFatherReportsAndNeverOpens) {
  auto* session = new KezDcQrQRSession("@m", "orphan");
  EXPECT_EQ(Registered("@m:orphan"), session);
  EXPECT_EQ(session->GetQResult(), nullptr);
  EXPECT_EQ(Errors(), (std::vector<std::string>{"ERROR FATHER QUERY <@m> DOESN'T APPEAR IN HQR DICO !\n",
                                                "ERROR: Impossible to open Session @m:orphan \n"}));
  EXPECT_EQ(Calls(KezDcDbMemory::kCreateDataSource), 0);
}

}  // namespace
}  // namespace test
}  // namespace kez
