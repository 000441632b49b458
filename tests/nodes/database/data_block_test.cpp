// Data sources, sessions and rowsets open once and their free gives back
// what they hold exactly once. Data blocks: walking a rowset block by block,
// its end and restart, refused block sizes, fresh nodes, and reads when the
// layer fails (the fetch codes of the layer, and a rowset that cannot open
// again, are in tests/hardening/fault_injection_test.cpp).
#include "support/DbFixture.h"

namespace kez {
namespace test {
namespace {

using DataBlockTest = DbTest;

// One round trip per block, rows released at the end; the end restarts the
// rowset on its second row, a free of the block starts again from the first.
TEST_F(DataBlockTest, WalksTwentyFiveRowsInBlocksOfTenThenRestarts) {
  FillOrders(25);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  EXPECT_EQ(CurrentRow(data), "r1");
  for (int k = 2; k <= 25; ++k) {
    data->GetNextLine();
    ASSERT_EQ(CurrentRow(data) + (data->IsMoreData() ? "" : " ended"), "r" + std::to_string(k));
  }
  EXPECT_EQ(data->GetNextLine(), data);  // the fetch after row 25 gets nothing
  EXPECT_EQ(CurrentRow(data) + (data->IsMoreData() ? " more" : ""), "r25");
  EXPECT_EQ(Held() + " " + Calls({F::kGetNextRows, F::kOpenRowset}), "3/0/1 4/1");
  data->GetNextLine();
  EXPECT_EQ(CurrentRow(data), "r2");
  data->FreeQResult();
  EXPECT_EQ(CurrentRow(data), "r1");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(DataBlockTest, BlockThatIsNoPositiveNumberIsRefusedAndNeverFetchesNorRestartsItsSiblings) {
  FillOrders(3);
  auto* walking = Node<KezDcQrQRData>("@m:main:orders:*:10");
  walking->GetNextLine();
  for (const std::string block : {"0", "abc", "-5", "2147483648", "99999999999"}) {
    KezDcCMError::ClearErrors();
    auto* data = Node<KezDcQrQRData>("@m:main:orders:*:" + block);
    EXPECT_EQ(Errors(), Texts{"ERROR DATBLOCK CAN'T BE <" + block + "> (PUT A NUMBER) !\n"});
    EXPECT_FALSE((data->GetQResult(), data->GetNextLine(), data->GetNextLine(), data->IsMoreData())) << block;
  }
  EXPECT_EQ(Calls({F::kGetNextRows, F::kOpenRowset}), "1/1");
  EXPECT_EQ(CurrentRow(walking), "r2");
}

// An empty rowset ends at once; on a fresh node the first GetNextLine,
// IsMoreData or Init starts the rowset.
TEST_F(DataBlockTest, FirstNextLineIsMoreDataOrInitOnAFreshNodeStartsTheRowset) {
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  data->GetNextLine();
  EXPECT_FALSE(data->IsMoreData());
  FillOrders(3);
  const auto fresh = [] { return KezDcQrQResult::DeleteQResult("@m"), Node<KezDcQrQRData>("@m:main:orders:*:10"); };
  data = fresh();
  data->GetNextLine();  // the first row, then the next line
  EXPECT_EQ(CurrentRow(data), "r2");
  data = fresh();
  EXPECT_TRUE(data->IsMoreData());
  EXPECT_EQ(Field(data, 0), "r1");
  data = fresh();
  data->InitData();
  EXPECT_EQ(data->GetData(), data);  // a buffer without rows counts as the end of the rowset
  data->InitQResult();
  EXPECT_EQ(Field(data, 0), "r1");
  data->FreeRowsetOfData();  // frees the block below the rowset too
  EXPECT_EQ(Held(), "2/0/0");
  EXPECT_EQ(CurrentRow(data), "r1");
}

// The codes of the column information are not examined; a row that fails to
// copy empties the buffer, with a report, rather than leave the previous row
// in it; without an accessor handle the block fetches no row it could not copy.
TEST_F(DataBlockTest, FailedRowCopyEmptiesTheBufferAndAMissingAccessorFetchesNothing) {
  FillOrders(3);
  F::FailAt(F::kGetColumnsInfo, 5);
  F::FailAt(F::kGetDataSeq, 5, 2);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  EXPECT_EQ(CurrentRow(data), "r1");
  data->GetNextLine();
  EXPECT_EQ(CurrentRow(data) + (data->IsMoreData() ? " more" : ""), " more");
  EXPECT_EQ(Errors(),
            Texts{"ERROR in QrQRData: row 2 of the block of <@m:main:orders:*:10> can't be read (GetDataSeq rc=5) \n"});
  data->GetNextLine();
  EXPECT_EQ(CurrentRow(data), "r3");
  KezDcQrQResult::DeleteQResult("@m");
  KezDcCMError::ClearErrors();
  long fetched = Calls(F::kGetNextRows);
  F::FailAt(F::kCreateAccessor, 5);
  data = Node<KezDcQrQRData>("@m:main:orders:item:10");
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(Calls(F::kGetNextRows), fetched);
  data->GetNextLine();  // the accessor binds now: the first row is still there
  EXPECT_EQ(Field(data, 0), "r1");
  EXPECT_TRUE(Errors().empty());
}

// Fetch codes 1 and 2 copy no row and wait (a failed fetch keeps the row in
// the buffer); 3 and above end the rowset, which starts again; a rowset that
// cannot open again records code 998 until it opens.
TEST_F(DataBlockTest, CodesOneAndTwoWaitThreeAndAboveEndAndNoRowsetIs998) {
  FillOrders(5);
  for (int code : {1, 2, 3, -1}) {  // -1 is above 3 as an unsigned code
    const bool ends = code < 0 || code >= 3;
    KezDcQrQResult::DeleteQResult("@m");
    F::FailAt(F::kGetNextRows, code);
    auto* data = Node<KezDcQrQRData>("@m:main:orders:*:2");
    EXPECT_EQ(CurrentRow(data) + (data->IsMoreData() ? "+" : "-"), ends ? "-" : "+") << code;
    data->GetNextLine();
    EXPECT_EQ(CurrentRow(data), ends ? "r2" : "r1") << code;
    if (ends) continue;
    data->GetNextLine();
    F::FailAt(F::kGetNextRows, code);
    data->GetNextLine();
    EXPECT_EQ(CurrentRow(data) + (data->IsMoreData() ? "+" : "-"), "r2+");
  }
  KezDcQrQResult::DeleteQResult("@m");
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:5");
  for (int k = 0; k < 5; ++k) data->GetNextLine();  // past the last row
  F::FailAlways(F::kOpenRowset, 5);
  data->GetNextLine();
  EXPECT_EQ(data->RcGetNextRows + data->IsMoreData(), KezDcQrQRData::kNoRowset);
  F::ClearFailures();
  data->GetNextLine();
  EXPECT_EQ(CurrentRow(data), "r1");
  EXPECT_TRUE(Errors().empty());
}

using OpenReleaseTest = DbTest;

TEST_F(OpenReleaseTest, EachLevelOpensOnceAndItsFreeReleasesWhatItHoldsAndNoMore) {
  FillOrders(12);
  auto* cell = Node<KezDcQrQRCell>("@m:main:orders:*:10:item");
  KezDcQrQRData* data = cell->p_QRData;
  KezDcQrQRRowset* rowset = data->p_QRRowset;
  KezDcQrQRSession* session = rowset->p_QRSession;
  cell->GetQResult();
  EXPECT_EQ(rowset->GetWriteQResult(), rowset->GetWriteQResult());
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
  // Blocks and accessors under one rowset go back with its free; deleting an
  // accessor deletes the blocks and cells below it.
  for (const char* path : {"@m:main:orders:*:10:item", "@m:main:orders:*:5:item", "@m:main:orders:item:3:item"})
    Node<KezDcQrQRCell>(path)->GetQResult();
  rowset->GetWriteQResult();
  EXPECT_EQ(Held(), "4/12/2");
  rowset->FreeQResult();
  EXPECT_EQ(Held(), "2/0/0");
  Node<KezDcQrQRCell>("@m:main:orders:*:5:item")->GetQResult();
  EXPECT_EQ(Held(), "3/5/1");
  KezDcQrQResult::DeleteQResult("@m:main:orders:*");
  EXPECT_EQ(Held(), "3/0/0");
  EXPECT_EQ(Located("@m:main:orders:*:5:item"), nullptr);
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
  EXPECT_EQ(Located("@m:orphan"), orphan);
  EXPECT_EQ(orphan->GetQResult(), nullptr);
  EXPECT_EQ(Errors(), (Texts{"ERROR FATHER QUERY <@m> DOESN'T APPEAR IN HQR DICO !\n",
                             "ERROR: Impossible to open Session @m:orphan \n"}));
  KezDcCMError::ClearErrors();
  for (const char* name : {"##0", "##", "##orders"}) {
    auto* rowset = As<KezDcQrQRRowset>(NewQR("Rowset", "@m", "main", name));
    EXPECT_TRUE(!rowset->GetQResult() && !rowset->GetWriteQResult()) << name;
  }
  EXPECT_EQ(Calls(F::kCreateDataSource), 0);
  KezDcDbMemory::CreateRowset("shop", "#orders", {{"item", KEZDCDB_TYPESTRING, 8}});
  EXPECT_NE(As<KezDcQrQRRowset>(NewQR("Rowset", "@m", "main", "#orders"))->GetQResult(), nullptr);
  F::FailAt(F::kOpenRowset, 4);
  auto* rowset = Node<KezDcQrQRRowset>("@m:main:orders");
  EXPECT_EQ(rowset->GetQResult(), nullptr);
  EXPECT_NE(rowset->GetQResult(), nullptr);
  EXPECT_TRUE(Errors().empty());
}

}  // namespace
}  // namespace test
}  // namespace kez
