// A first client of the library: values, variables and expressions, then a
// walk over a table of the in-process memory backend.
#include <cstdio>

#include "KezDcQr.h"

static void PrintErrors() {
  for (int i = 1; i <= KezDcCMError::GetNbErrors(); ++i) std::fputs(KezDcCMError::GetError(i), stderr);
  KezDcCMError::ClearErrors();
}

static void Run(const char* text) {
  KezDcQrQuery* query = KezDcQrQuery::NewQuery(text);
  query->DoQuery();
  auto* expression = static_cast<KezDcQrQRExpression*>(query->p_QResult);
  if (query->Function == "Get" && expression) {
    if (expression->BasicType == "int") std::printf("%-48s -> %d\n", text, expression->IntValue);
    if (expression->BasicType == "double") std::printf("%-48s -> %g\n", text, expression->DoubleValue);
    if (expression->BasicType == "string") std::printf("%-48s -> %s\n", text, expression->p_StringQResult);
  }
  PrintErrors();
}

int main() {
  KezDcDbMemory::CreateRowset("shop", "orders", {{"item", KEZDCDB_TYPESTRING, 32}, {"amount", KEZDCDB_TYPEI4, 4},
                                                 {"price", KEZDCDB_TYPER8, 8}});
  KezDcDbMemory::AppendRow("shop", "orders", {"apple", "3", "0.5"});
  KezDcDbMemory::AppendRow("shop", "orders", {"pear", "7", "1.25"});
  KezDcDbDataSourceFactory::RegisterDataSource("sales", "memory:shop");

  Run("Get(7-2*3)");
  Run("Put(2.5,$d)");
  Run("Get($d*2)");
  Run("Get(format(3.14159,\"###.##\"))");
  Run("Get(\"total: \" + @sales:main:orders:{item+amount+price}:10:amount * @sales:main:orders:{item+amount+price}:10:price)");
  KezDcQrQuery::NewQuery("Get(@sales:main:orders:{item+amount+price}:10)")->p_QResult;
  KezDcQrQResult* block = KezDcQrQResult::NewQResult("@sales:main:orders:{item+amount+price}:10");
  block->GetNextLine();
  Run("Get(@sales:main:orders:{item+amount+price}:10:item)");
  KezDcQrQuery::DeleteAllQueries();
  return 0;
}
