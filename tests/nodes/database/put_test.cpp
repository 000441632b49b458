// Writing rows: puts of constants, variables, expressions and cells into the
// fields of a row buffer, then the data-block put that inserts it.
#include "support/AccessFaults.h"
#include "support/DbFixture.h"

namespace kez {
namespace test {
namespace {

const char kBlock[] = "@m:main:orders:{item+amount}:1";

class PutTest : public DbTest {
 protected:
  static std::string Path(const char* column) { return std::string(kBlock) + ":" + column; }
  static KezDcQrQRData* Block() { return Node<KezDcQrQRData>(kBlock); }
  static std::vector<KezDcDbMemoryRow> Inserted() { return KezDcDbMemory::GetInsertedRows("shop", "orders"); }
};

TEST_F(PutTest, QueriesWriteValuesAsTextIntoTheFieldsAndTheBlockPutInsertsTheRow) {
  Run("Put(\"" + std::string(40, 'z') + "\"," + Path("item") + ")");
  EXPECT_EQ(Field(Block(), 0), std::string(32, 'z'));
  Run("Put(\"x\" + \"y\"," + Path("item") + ")");
  EXPECT_EQ(Field(Block(), 0), "xy");
  Run("Put(7/2," + Path("amount") + ")");
  EXPECT_EQ(Field(Block(), 1), "3.500000e+00");
  Run("Put(40+2, " + Path("amount") + ")");
  EXPECT_EQ(Field(Block(), 1), "42");
  EXPECT_EQ(Field(Block(), 0), "xy");  // the neighbour is untouched
  EXPECT_TRUE(Inserted().empty());
  Run(std::string("Put(") + kBlock + ")");
  EXPECT_EQ(Inserted(), (std::vector<KezDcDbMemoryRow>{{"xy", "42", KezDcDbMemory::Null()}}));
  // The insert leaves the buffer as it was: a second put inserts it again.
  Run(std::string("Put(") + kBlock + ")");
  EXPECT_EQ(Inserted().size(), 2u);
  EXPECT_EQ(
      Errors(),
      (std::vector<std::string>{"WARNING: a value of 40 octets put into cell <" + Path("item") +
                                "> was cut to its 32-octet field; open the data source with text_size=40 or more (and "
                                "declared_size=0 when the column declares its length) to fit it \n"}));
}

TEST_F(PutTest, VariablesAndConstantsAreWrittenIntoCells) {
  Run("Put(\"say\",$s)");
  auto* s = static_cast<KezDcQrQRVariable*>(Registered("$s"));
  EXPECT_EQ(s->StringValue.Std(), "\"say\"");
  s->PutVariable(Node<KezDcQrQRCell>(Path("item")));
  EXPECT_EQ(Field(Block(), 0), "say");
  auto* n = new KezDcQrQRVariable("#n", 1.5);
  n->PutVariable(Node<KezDcQrQRCell>(Path("amount")));
  EXPECT_EQ(Field(Block(), 1), "1.500000e+00");
  n->Affect(7);
  Run("Put(#n," + Path("amount") + ")");  // through an expression
  EXPECT_EQ(Field(Block(), 1), "7");
  KezDcQrQResult::NewQResult("\"const\"")->PutConstant(Node<KezDcQrQRCell>(Path("item")));
  EXPECT_EQ(Field(Block(), 0), "const");
  Block()->PutData();
  EXPECT_EQ(Inserted(), (std::vector<KezDcDbMemoryRow>{{"const", "7", KezDcDbMemory::Null()}}));
}

TEST_F(PutTest, ColumnOutsideTheAccessorOrRowWithoutBufferIsReportedAndNothingWritten) {
  Run("Put(\"abc\"," + Path("price") + ")");
  EXPECT_EQ(Errors(), Texts{"ERROR: Cell <price> isn't in Accessor ! \n"});
  EXPECT_EQ(Field(Block(), 0), "");
  KezDcCMError::ClearErrors();
  // The column is known by name but the row has no buffer to hold it.
  auto* cell = Built<KezDcQrQRCell>("Cell", "##0", "item", "1", "item");
  KezDcQrQResult::NewQResult("\"abc\"")->PutConstant(cell);
  cell->p_QRData->PutData();  // an empty rowset: nothing inserted, quietly
  EXPECT_EQ(Errors(), Texts{"ERROR: Cell <item> can't be written: no row buffer for "
                            "<@m:main:##0:item:1:item> (its rowset isn't open) ! \n"});
  EXPECT_EQ(Calls(kez::test::AccessFaults::kInsertRow), 0);
}

TEST_F(PutTest, FailedInsertOrQueryInterfaceIsReportedAndTheNextPutInserts) {
  kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kQueryInterface, 3);
  Block()->PutData();
  EXPECT_EQ(Errors(), (Texts{"ERROR QrQRRowset::GetWriteQResult: Error in QueryInterface with Rc=3 \n",
                             "ERROR in QrQRData::PutQResult  No row inserted into <@m:main:orders:{item+amount}:1>: "
                             "its rowset isn't open \n"}));
  KezDcCMError::ClearErrors();
  Run("Put(\"abc\"," + Path("item") + ")");
  kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kInsertRow, 6);
  Block()->PutData();
  EXPECT_EQ(Errors(), Texts{"ERROR in QrQRData::PutQResult  Error in InsertRow with Rc=6 \n"});
  EXPECT_TRUE(Inserted().empty());
  Block()->PutData();
  EXPECT_EQ(Inserted(), (std::vector<KezDcDbMemoryRow>{{"abc", KezDcDbMemory::Null(), KezDcDbMemory::Null()}}));
}

TEST_F(PutTest, CellToCellCopiesRowsBetweenRowsets) {
  FillOrders(2);
  KezDcDbMemory::CreateRowset("shop", "copy", {{"item", KEZDCDB_TYPESTRING, 32}, {"amount", KEZDCDB_TYPEI4, 4}});
  auto* from = Node<KezDcQrQRData>("@m:main:orders:*:10");
  auto* to = Node<KezDcQrQRData>("@m:main:copy:*:1");
  for (int k = 0; k < 2; ++k, from->GetNextLine()) {
    Node<KezDcQrQRCell>("@m:main:orders:*:10:item")->PutCell(Node<KezDcQrQRCell>("@m:main:copy:*:1:item"));
    Node<KezDcQrQRCell>("@m:main:orders:*:10:amount")->PutCell(Node<KezDcQrQRCell>("@m:main:copy:*:1:amount"));
    to->PutData();
  }
  EXPECT_EQ(KezDcDbMemory::GetRows("shop", "copy"), (std::vector<KezDcDbMemoryRow>{{"r1", "1"}, {"r2", "2"}}));
}

}  // namespace
}  // namespace test
}  // namespace kez
