// Data sources, sessions and rowsets: each level opens once and its free or
// deletion gives back what it holds exactly once; what cannot open is
// reported or left empty and tried again at the next read.
#include "support/DbFixture.h"

namespace kez {
namespace test {
namespace {

using OpenReleaseTest = DbTest;

TEST_F(OpenReleaseTest, EachLevelOpensOnceAndItsFreeReleasesWhatItHoldsAndNoMore) {
  FillOrders(12);
  auto* cell = Node<KezDcQrQRCell>("@m:main:orders:*:10:item");
  KezDcQrQRData* data = cell->p_QRData;
  KezDcQrQRRowset* rowset = data->p_QRRowset;
  KezDcQrQRSession* session = rowset->p_QRSession;
  cell->GetQResult();
  KezIDcDbInsertRowset* insert = rowset->GetWriteQResult();
  EXPECT_EQ(rowset->GetWriteQResult(), insert);
  EXPECT_EQ(session->GetQResult(), session->p_QResult);
  EXPECT_EQ(Calls({F::kCreateDataSource, F::kOpenSession, F::kOpenRowset, F::kQueryInterface}), "1/1/1/1");
  Texts held = {Held()};
  for (KezDcQrQResult* level : std::vector<KezDcQrQResult*>{cell, data, data->p_QRAccessor, rowset, session,
                                                            session->p_QRDataSource, session->p_QRDataSource}) {
    level->FreeQResult();  // the second free of the source has nothing left
    held.push_back(Held());
  }
  EXPECT_EQ(held, (Texts{"4/10/1", "4/10/1", "4/0/1", "4/0/0", "2/0/0", "1/0/0", "0/0/0", "0/0/0"}));
  // The next read opens again; the source's free closes what is below it.
  EXPECT_NE(rowset->GetWriteQResult(), nullptr);
  EXPECT_EQ(Calls({F::kCreateDataSource, F::kQueryInterface}), "2/2");
  session->p_QRDataSource->FreeQResult();
  EXPECT_EQ(session->p_QResult, nullptr);
  // Blocks and accessors under one rowset go back with its free; deleting an
  // accessor deletes the blocks and cells below it.
  for (const char* path : {"@m:main:orders:*:10:item", "@m:main:orders:*:5:item", "@m:main:orders:item:3:item"}) {
    Node<KezDcQrQRCell>(path)->GetQResult();
  }
  rowset->GetWriteQResult();
  EXPECT_EQ(Held(), "4/12/2");
  rowset->FreeQResult();
  EXPECT_EQ(Held(), "2/0/0");
  Node<KezDcQrQRCell>("@m:main:orders:*:5:item")->GetQResult();
  EXPECT_EQ(Held(), "3/5/1");
  KezDcQrQResult::DeleteQResult("@m:main:orders:*");
  EXPECT_EQ(Held(), "3/0/0");
  EXPECT_EQ(Registered("@m:main:orders:*:5:item"), nullptr);
  cell = Node<KezDcQrQRCell>("@m:main:orders:item:3:item");
  cell->GetQResult();
  KezDcQrQResult::DeleteQResult("@m");
  EXPECT_EQ(Held(), "0/0/0");
  EXPECT_TRUE(Errors().empty());
}

// A session without a father never opens; "##..." rowsets open nothing
// and ask nothing, "#orders" is a name; a rowset's own failure to open is
// only traced and tried again at the next read.
TEST_F(OpenReleaseTest, EmptyRowsetsAndFailuresToOpen) {
  auto* orphan = new KezDcQrQRSession("@m", "orphan");
  EXPECT_EQ(Registered("@m:orphan"), orphan);
  EXPECT_EQ(orphan->GetQResult(), nullptr);
  EXPECT_EQ(Errors(), (Texts{"ERROR FATHER QUERY <@m> DOESN'T APPEAR IN HQR DICO !\n",
                             "ERROR: Impossible to open Session @m:orphan \n"}));
  KezDcCMError::ClearErrors();
  for (const char* name : {"##0", "##", "##orders"}) {
    auto* rowset = Built<KezDcQrQRRowset>("Rowset", name);
    EXPECT_TRUE(!rowset->GetQResult() && !rowset->GetWriteQResult()) << name;
  }
  EXPECT_EQ(Calls(F::kCreateDataSource), 0);
  KezDcDbMemory::CreateRowset("shop", "#orders", {{"item", KEZDCDB_TYPESTRING, 8}});
  EXPECT_NE(Built<KezDcQrQRRowset>("Rowset", "#orders")->GetQResult(), nullptr);
  F::FailAt(F::kOpenRowset, 4);
  auto* rowset = Node<KezDcQrQRRowset>("@m:main:orders");
  EXPECT_EQ(rowset->GetQResult(), nullptr);
  EXPECT_NE(rowset->GetQResult(), nullptr);
  EXPECT_TRUE(Errors().empty());
}

}  // namespace
}  // namespace test
}  // namespace kez
