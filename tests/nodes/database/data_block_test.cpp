// Data blocks: walking a rowset block by block, its end and restart,
// refused block sizes, fresh and freed nodes, the codes of GetNextRows (1
// and 2 wait, 3 and more end the rowset, 998 without a rowset), and what a
// read gives when an operation of the layer fails.
#include "support/DbFixture.h"

namespace kez {
namespace test {
namespace {

using DataBlockTest = DbTest;
using F = kez::test::AccessFaults;

// The end restarts the rowset on its second row; a free of the block starts
// again from the first.
TEST_F(DataBlockTest, WalksTwentyFiveRowsInBlocksOfTenThenRestarts) {
  FillOrders(25);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  EXPECT_EQ(CurrentRow(data), "r1");
  for (int k = 2; k <= 25; ++k) {
    // A line that copies a row is copied through the rowset's interface.
    ASSERT_EQ(data->GetNextLine(), data->p_QRRowset->p_QResult);
    ASSERT_EQ(CurrentRow(data), "r" + std::to_string(k));
    ASSERT_TRUE(data->IsMoreData());
    EXPECT_EQ(F::OutstandingRows(), k <= 20 ? 10 : 5);
  }
  EXPECT_EQ(data->GetNbRowsObtained(), 5);
  EXPECT_EQ(data->GetNextLine(), data);  // the fetch after row 25 gets nothing
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(data->GetNbRowsObtained(), 0);
  EXPECT_EQ(CurrentRow(data), "r25");
  EXPECT_EQ(Held(), "3/0/1");
  EXPECT_EQ(Calls({F::kGetNextRows, F::kGetDataSeq, F::kOpenRowset}), "4/25/1");
  data->GetNextLine();
  EXPECT_EQ(CurrentRow(data), "r2");
  data->FreeQResult();
  EXPECT_EQ(data->p_QRD, nullptr);  // the holder is resolved again
  EXPECT_EQ(Held(), "3/0/1");
  EXPECT_EQ(CurrentRow(data), "r1");
  EXPECT_EQ(Calls(F::kOpenRowset), 3);
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
    data->GetQResult();
    data->GetNextLine();
    data->GetNextLine();
    EXPECT_EQ(data->NumBlock + data->IsMoreData() + data->GetNbRowsObtained(), 0u) << block;
  }
  EXPECT_EQ(Calls({F::kGetNextRows, F::kOpenRowset}), "1/1");
  EXPECT_EQ(CurrentRow(walking), "r2");
}

// An empty rowset ends with code 0; on a fresh node the first GetNextLine,
// IsMoreData or Init starts the rowset (Init on a buffer changes nothing).
TEST_F(DataBlockTest, FirstNextLineIsMoreDataOrInitOnAFreshNodeStartsTheRowset) {
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  EXPECT_FALSE(data->IsMoreData());
  data->GetNextLine();
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(data->RcGetNextRows + Calls(F::kGetDataSeq), 0);
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
  ASSERT_NE(data->p_RowBuffer, nullptr);
  EXPECT_EQ(data->p_RowBuffer->length(), 192u);
  EXPECT_EQ(data->GetData(), data);  // a buffer without rows counts as the end of the rowset
  EXPECT_EQ(Field(data, 0), "r1");
  _SEQUENCE_SEQUENCE_octet* buffer = data->p_RowBuffer;
  data->InitQResult();
  EXPECT_EQ(data->p_RowBuffer, buffer);
  EXPECT_EQ(data->RowCursor, 1u);
  data->FreeRowsetOfData();  // frees the block below the rowset too
  EXPECT_EQ(Held(), "2/0/0");
  EXPECT_EQ(CurrentRow(data), "r1");
}

TEST_F(DataBlockTest, CodesOneAndTwoCopyNoRowAndWaitThreeAndAboveEndTheRowset) {
  FillOrders(5);
  for (int code : {1, 2, 3, 4, -1}) {  // -1 is above 3 as an unsigned code
    SCOPED_TRACE(code);
    const bool ends = code < 0 || code >= 3;
    KezDcQrQResult::DeleteQResult("@m");
    long opened = Calls(F::kOpenRowset);
    F::FailAt(F::kGetNextRows, code);
    auto* data = Node<KezDcQrQRData>("@m:main:orders:*:2");
    EXPECT_EQ(CurrentRow(data), "");
    EXPECT_EQ(data->RcGetNextRows, static_cast<uint32_t>(code));
    EXPECT_EQ(data->IsMoreData(), !ends);
    data->GetNextLine();  // 1 and 2 fetch the rows still to come; the end starts the rowset again
    EXPECT_EQ(Calls(F::kOpenRowset), opened + (ends ? 2 : 1));
    EXPECT_EQ(CurrentRow(data), ends ? "r2" : "r1");
    if (ends) continue;
    data->GetNextLine();
    F::FailAt(F::kGetNextRows, code);
    data->GetNextLine();  // the failed fetch keeps the row in the buffer
    EXPECT_EQ(CurrentRow(data), "r2");
    EXPECT_TRUE(data->IsMoreData());
    data->GetNextLine();
    EXPECT_EQ(CurrentRow(data), "r3");
  }
  EXPECT_TRUE(Errors().empty());
}

TEST_F(DataBlockTest, WithoutRowsetTheBlockRecordsCode998AndNoBuffer) {
  auto* unavailable = Built<KezDcQrQRData>("Data", "##0", "*", "10");
  EXPECT_EQ(unavailable->GetData(), unavailable);
  EXPECT_FALSE(unavailable->IsMoreData());
  EXPECT_EQ(unavailable->GetNextLine(), unavailable);
  EXPECT_EQ(unavailable->RcGetNextRows, KezDcQrQRData::kNoRowset);
  EXPECT_EQ(unavailable->p_RowBuffer, nullptr);
  FillOrders(1);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:2");
  data->GetNextLine();  // past the only row
  F::FailAlways(F::kOpenRowset, 5);
  data->GetNextLine();  // the rowset cannot reopen
  EXPECT_EQ(data->RcGetNextRows, KezDcQrQRData::kNoRowset);
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(Held(), "2/0/0");
  F::ClearFailures();
  data->GetNextLine();
  EXPECT_EQ(CurrentRow(data), "r1");
  EXPECT_TRUE(Errors().empty());
}

// The codes of the column information and of the accessor are not
// examined; a row that fails to copy empties the buffer, with a report,
// rather than leave the previous row in it. (Failures to open, each said
// once, are kezq cases and fault-injection tests.)
TEST_F(DataBlockTest, FailedRowCopyEmptiesTheBufferAndAMissingAccessorFetchesNothing) {
  FillOrders(3);
  F::FailAt(F::kGetColumnsInfo, 5);
  F::FailAt(F::kGetDataSeq, 5, 2);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  EXPECT_EQ(CurrentRow(data), "r1");
  data->GetNextLine();
  EXPECT_EQ(CurrentRow(data), "");
  EXPECT_TRUE(data->IsMoreData());
  EXPECT_EQ(Errors(),
            Texts{"ERROR in QrQRData: row 2 of the block of <@m:main:orders:*:10> can't be read (GetDataSeq rc=5) \n"});
  data->GetNextLine();
  EXPECT_EQ(CurrentRow(data), "r3");
  // Without an accessor handle the block fetches no row it could not copy.
  KezDcQrQResult::DeleteQResult("@m");
  KezDcCMError::ClearErrors();
  long fetched = Calls(F::kGetNextRows);
  F::FailAt(F::kCreateAccessor, 5);
  data = Node<KezDcQrQRData>("@m:main:orders:item:10");
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(data->p_RowBuffer, nullptr);
  EXPECT_EQ(Calls(F::kGetNextRows), fetched);
  data->GetNextLine();  // the accessor binds now: the first row is still there
  EXPECT_EQ(Field(data, 0), "r1");
  EXPECT_TRUE(Errors().empty());
}

}  // namespace
}  // namespace test
}  // namespace kez
