// The factory and the registries: ancestors created from the data source
// down, sub-query expressions registered as they are met, the types it
// knows, deletions and their cascades, the forwarding operations of the
// base class, and sub-queries linking, reading, writing and releasing the
// nodes they resolve to. How paths split is
// tests/language/cases/data-path.test; sub-query values, loops and errors
// as a user meets them are tests/kezq/cases/subqueries.test.
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "support/AccessFaults.h"
#include "support/KezTestSupport.h"

namespace kez {
namespace test {
namespace {

using Strings = std::vector<std::string>;
using Nodes = std::vector<KezDcQrQResult*>;
const char kCell[] = "@sales:main:orders:amount:20:amount";
const char kWorkedCell[] = "@sales:main:[#table]:amount:20:amount";

// Over memory:shop, as "sales", orders and stock(item, amount) with three
// rows each (o1 10 ... and s1 100 ...); "alt" is memory:alt, orders(item)
// holding alt1. Also fails a test that misuses the access layer.
class FactoryTest : public KezTest {
 protected:
  void SetUp() override {
    KezTest::SetUp();
    for (const char* table : {"orders", "stock"}) {
      KezDcDbMemory::CreateRowset("shop", table, {{"item", KEZDCDB_TYPESTRING, 32}, {"amount", KEZDCDB_TYPEI4, 4}});
      for (int k = 1; k <= 3; ++k) {
        int scale = table[0] == 'o' ? 10 : 100;
        KezDcDbMemory::AppendRow("shop", table, {table[0] + std::to_string(k), std::to_string(scale * k)});
      }
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
    if (auto* node = dynamic_cast<KezDcQrQRVariable*>(Located(name))) return node->Affect(KezUnicodeString(value));
    new KezDcQrQRVariable(name, KezUnicodeString(value));
  }
  template <class T>
  static T* Node(const std::string& path) {
    return dynamic_cast<T*>(KezDcQrQResult::NewQResult(path.c_str()));
  }
  static std::string Kind(const char* text) {  // the kind a new expression hands back
    KezUnicodeString type = "Expression";
    KezDcQrQResult::NewQR(text, "", "", "", "", "", type);
    return type.Std();
  }
  static Nodes Subs(const char* path) {
    KezDcQrQResult* node = Located(path);
    Nodes out;
    for (int k = 1; k <= node->ListOfSubQuery.Size(); ++k) out.push_back(node->ListOfSubQuery[k]);
    return out;
  }
  static std::string Held() {  // objects, row handles and accessors of the memory backend
    return std::to_string(kez::test::AccessFaults::LiveObjects()) + "/" +
           std::to_string(kez::test::AccessFaults::OutstandingRows()) + "/" +
           std::to_string(kez::test::AccessFaults::LiveAccessors());
  }
};

TEST_F(FactoryTest, CellCreatesItsAncestorsTopDownAndRegisteredNodesComeBack) {
  KezDcQrQResult* cell = KezDcQrQResult::NewQResult(kCell);
  Strings keys = Keys(KezDcQrQResult::QRHTab);
  EXPECT_EQ(keys, (Strings{"@sales", "@sales:main", "@sales:main:orders", "@sales:main:orders:amount",
                           "@sales:main:orders:amount:20", kCell}));
  EXPECT_EQ(cell, Located(keys[5].c_str()));
  const char* const types[] = {"DataSource", "Session", "Rowset", "Accessor", "Data", "Cell"};
  for (int k = 0; k < 6; ++k) {
    KezDcQrQResult* node = Located(keys[k].c_str());
    EXPECT_EQ(node->Type, types[k]);
    EXPECT_EQ(node->BasicType, k < 5 ? "int" : "string");
    EXPECT_TRUE(node->SubQueryFlag == 'N' && node->SubQueryFather == nullptr);
  }
  EXPECT_EQ(KezDcQrQResult::NewQResult("@sales : main:orders:amount:20"), Located(keys[4].c_str()));
  NewQR("Session", "@sales", "other");
  EXPECT_EQ(Keys(KezDcQrQResult::QRHTab).back(), "@sales:other");
  KezUnicodeString type = "Variable";  // whatever the type asked, the registered node comes back
  EXPECT_EQ(KezDcQrQResult::NewQR("@sales", "12", "", "", "", "", type), Located("@sales"));
  EXPECT_EQ(type, "Variable");
  // Sub-query components register their expressions as they are met; at
  // the data source the expression is the text after the marker.
  KezDcQrQResult::DeleteAllQResult();
  cell = KezDcQrQResult::NewQResult(kWorkedCell);
  EXPECT_EQ(Keys(KezDcQrQResult::QRHTab),
            (Strings{"@sales", "@sales:main", "@sales:main:[#table]", "#table", "@sales:main:[#table]:amount",
                     "@sales:main:[#table]:amount:20", kWorkedCell}));
  EXPECT_EQ(Located("#table")->Type, "Variable");
  EXPECT_TRUE(Located("@sales:main:[#table]")->SubQueryFlag == 'Y' && cell->SubQueryFlag == 'Y');
  EXPECT_EQ(Located("@sales:main")->SubQueryFlag, 'N');
  NewQR("DataSource", "@$base");
  NewQR("DataSource", "@[#base]");
  NewQR("Session", "@sales", "$sess");
  NewQR("Cell", "@sales", "main", "orders", "amount", "1", "[$col]");
  EXPECT_EQ(Keys(KezDcQrQResult::ExprHTab), (Strings{"#table", "$base", "#base", "$sess", "$col"}));
  EXPECT_NE(Located("@[#base]"), nullptr);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(FactoryTest, TypesMakeVariablesConstantsAndExpressionsAndUnknownOnesNothing) {
  for (const char* type : {"", "Exp_Cell", "cell", "Query", "Exp_Data"}) {
    EXPECT_EQ(NewQR(type, "@sales", "main", "o", "a", "1", "c"), nullptr) << type;
  }
  EXPECT_EQ(KezDcQrQResult::NewQResult("sales:main"), nullptr);
  EXPECT_EQ(KezDcQrQResult::NewQResult(""), nullptr);
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size() + KezDcQrQResult::ExprHTab->Size(), 0);
  // A variable takes its session component as its text, else the int 0.
  auto* by_int = static_cast<KezDcQrQRVariable*>(KezDcQrQResult::NewQResult("#rate"));
  EXPECT_TRUE(by_int->BasicType == "int" && by_int->IntValue == 0);
  auto* by_text = static_cast<KezDcQrQRVariable*>(NewQR("Variable", "#count", "12"));
  EXPECT_TRUE(by_text->BasicType == "string" && by_text->StringValue == "12");
  EXPECT_EQ(Located("#count"), by_text);
  EXPECT_EQ(KezDcQrQResult::NewQResult("\"north\"")->Type, "Constant");
  EXPECT_NE(Located("\"north\""), nullptr);
  // Only a new expression hands its kind back.
  EXPECT_EQ(Kind("@sales:main:orders:amount:20"), "Exp_Data");
  EXPECT_EQ(Located("@sales:main:orders:amount:20")->Type, "Data");
  EXPECT_EQ(Kind("@sales:main:orders:amount:20"), "Expression");
  EXPECT_EQ(Kind("1 + $x"), "Expression");
  EXPECT_EQ(Kind("42"), "Exp_Constant");
}

// An expression text deletes the expression, its node, and the ancestors
// that nothing else uses. Every node is deleted once: a node deleted twice,
// or a walk yielding a deleted node, is a use after free that the sanitizer
// build reports.
TEST_F(FactoryTest, DeletionsCascadeDownTheChildrenAndSubQueries) {
  for (const char* path : {kCell, "@sales:main:orders:amount:20:price", "@sales:main:[#table]:amount:5:amount",
                           "@sales:other:items:qty:1:qty", "$outside"}) {
    KezDcQrQResult::NewQResult(path);
  }
  KezDcQrQResult::DeleteQResult("   @sales:main:orders:amount:20:amount  ");
  EXPECT_EQ(Located(kCell), nullptr);
  EXPECT_EQ(static_cast<KezDcQrQRData*>(Located("@sales:main:orders:amount:20"))->QRChildList.Size(), 1);
  KezDcQrQResult::DeleteQResult("@sales:main:orders");
  EXPECT_EQ(Located("@sales:main:orders:amount:20:price"), nullptr);
  EXPECT_NE(Located("@sales:main:[#table]:amount:5:amount"), nullptr);
  KezDcQrQResult::DeleteQResult("@sales");
  EXPECT_EQ(Keys(KezDcQrQResult::QRHTab), (Strings{"#table", "$outside"}));
  ASSERT_EQ(Kind(kCell), "Exp_Cell");
  KezDcQrQResult::DeleteQResult(kCell);
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 1);  // #table's
  EXPECT_EQ(Keys(KezDcQrQResult::QRHTab), (Strings{"#table", "$outside"}));
  KezDcQrQResult::DeleteQResult("@nowhere");
  EXPECT_TRUE(Errors().empty());
  for (int k = 0; k < 50; ++k) {
    std::string n = std::to_string(k);
    KezDcQrQResult::NewQResult(("@db" + n + ":s:r:a:1:c").c_str());
    Kind(("@db" + n + ":s:r:a:1:c + $v" + n).c_str());
  }
  ASSERT_GT(KezDcQrQResult::QRHTab->Size(), 300);
  KezDcQrQResult::DeleteAllQResult();
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size() + KezDcQrQResult::ExprHTab->Size(), 0);
  KezDcQrQResult::DeleteAllQResult();
}

TEST_F(FactoryTest, EachForwardedOperationReachesItsKindAndAnotherKindIsRefused) {
  KezDcQrQResult* item = KezDcQrQResult::NewQResult("@sales:main:orders:{item+amount}:1:item");
  KezDcQrQResult* block = KezDcQrQResult::NewQResult("@sales:main:orders:{item+amount}:1");
  EXPECT_EQ(block->GetData(), block);
  EXPECT_EQ(block->GetNbRowsObtained(), 1);
  EXPECT_TRUE(block->IsMoreData());
  EXPECT_STREQ(item->GetCell(), "o1");
  block->GetNextLine();
  EXPECT_STREQ(item->GetCell(), "o2");
  block->FreeRowsetOfData();
  EXPECT_EQ(static_cast<KezDcQrQRRowset*>(Located("@sales:main:orders"))->p_QResult, nullptr);
  block->InitData();
  EXPECT_NE(static_cast<KezDcQrQRData*>(block)->p_RowBuffer, nullptr);
  item->GetCell();
  KezDcQrQResult* constant = KezDcQrQResult::NewQResult("\"kiwi\"");
  EXPECT_STREQ(constant->GetConstant(), "kiwi");
  constant->PutConstant(item);
  EXPECT_STREQ(item->GetCell(), "kiwi");
  KezDcQrQResult* variable = KezDcQrQResult::NewQResult("#n");
  EXPECT_EQ(*static_cast<int*>(variable->GetVariable()), 0);
  variable->PutVariable(item);
  EXPECT_STREQ(item->GetCell(), "0");
  KezUnicodeString type = "Expression";
  EXPECT_EQ(*static_cast<int*>(KezDcQrQResult::NewQR("6*7", "", "", "", "", "", type)->GetExpression()), 42);
  EXPECT_TRUE(Errors().empty());
  KezDcQrQResult* source = KezDcQrQResult::NewQResult("@sales");
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

// A plain component is its own text; a '$' or bracketed one becomes the
// text of its expression's value, by the value's type.
TEST_F(FactoryTest, SubQueryComponentsResolveToTheTextOfTheirValue) {
  auto resolve = [](const char* component) {
    KezUnicodeString out = "untouched";
    KezDcQrQResult::GetSubQuery(component, out);
    return out.Std();
  };
  for (const char* text : {"2+3", "5/2", "$base", "#b", "\"\""}) NewQR("Expression", text);
  Set("$base", "sales");
  Set("#b", "alt");
  const char* const cases[][2] = {
      {"main", "main"},   {"@sales", "@sales"}, {"", ""},          {"[2+3]", "5"},  {"[5/2]", "2.500000e+00"},
      {"$base", "sales"}, {"@$base", "@sales"}, {"@[#b]", "@alt"}, {"[#nope]", ""}, {"$nope", ""},
      {"[\"\"]", ""}};
  for (const auto& c : cases) EXPECT_EQ(resolve(c[0]), c[1]) << c[0];
  EXPECT_EQ(Errors(),
            (Strings{"ERROR DATAPATH <#nope> DOES'NT EXIST IN EXPRHDICO\n",
                     "ERROR DATAPATH <$nope> DOES'NT EXIST IN EXPRHDICO\n", "ERROR: \"\" IS AN EMPTY SUB-QUERY \n"}));
}

// Each read resolves again and links the unresolved node of the level that
// differs to the node it resolved to, which keeps its first father; an
// unchanged value creates and links nothing, and the value stays with the
// resolved cell.
TEST_F(FactoryTest, SubQueryReadsTheResolvedNodesAndLinksThem) {
  Set("#table", "orders");
  auto* cell = Node<KezDcQrQRCell>(kWorkedCell);
  EXPECT_EQ(Located("@sales:main:orders"), nullptr);
  EXPECT_STREQ(cell->GetQResult(), "10");
  EXPECT_STREQ(static_cast<KezDcQrQRCell*>(Located(kCell))->p_QResult, "10");
  EXPECT_EQ(cell->p_QResult, nullptr);
  EXPECT_EQ(cell->BasicType.Std(), "double");
  int registered = KezDcQrQResult::QRHTab->Size();
  cell->GetQResult();
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size(), registered);
  EXPECT_EQ(Subs("@sales:main:[#table]"), Nodes{Located("@sales:main:orders")});
  EXPECT_EQ(Located("@sales:main:orders")->SubQueryFather, Located("@sales:main:[#table]"));
  EXPECT_EQ(Located(kCell)->SubQueryFather, nullptr);
  Set("$t", "orders");
  auto* second = Node<KezDcQrQRRowset>("@sales:main:$t");
  EXPECT_NE(second->GetQResult(), nullptr);
  EXPECT_EQ(Located("@sales:main:orders")->SubQueryFather, Located("@sales:main:[#table]"));
  EXPECT_EQ(second->ListOfSubQuery.Size(), 0);
  Set("#table", "stock");
  EXPECT_STREQ(cell->GetQResult(), "100");
  EXPECT_EQ(Subs("@sales:main:[#table]"), (Nodes{Located("@sales:main:orders"), Located("@sales:main:stock")}));
  // A data block walks the resolved rows, and starts again past the end.
  auto* data = Node<KezDcQrQRData>("@sales:main:[#table]:item+amount:2");
  KezDcQrQRData* holder = data->GetQResult();
  ASSERT_EQ(holder, Located("@sales:main:stock:item+amount:2"));
  auto* item = Node<KezDcQrQRCell>("@sales:main:[#table]:item+amount:2:item");
  data->GetNextLine();
  data->GetNextLine();
  EXPECT_STREQ(item->GetQResult(), "s3");
  EXPECT_TRUE(data->IsMoreData());
  EXPECT_EQ(data->GetNbRowsObtained(), 1);
  data->GetNextLine();
  EXPECT_FALSE(data->IsMoreData());
  data->GetNextLine();
  EXPECT_STREQ(item->GetQResult(), "s2");
  // A data source and a session read the objects of the resolved nodes.
  Set("$base", "sales");
  auto* source = Node<KezDcQrQRDataSource>("@$base");
  KezIDcDbDataSource* opened = source->GetQResult();
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(opened, static_cast<KezDcQrQRDataSource*>(Located("@sales"))->p_QResult);
  EXPECT_EQ(source->p_QResult, nullptr);
  Set("$sess", "main");
  KezIDcDbSimpleSession* session = Node<KezDcQrQRSession>("@sales:$sess")->GetQResult();
  EXPECT_EQ(session, static_cast<KezDcQrQRSession*>(Located("@sales:main"))->p_QResult);
  Set("$base", "alt");
  EXPECT_STREQ(Node<KezDcQrQRCell>("@$base:main:orders:item:10:item")->GetQResult(), "alt1");
  EXPECT_EQ(Subs("@$base"), (Nodes{Located("@sales"), Located("@alt")}));
  EXPECT_TRUE(Errors().empty());
  KezDcQrQResult::SetSubQueryFather("@sales", "@sales", "main", "main", "[#t]", "nothing", "", "", "", "", "", "");
  EXPECT_EQ(Errors(), (Strings{"ERROR DATAPATH <@sales:main:[#t]> DOES'NT EXIST IN QRHDICO\n",
                               "ERROR DATAPATH <@sales:main:nothing> DOES'NT EXIST IN QRHDICO\n"}));
}

// Rows written through a path with sub-queries go into the rowset that the
// path resolves to at the put, bound by a handle of that very rowset.
TEST_F(FactoryTest, PutsFollowTheRowsetThePathResolvesTo) {
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

// A '##' sub-rowset is empty and opens nothing, without an error: only the
// trace says so (at level 4, which also shows each parse and lookup). A
// value holding a colon leaves the key it names free for its own kind.
TEST_F(FactoryTest, NullSubRowsetAndValuesHoldingAColon) {
  Set("$t", "##0");
  std::string path = ::testing::TempDir() + "kez_factory_trace_" + std::to_string(::getpid());
  KezTrace* saved = KezDcQrQResult::sp_Trace;
  KezDcQrQResult::sp_Trace = new KezTrace("FactoryTestTrace", "", 0, path.c_str(), 1024);
  KezDcQrQResult::sp_Trace->SetLevel(4);
  EXPECT_EQ(Node<KezDcQrQRRowset>("@sales:main:$t")->GetQResult(), nullptr);
  delete KezDcQrQResult::sp_Trace;
  KezDcQrQResult::sp_Trace = saved;
  std::ifstream in(path, std::ios::binary);
  std::string trace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(path.c_str());
  EXPECT_NE(trace.find("m\xB0!\xB0m WARNING: NULL SUB-ROWSET ##0 \n"), std::string::npos) << trace;
  EXPECT_EQ(kez::test::AccessFaults::LiveObjects(), 0);
  Set("$t", "orders:item");
  EXPECT_EQ(Node<KezDcQrQRRowset>("@sales:main:$t")->GetQResult(), nullptr);
  EXPECT_EQ(Located("@sales:main:orders:item"), nullptr);
  EXPECT_NE(Node<KezDcQrQRAccessor>("@sales:main:orders:item"), nullptr);
  Set("$t", "[#x:y]");  // inside brackets a colon belongs to the text
  Node<KezDcQrQRRowset>("@sales:main:$t")->GetQResult();
  EXPECT_NE(Located("@sales:main:[#x:y]"), nullptr);
  EXPECT_EQ(Errors(), (Strings{"ERROR: SUB-QUERY PATH <@sales:main:orders:item> DOESN'T NAME A Rowset !\n",
                               "ERROR: memory database <shop> has no rowset <0> \n"}));
}

TEST_F(FactoryTest, FreeingAndDeletingAnUnresolvedNodeReachesTheResolvedOnes) {
  Set("#table", "orders");
  auto* cell = Node<KezDcQrQRCell>(kWorkedCell);
  cell->GetQResult();
  EXPECT_EQ(Held(), "3/3/1");
  static_cast<KezDcQrQRRowset*>(Located("@sales:main:[#table]"))->FreeQResult();
  EXPECT_EQ(Held(), "2/0/0");
  EXPECT_EQ(static_cast<KezDcQrQRCell*>(Located(kCell))->p_QResult, nullptr);
  EXPECT_STREQ(cell->GetQResult(), "10");
  KezDcQrQResult::DeleteQResult("@sales:main:[#table]");
  EXPECT_EQ(Held(), "0/0/0");  // the session and data source, now unused, went too
  for (const char* gone : {"@sales", "@sales:main:orders", kCell, kWorkedCell}) EXPECT_EQ(Located(gone), nullptr);
  Set("$base", "alt");  // an unresolved data source deletes what it resolved to
  Node<KezDcQrQRCell>("@$base:main:orders:item:10:item")->GetQResult();
  EXPECT_EQ(Held(), "3/1/1");
  KezDcQrQResult::DeleteQResult("@$base");
  EXPECT_EQ(Held(), "0/0/0");
  EXPECT_EQ(Located("@alt:main:orders:item:10:item"), nullptr);
}

// A sub-query whose value is a sub-query again resolves again, up to
// sixteen levels deep: $v0 .. $v<n-1> each name the next, the last orders.
TEST_F(FactoryTest, ChainsResolveUpToSixteenLevels) {
  for (int n : {16, 17}) {
    std::string prefix = "$c" + std::to_string(n) + "_";
    for (int k = 0; k < n; ++k)
      Set((prefix + std::to_string(k)).c_str(), k + 1 < n ? (prefix + std::to_string(k + 1)).c_str() : "orders");
    auto* rowset = Node<KezDcQrQRRowset>("@sales:main:" + prefix + "0");
    EXPECT_EQ(rowset->GetQResult() != nullptr, n == 16) << n;
  }
  EXPECT_EQ(Errors(), Strings{"ERROR: SUB-QUERY <@sales:main:$c17_16> NESTED MORE THAN 16 LEVELS DEEP !\n"});
}

}  // namespace
}  // namespace test
}  // namespace kez
