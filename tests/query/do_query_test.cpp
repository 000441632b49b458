// DoQuery: the dispatch table row by row, over literals, variables,
// constants and a memory database, with the message of every row.
#include <string>
#include <vector>

#include "result/TraceCapture.h"
#include "support/KezTestSupport.h"

namespace {

using kez::test::Errors;
using Strings = std::vector<std::string>;

const char kBlock[] = "@m:main:items:{name+qty}:5";
const char kQty[] = "@m:main:items:{name+qty}:5:qty";
const char kName[] = "@m:main:items:{name+qty}:5:name";

std::string Text(const std::string& function, const std::string& first, const std::string& second = "") {
  return function + "(" + first + (second.empty() ? "" : "," + second) + ")";
}

std::string Unknown(const char* kind) { return std::string("ERROR: UNKNOWN FUNCTION FOR ") + kind + " ! \n"; }

class DoQueryTest : public kez::test::KezTest {
 protected:
  void SetUp() override {
    KezTest::SetUp();
    KezDcDbMemory::CreateRowset("shop", "items", {{"name", KEZDCDB_TYPESTRING, 16}, {"qty", KEZDCDB_TYPEI4, 4}});
    KezDcDbMemory::AppendRow("shop", "items", {"apple", "3"});
    KezDcDbMemory::AppendRow("shop", "items", {"pear", "7"});
    KezDcDbDataSourceFactory::RegisterDataSource("m", "memory:shop");
  }

  static KezDcQrQuery* Run(const std::string& text) {
    KezDcQrQuery* q = KezDcQrQuery::NewQuery(text.c_str());
    q->DoQuery();
    return q;
  }
  // Runs text as the first query to name its expression, so that the
  // query gets the expression's own type (a later query gets "Expression").
  static KezDcQrQuery* RunFresh(const std::string& text) {
    KezDcQrQuery::DeleteAllQueries();
    return Run(text);
  }
  static KezDcQrQRExpression* Value(KezDcQrQuery* q) { return static_cast<KezDcQrQRExpression*>(q->p_QResult); }
  static KezDcQrQRVariable* Variable(const char* name) {
    return static_cast<KezDcQrQRVariable*>(KezDcQrQResult::QRHTab->Locate(name));
  }
  static KezDcQrQResult* Node(const char* key) { return KezDcQrQResult::QRHTab->Locate(key); }
  // A query over a plain query result: the text names it, and the type and
  // result are set as a client driving the nodes directly would.
  static KezDcQrQuery* Plain(const std::string& text, const char* type) {
    KezDcQrQuery* q = KezDcQrQuery::NewQuery(text.c_str());
    q->TypeOfQResult = type;
    q->p_QResult = Node(q->DataPath);
    return q;
  }
};

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
  EXPECT_TRUE(Errors().empty());
  Run("Init(1+2)");
  Run("get(1+2)");
  EXPECT_EQ(Errors(), (Strings{Unknown("EXPRESSION"), Unknown("EXPRESSION")}));
}

TEST_F(DoQueryTest, TraceFramesEveryRun) {
  KezDcQrQuery* valid = KezDcQrQuery::NewQuery("Put(1, $v)");
  KezDcQrQuery* invalid = KezDcQrQuery::NewQuery("Get()");
  kez::test::TraceCapture capture(&KezDcQrQuery::sp_Trace, 4);
  valid->DoQuery();
  invalid->DoQuery();
  capture.Stop();
  EXPECT_EQ(capture.Text(),
            "IN->> QrQuery::DoQuery <Put (1 [,$v])> \n"
            "TypeOfQResult=<Exp_Constant> et TypeOfQRPutTarget=<Variable>\n"
            "OUT>> QrQuery::DoQuery <Put (1 [,$v])> \n"
            "IN->> QrQuery::DoQuery <Get ( [,])> \n"
            "TypeOfQResult=<> et TypeOfQRPutTarget=<>\n"
            "OUT>> QrQuery::DoQuery <Get ( [,])> \n");
}

