// Fuzzes query texts end to end over a memory database (QueryInput.h says
// what an input holds); an input that leaves anything behind stops it.
#include "fuzz/QueryInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!kez::fuzz::RunQueryInput(data, size)) __builtin_trap();
  return 0;
}
