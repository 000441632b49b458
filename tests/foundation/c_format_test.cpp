// The number writers and readers beyond the one-line cases of
// tests/language/cases/format.test: "%e" with the fewest digits that read
// back over random doubles, "%d" as printf, what counts as a plain decimal
// number, and the 254-character bound of a number under a picture.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include "foundation/KezCFormat.h"
#include "nodes/base/KezDcQrQResult.h"

namespace {

// The text "%.Ne" gives with the fewest N >= 6 that reads back as d.
std::string FewestDigits(double d) {
  for (int digits = 6;; ++digits) {
    std::string text = kez::Format("%.*e", digits, d);
    if (std::strtod(text.c_str(), nullptr) == d) return text;
  }
}

TEST(CFormatTest, FormatEWritesTheFewestDigitsThatReadBackAndFormatDAsPrintf) {
  std::mt19937_64 random(20261207);
  for (int k = 0; k < 20000; ++k) {
    uint64_t bits = random();
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    if (std::isfinite(d)) ASSERT_EQ(kez::FormatE(d), FewestDigits(d));
  }
  for (int i : {0, -1, 42, INT_MAX, INT_MIN}) EXPECT_EQ(kez::FormatD(i), std::to_string(i));
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

// A longer result (a width above 254, 1e300 under "f", pictures longer than
// the library works with internally) is the start of what printf would
// have written, whatever mix of width and precision is asked.
TEST(CFormatTest, NumberUnderALongPictureIsTheFirst254CharactersOfTheExactResult) {
  const int cases[][2] = {{300, 0}, {0, 0}, {0, 400}, {500, 4500}, {6000, 3000}, {0, 9000}, {4200, 4000}, {10, 6000}};
  for (double value : {3.5, 1e300, -1.0 / 7}) {
    for (const auto& c : cases) {
      std::string picture = std::string(c[0], '#') + (c[1] ? "." + std::string(c[1], '#') : "");
      std::string exact = c[1] ? kez::Format("%0*.*f", c[0] + c[1] + 1, c[1], value) : kez::Format("%0*f", c[0], value);
      KezUnicodeString out;
      KezDcQrQResult::FormatNumeric(value, picture.c_str(), out);
      EXPECT_EQ(out.Std(), exact.substr(0, 254)) << c[0] << "/" << c[1] << " " << value;
    }
  }
  KezUnicodeString infinite;
  KezDcQrQResult::FormatNumeric(1.0 / 0.0, (std::string(6000, '#') + "." + std::string(5000, '#')).c_str(), infinite);
  EXPECT_EQ(infinite.Std(), std::string(254, ' '));
}

}  // namespace
