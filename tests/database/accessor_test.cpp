// Accessor nodes: parsing the attribute list, the default and true
// bindings in the row-buffer layout, and binding again after a free.
#include "database/DbFixture.h"

namespace kez {
namespace test {
namespace {

using AccessorTest = DbTest;

KezDcQrQRAccessor* NewAccessor(const char* attributes, const char* rowset = "orders") {
  KezUnicodeString type = "Accessor";
  return dynamic_cast<KezDcQrQRAccessor*>(KezDcQrQResult::NewQR("@m", "main", rowset, attributes, "", "", type));
}

std::vector<std::string> Attributes(const KezDcQrQRAccessor* accessor) {
  std::vector<std::string> names;
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

TEST_F(AccessorTest, PlusSplitsOutsideBracketsOnly) {
  KezDcQrQRAccessor* accessor = NewAccessor("{item+[a+b]+price}");
  EXPECT_EQ(Attributes(accessor), (std::vector<std::string>{"item", "[a+b]", "price"}));
  EXPECT_EQ(accessor->NbAtt, 3u);
  EXPECT_EQ(accessor->SubQueryFlag, 'Y');
  EXPECT_EQ(NewAccessor("item+amount")->SubQueryFlag, 'N');
  EXPECT_TRUE(Errors().empty());
}

TEST_F(AccessorTest, BracesAndBlanksAreStrippedInTheirOrder) {
  EXPECT_EQ(Attributes(NewAccessor("{ item }")), std::vector<std::string>{"item "});
  EXPECT_EQ(Attributes(NewAccessor("{item} ")), std::vector<std::string>{"item"});
  // A blank before the brace keeps it; the closing brace goes all the same.
  EXPECT_EQ(Attributes(NewAccessor(" {a b} + c ")), (std::vector<std::string>{"{a b", "c"}));
}

TEST_F(AccessorTest, EmptyComponentIsOneEmptyAttribute) {
  KezDcQrQRAccessor* accessor = NewAccessor("");
  EXPECT_EQ(Attributes(accessor), std::vector<std::string>{""});
  EXPECT_EQ(accessor->NbAtt, 1u);
  EXPECT_NE(accessor->GetQResult(), 0u);
  EXPECT_EQ(Bindings(accessor), "(0,0,0)");  // not the default accessor
}

TEST_F(AccessorTest, UnbalancedBracketsAreReported) {
  KezDcQrQRAccessor* closed = NewAccessor("a]b+c");
  EXPECT_EQ(CountError("ERROR: INVALID iAccessor - Too many closed brackets\n"), 4);
  EXPECT_EQ(Attributes(closed), std::vector<std::string>{"a"});
  KezDcCMError::ClearErrors();
  KezDcQrQRAccessor* opened = NewAccessor("x+[a+b");
  EXPECT_EQ(Errors(), std::vector<std::string>{"ERROR: INVALID ACCESSOR - Too many opened brackets\n"});
  EXPECT_EQ(Attributes(opened), (std::vector<std::string>{"x", "[a+b"}));
}

TEST_F(AccessorTest, DefaultAccessorBindsEveryColumnInOrder) {
  KezDcQrQRAccessor* accessor = NewAccessor("*");
  ASSERT_NE(accessor->GetQResult(), 0u);
  EXPECT_EQ(Bindings(accessor), "(1,0,32)(2,32,80)(3,112,80)");
  EXPECT_EQ(accessor->MaxLength, 192u);
  EXPECT_EQ(accessor->MaxColLength, 80u);
  EXPECT_EQ(accessor->NbAtt, 3u);
  EXPECT_EQ(Attributes(accessor), (std::vector<std::string>{"item", "amount", "price"}));
}

TEST_F(AccessorTest, TrueAccessorBindsNamedColumnsInItsOwnOrder) {
  KezDcQrQRAccessor* accessor = NewAccessor("{price+item}");
  ASSERT_NE(accessor->GetQResult(), 0u);
  EXPECT_EQ(Bindings(accessor), "(3,0,80)(1,80,32)");
  EXPECT_EQ(accessor->MaxLength, 112u);
  EXPECT_EQ(accessor->MaxColLength, 80u);
}

TEST_F(AccessorTest, FieldSizesFollowTheColumnTypes) {
  KezDcDbMemory::CreateRowset("shop", "types", {{"zero", KEZDCDB_TYPESTRING, 0},
                                                {"sub", KEZDCDB_TYPEPTRSUBLIST, 5},
                                                {"dyn", KEZDCDB_TYPEPTRDYNSUBLIST, 6},
                                                {"odd", 1, 9},
                                                {"real", KEZDCDB_TYPER8, 300}});
  KezDcQrQRAccessor* all = NewAccessor("*", "types");
  all->GetQResult();
  EXPECT_EQ(Bindings(all), "(1,0,0)(2,0,5)(3,5,6)(4,11,0)(5,11,80)");
  EXPECT_EQ(all->MaxLength, 91u);
  KezDcQrQRAccessor* named = NewAccessor("nothing+zero+real", "types");
  named->GetQResult();
  EXPECT_EQ(Bindings(named), "(0,0,0)(1,0,0)(5,0,80)");
  EXPECT_EQ(named->MaxLength, 80u);
}

TEST_F(AccessorTest, SecondReadAsksTheLayerNothing) {
  KezDcQrQRAccessor* accessor = NewAccessor("*");
  KezDcDbHAccessor handle = accessor->GetQResult();
  EXPECT_EQ(accessor->GetQResult(), handle);
  EXPECT_EQ(Calls(KezDcDbMemory::kGetColumnsInfo), 1);
  EXPECT_EQ(Calls(KezDcDbMemory::kCreateAccessor), 1);
  EXPECT_EQ(KezDcDbMemory::LiveAccessors(), 1);
}

TEST_F(AccessorTest, AfterFreeTheDefaultAccessorBindsTheSameColumnsByName) {
  KezDcQrQRAccessor* accessor = NewAccessor("*");
  accessor->GetQResult();
  accessor->FreeQResult();
  EXPECT_EQ(accessor->h_QResult, 0u);
  EXPECT_EQ(accessor->p_BufferBinding, nullptr);
  EXPECT_EQ(accessor->MaxLength, 0u);
  EXPECT_EQ(KezDcDbMemory::LiveAccessors(), 0);
  EXPECT_EQ(Attributes(accessor), (std::vector<std::string>{"item", "amount", "price"}));
  // Reordered columns show that the names, not the positions, are bound now.
  KezDcDbMemory::CreateRowset("shop", "orders", {{"price", KEZDCDB_TYPER8, 8},
                                                 {"amount", KEZDCDB_TYPEI4, 4},
                                                 {"item", KEZDCDB_TYPESTRING, 32}});
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
  EXPECT_EQ(Attributes(accessor), std::vector<std::string>{"*"});
}

}  // namespace
}  // namespace test
}  // namespace kez
