// Rowset nodes: empty "##" rowsets, opening by name, the insert interface,
// failures of the layer, and the order in which both interfaces go back.
#include "database/DbFixture.h"
#include "database/SpyLayer.h"

namespace kez {
namespace test {
namespace {

using RowsetTest = DbTest;

KezDcQrQRRowset* NewRowset(const char* name) {
  KezUnicodeString type = "Rowset";
  return dynamic_cast<KezDcQrQRRowset*>(KezDcQrQResult::NewQR("@m", "main", name, "", "", "", type));
}

TEST_F(RowsetTest, DoubleHashRowsetIsNullWithoutErrorAndAsksNothing) {
  for (const char* name : {"##0", "##", "##orders"}) {
    KezDcQrQRRowset* rowset = NewRowset(name);
    ASSERT_NE(rowset, nullptr) << name;
    EXPECT_EQ(rowset->GetQResult(), nullptr) << name;
    EXPECT_EQ(rowset->GetWriteQResult(), nullptr) << name;
  }
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(static_cast<KezDcQrQRSession*>(Registered("@m:main"))->p_QResult, nullptr);
  EXPECT_EQ(Calls(KezDcDbMemory::kCreateDataSource), 0);
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenRowset), 0);
}

TEST_F(RowsetTest, SingleHashIsAnOrdinaryName) {
  KezDcDbMemory::CreateRowset("shop", "#orders", {{"item", KEZDCDB_TYPESTRING, 8}});
  KezDcQrQRRowset* rowset = NewRowset("#orders");
  EXPECT_NE(rowset->GetQResult(), nullptr);
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenRowset), 1);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(RowsetTest, OpensOnceAndAgainAfterFree) {
  auto* rowset = Node<KezDcQrQRRowset>("@m:main:orders");
  KezIDcDbSimpleRowset* opened = rowset->GetQResult();
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(rowset->GetQResult(), opened);
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenRowset), 1);
  rowset->FreeQResult();
  EXPECT_EQ(rowset->p_QResult, nullptr);
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), 2);  // the session and its source stay open
  EXPECT_NE(rowset->GetQResult(), nullptr);
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenRowset), 2);
}

TEST_F(RowsetTest, FailedOpenIsOnlyTracedAndRetried) {
  KezDcDbMemory::FailAt(KezDcDbMemory::kOpenRowset, 4);
  auto* rowset = Node<KezDcQrQRRowset>("@m:main:orders");
  EXPECT_EQ(rowset->GetQResult(), nullptr);
  EXPECT_TRUE(Errors().empty());
  EXPECT_NE(rowset->GetQResult(), nullptr);
}

TEST_F(RowsetTest, WithoutSessionItReportsItCannotOpen) {
  KezDcDbMemory::FailAlways(KezDcDbMemory::kOpenSession, 3);
  auto* rowset = Node<KezDcQrQRRowset>("@m:main:orders");
  EXPECT_EQ(rowset->GetQResult(), nullptr);
  EXPECT_EQ(Errors(), (std::vector<std::string>{"ERROR: Openning Session @m:main failed with rc=3\n",
                                                "ERROR: Impossible to open Rowset @m:main:orders \n"}));
}

TEST_F(RowsetTest, InsertInterfaceIsObtainedOnceUntilFree) {
  auto* rowset = Node<KezDcQrQRRowset>("@m:main:orders");
  KezIDcDbInsertRowset* insert = rowset->GetWriteQResult();
  ASSERT_NE(insert, nullptr);
  EXPECT_EQ(rowset->GetWriteQResult(), insert);
  EXPECT_EQ(Calls(KezDcDbMemory::kQueryInterface), 1);
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), 4);
  rowset->FreeQResult();
  EXPECT_EQ(rowset->p_WriteQResult, nullptr);
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), 2);
  EXPECT_NE(rowset->GetWriteQResult(), nullptr);
  EXPECT_EQ(Calls(KezDcDbMemory::kQueryInterface), 2);
}

TEST_F(RowsetTest, FailedQueryInterfaceReportsTheCode) {
  KezDcDbMemory::FailAt(KezDcDbMemory::kQueryInterface, 9);
  auto* rowset = Node<KezDcQrQRRowset>("@m:main:orders");
  EXPECT_EQ(rowset->GetWriteQResult(), nullptr);
  EXPECT_EQ(Errors(),
            std::vector<std::string>{"ERROR QrQRRowset::GetWriteQResult: Error in QueryInterface with Rc=9 \n"});
  EXPECT_NE(rowset->GetWriteQResult(), nullptr);
}

TEST_F(RowsetTest, FreeAndDeleteGiveTheInsertInterfaceBackBeforeTheRowset) {
  SpyLog log;
  auto* source = Node<KezDcQrQRDataSource>("@spy");
  source->p_QResult = new SpySource(&log, 3);
  auto* rowset = Node<KezDcQrQRRowset>("@spy:main:any");
  ASSERT_NE(rowset->GetWriteQResult(), nullptr);
  rowset->FreeQResult();
  EXPECT_EQ(log.events, (std::vector<std::string>{"insert.Release", "rowset.Release"}));

  log.events.clear();
  rowset->GetWriteQResult();
  KezDcQrQResult::DeleteQResult("@spy");
  EXPECT_EQ(log.events,
            (std::vector<std::string>{"insert.Release", "rowset.Release", "session.Release", "source.Release"}));
  EXPECT_EQ(log.alive, 0);
}

}  // namespace
}  // namespace test
}  // namespace kez