TEST_F(DoQueryTest, GetRunsAgainAtEveryCall) {
  KezDcQrQuery* put = KezDcQrQuery::NewQuery("Put($n + 1, $n)");
  for (int k = 0; k < 3; ++k) put->DoQuery();
  EXPECT_EQ(Variable("$n")->IntValue, 3);
  KezDcQrQuery* get = KezDcQrQuery::NewQuery("Get($n * 2)");
  get->DoQuery();
  EXPECT_EQ(Value(get)->IntValue, 6);
  put->DoQuery();
  get->DoQuery();
  EXPECT_EQ(Value(get)->IntValue, 8);
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
  struct Row {
    const char* path;
    const char* type;
    const char* kind;
  } rows[] = {{"@m", "Exp_DataSource", "DATASOURCE"},
              {"@m:main", "Exp_Session", "SESSION"},
              {"@m:main:items", "Exp_Rowset", "ROWSET"},
              {"@m:main:items:{name+qty}", "Exp_Accessor", "ACCESSOR"}};
  for (const Row& row : rows) {
    KezDcCMError::ClearErrors();
    KezDcQrQuery* get = RunFresh(Text("Get", row.path));
    EXPECT_EQ(get->TypeOfQResult, row.type);
    EXPECT_EQ(Value(get)->IntValue, 1) << row.path;  // the object opened
    RunFresh(Text("Free", row.path));
    EXPECT_TRUE(Errors().empty()) << row.path;
    RunFresh(Text("Init", row.path));
    RunFresh(Text("get", row.path));
    RunFresh(Text("Put", row.path));
    EXPECT_EQ(Errors(), (Strings{Unknown(row.kind), Unknown(row.kind),
                                 "ERROR: INVALID QUERY <Put only a Data>\n", Unknown(row.kind)}))
        << row.path;
  }
}

TEST_F(DoQueryTest, CellRowReadsAndPutsIntoACell) {
  KezDcQrQuery* qty = Run(Text("Get", kQty));
  EXPECT_EQ(qty->TypeOfQResult, "Exp_Cell");
  EXPECT_EQ(Value(qty)->BasicType, "double");  // a cell holding a number reads as a double
  EXPECT_EQ(Value(qty)->DoubleValue, 3.0);
  KezDcQrQuery* name = Run(Text("Get", kName));
  EXPECT_STREQ(Value(name)->p_StringQResult, "apple");
  Run(Text("Put", kQty, "$q"));
  EXPECT_EQ(Variable("$q")->DoubleValue, 3.0);
  Run(Text("Put", "40+2", kQty));
  EXPECT_STREQ(static_cast<KezDcQrQRCell*>(Node(kQty))->GetQResult(), "42");
  EXPECT_TRUE(Errors().empty());
  Run(Text("Init", kQty));  // shares the expression: the "Expression" row
  EXPECT_EQ(RunFresh(Text("Init", kQty))->TypeOfQResult, "Exp_Cell");
  EXPECT_EQ(Errors(), (Strings{Unknown("EXPRESSION"), Unknown("CELL")}));
}

TEST_F(DoQueryTest, DataRowInsertsTheRowBuffer) {
  Run(Text("Get", kName));  // opens the block and copies the first row
  Run(Text("Put", "\"plum\"", kName));
  KezDcQrQuery* put = Run(Text("Put", kBlock));
  EXPECT_EQ(put->TypeOfQResult, "Exp_Data");
  EXPECT_EQ(KezDcDbMemory::GetInsertedRows("shop", "items"), (std::vector<KezDcDbMemoryRow>{{"plum", "3"}}));
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(RunFresh(Text("Init", kBlock))->TypeOfQResult, "Exp_Data");
  EXPECT_EQ(Errors(), Strings{Unknown("DATA")});
}

// The second argument makes the text invalid; running it must not insert
// the row as the one-argument form would.
TEST_F(DoQueryTest, DataRowWithASecondArgumentInsertsNothing) {
  static_cast<KezDcQrQRData*>(KezDcQrQResult::NewQResult(kBlock))->GetQResult();
  ASSERT_EQ(Errors(), Strings{});
  KezDcQrQuery* put = Run(Text("Put", kBlock, "$v"));
  EXPECT_EQ(put->TypeOfQResult, "Exp_Data");
  EXPECT_EQ(put->TypeOfQRPutTarget, "");
  EXPECT_EQ(Errors(), Strings{"ERROR: INVALID QUERY <Put only an expression to a variable or a cell>\n"});
  EXPECT_TRUE(KezDcDbMemory::GetInsertedRows("shop", "items").empty());
}

TEST_F(DoQueryTest, ExpressionPutToATargetThatIsNoCellDoesNothing) {
  KezDcQrQuery* q = Run(Text("Put", "1+2", "@m:main:items"));
  EXPECT_EQ(q->TypeOfQRPutTarget, "Rowset");
  EXPECT_EQ(q->p_QRPutTarget, nullptr);
  EXPECT_EQ(Errors(), Strings{"ERROR: INVALID QUERY <Put only to a cell or a variable>\n"});
}

