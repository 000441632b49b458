// Cell nodes: reading a field and deciding its type, the empty readings (no
// accessor, no row, no column), writing one cell into another, and reading
// again after a free.
#include "support/AccessFaults.h"
#include "support/DbFixture.h"

namespace kez {
namespace test {
namespace {

const char kThings[] = "@m:main:things:v+w+x:1";

class CellTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    KezDcDbMemory::CreateRowset(
        "shop", "things", {{"v", KEZDCDB_TYPESTRING, 16}, {"w", KEZDCDB_TYPESTRING, 4}, {"x", KEZDCDB_TYPESTRING, 8}});
    KezDcDbMemory::CreateRowset("shop", "dst", {{"a", KEZDCDB_TYPESTRING, 4}, {"b", KEZDCDB_TYPESTRING, 4}});
  }
  static KezDcQrQRCell* Cell(const std::string& column, const std::string& block = kThings) {
    return Node<KezDcQrQRCell>(block + ":" + column);
  }
  static void NextLine() { Node<KezDcQrQRData>(kThings)->GetNextLine(); }
  // The octets of dst's row buffer, zero octets written as '0'.
  static std::string DstOctets() {
    auto* data = Node<KezDcQrQRData>("@m:main:dst:a+b:1");
    std::string out;
    for (uint32_t k = 0; data->p_RowBuffer && k < data->p_RowBuffer->length(); ++k) {
      out += (*data->p_RowBuffer)[k] == 0 ? '0' : static_cast<char>((*data->p_RowBuffer)[k]);
    }
    return out;
  }
};

TEST_F(CellTest, DecidesTheTypeFromTheWholeText) {
  struct Case {
    const char* text;
    const char* type;
    double value;
  };
  const Case cases[] = {{"12.5", "double", 12.5},    {"12.5 kg", "string", 12.5}, {"abc", "string", 0.0},
                        {"", "double", 0.0},         {"  7", "double", 7.0},      {"7 ", "string", 7.0},
                        {"INFINITY", "string", 0.0}, {"nan", "string", 0.0},      {"0x1F", "string", 0.0},
                        {"1e3", "double", 1000.0}};
  for (const Case& c : cases) KezDcDbMemory::AppendRow("shop", "things", {c.text});
  KezDcQrQRCell* cell = Cell("v");
  for (const Case& c : cases) {
    EXPECT_STREQ(cell->GetQResult(), c.text);
    EXPECT_EQ(cell->BasicType.Std(), c.type) << '"' << c.text << '"';
    EXPECT_DOUBLE_EQ(cell->DoubleValue, c.value) << '"' << c.text << '"';
    EXPECT_EQ(cell->p_StringQResult, cell->p_QResult);
    NextLine();
  }
  EXPECT_TRUE(Errors().empty());
}

TEST_F(CellTest, FieldFillingAllItsOctetsReadsInFull) {
  KezDcDbMemory::AppendRow("shop", "things", {"v", "abcdef", "next"});
  EXPECT_STREQ(Cell("w")->GetQResult(), "abcd");
  EXPECT_STREQ(Cell("x")->GetQResult(), "next");
}

TEST_F(CellTest, WithoutColumnRowOrAccessorHandleReadsEmpty) {
  KezDcDbMemory::AppendRow("shop", "things", {"abc"});
  const std::string warning = "Warning: Column <nope> does not exist ! \n";
  KezDcQrQRCell* missing = Cell("nope");
  EXPECT_STREQ(missing->GetQResult(), "");
  EXPECT_EQ(missing->BasicType.Std(), "double");
  EXPECT_EQ(Errors(), Texts{warning});
  missing->GetQResult();  // warns at every read
  EXPECT_EQ(Errors(), (Texts{warning, warning}));
  KezDcCMError::ClearErrors();

  KezDcQrQRCell* cell = Cell("v");
  EXPECT_STREQ(cell->GetQResult(), "abc");
  NextLine();  // past the last row: empty, the type kept
  EXPECT_STREQ(cell->GetQResult(), "");
  EXPECT_EQ(cell->BasicType.Std(), "string");
  auto* unbound = Built<KezDcQrQRCell>("Cell", "##0", "v", "1", "v");
  EXPECT_STREQ(unbound->GetQResult(), "");
  EXPECT_EQ(unbound->BasicType.Std(), "string");
  EXPECT_TRUE(Errors().empty());

  EXPECT_EQ(Node<KezDcQrQRData>(kThings)->GetCell(), nullptr);
  EXPECT_EQ(Errors(), Texts{"ERROR: GetCell ON A <Data> QUERY RESULT !\n"});
}

TEST_F(CellTest, ValueGrowsWhenALaterReadFindsWiderFields) {
  KezDcDbMemory::AppendRow("shop", "things", {"0123456789abcde"});
  kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kOpenRowset, 2);  // the first open fails
  KezDcQrQRCell* cell = Cell("v");
  EXPECT_STREQ(cell->GetQResult(), "");  // no rowset yet: a one-octet value
  NextLine();                            // the block stood on no row until this line fetched the first one
  EXPECT_STREQ(cell->GetQResult(), "0123456789abcde");
}

