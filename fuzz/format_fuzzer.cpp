// Fuzzes number formatting: the first eight octets are the value, the rest
// is the format text.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  double value = 0.0;
  if (size >= sizeof value) {
    std::memcpy(&value, data, sizeof value);
    data += sizeof value;
    size -= sizeof value;
  }
  std::string format(reinterpret_cast<const char*>(data), size);
  format = format.substr(0, format.find('\0'));
  KezUnicodeString out;
  KezDcQrQResult::FormatNumeric(value, format.c_str(), out);
  if (out.GetLengthInChar() > 254) __builtin_trap();
  return 0;
}
