// Reals written as text by the SQLite backend: the quick path for values
// with a few decimals must give, octet for octet, what std::to_chars gives
// (the shortest text that reads back as the same real), everywhere.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <string>

#include "database/access/sqlite/SqliteNumberText.h"

namespace kez {
namespace test {
namespace {

std::string Written(double value, std::size_t room = 64) {
  char text[64];
  char* end = kez::detail::WriteShortestReal(value, text, text + room);
  return end ? std::string(text, end) : std::string("<null>");
}

std::string Reference(double value) {
  char text[64];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

TEST(SqliteNumberTextTest, DecimalValuesAndTheirNeighboursMatchToChars) {
  std::mt19937_64 random(20240601);
  for (int n = 0; n < 200000; ++n) {
    int decimals = static_cast<int>(random() % 12);
    double scale = std::pow(10.0, decimals);
    double value = static_cast<double>(random() % static_cast<uint64_t>(2e5 * scale)) / scale;
    if (random() & 1) value = -value;
    for (double v : {value, std::nextafter(value, 1e300), std::nextafter(value, -1e300)}) {
      ASSERT_EQ(Written(v), Reference(v)) << "value " << v;
    }
  }
}

TEST(SqliteNumberTextTest, EdgesOfTheQuickPathMatchToCharsAndTextThatDoesNotFitGivesNull) {
  const double edges[] = {0.1,     1e5,  99999.99, 99999.999999999, 10000,  20000, 0.123456789, 0.1234567891, 1.0 / 3,
                          2.0 / 3, 1e-7, 1e15,     1e300,           5e-324, 0.0,   -0.0,        INFINITY,     -INFINITY,
                          NAN};
  for (double edge : edges) {
    for (double v : {edge, std::nextafter(edge, 1e300), std::nextafter(edge, -1e300), -edge}) {
      ASSERT_EQ(Written(v), Reference(v)) << "value " << v;
    }
  }
  EXPECT_EQ(Written(1234.5), "1234.5");
  EXPECT_EQ(Written(-0.25), "-0.25");
  EXPECT_EQ(Written(100000), "1e+05");
  EXPECT_EQ(Written(1234.5, 6), "1234.5");
  EXPECT_EQ(Written(1234.5, 5), "<null>");
  EXPECT_EQ(Written(-0.25, 4), "<null>");
  EXPECT_EQ(Written(1.0 / 3, 10), "<null>");
}

}  // namespace
}  // namespace test
}  // namespace kez
