// Data-source, session and rowset nodes: opening once, reopening after a
// free, empty "##" rowsets, the insert interface, failures while opening, and
// expression operands naming a node (1 when its read yields an open object).
#include "support/AccessFaults.h"
#include "support/DbFixture.h"

namespace kez {
namespace test {
namespace {

class OpenTest : public DbTest {
 protected:
  // The int value of Get(text), or -1 when the value is no int.
  static int Value(const std::string& text) {
    auto* expression = static_cast<KezDcQrQRExpression*>(Run("Get(" + text + ")")->p_QResult);
    return expression && expression->BasicType == "int" ? expression->IntValue : -1;
  }
};

TEST_F(OpenTest, SourceAndSessionOpenOnceCloseTogetherAndOpenAgain) {
  auto* session = Node<KezDcQrQRSession>("@m:main");
  auto* source = static_cast<KezDcQrQRDataSource*>(Registered("@m"));
  KezIDcDbSimpleSession* opened = session->GetQResult();
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(session->GetQResult(), opened);
  KezIDcDbDataSource* loaded = source->GetQResult();
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(source->GetQResult(), loaded);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kCreateDataSource), 1);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kOpenSession), 1);
  EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), 2);
  source->FreeQResult();  // closes the session first
  EXPECT_EQ(session->p_QResult, nullptr);
  EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), 0);
  source->FreeQResult();  // a second free has nothing left to release
  EXPECT_NE(session->GetQResult(), nullptr);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kCreateDataSource), 2);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(OpenTest, RowsetAndInsertInterfaceOpenOnceAndAgainAfterFree) {
  auto* rowset = Node<KezDcQrQRRowset>("@m:main:orders");
  KezIDcDbInsertRowset* insert = rowset->GetWriteQResult();
  ASSERT_NE(insert, nullptr);
  EXPECT_EQ(rowset->GetWriteQResult(), insert);
  KezIDcDbSimpleRowset* opened = rowset->GetQResult();
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(rowset->GetQResult(), opened);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kOpenRowset), 1);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kQueryInterface), 1);
  EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), 4);
  rowset->FreeQResult();
  EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), 2);  // the session and its source stay open
  EXPECT_NE(rowset->GetWriteQResult(), nullptr);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kOpenRowset), 2);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kQueryInterface), 2);
}

TEST_F(OpenTest, DoubleHashRowsetIsNullWithoutErrorAndAsksNothingButSingleHashIsAName) {
  for (const char* name : {"##0", "##", "##orders"}) {
    auto* rowset = Built<KezDcQrQRRowset>("Rowset", name);
    ASSERT_NE(rowset, nullptr) << name;
    EXPECT_EQ(rowset->GetQResult(), nullptr) << name;
    EXPECT_EQ(rowset->GetWriteQResult(), nullptr) << name;
  }
  EXPECT_EQ(static_cast<KezDcQrQRSession*>(Registered("@m:main"))->p_QResult, nullptr);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kCreateDataSource), 0);
  KezDcDbMemory::CreateRowset("shop", "#orders", {{"item", KEZDCDB_TYPESTRING, 8}});
  EXPECT_NE(Built<KezDcQrQRRowset>("Rowset", "#orders")->GetQResult(), nullptr);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(OpenTest, FailuresAreReportedExceptTheRowsetsOwnAndTheNextReadRetries) {
  auto* orphan = new KezDcQrQRSession("@m", "orphan");  // a session without a father never opens
  EXPECT_EQ(Registered("@m:orphan"), orphan);
  EXPECT_EQ(orphan->GetQResult(), nullptr);
  EXPECT_EQ(Errors(), (Texts{"ERROR FATHER QUERY <@m> DOESN'T APPEAR IN HQR DICO !\n",
                             "ERROR: Impossible to open Session @m:orphan \n"}));
  EXPECT_EQ(Calls(kez::test::AccessFaults::kCreateDataSource), 0);
  KezDcCMError::ClearErrors();

  kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kOpenRowset, 4);
  auto* rowset = Node<KezDcQrQRRowset>("@m:main:orders");
  EXPECT_EQ(rowset->GetQResult(), nullptr);
  EXPECT_TRUE(Errors().empty());  // only traced
  EXPECT_NE(rowset->GetQResult(), nullptr);
  kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kQueryInterface, 9);
  EXPECT_EQ(rowset->GetWriteQResult(), nullptr);
  EXPECT_EQ(Errors(), Texts{"ERROR QrQRRowset::GetWriteQResult: Error in QueryInterface with Rc=9 \n"});
  EXPECT_NE(rowset->GetWriteQResult(), nullptr);
}

TEST_F(OpenTest, OperandsOfOpenNodesCountOneAndADataBlockZeroAfterItsRead) {
  FillOrders(1);
  EXPECT_EQ(Value("@m"), 1);
  EXPECT_EQ(Value("@m:main"), 1);
  EXPECT_EQ(Value("@m:main:orders"), 1);
  EXPECT_EQ(Value("@m:main:orders:{item+amount}"), 1);
  EXPECT_EQ(Value("@m:main + @m:main:orders * 2"), 3);
  EXPECT_EQ(Value("@m:main:orders:{item+amount}:10"), 0);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kGetNextRows), 1);
  EXPECT_EQ(KezDcQrQuery::NewQuery("Get(@m:main:orders:{item+amount}:10)")->TypeOfQResult.Std(), "Exp_Data");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(OpenTest, OperandsOfNodesThatCannotOpenCountZero) {
  EXPECT_EQ(Value("@nowhere"), 0);
  EXPECT_EQ(Node<KezDcQrQRDataSource>("@nowhere")->GetQResult(), nullptr);  // tried again at every read
  EXPECT_EQ(Errors(), Texts(2, "ERROR: Impossible to load DataSource @nowhere \n"));
  kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kOpenSession, 2);
  EXPECT_EQ(Value("@m:main"), 0);
  EXPECT_EQ(Value("@m:nosuch:nothing"), 0);
  KezDcCMError::ClearErrors();
  kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kOpenRowset, 4);
  EXPECT_EQ(Value("@m:main:orders:{item}"), 0);
  EXPECT_TRUE(Errors().empty());
}

}  // namespace
}  // namespace test
}  // namespace kez
