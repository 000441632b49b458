// The forwarding operations of the base class: each reaches its kind's
// operation, and a node of another kind is refused with a message.
#include <string>
#include <vector>

#include "support/KezTestSupport.h"

namespace {

using kez::test::Errors;
using Strings = std::vector<std::string>;

const char kBlock[] = "@m:main:items:{name+qty}:1";
const char kName[] = "@m:main:items:{name+qty}:1:name";

using ForwardingTest = kez::test::ShopItemsTest;

TEST_F(ForwardingTest, EachOperationReachesItsKind) {
  KezDcQrQResult* name = KezDcQrQResult::NewQResult(kName);
  KezDcQrQResult* block = KezDcQrQResult::NewQResult(kBlock);
  EXPECT_EQ(block->GetData(), block);
  EXPECT_EQ(block->GetNbRowsObtained(), 1);
  EXPECT_TRUE(block->IsMoreData());
  EXPECT_STREQ(name->GetCell(), "apple");
  block->GetNextLine();
  EXPECT_STREQ(name->GetCell(), "pear");
  block->FreeRowsetOfData();
  EXPECT_EQ(static_cast<KezDcQrQRRowset*>(KezDcQrQResult::QRHTab->Locate("@m:main:items"))->p_QResult, nullptr);
  block->InitData();
  EXPECT_NE(static_cast<KezDcQrQRData*>(block)->p_RowBuffer, nullptr);
  name->GetCell();
  KezDcQrQResult* constant = KezDcQrQResult::NewQResult("\"kiwi\"");
  EXPECT_STREQ(constant->GetConstant(), "kiwi");
  constant->PutConstant(name);
  EXPECT_STREQ(name->GetCell(), "kiwi");
  KezDcQrQResult* variable = KezDcQrQResult::NewQResult("#n");
  EXPECT_EQ(*static_cast<int*>(variable->GetVariable()), 0);
  variable->PutVariable(name);
  EXPECT_STREQ(name->GetCell(), "0");
  KezUnicodeString type = "Expression";
  KezDcQrQResult* expression = KezDcQrQResult::NewQR("6*7", "", "", "", "", "", type);
  EXPECT_EQ(*static_cast<int*>(expression->GetExpression()), 42);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(ForwardingTest, WrongKindIsRefusedWithAMessage) {
  KezDcQrQResult* variable = KezDcQrQResult::NewQResult("$v");
  KezDcQrQResult* source = KezDcQrQResult::NewQResult("@m");
  EXPECT_EQ(variable->GetCell(), nullptr);
  EXPECT_EQ(variable->GetData(), nullptr);
  EXPECT_FALSE(variable->IsMoreData());
  EXPECT_EQ(source->GetNbRowsObtained(), 0);
  EXPECT_EQ(source->GetConstant(), nullptr);
  variable->PutVariable(source);  // the target is no cell
  EXPECT_EQ(Errors(), (Strings{"ERROR: GetCell ON A <Variable> QUERY RESULT !\n",
                               "ERROR: GetData ON A <Variable> QUERY RESULT !\n",
                               "ERROR: IsMoreData ON A <Variable> QUERY RESULT !\n",
                               "ERROR: GetNbRowsObtained ON A <DataSource> QUERY RESULT !\n",
                               "ERROR: GetConstant ON A <DataSource> QUERY RESULT !\n",
                               "ERROR: PutVariable ON A <DataSource> QUERY RESULT !\n"}));
}

}  // namespace
