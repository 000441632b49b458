// Data-source and session nodes: opening once, reopening after a free,
// failures of the layer with their messages, and nodes without a father.
#include "database/DbFixture.h"

namespace kez {
namespace test {
namespace {

using DataSourceTest = DbTest;

TEST_F(DataSourceTest, OpensOnceAndHandsOutTheSameObject) {
  auto* source = Node<KezDcQrQRDataSource>("@m");
  ASSERT_NE(source, nullptr);
  KezIDcDbDataSource* first = source->GetQResult();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(source->GetQResult(), first);
  EXPECT_EQ(Calls(KezDcDbMemory::kCreateDataSource), 1);
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), 1);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(DataSourceTest, FreeReleasesAndTheNextReadOpensAgain) {
  auto* source = Node<KezDcQrQRDataSource>("@m");
  source->GetQResult();
  source->FreeQResult();
  EXPECT_EQ(source->p_QResult, nullptr);
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), 0);
  source->FreeQResult();  // a second free has nothing left to release
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), 0);
  EXPECT_NE(source->GetQResult(), nullptr);
  EXPECT_EQ(Calls(KezDcDbMemory::kCreateDataSource), 2);
}

TEST_F(DataSourceTest, FailedLoadReportsWithTheMarkerAndRetriesAtEveryRead) {
  auto* source = Node<KezDcQrQRDataSource>("@nowhere");
  EXPECT_EQ(source->GetQResult(), nullptr);
  EXPECT_EQ(source->GetQResult(), nullptr);
  EXPECT_EQ(CountError("ERROR: Impossible to load DataSource @nowhere \n"), 2);

  KezDcDbMemory::FailAt(KezDcDbMemory::kCreateDataSource, 1);
  auto* m = Node<KezDcQrQRDataSource>("@m");
  EXPECT_EQ(m->GetQResult(), nullptr);
  EXPECT_EQ(CountError("ERROR: Impossible to load DataSource @m \n"), 1);
  EXPECT_NE(m->GetQResult(), nullptr);
}

TEST_F(DataSourceTest, SessionBelowAFailedSourceReportsItCannotOpen) {
  KezDcDbMemory::FailAt(KezDcDbMemory::kCreateDataSource, 1);
  auto* session = Node<KezDcQrQRSession>("@m:main");
  EXPECT_EQ(session->GetQResult(), nullptr);
  EXPECT_EQ(Errors(), (std::vector<std::string>{"ERROR: Impossible to load DataSource @m \n",
                                                "ERROR: Impossible to open Session @m:main \n"}));
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenSession), 0);
}

using SessionTest = DbTest;

TEST_F(SessionTest, OpensOnceOnItsSourcesObject) {
  auto* session = Node<KezDcQrQRSession>("@m:main");
  KezIDcDbSimpleSession* opened = session->GetQResult();
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(session->GetQResult(), opened);
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenSession), 1);
  EXPECT_EQ(session->p_QRDataSource, Registered("@m"));
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), 2);
}

TEST_F(SessionTest, FailedOpenReportsTheCodeStaysClosedAndRetries) {
  KezDcDbMemory::FailAt(KezDcDbMemory::kOpenSession, 7);
  auto* session = Node<KezDcQrQRSession>("@m:main");
  EXPECT_EQ(session->GetQResult(), nullptr);
  EXPECT_EQ(session->p_QResult, nullptr);
  EXPECT_EQ(Errors(), std::vector<std::string>{"ERROR: Openning Session @m:main failed with rc=7\n"});
  EXPECT_NE(session->GetQResult(), nullptr);
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenSession), 2);
}

TEST_F(SessionTest, FreeOfTheSourceClosesTheSessionFirst) {
  auto* session = Node<KezDcQrQRSession>("@m:main");
  session->GetQResult();
  static_cast<KezDcQrQRDataSource*>(Registered("@m"))->FreeQResult();
  EXPECT_EQ(session->p_QResult, nullptr);
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), 0);
  EXPECT_NE(session->GetQResult(), nullptr);
  EXPECT_EQ(Calls(KezDcDbMemory::kCreateDataSource), 2);
}

TEST_F(SessionTest, WithoutFatherItReportsAndNeverOpens) {
  auto* session = new KezDcQrQRSession("@m", "orphan");
  EXPECT_EQ(CountError("ERROR FATHER QUERY <@m> DOESN'T APPEAR IN HQR DICO !\n"), 1);
  EXPECT_EQ(Registered("@m:orphan"), session);
  EXPECT_EQ(session->GetQResult(), nullptr);
  EXPECT_EQ(CountError("ERROR: Impossible to open Session @m:orphan \n"), 1);
  EXPECT_EQ(Calls(KezDcDbMemory::kCreateDataSource), 0);
}

}  // namespace
}  // namespace test
}  // namespace kez
