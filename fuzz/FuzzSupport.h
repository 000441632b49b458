// Shared set-up of the fuzz targets: a small memory database registered as
// "m", variables of the three basic types, and a clean state after each
// input.
#ifndef KEZ_FUZZ_SUPPORT_H
#define KEZ_FUZZ_SUPPORT_H

#include <string>
#include <vector>

#include "KezDcQr.h"

namespace kez {
namespace fuzz {

// Creates the tables afresh (inputs insert rows into them).
inline void SetUpDatabase() {
  KezDcDbMemory::CreateRowset("fz", "t", {{"item", KEZDCDB_TYPESTRING, 8}, {"amount", KEZDCDB_TYPEI4, 4},
                                          {"price", KEZDCDB_TYPER8, 8}});
  for (int i = 0; i < 7; ++i) {
    KezDcDbMemory::AppendRow("fz", "t", {"it" + std::to_string(i), std::to_string(i * 3), std::to_string(i * 0.5)});
  }
  KezDcDbMemory::CreateRowset("fz", "u", {{"a", KEZDCDB_TYPESTRING, 3}, {"b", KEZDCDB_TYPESTRING, 0}});
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

inline void Reset() {
  KezDcQrQuery::DeleteAllQueries();
  KezDcDbMemory::ClearFailures();
  KezDcCMError::ClearErrors();
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

}  // namespace fuzz
}  // namespace kez

#endif