TEST_F(DoQueryTest, UnknownResultTypeDoesNothingAndReportsNothing) {
  KezDcQrQuery* q = KezDcQrQuery::NewQuery("Get(1+2)");
  q->TypeOfQResult = "";
  q->DoQuery();
  q->TypeOfQResult = "exp_cell";
  q->DoQuery();
  EXPECT_EQ(Value(q)->IntValue, 0);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(DoQueryTest, PlainDatabaseRowsRunTheirKindsOperations) {
  KezDcQrQuery* source = Plain("Get(@m)", "DataSource");
  source->DoQuery();
  EXPECT_NE(static_cast<KezDcQrQRDataSource*>(Node("@m"))->p_QResult, nullptr);
  KezDcQrQuery* session = Plain("Get(@m:main)", "Session");
  session->DoQuery();
  EXPECT_NE(static_cast<KezDcQrQRSession*>(Node("@m:main"))->p_QResult, nullptr);
  KezDcQrQuery* rowset = Plain("Get(@m:main:items)", "Rowset");
  rowset->DoQuery();
  KezDcQrQuery* accessor = Plain("Get(@m:main:items:{name+qty})", "Accessor");
  accessor->DoQuery();
  EXPECT_NE(static_cast<KezDcQrQRAccessor*>(Node("@m:main:items:{name+qty}"))->h_QResult, 0u);
  EXPECT_TRUE(Errors().empty());

  const std::pair<KezDcQrQuery*, const char*> rows[] = {
      {source, "DATASOURCE"}, {session, "SESSION"}, {rowset, "ROWSET"}, {accessor, "ACCESSOR"}};
  for (const auto& row : rows) {
    KezDcCMError::ClearErrors();
    for (const char* function : {"Put", "Init", "get"}) {
      row.first->Function = function;
      row.first->DoQuery();
    }
    EXPECT_EQ(Errors(), (Strings(3, Unknown(row.second))));
    row.first->Function = "Free";
    row.first->DoQuery();
    EXPECT_EQ(Errors().size(), 3u);
  }
  EXPECT_EQ(static_cast<KezDcQrQRDataSource*>(Node("@m"))->p_QResult, nullptr);  // freed
}

TEST_F(DoQueryTest, PlainDataRowGetsInitsAndPuts) {
  KezDcQrQuery* data = Plain(Text("Init", kBlock), "Data");
  auto* block = static_cast<KezDcQrQRData*>(Node(kBlock));
  data->DoQuery();
  EXPECT_NE(block->p_RowBuffer, nullptr);
  data->Function = "Get";
  data->DoQuery();
  EXPECT_EQ(block->NbRowsObtained, 2u);
  data->Function = "Put";
  data->DoQuery();
  EXPECT_EQ(KezDcDbMemory::GetInsertedRows("shop", "items"), (std::vector<KezDcDbMemoryRow>{{"apple", "3"}}));
  data->Function = "Free";
  data->DoQuery();
  data->Function = "Delete";
  data->DoQuery();
  EXPECT_EQ(Errors(), Strings{Unknown("DATA")});
}

TEST_F(DoQueryTest, PlainCellVariableAndConstantRowsPutOnlyIntoACell) {
  Run(Text("Get", kQty));  // the block holds its first row
  KezDcQrQuery* cell = Plain(Text("Put", kName, kQty), "Cell");
  cell->DoQuery();
  EXPECT_STREQ(static_cast<KezDcQrQRCell*>(Node(kQty))->GetQResult(), "apple");
  cell->Function = "Get";
  cell->DoQuery();
  EXPECT_STREQ(static_cast<KezDcQrQRCell*>(Node(kName))->p_StringQResult, "apple");

  Run("Put(\"pear\", $fruit)");
  KezDcQrQuery* variable = Plain(Text("Put", "$fruit", kName), "Variable");
  variable->DoQuery();
  EXPECT_STREQ(static_cast<KezDcQrQRCell*>(Node(kName))->GetQResult(), "pear");

  KezDcQrQResult::NewQResult("\"fig\"");  // a constant node: the literal in an expression is none
  KezDcQrQuery* constant = Plain(Text("Put", "\"fig\"", kName), "Constant");
  constant->DoQuery();
  EXPECT_STREQ(static_cast<KezDcQrQRCell*>(Node(kName))->GetQResult(), "fig");
  constant->Function = "Get";
  constant->DoQuery();
  EXPECT_STREQ(static_cast<KezDcQrQRConstant*>(Node("\"fig\""))->p_QResult, "fig");

  KezDcQrQuery* to_variable = Plain("Put($fruit, $other)", "Variable");
  to_variable->DoQuery();  // a put target that is no cell: nothing
  EXPECT_EQ(Variable("$other")->IntValue, 0);
  EXPECT_EQ(Variable("$other")->BasicType, "int");
  EXPECT_TRUE(Errors().empty());

  for (auto row : {std::make_pair(cell, "CELL"), std::make_pair(variable, "VARIABLE"),
                   std::make_pair(constant, "CONSTANT")}) {
    KezDcCMError::ClearErrors();
    row.first->Function = "Init";
    row.first->DoQuery();
    EXPECT_EQ(Errors(), Strings{Unknown(row.second)});
  }
}

}  // namespace
