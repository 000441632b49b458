// Data-block nodes: walking a rowset block by block, the end of the rowset
// and its restart, refused block sizes, the states after Init and Free, the
// codes of GetNextRows (1 and 2 wait, 3 and more end the rowset, 998 without
// a rowset), and what a cell reads when an operation of the layer fails.
#include "support/AccessFaults.h"
#include "support/DbFixture.h"

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
    EXPECT_EQ(kez::test::AccessFaults::OutstandingRows(), k <= 20 ? 10 : 5);
  }
  EXPECT_EQ(Calls(kez::test::AccessFaults::kGetNextRows), 3);
  EXPECT_EQ(data->GetNbRowsObtained(), 5);

  EXPECT_EQ(data->GetNextLine(), data);  // the fetch after row 25 gets nothing
  EXPECT_EQ(Calls(kez::test::AccessFaults::kGetNextRows), 4);
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(data->GetNbRowsObtained(), 0);
  EXPECT_EQ(CurrentRow(data), "r25");
  EXPECT_EQ(kez::test::AccessFaults::OutstandingRows(), 0);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kGetDataSeq), 25);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kOpenRowset), 1);

  // The next line reopens the rowset: its first row, then the second.
  data->GetNextLine();
  EXPECT_EQ(Calls(kez::test::AccessFaults::kOpenRowset), 2);
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
  EXPECT_EQ(kez::test::AccessFaults::OutstandingRows(), 1);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kGetNextRows), 3);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kReleaseRows), 2);
}

TEST_F(DataBlockTest, BlockThatIsNoPositiveNumberIsRefusedAndNeverFetchesNorRestartsItsSiblings) {
  FillOrders(3);
  for (const char* block : {"0", "abc", "-5", "2147483648", "99999999999"}) {
    SCOPED_TRACE(block);
    KezDcCMError::ClearErrors();
    auto* data = Node<KezDcQrQRData>(std::string("@m:main:orders:*:") + block);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(Errors(), Texts{"ERROR DATBLOCK CAN'T BE <" + std::string(block) + "> (PUT A NUMBER) !\n"});
    EXPECT_EQ(data->NumBlock, 0u);
    data->GetQResult();
    data->GetNextLine();
    data->GetNextLine();
    EXPECT_FALSE(data->IsMoreData());
    EXPECT_EQ(data->GetNbRowsObtained(), 0);
    EXPECT_EQ(Calls(kez::test::AccessFaults::kGetNextRows), 0);
    EXPECT_EQ(Calls(kez::test::AccessFaults::kGetDataSeq), 0);
  }
  auto* walking = Node<KezDcQrQRData>("@m:main:orders:*:10");
  walking->GetNextLine();
  long opened = Calls(kez::test::AccessFaults::kOpenRowset);
  Node<KezDcQrQRData>("@m:main:orders:*:0")->GetNextLine();
  Node<KezDcQrQRData>("@m:main:orders:*:0")->GetNextLine();
  EXPECT_EQ(CurrentRow(walking), "r2");
  EXPECT_EQ(Calls(kez::test::AccessFaults::kOpenRowset), opened);
}

TEST_F(DataBlockTest, FirstNextLineIsMoreDataOrInitOnAFreshNodeStartsTheRowset) {
  FillOrders(3);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  data->GetNextLine();  // the first row, then the next line
  EXPECT_EQ(CurrentRow(data), "r2");
  EXPECT_EQ(Calls(kez::test::AccessFaults::kGetNextRows), 1);

  KezDcQrQResult::DeleteQResult("@m");
  data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  EXPECT_TRUE(data->IsMoreData());
  EXPECT_EQ(Calls(kez::test::AccessFaults::kGetNextRows), 2);
  EXPECT_EQ(Field(data, 0), "r1");

  KezDcQrQResult::DeleteQResult("@m");
  data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  long opened = Calls(kez::test::AccessFaults::kOpenRowset);
  data->InitData();
  ASSERT_NE(data->p_RowBuffer, nullptr);
  EXPECT_EQ(data->p_RowBuffer->length(), 192u);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kGetNextRows), 2);
  // A buffer without rows counts as the end of the rowset.
  EXPECT_EQ(data->GetData(), data);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kOpenRowset), opened + 2);
  EXPECT_EQ(Field(data, 0), "r1");
  EXPECT_EQ(Calls(kez::test::AccessFaults::kGetNextRows), 3);
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
  EXPECT_EQ(data->p_QRD, nullptr);  // the holder is resolved again
  EXPECT_EQ(kez::test::AccessFaults::OutstandingRows(), 0);
  // The rowset stayed open at row 5: it starts again for the first row.
  EXPECT_EQ(CurrentRow(data), "r1");
  EXPECT_EQ(Calls(kez::test::AccessFaults::kOpenRowset), 2);
  // Freeing the rowset frees the block below it too, and opens it once.
  data->FreeRowsetOfData();
  EXPECT_EQ(Held(), "2/0/0");
  EXPECT_EQ(CurrentRow(data), "r1");
  EXPECT_EQ(Calls(kez::test::AccessFaults::kOpenRowset), 3);
}

