// Shared set-up of the fuzz targets and of their replay in tests/regress/:
// a small memory database registered as "m", variables of the three basic
// types, and the check that every input leaves the library as clean as it
// found it.
#ifndef KEZ_FUZZ_SUPPORT_H
#define KEZ_FUZZ_SUPPORT_H

#include <string>
#include <vector>

#include "KezDcQr.h"

namespace kez {
namespace fuzz {

// Creates the tables afresh (inputs insert rows into them): t with texts
// and numbers, u with a field of 3 octets and one of none, h with column
// names that hold the path and attribute-list separators.
inline void SetUpDatabase() {
  KezDcDbMemory::CreateRowset(
      "fz", "t", {{"item", KEZDCDB_TYPESTRING, 8}, {"amount", KEZDCDB_TYPEI4, 4}, {"price", KEZDCDB_TYPER8, 8}});
  for (int i = 0; i < 7; ++i) {
    KezDcDbMemory::AppendRow("fz", "t", {"it" + std::to_string(i), std::to_string(i * 3), std::to_string(i * 0.5)});
  }
  KezDcDbMemory::CreateRowset("fz", "u", {{"a", KEZDCDB_TYPESTRING, 3}, {"b", KEZDCDB_TYPESTRING, 0}});
  KezDcDbMemory::CreateRowset("fz", "h",
                              {{"*", KEZDCDB_TYPESTRING, 4},
                               {"a+b", KEZDCDB_TYPEI4, 4},
                               {"c:d", KEZDCDB_TYPESTRING, 6},
                               {"[e]", KEZDCDB_TYPEPTRSUBLIST, 5},
                               {"", 7, 3}});
  KezDcDbMemory::AppendRow("fz", "h", {"t", "12", "u", "$i", "x"});
  KezDcDbMemory::AppendRow("fz", "h", {"[#s]", "-1e308", "@m", "main", ""});
  KezDcDbDataSourceFactory::RegisterDataSource("m", "memory:fz");
}

inline void SetUpVariables() {
  KezUnicodeString type = "Variable";
  auto* i = static_cast<KezDcQrQRVariable*>(KezDcQrQResult::NewQR("$i", "", "", "", "", "", type));
  i->Affect(7);
  auto* d = static_cast<KezDcQrQRVariable*>(KezDcQrQResult::NewQR("$d", "", "", "", "", "", type));
  d->Affect(2.5);
  auto* s = static_cast<KezDcQrQRVariable*>(KezDcQrQResult::NewQR("#s", "", "", "", "", "", type));
  s->Affect(KezUnicodeString("\"t\""));
  auto* loop = static_cast<KezDcQrQRVariable*>(KezDcQrQResult::NewQR("#a", "", "", "", "", "", type));
  loop->Affect(KezUnicodeString("#b"));
  auto* back = static_cast<KezDcQrQRVariable*>(KezDcQrQResult::NewQR("#b", "", "", "", "", "", type));
  back->Affect(KezUnicodeString("#a"));
}

// What the memory backend holds before an input, to compare after it.
struct LayerMark {
  long rows = KezDcDbMemory::OutstandingRows();
  int accessors = KezDcDbMemory::LiveAccessors();
  int misuses = KezDcDbMemory::Misuses();
};

// Deletes everything and says whether nothing is left: no node,
// expression or query registered, no layer object alive, no row or accessor
// handle kept (unless the input made a release fail, when the layer keeps
// them itself), and no misuse of the layer.
inline bool CleanAfter(const LayerMark& mark, bool releases_failed) {
  KezDcQrQuery::DeleteAllQueries();
  KezDcDbMemory::ClearFailures();
  KezDcCMError::ClearErrors();
  bool clean = KezDcQrQResult::QRHTab->Size() == 0 && KezDcQrQResult::ExprHTab->Size() == 0 &&
               KezDcQrQuery::QueryHTab->Size() == 0 && KezDcDbMemory::LiveObjects() == 0;
  if (releases_failed) return clean;
  return clean && KezDcDbMemory::OutstandingRows() == mark.rows && KezDcDbMemory::LiveAccessors() == mark.accessors &&
         KezDcDbMemory::Misuses() == mark.misuses;
}

// The input split into lines (at most max_lines).
inline std::vector<std::string> Lines(const uint8_t* data, size_t size, size_t max_lines) {
  std::vector<std::string> lines(1);
  for (size_t k = 0; k < size && lines.size() <= max_lines; ++k) {
    if (data[k] == '\n') {
      lines.emplace_back();
    } else if (data[k] != '\0') {
      lines.back() += static_cast<char>(data[k]);
    }
  }
  return lines;
}

// Reads every octet of the value that a node hands out, so that a pointer
// to freed or too short storage shows at once.
inline size_t Touch(const char* text) {
  size_t n = 0;
  while (text && text[n]) ++n;
  return n;
}

}  // namespace fuzz
}  // namespace kez

#endif
