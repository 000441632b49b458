// Data sources, sessions and rowsets: each level opens once and its free or
// deletion gives back what it holds exactly once, failures to open are
// reported and retried, and an operand naming such a node counts 1 when it
// opens.
#include "support/AccessFaults.h"
#include "support/DbFixture.h"

namespace kez {
namespace test {
namespace {

class OpenReleaseTest : public DbTest {
 protected:
  // The int value of Get(text), or -1 when the value is no int.
  static int Value(const std::string& text) {
    auto* expression = static_cast<KezDcQrQRExpression*>(Run("Get(" + text + ")")->p_QResult);
    return expression && expression->BasicType == "int" ? expression->IntValue : -1;
  }
};

TEST_F(OpenReleaseTest, EachLevelOpensOnceAndItsFreeReleasesWhatItHoldsAndNoMore) {
  FillOrders(12);
  auto* cell = Node<KezDcQrQRCell>("@m:main:orders:*:10:item");
  KezDcQrQRData* data = cell->p_QRData;
  KezDcQrQRRowset* rowset = data->p_QRRowset;
  KezDcQrQRSession* session = rowset->p_QRSession;
  cell->GetQResult();
  KezIDcDbInsertRowset* insert = rowset->GetWriteQResult();
  EXPECT_EQ(rowset->GetWriteQResult(), insert);
  EXPECT_EQ(session->GetQResult(), session->p_QResult);
  EXPECT_EQ(Calls({kez::test::AccessFaults::kCreateDataSource, kez::test::AccessFaults::kOpenSession,
                   kez::test::AccessFaults::kOpenRowset, kez::test::AccessFaults::kQueryInterface}),
            "1/1/1/1");
  Texts held = {Held()};
  for (KezDcQrQResult* level : std::vector<KezDcQrQResult*>{cell, data, data->p_QRAccessor, rowset, session,
                                                            session->p_QRDataSource, session->p_QRDataSource}) {
    level->FreeQResult();  // the second free of the source has nothing left
    held.push_back(Held());
  }
  EXPECT_EQ(held, (Texts{"4/10/1", "4/10/1", "4/0/1", "4/0/0", "2/0/0", "1/0/0", "0/0/0", "0/0/0"}));
  // The next read opens again; the source's free closes what is below it.
  EXPECT_NE(rowset->GetWriteQResult(), nullptr);
  EXPECT_EQ(Calls({kez::test::AccessFaults::kCreateDataSource, kez::test::AccessFaults::kQueryInterface}), "2/2");
  session->p_QRDataSource->FreeQResult();
  EXPECT_EQ(session->p_QResult, nullptr);
  cell->GetQResult();
  KezDcQrQResult::DeleteQResult("@m");
  EXPECT_EQ(Held(), "0/0/0");
  EXPECT_TRUE(Errors().empty());
}

// A session without a father never opens; "##..." rowsets open nothing
// and ask nothing, "#orders" is a name; a rowset's own failure to open is
// only traced; each is tried again at the next read.
TEST_F(OpenReleaseTest, EmptyRowsetsAndFailuresToOpen) {
  auto* orphan = new KezDcQrQRSession("@m", "orphan");
  EXPECT_EQ(Registered("@m:orphan"), orphan);
  EXPECT_EQ(orphan->GetQResult(), nullptr);
  EXPECT_EQ(Errors(), (Texts{"ERROR FATHER QUERY <@m> DOESN'T APPEAR IN HQR DICO !\n",
                             "ERROR: Impossible to open Session @m:orphan \n"}));
  KezDcCMError::ClearErrors();
  for (const char* name : {"##0", "##", "##orders"}) {
    auto* rowset = Built<KezDcQrQRRowset>("Rowset", name);
    EXPECT_TRUE(!rowset->GetQResult() && !rowset->GetWriteQResult()) << name;
  }
  EXPECT_EQ(Calls(kez::test::AccessFaults::kCreateDataSource), 0);
  KezDcDbMemory::CreateRowset("shop", "#orders", {{"item", KEZDCDB_TYPESTRING, 8}});
  EXPECT_NE(Built<KezDcQrQRRowset>("Rowset", "#orders")->GetQResult(), nullptr);
  EXPECT_TRUE(Errors().empty());
  kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kOpenRowset, 4);
  auto* rowset = Node<KezDcQrQRRowset>("@m:main:orders");
  EXPECT_EQ(rowset->GetQResult(), nullptr);
  EXPECT_TRUE(Errors().empty());
  EXPECT_NE(rowset->GetQResult(), nullptr);
  kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kQueryInterface, 9);
  EXPECT_EQ(rowset->GetWriteQResult(), nullptr);
  EXPECT_EQ(Errors(), Texts{"ERROR QrQRRowset::GetWriteQResult: Error in QueryInterface with Rc=9 \n"});
  EXPECT_NE(rowset->GetWriteQResult(), nullptr);
}

// A node that opens counts 1, one that cannot counts 0 (a data source is
// tried again at every read), and a data block 0 after its read.
TEST_F(OpenReleaseTest, OperandsNamingNodesCountOneWhenTheyOpen) {
  FillOrders(1);
  EXPECT_EQ(Value("@m") + Value("@m:main") + Value("@m:main:orders") + Value("@m:main:orders:{item+amount}"), 4);
  EXPECT_EQ(Value("@m:main + @m:main:orders * 2"), 3);
  EXPECT_EQ(Value("@m:main:orders:{item+amount}:10"), 0);
  EXPECT_EQ(Calls(kez::test::AccessFaults::kGetNextRows), 1);
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(Value("@nowhere"), 0);
  EXPECT_EQ(Node<KezDcQrQRDataSource>("@nowhere")->GetQResult(), nullptr);
  EXPECT_EQ(Errors(), Texts(2, "ERROR: Impossible to load DataSource @nowhere \n"));
  kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kOpenSession, 2);
  EXPECT_EQ(Value("@m:nosuch"), 0);
  EXPECT_EQ(Value("@m:nosuch:nothing"), 0);
  KezDcCMError::ClearErrors();
  kez::test::AccessFaults::FailAt(kez::test::AccessFaults::kOpenRowset, 4);
  EXPECT_EQ(Value("@m:other:orders:{item}"), 0);
  EXPECT_TRUE(Errors().empty());  // a rowset's own failure is only traced
}

// Blocks and accessors under one rowset share its position and go back
// with its free; deleting an accessor deletes the blocks and cells below.
TEST_F(OpenReleaseTest, SeveralBlocksAndAccessorsUnderOneRowsetAllGoBack) {
  FillOrders(12);
  for (const char* path : {"@m:main:orders:*:10:item", "@m:main:orders:*:5:item", "@m:main:orders:item:3:item"}) {
    Node<KezDcQrQRCell>(path)->GetQResult();
  }
  Node<KezDcQrQRRowset>("@m:main:orders")->GetWriteQResult();
  EXPECT_EQ(Held(), "4/12/2");
  Node<KezDcQrQRRowset>("@m:main:orders")->FreeQResult();
  EXPECT_EQ(Held(), "2/0/0");
  Node<KezDcQrQRCell>("@m:main:orders:*:5:item")->GetQResult();
  EXPECT_EQ(Held(), "3/5/1");
  KezDcQrQResult::DeleteQResult("@m:main:orders:*");
  EXPECT_EQ(Held(), "3/0/0");
  EXPECT_EQ(Registered("@m:main:orders:*:5:item"), nullptr);
}

}  // namespace
}  // namespace test
}  // namespace kez
