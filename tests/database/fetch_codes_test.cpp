// How a data block reacts to the codes of GetNextRows (1 and 2 wait, 3 and
// more end the rowset, 998 without a rowset), and what a client reading a
// cell sees when each operation of the layer fails once.
#include "database/DbFixture.h"

namespace kez {
namespace test {
namespace {

using FetchCodeTest = DbTest;

TEST_F(FetchCodeTest, CodesOneAndTwoCopyNoRowButDoNotEndTheRowset) {
  FillOrders(5);
  for (int code : {1, 2}) {
    KezDcQrQResult::DeleteQResult("@m");
    KezDcDbMemory::FailAt(KezDcDbMemory::kGetNextRows, code);
    auto* data = Node<KezDcQrQRData>("@m:main:orders:*:2");
    EXPECT_EQ(CurrentRow(data), "") << code;
    EXPECT_EQ(data->RcGetNextRows, static_cast<uint32_t>(code));
    EXPECT_TRUE(data->IsMoreData()) << code;
    data->GetNextLine();  // fetches again: the rows are still to come
    EXPECT_EQ(CurrentRow(data), "r1") << code;
    data->GetNextLine();
    KezDcDbMemory::FailAt(KezDcDbMemory::kGetNextRows, code);
    data->GetNextLine();  // the failed fetch keeps the row in the buffer
    EXPECT_EQ(CurrentRow(data), "r2") << code;
    EXPECT_TRUE(data->IsMoreData());
    data->GetNextLine();
    EXPECT_EQ(CurrentRow(data), "r3") << code;
  }
  EXPECT_EQ(Calls(KezDcDbMemory::kOpenRowset), 2);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(FetchCodeTest, CodeThreeAndAboveEndTheRowset) {
  FillOrders(5);
  for (int code : {3, 4, -1}) {  // -1 is above 3 as an unsigned code
    KezDcQrQResult::DeleteQResult("@m");
    long opened = Calls(KezDcDbMemory::kOpenRowset);
    KezDcDbMemory::FailAt(KezDcDbMemory::kGetNextRows, code);
    auto* data = Node<KezDcQrQRData>("@m:main:orders:*:2");
    EXPECT_EQ(CurrentRow(data), "") << code;
    EXPECT_FALSE(data->IsMoreData()) << code;
    data->GetNextLine();  // the end: the rowset starts again
    EXPECT_EQ(Calls(KezDcDbMemory::kOpenRowset), opened + 2) << code;
    EXPECT_EQ(CurrentRow(data), "r2") << code;
  }
}

TEST_F(FetchCodeTest, RowsetThatCannotReopenRecords998) {
  FillOrders(1);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:2");
  data->GetNextLine();  // past the only row
  EXPECT_FALSE(data->IsMoreData());
  KezDcDbMemory::FailAlways(KezDcDbMemory::kOpenRowset, 5);
  data->GetNextLine();
  EXPECT_EQ(data->RcGetNextRows, KezDcQrQRData::kNoRowset);
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(Held(), "2/0/0");
  KezDcDbMemory::ClearFailures();
  data->GetNextLine();
  EXPECT_EQ(CurrentRow(data), "r1");
}

// The codes of the column information and of the accessor are not
// examined; a row that fails to copy empties the buffer, with a report,
// rather than leave the previous row in it.
TEST_F(FetchCodeTest, FailedRowCopyEmptiesTheBufferAndIsReported) {
  FillOrders(3);
  KezDcDbMemory::FailAt(KezDcDbMemory::kGetColumnsInfo, 5);
  KezDcDbMemory::FailAt(KezDcDbMemory::kGetDataSeq, 5, 2);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:*:10");
  EXPECT_EQ(CurrentRow(data), "r1");  // the columns came with their failing code
  EXPECT_TRUE(Errors().empty());
  data->GetNextLine();  // the copy of r2 fails
  EXPECT_EQ(CurrentRow(data), "");
  EXPECT_TRUE(data->IsMoreData());
  EXPECT_EQ(Errors(),
            std::vector<std::string>{
                "ERROR in QrQRData: row 2 of the block of <@m:main:orders:*:10> can't be read (GetDataSeq rc=5) \n"});
  data->GetNextLine();
  EXPECT_EQ(CurrentRow(data), "r3");
}

TEST_F(FetchCodeTest, BlockWithoutAccessorHandleFetchesNoRowItCouldNotCopy) {
  FillOrders(2);
  KezDcDbMemory::FailAt(KezDcDbMemory::kCreateAccessor, 5);
  auto* data = Node<KezDcQrQRData>("@m:main:orders:item:10");
  EXPECT_FALSE(data->IsMoreData());
  EXPECT_EQ(data->p_RowBuffer, nullptr);
  EXPECT_EQ(Calls(KezDcDbMemory::kGetNextRows), 0);
  data->GetNextLine();  // the accessor binds now: the first row is still there
  EXPECT_EQ(Field(data, 0), "r1");
  EXPECT_TRUE(Errors().empty());
}

// Each layer operation failing once, as a client reading a cell sees it:
// the messages, an empty value, and the value at the next read.
TEST_F(FetchCodeTest, EachFailingOperationIsReportedAndTheNextReadRecovers) {
  struct Case {
    KezDcDbMemory::Operation operation;
    int code;
    std::vector<std::string> errors;
    const char* next;  // the value after the next line
  };
  const Case cases[] = {
      {KezDcDbMemory::kCreateDataSource,
       1,
       {"ERROR: Impossible to load DataSource @m \n", "ERROR: Impossible to open Session @m:main \n",
        "ERROR: Impossible to open Rowset @m:main:orders \n"},
       "r1"},
      {KezDcDbMemory::kOpenSession,
       8,
       {"ERROR: Openning Session @m:main failed with rc=8\n", "ERROR: Impossible to open Rowset @m:main:orders \n"},
       "r1"},
      {KezDcDbMemory::kOpenRowset, 4, {}, "r1"},
      // The rowset ended at once: the next line restarts it and moves on.
      {KezDcDbMemory::kGetNextRows, 3, {}, "r2"},
  };
  FillOrders(2);
  for (const Case& c : cases) {
    KezDcQrQuery::DeleteAllQueries();
    KezDcCMError::ClearErrors();
    KezDcDbMemory::FailAt(c.operation, c.code);
    KezDcQrQuery* query = Run("Get(@m:main:orders:{item+amount}:10:item)");
    auto* value = static_cast<KezDcQrQRExpression*>(query->p_QResult);
    EXPECT_EQ(Errors(), c.errors) << c.operation;
    EXPECT_STREQ(value->p_StringQResult, "") << c.operation;
    KezDcQrQResult::NewQResult("@m:main:orders:{item+amount}:10")->GetNextLine();
    query->DoQuery();
    EXPECT_STREQ(value->p_StringQResult, c.next) << c.operation;
  }
}

}  // namespace
}  // namespace test
}  // namespace kez
