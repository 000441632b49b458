// Helpers of the expression tests: reading postfix lists, building
// expressions, and the memory table that expressions read.
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

// The rowset "orders" of the memory database "shop", one row, read as
// @m:s:orders:{item+amount+price+code+memo}:2 (code has 0 octets, memo 4).
class ShopTest : public KezTest {
 public:
  static constexpr const char* kBlock = "@m:s:orders:{item+amount+price+code+memo}:2";
  static std::string CellPath(const std::string& column) { return std::string(kBlock) + ":" + column; }

 protected:
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
};

}  // namespace test
}  // namespace kez

#endif
