// A first client of the library, with no database file: values, variables
// and expressions, then a table of the in-process memory backend walked row
// by row.
#include <cstdio>

#include "kezdcqr/KezDcQr.h"

namespace {

void Show(const char* text) {
  KezDcQrQuery* query = KezDcQrQuery::NewQuery(text);
  query->DoQuery();
  for (int i = 1; i <= KezDcCMError::GetNbErrors(); ++i) std::fputs(KezDcCMError::GetError(i), stderr);
  KezDcCMError::ClearErrors();
  auto* value = static_cast<KezDcQrQRExpression*>(query->p_QResult);
  if (!value || query->Function != "Get") return;
  if (value->BasicType == "int") std::printf("%-44s %d\n", text, value->IntValue);
  if (value->BasicType == "double") std::printf("%-44s %g\n", text, value->DoubleValue);
  if (value->BasicType == "string") std::printf("%-44s %s\n", text, value->p_StringQResult);
}

}  // namespace

int main() {
  Show("Get(7-2*3)");
  Show("Put(2.5,$d)");
  Show("Get($d*2)");
  Show("Get(format(3.14159,\"###.##\"))");

  KezDcDbMemory::CreateRowset(
      "shop", "orders",
      {{"item", KEZDCDB_TYPESTRING, 32}, {"amount", KEZDCDB_TYPEI4, 4}, {"price", KEZDCDB_TYPER8, 8}});
  KezDcDbMemory::AppendRow("shop", "orders", {"apple", "3", "0.5"});
  KezDcDbMemory::AppendRow("shop", "orders", {"pear", "7", "1.25"});
  KezDcDbDataSourceFactory::RegisterDataSource("sales", "memory:shop");
  KezDcQrQResult* block = KezDcQrQResult::NewQResult("@sales:main:orders:{*}:10");
  while (block->IsMoreData()) {
    Show("Get(@sales:main:orders:{*}:10:item)");
    Show("Get(@sales:main:orders:{*}:10:amount * @sales:main:orders:{*}:10:price)");
    block->GetNextLine();
  }
  KezDcQrQuery::DeleteAllQueries();
  return 0;
}
