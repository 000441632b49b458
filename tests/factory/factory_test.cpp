// The factory and the registries: lookups before creation, ancestors created
// from the data source down, sub-query expressions registered as they are
// met, the types it knows, deletions and their cascades, and the forwarding
// operations of the base class. How paths split is a case file
// (tests/language/cases/data-path.test).
#include "support/KezTestSupport.h"
#include "support/TraceCapture.h"

namespace kez {
namespace test {
namespace {

using Strings = std::vector<std::string>;
using FactoryTest = KezTest;

TEST_F(FactoryTest, CellCreatesItsAncestorsTopDownAndRegisteredNodesComeBack) {
  KezDcQrQResult* cell = KezDcQrQResult::NewQResult("@sales:main:orders:amount:20:amount");
  Strings keys = Keys(KezDcQrQResult::QRHTab);
  EXPECT_EQ(keys, (Strings{"@sales", "@sales:main", "@sales:main:orders", "@sales:main:orders:amount",
                           "@sales:main:orders:amount:20", "@sales:main:orders:amount:20:amount"}));
  EXPECT_EQ(cell, Located(keys[5]));
  const char* const types[] = {"DataSource", "Session", "Rowset", "Accessor", "Data", "Cell"};
  for (int k = 0; k < 6; ++k) {
    KezDcQrQResult* node = Located(keys[k]);
    EXPECT_EQ(node->Type, types[k]);
    EXPECT_EQ(node->BasicType, k < 5 ? "int" : "string");
    EXPECT_EQ(node->SubQueryFlag, 'N');
    EXPECT_EQ(node->SubQueryFather, nullptr);
  }
  EXPECT_EQ(KezDcQrQResult::NewQResult("@sales : main:orders:amount:20"), Located(keys[4]));
  NewQR("Cell", "@sales", "main", "orders", "amount", "20", "price");
  NewQR("Session", "@sales", "other");
  keys.push_back("@sales:main:orders:amount:20:price");
  keys.push_back("@sales:other");
  EXPECT_EQ(Keys(KezDcQrQResult::QRHTab), keys);
  // Whatever the type asked, the registered node comes back.
  KezUnicodeString type = "Variable";
  EXPECT_EQ(KezDcQrQResult::NewQR("@sales", "12", "", "", "", "", type), Located("@sales"));
  EXPECT_EQ(type, "Variable");
  EXPECT_TRUE(Errors().empty());
  // A node under a '#' name that is no variable is not expanded.
  NewQR("DataSource", "#odd");
  KezUnicodeString out[7];
  KezDcQrQResult::ParseDataPath("@x:#odd", out[0], out[1], out[2], out[3], out[4], out[5], out[6]);
  EXPECT_EQ(out[1], "");
  EXPECT_EQ(Errors(), Strings{"ERROR: IMPOSSIBLE TO EXPAND <#odd> ! \n"});
}

TEST_F(FactoryTest, SubQueryComponentsRegisterTheirExpressionsAsTheyAreMet) {
  KezDcQrQResult* cell = KezDcQrQResult::NewQResult("@sales:main:[#table]:amount:20:amount");
  EXPECT_EQ(Keys(KezDcQrQResult::QRHTab),
            (Strings{"@sales", "@sales:main", "@sales:main:[#table]", "#table", "@sales:main:[#table]:amount",
                     "@sales:main:[#table]:amount:20", "@sales:main:[#table]:amount:20:amount"}));
  EXPECT_EQ(Located("#table")->Type, "Variable");
  EXPECT_EQ(Located("@sales:main:[#table]")->SubQueryFlag, 'Y');
  EXPECT_EQ(cell->SubQueryFlag, 'Y');
  EXPECT_EQ(Located("@sales:main")->SubQueryFlag, 'N');
  // At the data source the expression is the text after the marker; a
  // bracket and a marker make one expression.
  NewQR("DataSource", "@$base");
  NewQR("DataSource", "@[#base]");
  NewQR("Session", "@sales", "$sess");
  NewQR("Cell", "@sales", "main", "orders", "amount", "1", "[$col]");
  EXPECT_EQ(Keys(KezDcQrQResult::ExprHTab), (Strings{"#table", "$base", "#base", "$sess", "$col"}));
  EXPECT_NE(Located("@[#base]"), nullptr);
  EXPECT_TRUE(Errors().empty());
  // Accessor and data-block sub-queries are refused; the node is made.
  KezDcQrQResult* accessor = NewQR("Accessor", "@sales", "main", "orders", "$cols");
  EXPECT_EQ(accessor, Located("@sales:main:orders:$cols"));
  EXPECT_NE(NewQR("Data", "@sales", "main", "orders", "amount", "[#n]"), nullptr);
  EXPECT_EQ(Keys(KezDcQrQResult::ExprHTab).size(), 5u);
  EXPECT_EQ(Errors(), (Strings{"ERROR: NO ACCESSOR SUB-QUERY <$cols> FOR DATAPATH\n",
                               "ERROR DATBLOCK CAN'T BE <[#n]> (PUT A NUMBER) !\n",
                               "ERROR: NO DATABLOCK SUB-QUERY <[#n]> FOR DATAPATH\n"}));
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
  EXPECT_EQ(by_int->BasicType, "int");
  EXPECT_EQ(by_int->IntValue, 0);
  auto* by_text = static_cast<KezDcQrQRVariable*>(NewQR("Variable", "#count", "12"));
  EXPECT_EQ(by_text->BasicType, "string");
  EXPECT_EQ(by_text->StringValue, "12");
  EXPECT_EQ(Located("#count"), by_text);
  EXPECT_EQ(KezDcQrQResult::NewQResult("\"north\"")->Type, "Constant");
  EXPECT_NE(Located("\"north\""), nullptr);
  // Only a new expression hands its kind back.
  auto handed = [](const char* text) {
    KezUnicodeString type = "Expression";
    KezDcQrQResult::NewQR(text, "", "", "", "", "", type);
    return type.Std();
  };
  EXPECT_EQ(handed("@sales:main:orders:amount:20"), "Exp_Data");
  EXPECT_EQ(Located("@sales:main:orders:amount:20")->Type, "Data");
  EXPECT_EQ(handed("@sales:main:orders:amount:20"), "Expression");
  EXPECT_EQ(handed("1 + $x"), "Expression");
  EXPECT_EQ(handed("42"), "Exp_Constant");
}

// A tree under @sales with two sessions, a sub-query and a variable outside.
void BuildTree() {
  KezDcQrQResult::NewQResult("@sales:main:orders:amount:20:amount");
  KezDcQrQResult::NewQResult("@sales:main:orders:amount:20:price");
  KezDcQrQResult::NewQResult("@sales:main:[#table]:amount:5:amount");
  KezDcQrQResult::NewQResult("@sales:other:items:qty:1:qty");
  KezDcQrQResult::NewQResult("$outside");
}

TEST_F(FactoryTest, DeletionsCascadeDownTheChildrenAndSubQueries) {
  BuildTree();
  KezDcQrQResult::DeleteQResult("   @sales:main:orders:amount:20:amount  ");
  EXPECT_EQ(Located("@sales:main:orders:amount:20:amount"), nullptr);
  EXPECT_EQ(static_cast<KezDcQrQRData*>(Located("@sales:main:orders:amount:20"))->QRChildList.Size(), 1);
  KezDcQrQResult::DeleteQResult("@sales:main:orders");
  EXPECT_EQ(Located("@sales:main:orders:amount:20:price"), nullptr);
  EXPECT_NE(Located("@sales:main:[#table]:amount:5:amount"), nullptr);
  KezDcQrQResult::DeleteQResult("@sales");
  EXPECT_EQ(Keys(KezDcQrQResult::QRHTab), (Strings{"#table", "$outside"}));
  // An expression text deletes the expression, its node, and the ancestors
  // that nothing else uses.
  KezUnicodeString type = "Expression";
  KezDcQrQResult::NewQR("@sales:main:orders:amount:20:amount", "", "", "", "", "", type);
  ASSERT_EQ(type, "Exp_Cell");
  KezDcQrQResult::DeleteQResult("@sales:main:orders:amount:20:amount");
  EXPECT_EQ(KezDcQrQResult::ExprHTab->Size(), 1);  // #table's
  EXPECT_EQ(Keys(KezDcQrQResult::QRHTab), (Strings{"#table", "$outside"}));
  KezDcQrQResult::DeleteQResult("@nowhere");
  EXPECT_TRUE(Errors().empty());
}

// Every node deleted once: a node deleted twice, or a walk yielding a
// deleted node, is a use after free that the sanitizer build reports.
TEST_F(FactoryTest, DeleteAllQResultSurvivesCascadesThatRemoveEntries) {
  BuildTree();
  for (int k = 0; k < 50; ++k) {
    std::string n = std::to_string(k);
    KezDcQrQResult::NewQResult(("@db" + n + ":s:r:a:1:c").c_str());
    KezUnicodeString type = "Expression";
    KezDcQrQResult::NewQR(("@db" + n + ":s:r:a:1:c + $v" + n).c_str(), "", "", "", "", "", type);
  }
  ASSERT_GT(KezDcQrQResult::QRHTab->Size(), 300);
  KezDcQrQResult::DeleteAllQResult();
  EXPECT_EQ(KezDcQrQResult::QRHTab->Size() + KezDcQrQResult::ExprHTab->Size(), 0);
  KezDcQrQResult::DeleteAllQResult();
}

using ForwardingTest = ShopItemsTest;

TEST_F(ForwardingTest, EachOperationReachesItsKindAndAnotherKindIsRefused) {
  KezDcQrQResult* name = KezDcQrQResult::NewQResult("@m:main:items:{name+qty}:1:name");
  KezDcQrQResult* block = KezDcQrQResult::NewQResult("@m:main:items:{name+qty}:1");
  EXPECT_EQ(block->GetData(), block);
  EXPECT_EQ(block->GetNbRowsObtained(), 1);
  EXPECT_TRUE(block->IsMoreData());
  EXPECT_STREQ(name->GetCell(), "apple");
  block->GetNextLine();
  EXPECT_STREQ(name->GetCell(), "pear");
  block->FreeRowsetOfData();
  EXPECT_EQ(static_cast<KezDcQrQRRowset*>(Located("@m:main:items"))->p_QResult, nullptr);
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
  EXPECT_EQ(*static_cast<int*>(KezDcQrQResult::NewQR("6*7", "", "", "", "", "", type)->GetExpression()), 42);
  EXPECT_TRUE(Errors().empty());
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

// Level 2 of the query results' trace shows what each parse of a path
// found, level 4 each registration; reading through it changes nothing.
TEST_F(ForwardingTest, TraceShowsEachParseAndEachRegistration) {
  TraceCapture capture(&KezDcQrQResult::sp_Trace, 4);
  EXPECT_STREQ(KezDcQrQResult::NewQResult("@m:main:items:{name+qty}:1:name")->GetCell(), "apple");
  capture.Stop();
  for (const char* line :
       {"=-->> QrQResult::ParseDataPath: TYPE      =<Cell>\n", "=-->> QrQResult::ParseDataPath: Cell      =<name>\n",
        "Insert in QRHT DataPath:<@m:main:items:{name+qty}:1:name> ("}) {
    EXPECT_NE(capture.Text().find(line), std::string::npos) << line;
  }
}

}  // namespace
}  // namespace test
}  // namespace kez
