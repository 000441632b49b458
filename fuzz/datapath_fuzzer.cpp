// Fuzzes the data-path syntax: splitting, brackets, blanks and '#'
// expansion (with variables that name each other), then the factory.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kez::fuzz::SetUpVariables();
  std::string path(reinterpret_cast<const char*>(data), size);
  path = path.substr(0, path.find('\0'));
  KezUnicodeString ds, s, r, a, d, c, type;
  KezDcQrQResult::ParseDataPath(path.c_str(), ds, s, r, a, d, c, type);
  KezDcQrQResult::NewQResult(path.c_str());
  kez::fuzz::Reset();
  return 0;
}
