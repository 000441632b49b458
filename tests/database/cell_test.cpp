// Cell nodes: reading a field and deciding its type, the empty readings
// (no accessor, no row, no column), writing one cell into another, and
// reading again after a free.
#include <cstring>

#include "database/DbFixture.h"

namespace kez {
namespace test {
namespace {

class CellTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    KezDcDbMemory::CreateRowset("shop", "things", {{"v", KEZDCDB_TYPESTRING, 16},
                                                   {"w", KEZDCDB_TYPESTRING, 4},
                                                   {"x", KEZDCDB_TYPESTRING, 8}});
    KezDcDbMemory::CreateRowset("shop", "dst", {{"a", KEZDCDB_TYPESTRING, 4}, {"b", KEZDCDB_TYPESTRING, 4}});
  }
  static KezDcQrQRCell* Cell(const std::string& column, const char* block = "things:v+w+x:1") {
    return Node<KezDcQrQRCell>(("@m:main:" + std::string(block) + ":" + column).c_str());
  }
  // The octets of dst's row buffer, zero octets written as '0'.
  static std::string DstOctets() {
    auto* data = Node<KezDcQrQRData>("@m:main:dst:a+b:1");
    std::string out;
    for (uint32_t k = 0; data->p_RowBuffer && k < data->p_RowBuffer->length(); ++k) {
      unsigned char c = (*data->p_RowBuffer)[k];
      out += c == 0 ? '0' : static_cast<char>(c);
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
  const Case cases[] = {{"12.5", "double", 12.5}, {"12.5 kg", "string", 12.5}, {"abc", "string", 0.0},
                        {"", "double", 0.0},      {"  7", "double", 7.0},      {"7 ", "string", 7.0}};
  for (const Case& c : cases) KezDcDbMemory::AppendRow("shop", "things", {c.text});
  KezDcQrQRCell* cell = Cell("v");
  auto* data = Node<KezDcQrQRData>("@m:main:things:v+w+x:1");
  for (const Case& c : cases) {
    EXPECT_STREQ(cell->GetQResult(), c.text);
    EXPECT_EQ(cell->BasicType.Std(), c.type) << '"' << c.text << '"';
    EXPECT_DOUBLE_EQ(cell->DoubleValue, c.value) << '"' << c.text << '"';
    EXPECT_EQ(cell->p_StringQResult, cell->p_QResult);
    data->GetNextLine();
  }
  EXPECT_TRUE(Errors().empty());
}

TEST_F(CellTest, FieldFillingAllItsOctetsReadsInFull) {
  KezDcDbMemory::AppendRow("shop", "things", {"v", "abcdef", "next"});
  EXPECT_STREQ(Cell("w")->GetQResult(), "abcd");
  EXPECT_STREQ(Cell("x")->GetQResult(), "next");
}

TEST_F(CellTest, MissingColumnWarnsAtEveryReadAndReadsEmpty) {
  KezDcDbMemory::AppendRow("shop", "things", {"abc"});
  KezDcQrQRCell* cell = Cell("nope");
  EXPECT_STREQ(cell->GetQResult(), "");
  EXPECT_EQ(cell->BasicType.Std(), "double");
  EXPECT_EQ(Errors(), std::vector<std::string>{"Warning: Column <nope> does not exist ! \n"});
  cell->GetQResult();
  EXPECT_EQ(CountError("Warning: Column <nope> does not exist ! \n"), 2);
}

TEST_F(CellTest, AfterTheLastRowReadsEmptyAndKeepsItsType) {
  KezDcDbMemory::AppendRow("shop", "things", {"abc"});
  KezDcQrQRCell* cell = Cell("v");
  EXPECT_STREQ(cell->GetQResult(), "abc");
  Node<KezDcQrQRData>("@m:main:things:v+w+x:1")->GetNextLine();
  EXPECT_STREQ(cell->GetQResult(), "");
  EXPECT_EQ(cell->BasicType.Std(), "string");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(CellTest, WithoutAccessorHandleReadsEmptyQuietly) {
  KezUnicodeString type = "Cell";
  auto* cell = static_cast<KezDcQrQRCell*>(KezDcQrQResult::NewQR("@m", "main", "##0", "v", "1", "v", type));
  EXPECT_STREQ(cell->GetQResult(), "");
  EXPECT_EQ(cell->BasicType.Std(), "string");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(CellTest, ValueGrowsWhenALaterReadFindsWiderFields) {
  KezDcDbMemory::AppendRow("shop", "things", {"0123456789abcde"});
  KezDcDbMemory::FailAt(KezDcDbMemory::kOpenRowset, 2);  // the first open fails
  KezDcQrQRCell* cell = Cell("v");
  EXPECT_STREQ(cell->GetQResult(), "");  // no rowset yet: a one-octet value
  // The block stands on no row until the next line fetches the first one.
  Node<KezDcQrQRData>("@m:main:things:v+w+x:1")->GetNextLine();
  EXPECT_STREQ(cell->GetQResult(), "0123456789abcde");
}

TEST_F(CellTest, PutCopiesIntoTheTargetFieldWithinItsBounds) {
  KezDcDbMemory::AppendRow("shop", "things", {"abcdefgh", "ab", "zz"});
  KezDcQrQRCell* a = Cell("a", "dst:a+b:1");
  KezDcQrQRCell* b = Cell("b", "dst:a+b:1");
  Cell("x")->PutCell(b);
  EXPECT_EQ(DstOctets(), "0000zz00");
  Cell("v")->PutCell(a);  // cut to 4 octets, no zero octet
  EXPECT_EQ(DstOctets(), "abcdzz00");
  Cell("w")->PutCell(a);  // shorter: the text and one zero octet
  EXPECT_EQ(DstOctets(), "ab0dzz00");
  EXPECT_STREQ(a->GetQResult(), "");  // the target's own value does not change with a put
  EXPECT_TRUE(Errors().empty());
}

TEST_F(CellTest, PutIntoAColumnOutsideTheAccessorWritesNothing) {
  KezDcDbMemory::AppendRow("shop", "things", {"abc"});
  Cell("v")->PutCell(Cell("nope", "dst:a+b:1"));
  EXPECT_EQ(Errors(), std::vector<std::string>{"ERROR: Cell <nope> isn't in Accessor ! \n"});
  EXPECT_EQ(DstOctets(), "00000000");
}

TEST_F(CellTest, FreeReleasesTheValueAndTheNextReadTakesTheCurrentRow) {
  KezDcDbMemory::AppendRow("shop", "things", {"1.5"});
  KezDcDbMemory::AppendRow("shop", "things", {"2.5"});
  KezDcQrQRCell* cell = Cell("v");
  cell->GetQResult();
  Node<KezDcQrQRData>("@m:main:things:v+w+x:1")->GetNextLine();
  cell->FreeQResult();
  EXPECT_EQ(cell->p_QResult, nullptr);
  EXPECT_EQ(cell->p_StringQResult, nullptr);
  EXPECT_EQ(cell->BasicType.Std(), "double");
  EXPECT_STREQ(cell->GetQResult(), "2.5");
  EXPECT_DOUBLE_EQ(cell->DoubleValue, 2.5);
}

TEST_F(CellTest, ForwardingToAnotherKindIsReported) {
  auto* data = Node<KezDcQrQRData>("@m:main:things:v+w+x:1");
  EXPECT_EQ(data->GetCell(), nullptr);
  EXPECT_EQ(Errors(), std::vector<std::string>{"ERROR: GetCell ON A <Data> QUERY RESULT !\n"});
}

}  // namespace
}  // namespace test
}  // namespace kez
