// Rowset nodes: empty "##" rowsets, opening by name, the insert interface,
// and failures of the layer while opening either.
#include "database/DbFixture.h"

namespace kez {
namespace test {
namespace {

using RowsetTest = DbTest;

TEST_F(RowsetTest, DoubleHashRowsetIsNullWithoutErrorAndAsksNothingButSingleHashIsAName) {
  for (const char* name : {"##0", "##", "##orders"}) {
    auto* rowset = Built<KezDcQrQRRowset>("Rowset", name);
    ASSERT_NE(rowset, nullptr) << name;
    EXPECT_EQ(rowset->GetQResult(), nullptr) << name;
    EXPECT_EQ(rowset->GetWriteQResult(), nullptr) << name;
  }
  EXPECT_EQ(static_cast<KezDcQrQRSession*>(Registered("@m:main"))->p_QResult, nullptr);
  EXPECT_EQ(Calls(KezDcDbMemory::kCreateDataSource), 0);
  KezDcDbMemory::CreateRowset("shop", "#orders", {{"item", KEZDCDB_TYPESTRING, 8}});
  EXPECT_NE(Built<KezDcQrQRRowset>("Rowset", "#orders")->GetQResult(), nullptr);
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenRowset), 1);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(RowsetTest, RowsetAndInsertInterfaceOpenOnceAndAgainAfterFree) {
  auto* rowset = Node<KezDcQrQRRowset>("@m:main:orders");
  KezIDcDbInsertRowset* insert = rowset->GetWriteQResult();
  ASSERT_NE(insert, nullptr);
  EXPECT_EQ(rowset->GetWriteQResult(), insert);
  KezIDcDbSimpleRowset* opened = rowset->GetQResult();
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(rowset->GetQResult(), opened);
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenRowset), 1);
  EXPECT_EQ(Calls(KezDcDbMemory::kQueryInterface), 1);
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), 4);
  rowset->FreeQResult();
  EXPECT_EQ(rowset->p_QResult, nullptr);
  EXPECT_EQ(rowset->p_WriteQResult, nullptr);
  EXPECT_EQ(KezDcDbMemory::LiveObjects(), 2);  // the session and its source stay open
  EXPECT_NE(rowset->GetWriteQResult(), nullptr);
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenRowset), 2);
  EXPECT_EQ(Calls(KezDcDbMemory::kQueryInterface), 2);
}

TEST_F(RowsetTest, FailedOpenIsOnlyTracedFailedQueryInterfaceReportedAndBothRetried) {
  KezDcDbMemory::FailAt(KezDcDbMemory::kOpenRowset, 4);
  auto* rowset = Node<KezDcQrQRRowset>("@m:main:orders");
  EXPECT_EQ(rowset->GetQResult(), nullptr);
  EXPECT_TRUE(Errors().empty());
  EXPECT_NE(rowset->GetQResult(), nullptr);
  KezDcDbMemory::FailAt(KezDcDbMemory::kQueryInterface, 9);
  EXPECT_EQ(rowset->GetWriteQResult(), nullptr);
  EXPECT_EQ(Errors(),
            std::vector<std::string>{"ERROR QrQRRowset::GetWriteQResult: Error in QueryInterface with Rc=9 \n"});
  EXPECT_NE(rowset->GetWriteQResult(), nullptr);
}

}  // namespace
}  // namespace test
}  // namespace kez
