// Accessor nodes: parsing the attribute list, the default and true bindings
// in the row-buffer layout, and binding again after a free.
#include "support/AccessFaults.h"
#include "support/DbFixture.h"

namespace kez {
namespace test {
namespace {

class AccessorTest : public DbTest {
 protected:
  static KezDcQrQRAccessor* NewAccessor(const char* attributes, const char* rowset = "orders") {
    return Built<KezDcQrQRAccessor>("Accessor", rowset, attributes);
  }
};

Texts Attributes(const KezDcQrQRAccessor* accessor) {
  Texts names;
  for (int k = 1; k <= accessor->AccessorList.Size(); ++k) names.push_back(accessor->AccessorList[k].Std());
  return names;
}

// "(columnId,offset,maxlen)" of every binding entry.
std::string Bindings(const KezDcQrQRAccessor* accessor) {
  std::string out;
  for (uint32_t i = 0; accessor->p_BufferBinding && i < accessor->p_BufferBinding->length(); ++i) {
    const KezDcDbBinding& b = (*accessor->p_BufferBinding)[i];
    out += "(" + std::to_string(b.columnId) + "," + std::to_string(b.offset) + "," + std::to_string(b.maxlen) + ")";
  }
  return out;
}

TEST_F(AccessorTest, AttributeListSplitsOnPlusOutsideBracketsAndStripsBracesAndBlanks) {
  const std::string closed = "ERROR: INVALID iAccessor - Too many closed brackets\n";
  struct Case {
    const char* text;
    Texts attributes;
    Texts errors;
  } cases[] = {
      {"{item+[a+b]+price}", {"item", "[a+b]", "price"}, {}},
      {"{ item }", {"item "}, {}},
      {"{item} ", {"item"}, {}},
      {" {a b} + c ", {"{a b", "c"}, {}},  // a blank before the brace keeps it; the closing brace goes all the same
      {"", {""}, {}},
      {"a]b+c", {"a"}, {closed, closed, closed, closed}},
      {"x+[a+b", {"x", "[a+b"}, {"ERROR: INVALID ACCESSOR - Too many opened brackets\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    KezDcCMError::ClearErrors();
    KezDcQrQRAccessor* accessor = NewAccessor(c.text);
    EXPECT_EQ(Attributes(accessor), c.attributes);
    EXPECT_EQ(accessor->NbAtt, c.attributes.size());
    EXPECT_EQ(Errors(), c.errors);
  }
  EXPECT_EQ(NewAccessor("{item+[a+b]+price}")->SubQueryFlag, 'Y');
  EXPECT_EQ(NewAccessor("item+amount")->SubQueryFlag, 'N');
}

TEST_F(AccessorTest, BindingsLayFieldsBackToBackSizedByColumnType) {
  KezDcDbMemory::CreateRowset("shop", "types",
                              {{"zero", KEZDCDB_TYPESTRING, 0},
                               {"sub", KEZDCDB_TYPEPTRSUBLIST, 5},
                               {"dyn", KEZDCDB_TYPEPTRDYNSUBLIST, 6},
                               {"odd", 1, 9},
                               {"real", KEZDCDB_TYPER8, 300}});
  struct Case {
    const char* rowset;
    const char* attributes;
    const char* bindings;
    uint32_t max_length, max_col_length;
  } cases[] = {
      {"orders", "*", "(1,0,32)(2,32,80)(3,112,80)", 192, 80},   // every column in order
      {"orders", "{price+item}", "(3,0,80)(1,80,32)", 112, 80},  // the named columns in their own order
      {"orders", "", "(0,0,0)", 0, 0},                           // one empty attribute, not the default accessor
      {"types", "*", "(1,0,0)(2,0,5)(3,5,6)(4,11,0)(5,11,80)", 91, 80},
      {"types", "nothing+zero+real", "(0,0,0)(1,0,0)(5,0,80)", 80, 80},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.rowset) + ":" + c.attributes);
    KezDcQrQRAccessor* accessor = NewAccessor(c.attributes, c.rowset);
    EXPECT_NE(accessor->GetQResult(), 0u);
    EXPECT_EQ(Bindings(accessor), c.bindings);
    EXPECT_EQ(accessor->MaxLength, c.max_length);
    EXPECT_EQ(accessor->MaxColLength, c.max_col_length);
  }
  EXPECT_EQ(Attributes(NewAccessor("*")), (Texts{"item", "amount", "price"}));
  // The attributes that name no column are reported, once each accessor.
  EXPECT_EQ(Errors(),
            (Texts{"ERROR: rowset <orders> has no column <> (accessor <@m:main:orders:>) \n",
                   "ERROR: rowset <types> has no column <nothing> (accessor <@m:main:types:nothing+zero+real>) \n"}));
}

TEST_F(AccessorTest, ReadsOnceAndAfterAFreeBindsTheDefaultColumnsByName) {
  KezDcQrQRAccessor* accessor = NewAccessor("*");
  KezDcDbHAccessor handle = accessor->GetQResult();
  EXPECT_EQ(accessor->GetQResult(), handle);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kGetColumnsInfo), 1);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kCreateAccessor), 1);
  accessor->FreeQResult();
  EXPECT_EQ(kez::test::AccessFaults::LiveAccessors(), 0);
  // Reordered columns show that the names, not the positions, are bound now.
  KezDcDbMemory::CreateRowset(
      "shop", "orders",
      {{"price", KEZDCDB_TYPER8, 8}, {"amount", KEZDCDB_TYPEI4, 4}, {"item", KEZDCDB_TYPESTRING, 32}});
  static_cast<KezDcQrQRRowset*>(Registered("@m:main:orders"))->FreeQResult();
  ASSERT_NE(accessor->GetQResult(), 0u);
  EXPECT_EQ(Bindings(accessor), "(3,0,32)(2,32,80)(1,112,80)");
  EXPECT_EQ(accessor->MaxLength, 192u);
}

TEST_F(AccessorTest, WithoutRowsetInterfaceTheHandleIsZero) {
  KezDcQrQRAccessor* accessor = NewAccessor("*", "##0");
  EXPECT_EQ(accessor->GetQResult(), 0u);
  EXPECT_EQ(accessor->p_BufferBinding, nullptr);
  EXPECT_TRUE(Errors().empty());
  accessor->FreeQResult();
  EXPECT_EQ(Attributes(accessor), Texts{"*"});
}

}  // namespace
}  // namespace test
}  // namespace kez
