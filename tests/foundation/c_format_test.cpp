// The quick "%d" and "%e" writers give exactly what printf gives.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>

#include "foundation/KezCFormat.h"

namespace {

template <class T>
std::string Printf(const char* format, T value) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

TEST(CFormatTest, QuickWritersMatchPrintfOctetForOctet) {
  auto check = [](double d) { EXPECT_EQ(kez::FormatE(d), Printf("%e", d)) << d; };
  for (double d : {0.0, -0.0, 1.5, 2.5, 3.5, 0.1, 1234.5678, -1234.5678, 1e300, 1e-300, 9.9999995}) check(d);
  for (double d : {9.99999949, 0.0000012345675, DBL_MAX, DBL_MIN, 4.9e-324, 123456789.0, 1.0 / 3}) check(d);
  for (double d : {HUGE_VAL, -HUGE_VAL, std::nan("")}) check(d);
  for (int i : {0, -1, 42, INT_MAX, INT_MIN}) EXPECT_EQ(kez::FormatD(i), Printf("%d", i));
}

}  // namespace
