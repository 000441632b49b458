// The registries and the two deletion operations: deletion by data path,
// cascades down the children and sub-queries, and the global clean-up
// walking a registry while the cascades remove its entries.
#include <string>
#include <vector>

#include "support/KezTestSupport.h"
#include "support/TraceCapture.h"

namespace {

using kez::test::Errors;
using kez::test::TraceCapture;

class RegistryTest : public kez::test::KezTest {
 protected:
  static KezDcQrQResult* Registered(const char* key) { return KezDcQrQResult::QRHTab->Locate(key); }
  static std::vector<std::string> Keys(KezHashDicKezDcQrQResult* registry) {
    std::vector<std::string> keys;
    int i = 1, j = 0;
    KezUnicodeString key;
    while (registry->Next(i, j, &key)) keys.push_back(key.Std());
    return keys;
  }
  // A tree under @sales with two sessions, sub-query expressions and a
  // variable that lives outside the tree.
  static void BuildTree() {
    KezDcQrQResult::NewQResult("@sales:main:orders:amount:20:amount");
    KezDcQrQResult::NewQResult("@sales:main:orders:amount:20:price");
    KezDcQrQResult::NewQResult("@sales:main:[#table]:amount:5:amount");
    KezDcQrQResult::NewQResult("@sales:other:items:qty:1:qty");
    KezDcQrQResult::NewQResult("$outside");
  }
};

TEST_F(RegistryTest, DeletingADataSourceDeletesItsWholeSubtree) {
  BuildTree();
  KezDcQrQResult::DeleteQResult("@sales");
  // The variable #table was registered by the sub-query expression #table.
  EXPECT_EQ(Keys(KezDcQrQResult::QRHTab), (std::vector<std::string>{"#table", "$outside"}));
}

TEST_F(RegistryTest, DeletingAChildByItsBlankedPathLeavesItsFatherUsable) {
  BuildTree();
  KezDcQrQResult::DeleteQResult("   @sales:main:orders:amount:20:amount  ");
  EXPECT_EQ(Registered("@sales:main:orders:amount:20:amount"), nullptr);
  auto* data = static_cast<KezDcQrQRData*>(Registered("@sales:main:orders:amount:20"));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->QRChildList.Size(), 1);  // only the price cell is left
  KezDcQrQResult::DeleteQResult("@sales:main:orders");
  EXPECT_EQ(Registered("@sales:main:orders:amount:20:price"), nullptr);
  EXPECT_NE(Registered("@sales:main:[#table]:amount:5:amount"), nullptr);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(RegistryTest, DeleteQResultOfAnExpressionTextDeletesTheExpressionAndItsNode) {
  KezUnicodeString type = "Expression";
  KezDcQrQResult::NewQR("@sales:main:orders:amount:20:amount", "", "", "", "", "", type);
  ASSERT_EQ(type, "Exp_Cell");
  ASSERT_NE(KezDcQrQResult::ExprHTab->Locate("@sales:main:orders:amount:20:amount"), nullptr);
  KezDcQrQResult::DeleteQResult("@sales:main:orders:amount:20:amount");
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 0);
  EXPECT_EQ(Registered("@sales:main:orders:amount:20:amount"), nullptr);
  // Its ancestors, which nothing else uses, go with it.
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size(), 0);
}

TEST_F(RegistryTest, DeletingWhatIsNotThereOnlyTraces) {
  TraceCapture capture(&KezDcQrQResult::sp_Trace, 6);
  KezDcQrQResult::DeleteQResult("@nowhere");
  KezDcQrQResult::DeleteAllQResult();
  KezDcQrQResult::DeleteAllQResult();
  capture.Stop();
  EXPECT_EQ(capture.Text(),
            "=-->> QrQResult::DeleteQResult: iQuery=<<< @nowhere >>> \n"
            "Expression already deleted \n"
            "Query datapath already deleted \n"
            "=-->> QrQResult::DeleteQResult OK \n"
            "=-->> QrQResult::DeleteAllQResult \nAll QResult is deleted \n"
            "=-->> QrQResult::DeleteAllQResult \nAll QResult is deleted \n");
  EXPECT_TRUE(Errors().empty());
}

// Every node deleted once: a node deleted twice, or a walk yielding a
// deleted node, is a use after free that the sanitizer build reports.
TEST_F(RegistryTest, DeleteAllQResultSurvivesCascadesThatRemoveEntries) {
  BuildTree();
  for (int k = 0; k < 50; ++k) {
    std::string n = std::to_string(k);
    KezDcQrQResult::NewQResult(("@db" + n + ":s:r:a:1:c").c_str());
    KezUnicodeString type = "Expression";
    KezDcQrQResult::NewQR(("@db" + n + ":s:r:a:1:c + $v" + n).c_str(), "", "", "", "", "", type);
  }
  ASSERT_GT(KezDcQrQResult::QRHTab->Size(), 300);
  KezDcQrQResult::DeleteAllQResult();
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size(), 0);
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 0);
  KezDcQrQResult::DeleteAllQResult();
}

}  // namespace
