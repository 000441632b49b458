// Number formatting under picture texts: the conversion each picture
// stands for, and the 254-character bound of the result.
#include <cstdio>
#include <string>

#include "result/TraceCapture.h"
#include "support/KezTestSupport.h"

namespace {

using kez::test::TraceCapture;

std::string Formatted(double value, const std::string& picture) {
  KezUnicodeString out = "unchanged";
  KezDcQrQResult::FormatNumeric(value, picture.c_str(), out);
  return out.Std();
}

// The conversion conversion that the picture stands for, read from the
// "Format = <...>" trace line.
std::string Conversion(const std::string& picture) {
  TraceCapture capture(&KezDcQrQResult::sp_Trace, 4);
  Formatted(1.0, picture);
  capture.Stop();
  std::vector<std::string> lines = capture.LinesStartingWith("Format = <");
  if (lines.size() != 1) return "?";
  return lines[0].substr(10, lines[0].size() - 10 - 2);
}

class FormatNumericTest : public kez::test::KezTest {};

struct Row {
  const char* picture;
  const char* conversion;
  double value;
  const char* result;
};

TEST_F(FormatNumericTest, PicturesTranslateIntoOneConversion) {
  const Row rows[] = {
      {"", "%f", 3.14159, "3.141590"},
      {"###.##", "%06.2f", 3.14159, "003.14"},
      {"###.##", "%06.2f", -3.14159, "-03.14"},
      {"###.##", "%06.2f", 12345.678, "12345.68"},
      {"+0.##", "%+03.2f", 3.14159, "+3.14"},
      {" 0###.###", "% 07.3f", -1.5, "-01.500"},
      {"#.##e", "%04.2e", 1234.5, "1.23e+03"},
      {"E", "%E", 1234.5, "1.234500E+03"},
      {"#.", "%01.0f", 3.7, "4"},
      {".", "%.0f", 2.7, "3"},
      {"#", "%01f", 3.14159, "3.141590"},
      {"0.00", "%0.0f", 3.14159, "3"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Conversion(row.picture), row.conversion) << "<" << row.picture << ">";
    EXPECT_EQ(Formatted(row.value, row.picture), row.result) << "<" << row.picture << "> " << row.value;
  }
}

TEST_F(FormatNumericTest, OtherCharactersChangeNothing) {
  EXPECT_EQ(Conversion("ab#c"), "%01f");
  EXPECT_EQ(Formatted(3.14159, "ab#c"), Formatted(3.14159, "#"));
  EXPECT_EQ(Conversion("x9y(#)"), "%01f");
  EXPECT_EQ(Conversion("EUR ##.#"), "% 04.1E");  // the blank is a flag, 'E' the style
  EXPECT_EQ(Conversion("%s%n%*d"), "%f");        // printf directives in a picture are plain text
  EXPECT_EQ(Formatted(2.0, "%s%n"), "2.000000");
}

TEST_F(FormatNumericTest, HashBeforeThePointCountsForTheWidthOnly) {
  EXPECT_EQ(Conversion("##.#"), "%04.1f");
  EXPECT_EQ(Conversion("#.##.#"), "%05.3f");  // every '#' after the first '.'
  EXPECT_EQ(Conversion("##."), "%02.0f");
  EXPECT_EQ(Conversion("0##"), "%02f");  // '0' is a flag, not a digit position
}

TEST_F(FormatNumericTest, LastExponentLetterDecides) {
  EXPECT_EQ(Conversion("eE"), "%E");
  EXPECT_EQ(Conversion("Ee"), "%e");
  EXPECT_EQ(Formatted(0.5, "#.#e"), "5.0e-01");
}

TEST_F(FormatNumericTest, FormatsInTheCLocale) {
  EXPECT_EQ(Formatted(1234567.25, "#######.##"), "1234567.25");
  EXPECT_EQ(Formatted(-0.0, "#.#"), "-0.0");
}

// The result holds at most 254 characters: a longer one is cut after its
// 254th character (a width above 254, or 1e300 under "f" which needs 301
// digits before its point). The cut text is the start of what printf would
// have written.
TEST_F(FormatNumericTest, LongResultsAreCutAt254Characters) {
  std::string wide(300, '#');
  std::string result = Formatted(3.5, wide);
  EXPECT_EQ(result, std::string(254, '0'));

  std::string huge = Formatted(1e300, "");
  ASSERT_EQ(huge.size(), 254u);
  char full[400];
  std::snprintf(full, sizeof full, "%f", 1e300);
  EXPECT_EQ(huge, std::string(full).substr(0, 254));

  std::string precise = Formatted(1.0 / 3.0, "." + std::string(400, '#'));
  ASSERT_EQ(precise.size(), 254u);
  EXPECT_EQ(precise.substr(0, 6), "0.3333");
}

// Pictures longer than the library works with internally must still give
// the start of the exact printf result, whatever mix of width and precision
// they ask for.
TEST_F(FormatNumericTest, VeryLongPicturesGiveTheStartOfTheExactResult) {
  struct Case {
    int before;  // '#' before the point
    int after;   // '#' after the point
    double value;
  };
  const Case cases[] = {{500, 4500, 3.14159}, {6000, 3000, -2.5}, {5000, 0, 7.0},
                        {0, 9000, 1.0 / 7.0}, {4200, 4000, 1e300}, {10, 6000, 2.0}};
  for (const Case& c : cases) {
    std::string picture = std::string(static_cast<std::size_t>(c.before), '#');
    std::string conversion = "%0" + std::to_string(c.before + c.after + (c.after ? 1 : 0));
    if (c.after) {
      picture += "." + std::string(static_cast<std::size_t>(c.after), '#');
      conversion += "." + std::to_string(c.after);
    }
    conversion += "f";
    std::string full(20000, '\0');
    int n = std::snprintf(&full[0], full.size(), conversion.c_str(), c.value);
    ASSERT_GT(n, 0);
    full.resize(static_cast<std::size_t>(n));
    std::string result = Formatted(c.value, picture);
    EXPECT_EQ(result, full.substr(0, 254)) << c.before << "/" << c.after;
  }
}

TEST_F(FormatNumericTest, NonFiniteValuesStayWithinBounds) {
  EXPECT_EQ(Formatted(1.0 / 0.0, "+#.#"), "+inf");
  std::string wide = Formatted(1.0 / 0.0, std::string(6000, '#') + "." + std::string(5000, '#'));
  EXPECT_EQ(wide.size(), 254u);
  EXPECT_EQ(wide, std::string(254, ' '));
}

}  // namespace
