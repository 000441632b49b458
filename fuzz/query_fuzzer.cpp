// Fuzzes query texts end to end over a memory database: each input line is
// a query created and run with its own function and with Get, Put, Free and
// Init; a line starting with '!' walks, frees or deletes instead.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"

namespace {

void RunCommand(const std::string& line) {
  if (line.size() < 2) return;
  std::string rest = line.substr(2);
  switch (line[1]) {
    case 'n':
      if (KezDcQrQResult* node = KezDcQrQResult::NewQResult(rest.c_str())) {
        if (node->GetKind() == KezDcQrQResult::kData) node->GetNextLine();
      }
      break;
    case 'f':
      if (KezDcQrQResult* node = KezDcQrQResult::NewQResult(rest.c_str())) node->FreeQResult();
      break;
    case 'd':
      KezDcQrQuery::DeleteQuery(rest.c_str());
      break;
    case 'r':
      KezDcQrQResult::DeleteQResult(rest.c_str());
      break;
    case 'x':
      KezDcDbMemory::FailAt(static_cast<KezDcDbMemory::Operation>(rest.size() % KezDcDbMemory::kOperationCount),
                            static_cast<int>(rest.size() % 5), 1);
      break;
    default:
      KezDcQrQuery::DeleteAllQueries();
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kez::fuzz::SetUpDatabase();
  for (const std::string& line : kez::fuzz::Lines(data, size, 16)) {
    if (!line.empty() && line[0] == '!') {
      RunCommand(line);
      continue;
    }
    KezDcQrQuery* query = KezDcQrQuery::NewQuery(line.c_str());
    query->DoQuery();
    // A query of an empty text is not registered: it is the caller's.
    if (KezDcQrQuery::QueryHTab->Locate(line.c_str()) != query) delete query;
    static const char* const kFunctions[] = {"Get", "Put", "Free", "Init"};
    for (const char* function : kFunctions) {
      KezDcQrQuery* again = KezDcQrQuery::NewQuery((std::string(function) + "(" + line + ")").c_str());
      again->DoQuery();
    }
  }
  kez::fuzz::Reset();
  return 0;
}
