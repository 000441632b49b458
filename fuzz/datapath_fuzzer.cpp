// Fuzzes the data-path syntax, the factory and the nodes it makes
// (ValueInputs.h says what an input holds); an input that leaves anything
// behind or breaks a bound stops it.
#include "fuzz/ValueInputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!kez::fuzz::RunDataPathInput(data, size)) __builtin_trap();
  return 0;
}
