// DoQuery: the dispatch table row by row, over literals, variables,
// constants and a memory database, with the message of every row.
#include "support/KezTestSupport.h"

namespace kez {
namespace test {
namespace {

using Strings = std::vector<std::string>;
using Rows = std::vector<KezDcDbMemoryRow>;

const char kBlock[] = "@m:main:items:{name+qty}:5";
const char kQty[] = "@m:main:items:{name+qty}:5:qty";
const char kName[] = "@m:main:items:{name+qty}:5:name";

std::string Text(const std::string& function, const std::string& first, const std::string& second = "") {
  return function + "(" + first + (second.empty() ? "" : "," + second) + ")";
}

std::string Unknown(const char* kind) {
  return std::string("ERROR: UNKNOWN FUNCTION FOR ") + kind + " ! \n";
}

class DoQueryTest : public ShopItemsTest {
 protected:
  static KezDcQrQuery* Run(const std::string& text) {
    KezDcQrQuery* q = KezDcQrQuery::NewQuery(text.c_str());
    q->DoQuery();
    return q;
  }
  // Runs text as the only query, over registries emptied of every query
  // and result.
  static KezDcQrQuery* RunFresh(const std::string& text) {
    KezDcQrQuery::DeleteAllQueries();
    return Run(text);
  }
  // Runs q again with each function in turn.
  static void RunAs(KezDcQrQuery* q, std::initializer_list<const char*> functions) {
    for (const char* function : functions) {
      q->Function = function;
      q->DoQuery();
    }
  }
  static KezDcQrQRExpression* Value(KezDcQrQuery* q) { return static_cast<KezDcQrQRExpression*>(q->p_QResult); }
  static KezDcQrQRVariable* Variable(const char* name) { return static_cast<KezDcQrQRVariable*>(Located(name)); }
  static const char* CellText(const char* key) { return static_cast<KezDcQrQRCell*>(Located(key))->GetQResult(); }
  // A query over a plain query result: the text names it, and the type and
  // result are set as a client driving the nodes directly would.
  static KezDcQrQuery* Plain(const std::string& text, const char* type) {
    KezDcQrQuery* q = KezDcQrQuery::NewQuery(text.c_str());
    q->TypeOfQResult = type;
    q->p_QResult = Located(q->DataPath);
    return q;
  }
};

// Get runs the expression again at every call.
TEST_F(DoQueryTest, ExpressionRowGetsFreesAndPutsToAVariable) {
  KezDcQrQuery* get = Run("Get(1+2)");
  EXPECT_EQ(Value(get)->BasicType, "int");
  EXPECT_EQ(Value(get)->IntValue, 3);
  Run("Put(1+2,$v)");
  ASSERT_NE(Variable("$v"), nullptr);
  EXPECT_EQ(Variable("$v")->BasicType, "int");
  EXPECT_EQ(Variable("$v")->IntValue, 3);
  Run("Free(1+2)");
  EXPECT_EQ(Value(get)->IntValue, 0);
  EXPECT_EQ(Value(get)->p_IntQResult, nullptr);
  KezDcQrQuery* put = KezDcQrQuery::NewQuery("Put($n + 1, $n)");
  KezDcQrQuery* twice = KezDcQrQuery::NewQuery("Get($n * 2)");
  for (int k = 0; k < 3; ++k) put->DoQuery();
  twice->DoQuery();
  EXPECT_EQ(Value(twice)->IntValue, 6);
  put->DoQuery();
  twice->DoQuery();
  EXPECT_EQ(Value(twice)->IntValue, 8);
  EXPECT_TRUE(Errors().empty());
  Run("Init(1+2)");
  Run("get(1+2)");
  EXPECT_EQ(Errors(), (Strings(2, Unknown("EXPRESSION"))));
}

TEST_F(DoQueryTest, ConstantAndVariableRows) {
  KezDcQrQuery* text = Run("Get(\"abc\")");
  EXPECT_EQ(text->TypeOfQResult, "Exp_Constant");
  EXPECT_STREQ(Value(text)->p_StringQResult, "abc");
  Run("Put(2.5, $d)");
  EXPECT_EQ(Variable("$d")->BasicType, "double");
  KezDcQrQuery* var = Run("Get($d)");
  EXPECT_EQ(var->TypeOfQResult, "Exp_Variable");
  EXPECT_EQ(Value(var)->DoubleValue, 2.5);
  Run("Put($d, $e)");
  EXPECT_EQ(Variable("$e")->DoubleValue, 2.5);
  Run("Free($d)");
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(RunFresh("Init(\"abc\")")->TypeOfQResult, "Exp_Constant");
  EXPECT_EQ(RunFresh("Init($d)")->TypeOfQResult, "Exp_Variable");
  RunFresh("GET($d)");
  EXPECT_EQ(Errors(), (Strings{Unknown("CONSTANT"), Unknown("VARIABLE"), Unknown("VARIABLE")}));
}

TEST_F(DoQueryTest, DatabaseExpressionRowsGetAndReportOtherFunctions) {
  const char* rows[][3] = {{"@m", "Exp_DataSource", "DATASOURCE"},
                           {"@m:main", "Exp_Session", "SESSION"},
                           {"@m:main:items", "Exp_Rowset", "ROWSET"},
                           {"@m:main:items:{name+qty}", "Exp_Accessor", "ACCESSOR"}};
  for (auto& row : rows) {
    KezDcCMError::ClearErrors();
    KezDcQrQuery* get = RunFresh(Text("Get", row[0]));
    EXPECT_EQ(get->TypeOfQResult, row[1]);
    EXPECT_EQ(Value(get)->IntValue, 1) << row[0];  // the object opened
    RunFresh(Text("Free", row[0]));
    EXPECT_TRUE(Errors().empty()) << row[0];
    for (const char* function : {"Init", "get", "Put"}) RunFresh(Text(function, row[0]));
    EXPECT_EQ(Errors(),
              (Strings{Unknown(row[2]), Unknown(row[2]), "ERROR: INVALID QUERY <Put only a Data>\n", Unknown(row[2])}))
        << row[0];
  }
}

TEST_F(DoQueryTest, CellRowReadsAndPutsIntoACell) {
  KezDcQrQuery* qty = Run(Text("Get", kQty));
  EXPECT_EQ(qty->TypeOfQResult, "Exp_Cell");
  EXPECT_EQ(Value(qty)->BasicType, "double");  // a cell holding a number reads as a double
  EXPECT_EQ(Value(qty)->DoubleValue, 3.0);
  EXPECT_STREQ(Value(Run(Text("Get", kName)))->p_StringQResult, "apple");
  Run(Text("Put", kQty, "$q"));
  EXPECT_EQ(Variable("$q")->DoubleValue, 3.0);
  EXPECT_TRUE(Errors().empty());
  Run(Text("Init", kQty));  // shares the expression and keeps its kind
  EXPECT_EQ(RunFresh(Text("Init", kQty))->TypeOfQResult, "Exp_Cell");
  EXPECT_EQ(Errors(), (Strings{Unknown("CELL"), Unknown("CELL")}));
}

// The second argument makes the text invalid; running it must not insert
// the row as the one-argument form would. Init empties the row buffer.
TEST_F(DoQueryTest, DataRowInsertsNothingWithASecondArgumentAndInitEmptiesTheRow) {
  static_cast<KezDcQrQRData*>(KezDcQrQResult::NewQResult(kBlock))->GetQResult();
  ASSERT_EQ(Errors(), Strings{});
  KezDcQrQuery* put = Run(Text("Put", kBlock, "$v"));
  EXPECT_EQ(put->TypeOfQResult, "Exp_Data");
  EXPECT_EQ(put->TypeOfQRPutTarget, "");
  EXPECT_TRUE(KezDcDbMemory::GetInsertedRows("shop", "items").empty());
  EXPECT_EQ(Errors(), (Strings{"ERROR: INVALID QUERY <Put only an expression to a variable or a cell>\n"}));
  KezDcCMError::ClearErrors();
  Run(Text("Init", kBlock));
  auto* data = static_cast<KezDcQrQRData*>(KezDcQrQResult::NewQResult(kBlock));
  ASSERT_TRUE(data->p_RowBuffer);
  EXPECT_TRUE(data->p_RowBuffer->IsNull(0));
  EXPECT_EQ((*data->p_RowBuffer)[0], 0);
  Run(Text("Put", kBlock));
  EXPECT_EQ(KezDcDbMemory::GetInsertedRows("shop", "items").size(), 1u);
  EXPECT_EQ(KezDcDbMemory::GetInsertedRows("shop", "items")[0][0], KezDcDbMemory::Null());
  EXPECT_TRUE(Errors().empty());
}

// A put target that is no cell, or a result type without a row, does
// nothing and reports nothing when run.
TEST_F(DoQueryTest, QueriesWithoutARowOrTargetDoNothing) {
  KezDcQrQuery* to_rowset = Run(Text("Put", "1+2", "@m:main:items"));
  EXPECT_EQ(to_rowset->TypeOfQRPutTarget, "Rowset");
  EXPECT_EQ(to_rowset->p_QRPutTarget, nullptr);
  KezDcCMError::ClearErrors();
  KezDcQrQuery* q = KezDcQrQuery::NewQuery("Get(4+5)");
  for (const char* type : {"", "exp_cell"}) {
    q->TypeOfQResult = type;
    q->DoQuery();
  }
  EXPECT_EQ(Value(q)->IntValue, 0);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(DoQueryTest, PlainDatabaseRowsRunTheirKindsOperations) {
  KezDcQrQuery* source = Plain("Get(@m)", "DataSource");
  KezDcQrQuery* session = Plain("Get(@m:main)", "Session");
  KezDcQrQuery* rowset = Plain("Get(@m:main:items)", "Rowset");
  KezDcQrQuery* accessor = Plain("Get(@m:main:items:{name+qty})", "Accessor");
  for (KezDcQrQuery* q : {source, session, rowset, accessor}) q->DoQuery();
  EXPECT_NE(static_cast<KezDcQrQRDataSource*>(Located("@m"))->p_QResult, nullptr);
  EXPECT_NE(static_cast<KezDcQrQRSession*>(Located("@m:main"))->p_QResult, nullptr);
  EXPECT_NE(static_cast<KezDcQrQRAccessor*>(Located("@m:main:items:{name+qty}"))->h_QResult, 0u);
  EXPECT_TRUE(Errors().empty());

  const std::pair<KezDcQrQuery*, const char*> rows[] = {
      {source, "DATASOURCE"}, {session, "SESSION"}, {rowset, "ROWSET"}, {accessor, "ACCESSOR"}};
  for (const auto& row : rows) {
    KezDcCMError::ClearErrors();
    RunAs(row.first, {"Put", "Init", "get", "Free"});
    EXPECT_EQ(Errors(), (Strings(3, Unknown(row.second))));
  }
  EXPECT_EQ(static_cast<KezDcQrQRDataSource*>(Located("@m"))->p_QResult, nullptr);  // freed
}

TEST_F(DoQueryTest, PlainDataRowGetsInitsAndPuts) {
  KezDcQrQuery* data = Plain(Text("Init", kBlock), "Data");
  auto* block = static_cast<KezDcQrQRData*>(Located(kBlock));
  data->DoQuery();
  EXPECT_NE(block->p_RowBuffer, nullptr);
  RunAs(data, {"Get"});
  EXPECT_EQ(block->NbRowsObtained, 2u);
  RunAs(data, {"Put"});
  EXPECT_EQ(KezDcDbMemory::GetInsertedRows("shop", "items"), (Rows{{"apple", "3"}}));
  RunAs(data, {"Free", "Delete"});
  EXPECT_EQ(Errors(), Strings{Unknown("DATA")});
}

TEST_F(DoQueryTest, PlainCellVariableAndConstantRowsPutOnlyIntoACell) {
  Run(Text("Get", kQty));  // the block holds its first row
  KezDcQrQuery* cell = Plain(Text("Put", kName, kQty), "Cell");
  cell->DoQuery();
  EXPECT_STREQ(CellText(kQty), "apple");
  RunAs(cell, {"Get"});
  EXPECT_STREQ(static_cast<KezDcQrQRCell*>(Located(kName))->p_StringQResult, "apple");

  Run("Put(\"pear\", $fruit)");
  KezDcQrQuery* variable = Plain(Text("Put", "$fruit", kName), "Variable");
  variable->DoQuery();
  EXPECT_STREQ(CellText(kName), "pear");

  KezDcQrQResult::NewQResult("\"fig\"");  // a constant node: the literal in an expression is none
  KezDcQrQuery* constant = Plain(Text("Put", "\"fig\"", kName), "Constant");
  constant->DoQuery();
  EXPECT_STREQ(CellText(kName), "fig");
  RunAs(constant, {"Get"});
  EXPECT_STREQ(static_cast<KezDcQrQRConstant*>(Located("\"fig\""))->p_QResult, "fig");

  Plain("Put($fruit, $other)", "Variable")->DoQuery();  // a put target that is no cell: nothing
  EXPECT_EQ(Variable("$other")->IntValue, 0);
  EXPECT_EQ(Variable("$other")->BasicType, "int");
  EXPECT_TRUE(Errors().empty());

  for (KezDcQrQuery* q : {cell, variable, constant}) RunAs(q, {"Init"});
  EXPECT_EQ(Errors(), (Strings{Unknown("CELL"), Unknown("VARIABLE"), Unknown("CONSTANT")}));
}

}  // namespace
}  // namespace test
}  // namespace kez
