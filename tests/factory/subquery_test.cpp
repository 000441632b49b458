// Sub-queries: resolving '$' and bracketed components, linking resolved
// nodes to unresolved ones, the reads of every kind through them, and the
// bound on sub-queries whose values are sub-queries again.
#include "support/AccessFaults.h"
#include "support/KezTestSupport.h"
#include "support/TraceCapture.h"

namespace kez {
namespace test {
namespace {

const char kWorkedCell[] = "@sales:main:[#table]:amount:20:amount";

class SubQueryTest : public KezTest {
 protected:
  void SetUp() override {
    KezTest::SetUp();
    KezDcDbMemory::CreateRowset("shop", "orders", {{"item", KEZDCDB_TYPESTRING, 32}, {"amount", KEZDCDB_TYPEI4, 4}});
    KezDcDbMemory::CreateRowset("shop", "stock", {{"item", KEZDCDB_TYPESTRING, 32}, {"amount", KEZDCDB_TYPEI4, 4}});
    for (int k = 1; k <= 3; ++k) {
      KezDcDbMemory::AppendRow("shop", "orders", {"o" + std::to_string(k), std::to_string(10 * k)});
      KezDcDbMemory::AppendRow("shop", "stock", {"s" + std::to_string(k), std::to_string(100 * k)});
    }
    KezDcDbMemory::CreateRowset("alt", "orders", {{"item", KEZDCDB_TYPESTRING, 32}});
    KezDcDbMemory::AppendRow("alt", "orders", {"alt1"});
    KezDcDbDataSourceFactory::RegisterDataSource("sales", "memory:shop");
    KezDcDbDataSourceFactory::RegisterDataSource("alt", "memory:alt");
    misuses_at_start_ = kez::test::AccessFaults::Misuses();
  }
  void TearDown() override {
    KezTest::TearDown();
    EXPECT_EQ(kez::test::AccessFaults::Misuses(), misuses_at_start_) << "the layer saw misuses";
  }
  int misuses_at_start_ = 0;

