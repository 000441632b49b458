// The number writers and readers: "%d" exactly as printf, "%e" as printf
// where six digits after the point read back, with the fewest more digits
// where they do not; and what counts as a plain decimal number.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include "foundation/KezCFormat.h"

namespace {

template <class T>
std::string Printf(const char* format, T value) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

// The text "%.Ne" gives with the fewest N >= 6 that reads back as d.
std::string FewestDigits(double d) {
  for (int digits = 6;; ++digits) {
    std::string text = Printf(("%." + std::to_string(digits) + "e").c_str(), d);
    if (std::strtod(text.c_str(), nullptr) == d) return text;
  }
}

TEST(CFormatTest, FormatEWritesTheFewestDigitsAfterThePointThatReadBack) {
  for (double d : {0.0, -0.0, 1.5, 2.5, 3.5, 0.1, 1e300, 1e-300, 123456.0, 7.0 / 2, 100.0}) {
    EXPECT_EQ(kez::FormatE(d), Printf("%e", d)) << d;
  }
  EXPECT_EQ(kez::FormatE(2147483647.0), "2.147483647e+09");
  EXPECT_EQ(kez::FormatE(1.0 / 7), "1.4285714285714285e-01");
  EXPECT_EQ(kez::FormatE(12345678.0), "1.2345678e+07");
  EXPECT_EQ(kez::FormatE(3.141592653589793), "3.141592653589793e+00");
  for (double d : {HUGE_VAL, -HUGE_VAL, std::nan("")}) EXPECT_EQ(kez::FormatE(d), Printf("%e", d));
  for (double d : {1234.5678, DBL_MAX, DBL_MIN, 4.9e-324, 1.0 / 3, 9.99999949}) {
    EXPECT_EQ(kez::FormatE(d), FewestDigits(d)) << d;
  }
  std::mt19937_64 random(20261207);
  for (int k = 0; k < 20000; ++k) {
    uint64_t bits = random();
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    if (!std::isfinite(d)) continue;
    std::string text = kez::FormatE(d);
    ASSERT_EQ(std::strtod(text.c_str(), nullptr), d) << text;
    ASSERT_EQ(text, FewestDigits(d));
  }
  for (int i : {0, -1, 42, INT_MAX, INT_MIN}) EXPECT_EQ(kez::FormatD(i), Printf("%d", i));
}

TEST(CFormatTest, OnlyPlainDecimalTextsAreNumbers) {
  for (const char* yes : {"0", "-12", "+3", " 12", "1.", ".5", "1.5e3", "2E-7", "007", "\t4"}) {
    EXPECT_TRUE(kez::IsDecimalNumber(yes)) << yes;
  }
  for (const char* no :
       {"", " ", ".", "-", "inf", "INFINITY", "nan", "NaN", "0x1F", "12abc", "1.2.3", "12 ", "1e", "e5", "1e+"}) {
    EXPECT_FALSE(kez::IsDecimalNumber(no)) << no;
  }
  bool whole = true;
  EXPECT_EQ(kez::DecimalValue("12.5 kg", &whole), 12.5);
  EXPECT_FALSE(whole);
  EXPECT_EQ(kez::DecimalValue("0x1F", &whole), 0.0);
  EXPECT_EQ(kez::DecimalValue("INFINITY", &whole), 0.0);
  EXPECT_EQ(kez::DecimalValue("-2.5e2", &whole), -250.0);
  EXPECT_TRUE(whole);
}

}  // namespace