TEST_F(DataBlockTest, EmptyRowsetEndsWithCodeZeroAndRestartsAtEveryLine) {
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(data->GetNbRowsObtained(), 0);
  data->GetNextLine();
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(data->RcGetNextRows, 0u);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kGetDataSeq), 0);
}

TEST_F(DataBlockTest, CodesOneAndTwoCopyNoRowAndWaitThreeAndAboveEndTheRowset) {
  FillOrders(5);
  for (int code : {1, 2, 3, 4, -1}) {  // -1 is above 3 as an unsigned code
    SCOPED_TRACE(code);
    const bool ends = code < 0 || code >= 3;
    KezDcQrQResult::DeleteQResult("@m");
    long opened = Calls(kez::test::AccessFaults::kOpenRowset);
    kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kGetNextRows, code);
    auto* data = Node<KezDcQrQRData>("@m:main:orders:*:2");
    EXPECT_EQ(CurrentRow(data), "");
    EXPECT_EQ(data->RcGetNextRows, static_cast<uint32_t>(code));
    EXPECT_EQ(data->IsMoreData(), !ends);
    // 1 and 2 fetch again, the rows still to come; the end starts the rowset again.
    data->GetNextLine();
    EXPECT_EQ(Calls(kez::test::AccessFaults::kOpenRowset), opened + (ends ? 2 : 1));
    EXPECT_EQ(CurrentRow(data), ends ? "r2" : "r1");
    if (ends) continue;
    data->GetNextLine();
    kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kGetNextRows, code);
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
  EXPECT_FALSE(data->IsMoreData());
  kez::test::AccessFaults::FailAlways(kez::test::AccessFaults::kOpenRowset, 5);
  data->GetNextLine();  // the rowset cannot reopen
  EXPECT_EQ(data->RcGetNextRows, KezDcQrQRData::kNoRowset);
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(Held(), "2/0/0");
  kez::test::AccessFaults::ClearFailures();
  data->GetNextLine();
  EXPECT_EQ(CurrentRow(data), "r1");
  EXPECT_TRUE(Errors().empty());
}

// The codes of the column information and of the accessor are not
// examined; a row that fails to copy empties the buffer, with a report,
// rather than leave the previous row in it.
TEST_F(DataBlockTest, FailedRowCopyEmptiesTheBufferAndIsReported) {
  FillOrders(3);
  kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kGetColumnsInfo, 5);
  kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kGetDataSeq, 5, 2);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  EXPECT_EQ(CurrentRow(data), "r1");  // the columns came with their failing code
  EXPECT_TRUE(Errors().empty());
  data->GetNextLine();  // the copy of r2 fails
  EXPECT_EQ(CurrentRow(data), "");
  EXPECT_TRUE(data->IsMoreData());
  EXPECT_EQ(Errors(),
            Texts{"ERROR in QrQRData: row 2 of the block of <@m:main:orders:*:10> can't be read (GetDataSeq rc=5) \n"});
  data->GetNextLine();
  EXPECT_EQ(CurrentRow(data), "r3");
}

TEST_F(DataBlockTest, BlockWithoutAccessorHandleFetchesNoRowItCouldNotCopy) {
  FillOrders(2);
  kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kCreateAccessor, 5);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:item:10");
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(data->p_RowBuffer, nullptr);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kGetNextRows), 0);
  data->GetNextLine();  // the accessor binds now: the first row is still there
  EXPECT_EQ(Field(data, 0), "r1");
  EXPECT_TRUE(Errors().empty());
}

// Each layer operation failing once, as a client reading a cell sees it:
// the messages, an empty value, and the value at the next read.
TEST_F(DataBlockTest, EachFailingOperationIsReportedAndTheNextReadRecovers) {
  const std::string rowset = "ERROR: Impossible to open Rowset @m:main:orders \n";
  const struct {
    kez::test::AccessFaults::Operation operation;
    int code;
    Texts errors;
  } cases[] = {
      {kez::test::AccessFaults::kCreateDataSource,
       1,
       {"ERROR: Impossible to load DataSource @m \n", "ERROR: Impossible to open Session @m:main \n", rowset}},
      {kez::test::AccessFaults::kOpenSession, 8, {"ERROR: Openning Session @m:main failed with rc=8\n", rowset}},
      {kez::test::AccessFaults::kOpenRowset, 4, {}},
  };
  FillOrders(2);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.operation);
    KezDcQrQuery::DeleteAllQueries();
    KezDcCMError::ClearErrors();
    kez::test::AccessFaults::FailAt(c.operation, c.code);
    KezDcQrQuery* query = Run("Get(@m:main:orders:{item+amount}:10:item)");
    auto* value = static_cast<KezDcQrQRExpression*>(query->p_QResult);
    EXPECT_EQ(Errors(), c.errors);
    EXPECT_STREQ(value->p_StringQResult, "");
    KezDcQrQResult::NewQResult("@m:main:orders:{item+amount}:10")->GetNextLine();
    query->DoQuery();
    EXPECT_STREQ(value->p_StringQResult, "r1");
  }
}

}  // namespace
}  // namespace test
}  // namespace kez
