// Data-block nodes: walking a rowset block by block, the end of the rowset
// and its restart, refused block sizes, and the states after Init and Free.
#include "database/DbFixture.h"

namespace kez {
namespace test {
namespace {

using DataBlockTest = DbTest;

TEST_F(DataBlockTest, WalksTwentyFiveRowsInBlocksOfTenThenRestarts) {
  FillOrders(25);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  EXPECT_EQ(CurrentRow(data), "r1");
  for (int k = 2; k <= 25; ++k) {
    // A line that copies a row is copied through the rowset's interface.
    ASSERT_EQ(data->GetNextLine(), data->p_QRRowset->p_QResult);
    ASSERT_EQ(CurrentRow(data), "r" + std::to_string(k));
    ASSERT_TRUE(data->IsMoreData());
    EXPECT_EQ(KezDcDbMemory::OutstandingRows(), k <= 20 ? 10 : 5);
  }
  EXPECT_EQ(Calls(KezDcDbMemory::kGetNextRows), 3);
  EXPECT_EQ(data->GetNbRowsObtained(), 5);

  EXPECT_EQ(data->GetNextLine(), data);  // the fetch after row 25 gets nothing
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
  data->GetNextLine();
  EXPECT_EQ(CurrentRow(data), "r3");
  EXPECT_EQ(KezDcDbMemory::OutstandingRows(), 1);
  EXPECT_EQ(Calls(KezDcDbMemory::kGetNextRows), 3);
  EXPECT_EQ(Calls(KezDcDbMemory::kReleaseRows), 2);
}

TEST_F(DataBlockTest, BlockThatIsNoPositiveNumberIsRefusedAndNeverFetchesNorRestartsItsSiblings) {
  FillOrders(3);
  for (const char* block : {"0", "abc", "-5"}) {
    SCOPED_TRACE(block);
    KezDcCMError::ClearErrors();
    auto* data = Node<KezDcQrQRData>(std::string("@m:main:orders:*:") + block);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(Errors(),
              std::vector<std::string>{"ERROR DATBLOCK CAN'T BE <" + std::string(block) + "> (PUT A NUMBER) !\n"});
    EXPECT_EQ(data->NumBlock, 0u);
    data->GetQResult();
    data->GetNextLine();
    data->GetNextLine();
    EXPECT_FALSE(data->IsMoreData());
    EXPECT_EQ(data->GetNbRowsObtained(), 0);
    EXPECT_EQ(Calls(KezDcDbMemory::kGetNextRows), 0);
    EXPECT_EQ(Calls(KezDcDbMemory::kGetDataSeq), 0);
  }
  auto* walking = Node<KezDcQrQRData>("@m:main:orders:*:10");
  walking->GetNextLine();
  long opened = Calls(KezDcDbMemory::kOpenRowset);
  Node<KezDcQrQRData>("@m:main:orders:*:0")->GetNextLine();
  Node<KezDcQrQRData>("@m:main:orders:*:0")->GetNextLine();
  EXPECT_EQ(CurrentRow(walking), "r2");
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenRowset), opened);
}

TEST_F(DataBlockTest, FirstNextLineIsMoreDataOrInitOnAFreshNodeStartsTheRowset) {
  FillOrders(3);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  data->GetNextLine();  // the first row, then the next line
  EXPECT_EQ(CurrentRow(data), "r2");
  EXPECT_EQ(Calls(KezDcDbMemory::kGetNextRows), 1);

  KezDcQrQResult::DeleteQResult("@m");
  data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  EXPECT_TRUE(data->IsMoreData());
  EXPECT_EQ(Calls(KezDcDbMemory::kGetNextRows), 2);
  EXPECT_EQ(Field(data, 0), "r1");

  KezDcQrQResult::DeleteQResult("@m");
  data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  long opened = Calls(KezDcDbMemory::kOpenRowset);
  data->InitData();
  ASSERT_NE(data->p_RowBuffer, nullptr);
  EXPECT_EQ(data->p_RowBuffer->length(), 192u);
  EXPECT_EQ(Calls(KezDcDbMemory::kGetNextRows), 2);
  // A buffer without rows counts as the end of the rowset.
  EXPECT_EQ(data->GetData(), data);
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenRowset), opened + 2);
  EXPECT_EQ(Field(data, 0), "r1");
  EXPECT_EQ(Calls(KezDcDbMemory::kGetNextRows), 3);
  // Init on a node with a buffer changes nothing.
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

TEST_F(DataBlockTest, EmptyRowsetEndsWithCodeZeroAndRestartsAtEveryLine) {
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(data->GetNbRowsObtained(), 0);
  data->GetNextLine();
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(data->RcGetNextRows, 0u);
  EXPECT_EQ(Calls(KezDcDbMemory::kGetDataSeq), 0);
}

TEST_F(DataBlockTest, UnavailableRowsetRecordsCode998) {
  auto* data = Built<KezDcQrQRData>("Data", "##0", "*", "10");
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->GetData(), data);
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(data->GetNextLine(), data);
  EXPECT_EQ(data->RcGetNextRows, KezDcQrQRData::kNoRowset);
  EXPECT_EQ(data->p_RowBuffer, nullptr);
  EXPECT_TRUE(Errors().empty());
}

}  // namespace
}  // namespace test
}  // namespace kez
