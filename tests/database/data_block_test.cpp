// Data-block nodes: walking a rowset block by block, the end of the rowset
// and its restart, refused block sizes, and the states after Init and Free.
#include "database/DbFixture.h"

namespace kez {
namespace test {
namespace {

using DataBlockTest = DbTest;

TEST_F(DataBlockTest, WalksTwentyFiveRowsInBlocksOfTen) {
  FillOrders(25);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  EXPECT_EQ(CurrentRow(data), "r1");
  EXPECT_EQ(KezDcDbMemory::OutstandingRows(), 10);
  for (int k = 2; k <= 25; ++k) {
    data->GetNextLine();
    ASSERT_EQ(CurrentRow(data), "r" + std::to_string(k)) << "after GetNextLine " << k - 1;
    ASSERT_TRUE(data->IsMoreData());
    EXPECT_EQ(KezDcDbMemory::OutstandingRows(), k <= 20 ? 10 : 5);
  }
  EXPECT_EQ(Calls(KezDcDbMemory::kGetNextRows), 3);
  EXPECT_EQ(data->GetNbRowsObtained(), 5);

  data->GetNextLine();  // the fetch after row 25 gets nothing
  EXPECT_EQ(Calls(KezDcDbMemory::kGetNextRows), 4);
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(data->GetNbRowsObtained(), 0);
  EXPECT_EQ(CurrentRow(data), "r25");
  EXPECT_EQ(KezDcDbMemory::OutstandingRows(), 0);
  EXPECT_EQ(Calls(KezDcDbMemory::kGetDataSeq), 25);
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenRowset), 1);

  // The next line reopens the rowset: its first row, then the second.
  data->GetNextLine();
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenRowset), 2);
  EXPECT_EQ(CurrentRow(data), "r2");
  EXPECT_TRUE(data->IsMoreData());
  EXPECT_TRUE(Errors().empty());
}

TEST_F(DataBlockTest, BlockOfOneFetchesAtEveryLine) {
  FillOrders(3);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:1");
  EXPECT_EQ(CurrentRow(data), "r1");
  data->GetNextLine();
  EXPECT_EQ(CurrentRow(data), "r2");
  EXPECT_EQ(KezDcDbMemory::OutstandingRows(), 1);
  data->GetNextLine();
  EXPECT_EQ(CurrentRow(data), "r3");
  EXPECT_EQ(Calls(KezDcDbMemory::kGetNextRows), 3);
  EXPECT_EQ(Calls(KezDcDbMemory::kReleaseRows), 2);
}

TEST_F(DataBlockTest, BlockThatIsNoPositiveNumberIsRefusedAndNeverFetches) {
  FillOrders(3);
  for (const char* block : {"0", "abc", "-5"}) {
    KezDcCMError::ClearErrors();
    std::string path = std::string("@m:main:orders:*:") + block;
    auto* data = Node<KezDcQrQRData>(path.c_str());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(Errors(), std::vector<std::string>{"ERROR DATBLOCK CAN'T BE <" + std::string(block) +
                                                 "> (PUT A NUMBER) !\n"});
    EXPECT_EQ(data->NumBlock, 0u);
    data->GetQResult();
    data->GetNextLine();
    data->GetNextLine();
    EXPECT_FALSE(data->IsMoreData()) << block;
    EXPECT_EQ(data->GetNbRowsObtained(), 0);
    EXPECT_EQ(Calls(KezDcDbMemory::kGetNextRows), 0) << block;
    EXPECT_EQ(Calls(KezDcDbMemory::kGetDataSeq), 0) << block;
  }
}

TEST_F(DataBlockTest, RefusedBlockNeverRestartsTheRowsetOfItsSiblings) {
  FillOrders(3);
  auto* walking = Node<KezDcQrQRData>("@m:main:orders:*:10");
  walking->GetNextLine();
  auto* refused = Node<KezDcQrQRData>("@m:main:orders:*:0");
  refused->GetNextLine();
  refused->GetNextLine();
  EXPECT_EQ(CurrentRow(walking), "r2");
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenRowset), 1);
}

