// Fuzzes expression texts: tokenizing, parsing, evaluating and putting
// (ValueInputs.h says what an input holds); an input that leaves anything
// behind or breaks a bound stops it.
#include "fuzz/ValueInputs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!kez::fuzz::RunExpressionInput(data, size)) __builtin_trap();
  return 0;
}
