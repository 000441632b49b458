// The query fuzzer's input: each line is a query created and run with its
// own function and with Get, Put, Free and Init; a line starting with '!'
// does something else, named by its second octet, with the rest of the
// line right after it:
//   !nPATH GetNextLine       !mPATH IsMoreData and GetNbRowsObtained
//   !iPATH InitData          !pPATH PutData     !oPATH FreeRowsetOfData
//   !fPATH FreeQResult       !gPATH every Get   !cPATH|PATH every Put
//   !xOOO  a layer operation fails once (octets: operation, code, call)
//   !aOO   a layer operation fails always       !z  no more failures
//   !wTFIELD|FIELD...  appends a row to memory table t, u or h (T's octet)
//   !dQUERY DeleteQuery      !rPATH DeleteQResult  !q DeleteAllQueries
// A PATH or QUERY written as a number picks one met in an earlier line.
// After the input everything is deleted and the registries and the layer
// must be empty again. Shared by query_fuzzer and tests/regress/.
#ifndef KEZ_FUZZ_QUERY_INPUT_H
#define KEZ_FUZZ_QUERY_INPUT_H

#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzSupport.h"
#include "support/AccessFaults.h"

namespace kez {
namespace fuzz {
namespace detail {

// Codes a failing layer operation returns: the waiting codes 1 and 2, the
// end (3), an ordinary failure and negative codes.
constexpr int kCodes[] = {1, 2, 3, 5, 8, -1, -7, 998};

struct Input {
  std::vector<std::string> paths;    // data paths met so far, for '!' commands
  std::vector<std::string> queries;  // query texts met so far
  bool releases_failed = false;
};

// A number written after a command picks one of the items met so far; any
// other text is used as it stands.
inline std::string Pick(const std::vector<std::string>& items, const std::string& rest) {
  if (items.empty() || rest.empty() || rest.size() > 6 || rest.find_first_not_of("0123456789") != std::string::npos) {
    return rest;
  }
  return items[std::stoul(rest) % items.size()];
}

inline unsigned char Octet(const std::string& text, size_t k) {
  return k < text.size() ? text[k] : 0;
}

// !x and !a: the operation, code and call number come from the next octets.
inline void ScriptFailure(Input& input, const std::string& rest, bool always) {
  auto op = static_cast<kez::test::AccessFaults::Operation>(Octet(rest, 0) % kez::test::AccessFaults::kOperationCount);
  int code = kCodes[Octet(rest, 1) % (sizeof kCodes / sizeof kCodes[0])];
  if (op == kez::test::AccessFaults::kReleaseRows || op == kez::test::AccessFaults::kReleaseAccessor)
    input.releases_failed = true;
  if (always) {
    kez::test::AccessFaults::FailAlways(op, code);
  } else {
    kez::test::AccessFaults::FailAt(op, code, Octet(rest, 2) % 6 + 1);
  }
}

// !w: appends a row to table t, u or h (first octet) with the fields
// written after it, separated by '|'.
inline void AppendRow(const std::string& rest) {
  static const char* const kTables[] = {"t", "u", "h"};
  KezDcDbMemoryRow row(1);
  for (size_t k = 1; k < rest.size(); ++k) {
    if (rest[k] == '|') {
      row.emplace_back();
    } else {
      row.back() += rest[k];
    }
  }
  KezDcDbMemory::AppendRow("fz", kTables[Octet(rest, 0) % 3], row);
}

inline void DriveNode(char command, KezDcQrQResult* node, const std::string& other) {
  switch (command) {
    case 'n':
      node->GetNextLine();
      break;
    case 'm':
      node->IsMoreData();
      node->GetNbRowsObtained();
      break;
    case 'i':
      node->InitData();
      break;
    case 'p':
      node->PutData();
      break;
    case 'o':
      node->FreeRowsetOfData();
      break;
    case 'f':
      node->FreeQResult();
      break;
    case 'g':
      Touch(node->GetCell());
      node->GetVariable();
      Touch(node->GetConstant());
      node->GetData();
      break;
    case 'c':
      if (KezDcQrQResult* target = KezDcQrQResult::NewQResult(other.c_str())) {
        node->PutCell(target);
        node->PutVariable(target);
        node->PutConstant(target);
      }
      break;
  }
}

inline void RunCommand(Input& input, const std::string& line) {
  if (line.size() < 2) return;
  char command = line[1];
  std::string rest = line.substr(2);
  switch (command) {
    case 'x':
    case 'a':
      ScriptFailure(input, rest, command == 'a');
      return;
    case 'z':
      kez::test::AccessFaults::ClearFailures();
      return;
    case 'w':
      AppendRow(rest);
      return;
    case 'd':
      KezDcQrQuery::DeleteQuery(Pick(input.queries, rest).c_str());
      return;
    case 'r':
      KezDcQrQResult::DeleteQResult(Pick(input.paths, rest).c_str());
      return;
    case 'q':
      KezDcQrQuery::DeleteAllQueries();
      return;
  }
  std::string other;
  size_t bar = rest.find('|');
  if (bar != std::string::npos) {
    other = Pick(input.paths, rest.substr(bar + 1));
    rest = rest.substr(0, bar);
  }
  if (KezDcQrQResult* node = KezDcQrQResult::NewQResult(Pick(input.paths, rest).c_str())) {
    DriveNode(command, node, other);
  }
}

// Reads the value the query's expression hands out, through its pointers.
inline void ReadValue(KezDcQrQuery* query) {
  KezDcQrQResult* result = query->p_QResult;
  if (!result || result->GetKind() != KezDcQrQResult::kExpression) return;
  auto* expression = static_cast<KezDcQrQRExpression*>(result);
  volatile int sink = 0;
  if (expression->p_IntQResult) sink = *expression->p_IntQResult;
  if (expression->p_DoubleQResult) sink = static_cast<int>(*expression->p_DoubleQResult > 0);
  sink = static_cast<int>(Touch(expression->p_StringQResult));
  (void)sink;
}

inline void Remember(Input& input, KezDcQrQuery* query) {
  input.queries.push_back(query->QueryText.Std());
  if (!query->DataPath.IsEmpty()) input.paths.push_back(query->DataPath.Std());
  if (!query->DataPathT.IsEmpty()) input.paths.push_back(query->DataPathT.Std());
}

inline void RunQuery(Input& input, const std::string& line) {
  KezDcQrQuery* query = KezDcQrQuery::NewQuery(line.c_str());
  query->DoQuery();
  ReadValue(query);
  // A query of an empty text is not registered: it is the caller's.
  if (KezDcQrQuery::QueryHTab->Locate(line.c_str()) != query) {
    delete query;
    return;
  }
  Remember(input, query);
  static const char* const kFunctions[] = {"Get", "Put", "Free", "Init"};
  for (const char* function : kFunctions) {
    KezDcQrQuery* again = KezDcQrQuery::NewQuery((std::string(function) + "(" + line + ")").c_str());
    again->DoQuery();
    ReadValue(again);
    // The query itself may have been deleted by the one just run.
    if (KezDcQrQuery::QueryHTab->Locate(line.c_str()) == query) {
      query->DoQuery();
      ReadValue(query);
    }
  }
}

}  // namespace detail

// Runs one input; false when it left something behind.
inline bool RunQueryInput(const uint8_t* data, size_t size) {
  LayerMark mark;
  SetUpDatabase();
  SetUpVariables();
  detail::Input input;
  for (const std::string& line : Lines(data, size, 24)) {
    if (!line.empty() && line[0] == '!') {
      detail::RunCommand(input, line);
    } else {
      detail::RunQuery(input, line);
    }
  }
  return CleanAfter(mark, input.releases_failed);
}

}  // namespace fuzz
}  // namespace kez

#endif
