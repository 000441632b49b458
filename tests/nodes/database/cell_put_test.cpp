// Accessors, cells and puts: the attribute list and the row-buffer layout
// it binds, what a cell reads (NULL, the empty readings), and writing fields
// and inserting the row. Which texts are numbers: tests/kezq/cases/fidelity.test.
#include "support/DbFixture.h"

namespace kez {
namespace test {
namespace {

const char kThings[] = "@m:main:things:v+w+x:1", kDst[] = "@m:main:dst:a+b:1";

class CellPutTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    KezDcDbMemory::CreateRowset(
        "shop", "things", {{"v", KEZDCDB_TYPESTRING, 16}, {"w", KEZDCDB_TYPESTRING, 4}, {"x", KEZDCDB_TYPESTRING, 8}});
    KezDcDbMemory::CreateRowset("shop", "dst", {{"a", KEZDCDB_TYPESTRING, 4}, {"b", KEZDCDB_TYPESTRING, 4}});
  }
  static KezDcQrQRAccessor* NewAccessor(const char* attributes, const char* rowset = "orders") {
    return As<KezDcQrQRAccessor>(NewQR("Accessor", "@m", "main", rowset, attributes));
  }
  static KezDcQrQRCell* Cell(const std::string& column, const std::string& block = kThings) {
    return Node<KezDcQrQRCell>(block + ":" + column);
  }
  static std::string Read(KezDcQrQRCell* cell) { return std::string(cell->GetQResult()) + " " + cell->BasicType.Std(); }
  static std::string Attributes(const KezDcQrQRAccessor* accessor) {
    std::string names;
    for (int k = 1; k <= accessor->AccessorList.Size(); ++k) names += "|" + accessor->AccessorList[k].Std();
    return names.substr(names.empty() ? 0 : 1);
  }
  // "(columnId,offset,maxlen)" of every binding entry, then the lengths.
  static std::string Bindings(const KezDcQrQRAccessor* accessor) {
    std::string out;
    for (uint32_t i = 0; accessor->p_BufferBinding && i < accessor->p_BufferBinding->length(); ++i) {
      const KezDcDbBinding& b = (*accessor->p_BufferBinding)[i];
      out += "(" + std::to_string(b.columnId) + "," + std::to_string(b.offset) + "," + std::to_string(b.maxlen) + ")";
    }
    return out + " " + std::to_string(accessor->MaxLength) + " " + std::to_string(accessor->MaxColLength);
  }
  // The octets of dst's row buffer, zero octets written as '0'.
  static std::string DstOctets() {
    auto* data = Node<KezDcQrQRData>(kDst);
    std::string out;
    for (uint32_t k = 0; data->p_RowBuffer && k < data->p_RowBuffer->length(); ++k)
      out += (*data->p_RowBuffer)[k] == 0 ? '0' : static_cast<char>((*data->p_RowBuffer)[k]);
    return out;
  }
};

// A bracket in an attribute keeps its '+'; too many closed brackets are
// reported at each split, too many opened ones once.
TEST_F(CellPutTest, AttributeListSplitsOnPlusOutsideBracketsAndStripsBracesAndBlanks) {
  const struct {
    const char *text, *attributes, *error;
    int times;
  } cases[] = {{"{item+[a+b]+price}", "item|[a+b]|price", "", 0},
               {"{ item }", "item ", "", 0},
               {" {a b} + c ", "{a b|c", "", 0},  // a blank before the brace keeps it; the closing one goes
               {"a]b+c", "a", "ERROR: INVALID iAccessor - Too many closed brackets\n", 4},
               {"x+[a+b", "x|[a+b", "ERROR: INVALID ACCESSOR - Too many opened brackets\n", 1}};
  for (const auto& c : cases) {
    KezDcCMError::ClearErrors();
    EXPECT_EQ(Attributes(NewAccessor(c.text)), c.attributes) << c.text;
    EXPECT_EQ(Errors(), Texts(c.times, c.error)) << c.text;
  }
}

// Fields lie back to back, sized by column type; the attributes that name no
// column are reported, once each accessor. The accessor binds once; after a
// free it binds the default columns again, by name.
TEST_F(CellPutTest, BindingsLayFieldsBackToBackSizedByColumnType) {
  KezDcDbMemory::CreateRowset("shop", "types",
                              {{"zero", KEZDCDB_TYPESTRING, 0},
                               {"sub", KEZDCDB_TYPEPTRSUBLIST, 5},
                               {"dyn", KEZDCDB_TYPEPTRDYNSUBLIST, 6},
                               {"odd", 1, 9},
                               {"real", KEZDCDB_TYPER8, 300}});
  const char* cases[][3] = {
      {"orders", "{price+item}", "(3,0,80)(1,80,32) 112 80"},
      {"orders", "", "(0,0,0) 0 0"},  // one empty attribute, not the default accessor
      {"types", "*", "(1,0,0)(2,0,5)(3,5,6)(4,11,0)(5,11,80) 91 80"},
      {"types", "nothing+zero+real", "(0,0,0)(1,0,0)(5,0,80) 80 80"},
  };
  for (const auto& c : cases) {
    KezDcQrQRAccessor* accessor = NewAccessor(c[1], c[0]);
    EXPECT_NE(accessor->GetQResult(), 0u) << c[1];
    EXPECT_EQ(Bindings(accessor), c[2]) << c[1];
  }
  EXPECT_EQ(Errors(),
            (Texts{"ERROR: rowset <orders> has no column <> (accessor <@m:main:orders:>) \n",
                   "ERROR: rowset <types> has no column <nothing> (accessor <@m:main:types:nothing+zero+real>) \n"}));
  KezDcQrQRAccessor* accessor = NewAccessor("*");
  accessor->GetQResult();
  const long created = Calls(F::kCreateAccessor);
  accessor->GetQResult();
  EXPECT_EQ(Calls(F::kCreateAccessor), created);
  EXPECT_EQ(Bindings(accessor) + " " + Attributes(accessor), "(1,0,32)(2,32,80)(3,112,80) 192 80 item|amount|price");
  accessor->FreeQResult();
  KezDcDbMemory::CreateRowset(
      "shop", "orders",
      {{"price", KEZDCDB_TYPER8, 8}, {"amount", KEZDCDB_TYPEI4, 4}, {"item", KEZDCDB_TYPESTRING, 32}});
  static_cast<KezDcQrQRRowset*>(Located("@m:main:orders"))->FreeQResult();
  ASSERT_NE(accessor->GetQResult(), 0u);
  EXPECT_EQ(Bindings(accessor), "(3,0,32)(2,32,80)(1,112,80) 192 80");
}

// Past the last row, or without an accessor handle, a cell reads empty and
// keeps its type; a value that a later read finds wider grows. (A missing
// column: tests/kezq/cases/database.test.)
TEST_F(CellPutTest, WithoutRowOrAccessorHandleACellReadsEmpty) {
  KezDcDbMemory::AppendRow("shop", "things", {"0123456789abcde"});
  F::FailAt(F::kOpenRowset, 2);  // the first open fails
  KezDcQrQRCell* cell = Cell("v", "@m:main:things:v:1");
  EXPECT_STREQ(cell->GetQResult(), "");                      // no rowset yet: a one-octet value
  Node<KezDcQrQRData>("@m:main:things:v:1")->GetNextLine();  // the first row, fetched now
  EXPECT_EQ(Read(cell), "0123456789abcde string");
  Node<KezDcQrQRData>("@m:main:things:v:1")->GetNextLine();  // past the last row
  EXPECT_EQ(Read(cell), " string");
  EXPECT_EQ(Read(As<KezDcQrQRCell>(NewQR("Cell", "@m", "main", "##0", "v", "1", "v"))), " string");
  EXPECT_TRUE(Errors().empty());
}

// A cell put copies the text within the target field's bounds (a cut is
// reported once for the field) and carries the NULL mark, which any other
// put clears; NULL reads as the empty text and the number 0. A put into a
// column outside the accessor, or into a row without a buffer, writes
// nothing; an empty rowset inserts nothing, quietly.
TEST_F(CellPutTest, CellPutCopiesWithinBoundsAndCarriesNull) {
  KezDcDbMemory::AppendRow("shop", "things", {"abcdefgh", "ab", "zz"});
  KezDcDbMemory::AppendRow("shop", "things", {KezDcDbMemory::Null(), "", "x"});
  KezDcQrQRCell* a = Cell("a", kDst);
  Cell("x")->PutCell(Cell("b", kDst));
  EXPECT_EQ(DstOctets(), "0000zz00");
  Cell("v")->PutCell(a);  // cut to 4 octets, no zero octet
  Cell("v")->PutCell(a);
  EXPECT_EQ(DstOctets(), "abcdzz00");
  Cell("w")->PutCell(a);  // shorter: the text and one zero octet
  EXPECT_EQ(DstOctets(), "ab0dzz00");
  Cell("v")->PutCell(Cell("nope", kDst));
  EXPECT_EQ(DstOctets(), "ab0dzz00");
  Node<KezDcQrQRData>(kThings)->GetNextLine();
  KezDcQrQRCell* v = Cell("v");
  const std::string read = Read(v);
  EXPECT_EQ(read + kez::Format(" %g ", v->DoubleValue) + Read(Cell("w")), " double 0  double");
  EXPECT_TRUE(v->IsNull() && !Cell("w")->IsNull());
  v->PutCell(a);
  Cell("w")->PutCell(Cell("b", kDst));
  Node<KezDcQrQRData>(kDst)->PutData();
  Cell("x")->PutCell(a);
  Node<KezDcQrQRData>(kDst)->PutData();
  EXPECT_EQ(KezDcDbMemory::GetInsertedRows("shop", "dst"), (Rows{{KezDcDbMemory::Null(), ""}, {"x", ""}}));
  auto* cell = As<KezDcQrQRCell>(NewQR("Cell", "@m", "main", "##0", "item", "1", "item"));
  KezDcQrQResult::NewQResult("\"abc\"")->PutConstant(cell);
  cell->p_QRData->PutData();
  EXPECT_EQ(Calls(F::kInsertRow), 2);
  EXPECT_EQ(Errors(), (Texts{"WARNING: a value of 8 octets put into cell <@m:main:dst:a+b:1:a> was cut to its 4-octet "
                             "field; open the data source with text_size=8 or more (and declared_size=0 when the "
                             "column declares its length) to fit it \n",
                             "ERROR: Cell <nope> isn't in Accessor ! \n",
                             "ERROR: Cell <item> can't be written: no row buffer for <@m:main:##0:item:1:item> (its "
                             "rowset isn't open) ! \n"}));
}

}  // namespace
}  // namespace test
}  // namespace kez