  // Gives the variable a text value, creating it when absent.
  static void Set(const char* name, const char* value) {
    KezDcQrQResult* node = Located(name);
    if (node && node->GetKind() == KezDcQrQResult::kVariable) {
      static_cast<KezDcQrQRVariable*>(node)->Affect(KezUnicodeString(value));
    } else {
      new KezDcQrQRVariable(name, KezUnicodeString(value));
    }
  }
  template <class T>
  static T* Node(const std::string& path) {
    return dynamic_cast<T*>(KezDcQrQResult::NewQResult(path.c_str()));
  }
  static std::string Resolve(const char* component) {
    KezUnicodeString out = "untouched";
    KezDcQrQResult::GetSubQuery(component, out);
    return out.Std();
  }
  static void NewExpression(const char* text) { NewQR("Expression", text); }
  static std::vector<KezDcQrQResult*> Subs(KezDcQrQResult* node) {
    std::vector<KezDcQrQResult*> out;
    for (int k = 1; k <= node->ListOfSubQuery.Size(); ++k) out.push_back(node->ListOfSubQuery[k]);
    return out;
  }
  static std::string Held() {
    return std::to_string(kez::test::AccessFaults::LiveObjects()) + "/" +
           std::to_string(kez::test::AccessFaults::OutstandingRows()) + "/" +
           std::to_string(kez::test::AccessFaults::LiveAccessors());
  }
};

// A plain component is its own text; a '$' or bracketed one becomes the
// text of its expression's value, by the value's type.
TEST_F(SubQueryTest, ComponentsResolveToTheTextOfTheirValue) {
  EXPECT_EQ(Resolve("main"), "main");
  EXPECT_EQ(Resolve("@sales"), "@sales");
  EXPECT_EQ(Resolve(""), "");
  NewExpression("2+3");
  NewExpression("5/2");
  EXPECT_EQ(Resolve("[2+3]"), "5");
  EXPECT_EQ(Resolve("[5/2]"), "2.500000e+00");
  Set("$base", "sales");
  NewExpression("$base");
  EXPECT_EQ(Resolve("$base"), "sales");
  EXPECT_EQ(Resolve("@$base"), "@sales");
  Set("#b", "alt");
  NewExpression("#b");
  EXPECT_EQ(Resolve("@[#b]"), "@alt");
  EXPECT_TRUE(Errors().empty());
  // A missing or empty expression resolves to nothing.
  EXPECT_EQ(Resolve("[#nope]"), "");
  EXPECT_EQ(Resolve("$nope"), "");
  NewExpression("\"\"");
  EXPECT_EQ(Resolve("[\"\"]"), "");
  EXPECT_EQ(Errors(), (std::vector<std::string>{"ERROR DATAPATH <#nope> DOES'NT EXIST IN EXPRHDICO\n",
                                                "ERROR DATAPATH <$nope> DOES'NT EXIST IN EXPRHDICO\n",
                                                "ERROR: \"\" IS AN EMPTY SUB-QUERY \n"}));
}

TEST_F(SubQueryTest, SetSubQueryFatherLinksOnlyTheLevelsThatDifferAndReportsMissingNodes) {
  auto* unresolved = Node<KezDcQrQRCell>("@sales:main:[#table]:item:1:item");
  auto* resolved = Node<KezDcQrQRCell>("@sales:main:orders:item:1:item");
  KezDcQrQResult::SetSubQueryFather("@sales", "@sales", "main", "main", "[#table]", "orders", "item", "item", "1", "1",
                                    "item", "item");
  KezDcQrQResult* rowset = Located("@sales:main:[#table]");
  EXPECT_EQ(Subs(rowset), std::vector<KezDcQrQResult*>{Located("@sales:main:orders")});
  EXPECT_EQ(Located("@sales:main:orders")->SubQueryFather, rowset);
  EXPECT_EQ(resolved->SubQueryFather, nullptr);
  EXPECT_TRUE(Subs(unresolved).empty());
  EXPECT_TRUE(Errors().empty());
  KezDcQrQResult::SetSubQueryFather("@sales", "@sales", "main", "main", "[#t]", "stock", "", "", "", "", "", "");
  EXPECT_EQ(Errors(), (std::vector<std::string>{"ERROR DATAPATH <@sales:main:[#t]> DOES'NT EXIST IN QRHDICO\n",
                                                "ERROR DATAPATH <@sales:main:stock> DOES'NT EXIST IN QRHDICO\n"}));
  // A resolved node keeps its first father.
  Set("$t", "orders");
  auto* second = Node<KezDcQrQRRowset>("@sales:main:$t");
  EXPECT_NE(second->GetQResult(), nullptr);
  EXPECT_EQ(Located("@sales:main:orders")->SubQueryFather, rowset);
  EXPECT_EQ(Subs(rowset).size(), 1u);
  EXPECT_TRUE(Subs(second).empty());
}

TEST_F(SubQueryTest, WorkedExampleReadsTheResolvedCellAndEveryReadResolvesAgain) {
  Set("#table", "orders");
  auto* cell = Node<KezDcQrQRCell>(kWorkedCell);
  EXPECT_EQ(Located("@sales:main:orders"), nullptr);
  EXPECT_STREQ(cell->GetQResult(), "10");
  auto* resolved = static_cast<KezDcQrQRCell*>(Located("@sales:main:orders:amount:20:amount"));
  ASSERT_NE(resolved, nullptr);
  EXPECT_STREQ(resolved->p_QResult, "10");
  EXPECT_EQ(cell->p_QResult, nullptr);  // the value stays with the resolved cell
  EXPECT_EQ(cell->BasicType.Std(), "double");
  // Every read resolves again; an unchanged value creates and links nothing.
  int registered = KezDcQrQResult::QRHTab->Size();
  cell->GetQResult();
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size(), registered);
  EXPECT_EQ(Subs(Located("@sales:main:[#table]")).size(), 1u);
  Set("#table", "stock");
  EXPECT_STREQ(cell->GetQResult(), "100");
  EXPECT_NE(Located("@sales:main:orders:amount:20:amount"), nullptr);
  EXPECT_EQ(Subs(Located("@sales:main:[#table]")),
            (std::vector<KezDcQrQResult*>{Located("@sales:main:orders"), Located("@sales:main:stock")}));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(SubQueryTest, DataBlockWalksTheResolvedRows) {
  Set("#table", "orders");
  auto* data = Node<KezDcQrQRData>("@sales:main:[#table]:item+amount:2");
  KezDcQrQRData* holder = data->GetQResult();
  ASSERT_EQ(holder, Located("@sales:main:orders:item+amount:2"));
  auto* cell = Node<KezDcQrQRCell>("@sales:main:[#table]:item+amount:2:item");
  EXPECT_STREQ(cell->GetQResult(), "o1");
  data->GetNextLine();
  data->GetNextLine();
  EXPECT_STREQ(cell->GetQResult(), "o3");
  EXPECT_TRUE(data->IsMoreData());
  EXPECT_EQ(data->GetNbRowsObtained(), 1);
  data->GetNextLine();
  EXPECT_FALSE(data->IsMoreData());
  data->GetNextLine();  // the resolved rowset starts again
  EXPECT_STREQ(cell->GetQResult(), "o2");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(SubQueryTest, DataSourceAndSessionReadTheResolvedObjects) {
  Set("$base", "sales");
  Set("$sess", "main");
  auto* source = Node<KezDcQrQRDataSource>("@$base");
  KezIDcDbDataSource* opened = source->GetQResult();
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(opened, static_cast<KezDcQrQRDataSource*>(Located("@sales"))->p_QResult);
  EXPECT_EQ(source->p_QResult, nullptr);
  EXPECT_EQ(Subs(source), std::vector<KezDcQrQResult*>{Located("@sales")});
  auto* session = Node<KezDcQrQRSession>("@sales:$sess");
  KezIDcDbSimpleSession* open_session = session->GetQResult();
  ASSERT_NE(open_session, nullptr);
  EXPECT_EQ(open_session, static_cast<KezDcQrQRSession*>(Located("@sales:main"))->p_QResult);
  EXPECT_EQ(session->p_QResult, nullptr);
  Set("$base", "alt");
  auto* cell = Node<KezDcQrQRCell>("@$base:main:orders:item:10:item");
  EXPECT_STREQ(cell->GetQResult(), "alt1");
  Set("$base", "sales");
  EXPECT_STREQ(cell->GetQResult(), "o1");
  EXPECT_EQ(Subs(source), (std::vector<KezDcQrQResult*>{Located("@sales"), Located("@alt")}));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(SubQueryTest, DoubleHashSubRowsetIsEmptyWithoutErrorAndTraced) {
  Set("$t", "##0");
  auto* rowset = Node<KezDcQrQRRowset>("@sales:main:$t");
  TraceCapture capture(&KezDcQrQResult::sp_Trace, 4);
  EXPECT_EQ(rowset->GetQResult(), nullptr);
  capture.Stop();
  EXPECT_STREQ(Node<KezDcQrQRCell>("@sales:main:$t:item:10:item")->GetQResult(), "");
  EXPECT_FALSE(Node<KezDcQrQRData>("@sales:main:$t:item:10")->IsMoreData());
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), 0);
  EXPECT_NE(capture.Text().find("m\xB0!\xB0m WARNING: NULL SUB-ROWSET ##0 \n"), std::string::npos) << capture.Text();
}

TEST_F(SubQueryTest, EmptyValueGivesEachKindItsEmptyResult) {
  Set("$e", "");
  EXPECT_EQ(Node<KezDcQrQRDataSource>("@$e")->GetQResult(), nullptr);
  EXPECT_EQ(Node<KezDcQrQRSession>("@sales:$e")->GetQResult(), nullptr);
  EXPECT_EQ(Node<KezDcQrQRRowset>("@sales:main:$e")->GetQResult(), nullptr);
  auto* data = Node<KezDcQrQRData>("@sales:main:$e:item:10");
  EXPECT_EQ(data->GetQResult(), data);
  EXPECT_STREQ(Node<KezDcQrQRCell>("@sales:main:$e:item:10:item")->GetQResult(), "");
  EXPECT_EQ(CountError("ERROR: $e IS AN EMPTY SUB-QUERY \n"), 5);
  EXPECT_EQ(CountError("ERROR: EMPTY SUB-QUERY \n"), 5);
  EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), 0);
}

// Rows written through a path with sub-queries go into the rowset that the
// path resolves to at the put, bound by a handle of that very rowset.
TEST_F(SubQueryTest, PutsFollowTheRowsetThePathResolvesTo) {
  Set("#table", "orders");
  const std::string block = "@sales:main:[#table]:{item+amount}:2";
  auto* data = Node<KezDcQrQRData>(block);
  auto* item = Node<KezDcQrQRCell>(block + ":item");
  for (int k = 0; k < 4; ++k) data->GetNextLine();  // past the end, and the resolved rowset starts again
  KezDcQrQResult::NewQResult("\"n1\"")->PutConstant(item);
  data->PutData();
  Set("#table", "stock");
  KezDcQrQResult::NewQResult("\"n2\"")->PutConstant(item);
  data->PutData();
  EXPECT_EQ(KezDcDbMemory::GetInsertedRows("shop", "orders"),
            (std::vector<KezDcDbMemoryRow>{{"n1", KezDcDbMemory::Null()}}));
  EXPECT_EQ(KezDcDbMemory::GetInsertedRows("shop", "stock"),
            (std::vector<KezDcDbMemoryRow>{{"n2", KezDcDbMemory::Null()}}));
  EXPECT_EQ(static_cast<KezDcQrQRRowset*>(Located("@sales:main:[#table]"))->p_WriteQResult, nullptr);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(SubQueryTest, ValueHoldingAColonNamesNoNodeOfItsLevel) {
  Set("$t", "orders:item");
  EXPECT_EQ(Node<KezDcQrQRRowset>("@sales:main:$t")->GetQResult(), nullptr);
  EXPECT_EQ(Errors(), std::vector<std::string>{"ERROR: SUB-QUERY PATH <@sales:main:orders:item> DOESN'T NAME A "
                                               "Rowset !\n"});
  EXPECT_EQ(Located("@sales:main:orders:item"), nullptr);  // the key stays free for the accessor
  EXPECT_NE(Node<KezDcQrQRAccessor>("@sales:main:orders:item"), nullptr);
  Set("$t", "[#x:y]");  // inside brackets a colon belongs to the text
  Node<KezDcQrQRRowset>("@sales:main:$t")->GetQResult();
  EXPECT_NE(Located("@sales:main:[#x:y]"), nullptr);
}

TEST_F(SubQueryTest, FreeingAndDeletingAnUnresolvedNodeReachesTheResolvedOnes) {
  Set("#table", "orders");
  auto* cell = Node<KezDcQrQRCell>(kWorkedCell);
  cell->GetQResult();
  EXPECT_EQ(Held(), "3/3/1");
  auto* rowset = static_cast<KezDcQrQRRowset*>(Located("@sales:main:[#table]"));
  rowset->FreeQResult();
  EXPECT_EQ(Held(), "2/0/0");
  EXPECT_EQ(static_cast<KezDcQrQRCell*>(Located("@sales:main:orders:amount:20:amount"))->p_QResult, nullptr);
  EXPECT_STREQ(cell->GetQResult(), "10");
  KezDcQrQResult::DeleteQResult("@sales:main:[#table]");
  EXPECT_EQ(Held(), "0/0/0");  // the session and data source, now unused, went too
  EXPECT_EQ(Located("@sales"), nullptr);
  EXPECT_EQ(Located("@sales:main:orders"), nullptr);
  EXPECT_EQ(Located("@sales:main:orders:amount:20:amount"), nullptr);
  EXPECT_EQ(Located(kWorkedCell), nullptr);
  // An unresolved data source deletes what it resolved to.
  Set("$base", "alt");
  Node<KezDcQrQRCell>("@$base:main:orders:item:10:item")->GetQResult();
  EXPECT_EQ(Held(), "3/1/1");
  KezDcQrQResult::DeleteQResult("@$base");
  EXPECT_EQ(Held(), "0/0/0");
  EXPECT_EQ(Located("@alt"), nullptr);
  EXPECT_EQ(Located("@alt:main:orders:item:10:item"), nullptr);
}

// Variables $v0 .. $v<n-1> each naming the next, the last naming orders.
void Chain(int n, const char* prefix) {
  for (int k = 0; k < n; ++k) {
    std::string name = std::string("$") + prefix + std::to_string(k);
    std::string next = k + 1 < n ? std::string("$") + prefix + std::to_string(k + 1) : "orders";
    new KezDcQrQRVariable(name.c_str(), KezUnicodeString(next.c_str()));
  }
}

// A sub-query whose value is a sub-query again resolves again, at every
// level, up to sixteen levels deep; loops stop at that bound.
TEST_F(SubQueryTest, ChainsResolveUpToSixteenLevelsAndLoopsStopThere) {
  Set("$c", "$d");
  Set("$d", "item");
  EXPECT_STREQ(Node<KezDcQrQRCell>("@sales:main:orders:item:10:$c")->GetQResult(), "o1");
  Set("$s", "$base");
  Set("$base", "alt");
  EXPECT_STREQ(Node<KezDcQrQRCell>("@$s:main:orders:item:10:item")->GetQResult(), "alt1");
  Chain(16, "v");
  EXPECT_NE(Node<KezDcQrQRRowset>("@sales:main:$v0")->GetQResult(), nullptr);
  EXPECT_TRUE(Errors().empty());
  Chain(17, "w");
  EXPECT_EQ(Node<KezDcQrQRRowset>("@sales:main:$w0")->GetQResult(), nullptr);
  EXPECT_EQ(Errors(), std::vector<std::string>{"ERROR: SUB-QUERY <@sales:main:$w16> NESTED MORE THAN 16 LEVELS "
                                               "DEEP !\n"});
  // Variables naming each other never hang.
  KezDcCMError::ClearErrors();
  Set("$a", "$b");
  Set("$b", "$a");
  EXPECT_EQ(Node<KezDcQrQRRowset>("@sales:main:$a")->GetQResult(), nullptr);
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 1);
  KezDcCMError::ClearErrors();
  EXPECT_STREQ(Node<KezDcQrQRCell>("@sales:main:orders:item:10:$a")->GetQResult(), "");
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 1);
  EXPECT_EQ(Errors()[0].compare(0, 18, "ERROR: SUB-QUERY <"), 0) << Errors()[0];
  KezDcCMError::ClearErrors();
  auto* data = Node<KezDcQrQRData>("@sales:main:$b:item:10");
  data->GetQResult();
  data->GetNextLine();
  EXPECT_FALSE(data->IsMoreData());
  KezDcCMError::ClearErrors();
  Set("$x", "$x");
  EXPECT_EQ(Node<KezDcQrQRDataSource>("@$x")->GetQResult(), nullptr);
  EXPECT_EQ(KezDcCMError::GetNbErrors(), 1);
  EXPECT_EQ(Errors()[0], "ERROR: SUB-QUERY <@$x> NESTED MORE THAN 16 LEVELS DEEP !\n");
}

}  // namespace
}  // namespace test
}  // namespace kez
