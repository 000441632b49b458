// A short client of the library: registers a SQLite file as a data source,
// reads cells and expressions through queries, walks a few rows of a table
// and inserts a row. Run it on the demo database:
//   build/examples/kezdcqr_client build/demo/demo.db
#include <cstdio>

#include "kezdcqr/KezDcQr.h"

namespace {

// Prints and clears what the library reported; true when it reported anything.
bool ReportErrors() {
  bool any = KezDcCMError::GetNbErrors() > 0;
  for (int i = 1; i <= KezDcCMError::GetNbErrors(); ++i) std::fputs(KezDcCMError::GetError(i), stderr);
  KezDcCMError::ClearErrors();
  return any;
}

// Runs a "Get" and prints its value by its basic type.
void Show(const char* text) {
  KezDcQrQuery* query = KezDcQrQuery::NewQuery(text);
  query->DoQuery();
  auto* value = static_cast<KezDcQrQRExpression*>(query->p_QResult);
  if (!value || ReportErrors()) return;
  if (value->BasicType == "int") std::printf("%-60s %d\n", text, value->IntValue);
  if (value->BasicType == "double") std::printf("%-60s %g\n", text, value->DoubleValue);
  if (value->BasicType == "string") std::printf("%-60s %s\n", text, value->p_StringQResult);
}

void Run(const char* text) {
  KezDcQrQuery::NewQuery(text)->DoQuery();
  ReportErrors();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DEMO.db\n", argv[0]);
    return 2;
  }
  KezDcDbDataSourceFactory::RegisterDataSource("shop", KezUnicodeString("sqlite:").Append(argv[1]));

  Show("Get(@shop:main:customers:{*}:20:name)");
  Show("Get(@shop:main:orders:{*}:50:amount / @shop:main:orders:{*}:50:quantity)");
  Show("Get(format(@shop:main:products:{*}:20:price,\"##.##\"))");

  // Walk the first five orders: the data block moves, the cell queries follow.
  KezDcQrQResult* orders = KezDcQrQResult::NewQResult("@shop:main:orders:{*}:50");
  for (int row = 0; row < 5 && orders->IsMoreData(); ++row) {
    Show("Get(@shop:main:orders:{*}:50:id)");
    Show("Get(@shop:main:orders:{*}:50:amount)");
    orders->GetNextLine();
  }

  // Insert a row: fill the fields, then put the data block.
  Run("Put(\"Greta Roux\",@shop:main:visits:{customer+note}:1:customer)");
  Run("Put(\"called from the C++ client\",@shop:main:visits:{customer+note}:1:note)");
  Run("Put(@shop:main:visits:{customer+note}:1)");

  // Deleting every query releases every database object (and commits).
  KezDcQrQuery::DeleteAllQueries();
  return ReportErrors() ? 1 : 0;
}
