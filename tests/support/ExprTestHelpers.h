// Helpers of the expression tests: reading postfix lists, building
// expressions, and a memory table to put values into.
#ifndef KEZ_TEST_EXPR_TEST_HELPERS_H
#define KEZ_TEST_EXPR_TEST_HELPERS_H

#include <string>
#include <vector>

#include "support/KezTestSupport.h"

namespace kez {
namespace test {

// The elements of e's postfix list.
inline std::vector<std::string> Postfix(const KezDcQrQRExpression* e) {
  std::vector<std::string> out;
  for (int i = 1; i <= e->ListOfPostFixedExpression.Size(); ++i) out.push_back(e->ListOfPostFixedExpression[i].Std());
  return out;
}

// A registered expression built by its constructor; oType receives its kind.
inline KezDcQrQRExpression* NewExpression(const std::string& text, std::string* oType = nullptr) {
  KezUnicodeString type;
  auto* e = new KezDcQrQRExpression(KezUnicodeString(text), type);
  if (oType) *oType = type.Std();
  return e;
}

// Rowset "orders" of the memory database "shop", read as @m:s:orders:...
// Row buffer of the accessor {item+amount+price+code+memo}: item (10 octets)
// at 0, amount (I4, 80) at 10, price (R8, 80) at 90, code (0 octets) at 170,
// memo (4 octets) at 170.
class ShopTest : public KezTest {
 protected:
  static constexpr const char* kBlock = "@m:s:orders:{item+amount+price+code+memo}:2";
  static constexpr uint32_t kItem = 0, kAmount = 10, kPrice = 90, kMemo = 170, kRowLength = 174;

  void SetUp() override {
    KezTest::SetUp();
    KezDcDbMemory::CreateRowset("shop", "orders",
                                {{"item", KEZDCDB_TYPESTRING, 10},
                                 {"amount", KEZDCDB_TYPEI4, 4},
                                 {"price", KEZDCDB_TYPER8, 8},
                                 {"code", KEZDCDB_TYPESTRING, 0},
                                 {"memo", KEZDCDB_TYPESTRING, 4}});
    KezDcDbMemory::AppendRow("shop", "orders", {"apple", "3", "12.5", "", "ab"});
    KezDcDbDataSourceFactory::RegisterDataSource("m", "memory:shop");
  }

  static std::string CellPath(const std::string& column) { return std::string(kBlock) + ":" + column; }
  static KezDcQrQRCell* Cell(const std::string& column) {
    return static_cast<KezDcQrQRCell*>(KezDcQrQResult::NewQResult(KezUnicodeString(CellPath(column))));
  }
  static KezDcQrQRData* Block() {
    return static_cast<KezDcQrQRData*>(KezDcQrQResult::NewQResult(KezUnicodeString(kBlock)));
  }
  // The octets of the row buffer from offset, n of them (zeros included).
  static std::string Octets(uint32_t offset, uint32_t n) {
    KezDcQrQRData* block = Block();
    if (!block->p_RowBuffer) return "<no row buffer>";
    std::string out;
    for (uint32_t i = offset; i < offset + n && i < block->p_RowBuffer->length(); ++i) {
      out += static_cast<char>((*block->p_RowBuffer)[i]);
    }
    return out;
  }
  // Fills the whole row buffer with c, so that untouched octets show.
  static void FillRow(char c) {
    KezDcQrQRData* block = Block();
    block->InitQResult();
    for (uint32_t i = 0; block->p_RowBuffer && i < block->p_RowBuffer->length(); ++i) {
      (*block->p_RowBuffer)[i] = static_cast<unsigned char>(c);
    }
  }
};

}  // namespace test
}  // namespace kez

#endif