TEST_F(DataBlockTest, NextLineOnAFreshNodeLeavesTheSecondRow) {
  FillOrders(3);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  data->GetNextLine();
  EXPECT_EQ(CurrentRow(data), "r2");
  EXPECT_EQ(Calls(KezDcDbMemory::kGetNextRows), 1);
}

TEST_F(DataBlockTest, IsMoreDataOnAFreshNodeFetchesFirst) {
  FillOrders(2);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  EXPECT_TRUE(data->IsMoreData());
  EXPECT_EQ(Calls(KezDcDbMemory::kGetNextRows), 1);
  EXPECT_EQ(Field(data, 0), "r1");
}

TEST_F(DataBlockTest, InitThenGetReopensTheRowsetBeforeTheFirstFetch) {
  FillOrders(2);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  data->InitData();
  ASSERT_NE(data->p_RowBuffer, nullptr);
  EXPECT_EQ(data->p_RowBuffer->length(), 192u);
  EXPECT_EQ(Calls(KezDcDbMemory::kGetNextRows), 0);
  // A buffer without rows counts as the end of the rowset.
  EXPECT_EQ(data->GetData(), data);
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenRowset), 2);
  EXPECT_EQ(Field(data, 0), "r1");
  EXPECT_EQ(Calls(KezDcDbMemory::kGetNextRows), 1);
}

TEST_F(DataBlockTest, InitOnANodeWithABufferChangesNothing) {
  FillOrders(2);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  data->GetQResult();
  _SEQUENCE_SEQUENCE_octet* buffer = data->p_RowBuffer;
  data->InitQResult();
  EXPECT_EQ(data->p_RowBuffer, buffer);
  EXPECT_EQ(Field(data, 0), "r1");
  EXPECT_EQ(data->RowCursor, 1u);
}

TEST_F(DataBlockTest, FreeThenGetStartsAgainFromTheFirstRow) {
  FillOrders(4);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:2");
  data->GetNextLine();
  data->GetNextLine();
  EXPECT_EQ(CurrentRow(data), "r3");
  data->FreeQResult();
  EXPECT_EQ(data->p_RowBuffer, nullptr);
  EXPECT_EQ(data->p_QRD, nullptr);
  EXPECT_EQ(KezDcDbMemory::OutstandingRows(), 0);
  // The rowset stayed open at row 5: it starts again for the first row.
  EXPECT_EQ(CurrentRow(data), "r1");
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenRowset), 2);
  // Freeing the rowset frees the block below it too, and opens it once.
  data->FreeRowsetOfData();
  EXPECT_EQ(Held(), "2/0/0");
  EXPECT_EQ(CurrentRow(data), "r1");
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenRowset), 3);
}

TEST_F(DataBlockTest, EmptyRowsetRestartsAtEveryLineWithoutRows) {
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  EXPECT_FALSE(data->IsMoreData());
  data->GetNextLine();
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(data->RcGetNextRows, 0u);
  EXPECT_EQ(Calls(KezDcDbMemory::kGetDataSeq), 0);
}

TEST_F(DataBlockTest, UnavailableRowsetRecordsCode998) {
  KezUnicodeString type = "Data";
  auto* data = dynamic_cast<KezDcQrQRData*>(KezDcQrQResult::NewQR("@m", "main", "##0", "*", "10", "", type));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->GetData(), data);
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(data->GetNextLine(), data);
  EXPECT_EQ(data->RcGetNextRows, KezDcQrQRData::kNoRowset);
  EXPECT_EQ(data->p_RowBuffer, nullptr);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(DataBlockTest, GetNextLineReturnsTheRowsetThatCopiedTheRowElseTheNode) {
  FillOrders(2);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  EXPECT_EQ(data->GetNextLine(), data->p_QRRowset->p_QResult);
  EXPECT_EQ(data->GetNextLine(), data);  // no third row
}

}  // namespace
}  // namespace test
}  // namespace kez