// NULL reads as the empty text and the number 0, marked as NULL; a put of
// the cell carries the mark into the new row, and any other put clears it.
TEST_F(CellTest, NullIsReadMarkedAndCopiedAsNull) {
  KezDcDbMemory::AppendRow("shop", "things", {KezDcDbMemory::Null(), "", "x"});
  KezDcQrQRCell* v = Cell("v");
  EXPECT_STREQ(v->GetQResult(), "");
  EXPECT_TRUE(v->IsNull());
  EXPECT_EQ(v->BasicType, "double");
  EXPECT_DOUBLE_EQ(v->DoubleValue, 0.0);
  Cell("w")->GetQResult();
  EXPECT_FALSE(Cell("w")->IsNull());
  v->PutCell(Cell("a", "@m:main:dst:a+b:1"));
  Cell("w")->PutCell(Cell("b", "@m:main:dst:a+b:1"));
  Node<KezDcQrQRData>("@m:main:dst:a+b:1")->PutData();
  Cell("x")->PutCell(Cell("a", "@m:main:dst:a+b:1"));
  Node<KezDcQrQRData>("@m:main:dst:a+b:1")->PutData();
  EXPECT_EQ(KezDcDbMemory::GetInsertedRows("shop", "dst"),
            (std::vector<KezDcDbMemoryRow>{{KezDcDbMemory::Null(), ""}, {"x", ""}}));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(CellTest, PutCopiesIntoTheTargetFieldWithinItsBounds) {
  KezDcDbMemory::AppendRow("shop", "things", {"abcdefgh", "ab", "zz"});
  KezDcQrQRCell* a = Cell("a", "@m:main:dst:a+b:1");
  Cell("x")->PutCell(Cell("b", "@m:main:dst:a+b:1"));
  EXPECT_EQ(DstOctets(), "0000zz00");
  Cell("v")->PutCell(a);  // cut to 4 octets, no zero octet, reported once for the field
  Cell("v")->PutCell(a);
  EXPECT_EQ(DstOctets(), "abcdzz00");
  EXPECT_EQ(Errors(), Texts{"WARNING: a value of 8 octets put into cell <@m:main:dst:a+b:1:a> was cut to its 4-octet "
                            "field; open the data source with text_size=8 or more (and declared_size=0 when the "
                            "column declares its length) to fit it \n"});
  KezDcCMError::ClearErrors();
  Cell("w")->PutCell(a);  // shorter: the text and one zero octet
  EXPECT_EQ(DstOctets(), "ab0dzz00");
  Cell("v")->PutCell(Cell("nope", "@m:main:dst:a+b:1"));
  EXPECT_EQ(Errors(), Texts{"ERROR: Cell <nope> isn't in Accessor ! \n"});
  EXPECT_EQ(DstOctets(), "ab0dzz00");
  EXPECT_STREQ(a->GetQResult(), "");  // the target's own value does not change with a put
}

TEST_F(CellTest, FreeReleasesTheValueAndTheNextReadTakesTheCurrentRow) {
  KezDcDbMemory::AppendRow("shop", "things", {"1.5"});
  KezDcDbMemory::AppendRow("shop", "things", {"2.5"});
  KezDcQrQRCell* cell = Cell("v");
  cell->GetQResult();
  NextLine();
  cell->FreeQResult();
  EXPECT_EQ(cell->BasicType.Std(), "double");
  EXPECT_STREQ(cell->GetQResult(), "2.5");
  EXPECT_DOUBLE_EQ(cell->DoubleValue, 2.5);
}

}  // namespace
}  // namespace test
}  // namespace kez
