// Helpers of the node and language tests: the memory database "shop"
// registered as the data source m, node look-ups by data path, a reader of
// row-buffer fields, the memory backend's counters, and expression builders.
#ifndef KEZ_TEST_DB_FIXTURE_H
#define KEZ_TEST_DB_FIXTURE_H

#include <initializer_list>
#include <string>

#include "support/AccessFaults.h"
#include "support/KezTestSupport.h"

namespace kez {
namespace test {

using Texts = std::vector<std::string>;
using Rows = std::vector<KezDcDbMemoryRow>;

class DbTest : public KezTest {
 protected:
  using F = AccessFaults;
  void SetUp() override {
    KezTest::SetUp();
    KezDcDbMemory::CreateRowset(
        "shop", "orders",
        {{"item", KEZDCDB_TYPESTRING, 32}, {"amount", KEZDCDB_TYPEI4, 4}, {"price", KEZDCDB_TYPER8, 8}});
    KezDcDbDataSourceFactory::RegisterDataSource("m", "memory:shop");
    for (int op = 0; op < F::kOperationCount; ++op) calls_at_start_[op] = F::CallCount(F::Operation(op));
    misuses_at_start_ = F::Misuses();
  }
  // The nodes never misuse the layer (unknown handles, rows released twice).
  void TearDown() override {
    KezTest::TearDown();
    EXPECT_EQ(F::Misuses() - misuses_at_start_, 0) << "the layer saw misuses";
  }

  // Appends rows r1..rN (amount k, price k.5) to orders.
  static void FillOrders(int n) {
    for (int k = 1; k <= n; ++k)
      KezDcDbMemory::AppendRow("shop", "orders",
                               {"r" + std::to_string(k), std::to_string(k), std::to_string(k) + ".5"});
  }
  // The node that the data path names, null when of another kind.
  template <class T>
  static T* Node(const std::string& path) {
    return dynamic_cast<T*>(KezDcQrQResult::NewQResult(path.c_str()));
  }
  // The text of field index (0-based) of a data block's row buffer.
  static std::string Field(KezDcQrQRData* data, uint32_t index) {
    if (!data || !data->p_RowBuffer || !data->p_QRAccessor || !data->p_QRAccessor->p_BufferBinding) return "<none>";
    const KezDcDbBinding& b = (*data->p_QRAccessor->p_BufferBinding)[index];
    std::string text;
    for (uint32_t k = 0; k < b.maxlen && (*data->p_RowBuffer)[b.offset + k]; ++k)
      text += (*data->p_RowBuffer)[b.offset + k];
    return text;
  }
  // The first field of the row that the data block stands on.
  static std::string CurrentRow(KezDcQrQRData* data) { return Field(data->GetQResult(), 0); }
  // Calls of the layer operations since the test began, joined by '/'.
  long Calls(F::Operation op) const { return F::CallCount(op) - calls_at_start_[op]; }
  std::string Calls(std::initializer_list<F::Operation> ops) const {
    std::string out;
    for (auto op : ops) out += (out.empty() ? "" : "/") + std::to_string(Calls(op));
    return out;
  }
  // "objects/rows/accessors" held in the memory backend.
  static std::string Held() {
    return std::to_string(F::LiveObjects()) + "/" + std::to_string(F::OutstandingRows()) + "/" +
           std::to_string(F::LiveAccessors());
  }

 private:
  long calls_at_start_[AccessFaults::kOperationCount] = {};
  int misuses_at_start_ = 0;
};

// The elements of e's postfix list.
inline Texts Postfix(const KezDcQrQRExpression* e) {
  Texts out;
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

// orders with one row, read as kBlock (code has 0 octets, memo 4).
class ShopTest : public DbTest {
 public:
  static constexpr const char* kBlock = "@m:s:orders:{item+amount+price+code+memo}:2";
  static std::string CellPath(const std::string& column) { return std::string(kBlock) + ":" + column; }

 protected:
  void SetUp() override {
    DbTest::SetUp();
    KezDcDbMemory::CreateRowset("shop", "orders",
                                {{"item", KEZDCDB_TYPESTRING, 10},
                                 {"amount", KEZDCDB_TYPEI4, 4},
                                 {"price", KEZDCDB_TYPER8, 8},
                                 {"code", KEZDCDB_TYPESTRING, 0},
                                 {"memo", KEZDCDB_TYPESTRING, 4}});
    KezDcDbMemory::AppendRow("shop", "orders", {"apple", "3", "12.5", "", "ab"});
  }
};

}  // namespace test
}  // namespace kez

#endif
