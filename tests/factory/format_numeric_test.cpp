// Number formatting under picture texts: the conversion each picture
// stands for, and the 254-character bound of the result.
#include <cstdio>
#include <string>

#include "support/KezTestSupport.h"
#include "support/TraceCapture.h"

namespace {

using kez::test::TraceCapture;

std::string Formatted(double value, const std::string& picture) {
  KezUnicodeString out = "unchanged";
  KezDcQrQResult::FormatNumeric(value, picture.c_str(), out);
  return out.Std();
}

// The conversion that the picture stands for, read from the
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

// A picture's '#' count digit positions (before the first '.' for the width
// only), '0', '+' and ' ' are flags, the last 'e' or 'E' decides the style,
// and every other character changes nothing. Results are in the C locale.
TEST_F(FormatNumericTest, PicturesTranslateIntoOneConversion) {
  struct Row {
    const char* picture;
    const char* conversion;
    double value;
    const char* result;  // null: the conversion alone is checked
  };
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
      {"ab#c", "%01f", 3.14159, "3.141590"},
      {"x9y(#)", "%01f", 0, nullptr},
      {"EUR ##.#", "% 04.1E", 0, nullptr},  // the blank is a flag, 'E' the style
      {"%s%n%*d", "%f", 0, nullptr},        // printf directives in a picture are plain text
      {"%s%n", "%f", 2.0, "2.000000"},
      {"##.#", "%04.1f", 0, nullptr},
      {"#.##.#", "%05.3f", 0, nullptr},  // every '#' after the first '.'
      {"##.", "%02.0f", 0, nullptr},
      {"0##", "%02f", 0, nullptr},  // '0' is a flag, not a digit position
      {"eE", "%E", 0, nullptr},
      {"Ee", "%e", 0, nullptr},
      {"#.#e", "%03.1e", 0.5, "5.0e-01"},
      {"#######.##", "%010.2f", 1234567.25, "1234567.25"},
      {"#.#", "%03.1f", -0.0, "-0.0"},
      {"+#.#", "%+03.1f", 1.0 / 0.0, "+inf"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Conversion(row.picture), row.conversion) << "<" << row.picture << ">";
    if (row.result) {
      EXPECT_EQ(Formatted(row.value, row.picture), row.result) << "<" << row.picture << "> " << row.value;
    }
  }
}

// The result holds at most 254 characters: a longer one (a width above 254,
// 1e300 under "f" which needs 301 digits before its point, or pictures
// longer than the library works with internally) is the start of what
// printf would have written, whatever mix of width and precision is asked.
TEST_F(FormatNumericTest, LongResultsAreTheFirst254CharactersOfTheExactResult) {
  struct Case {
    int before;  // '#' before the point
    int after;   // '#' after the point
    double value;
  };
  const Case cases[] = {{300, 0, 3.5},        {0, 0, 1e300},       {0, 400, 1.0 / 3.0},
                        {500, 4500, 3.14159}, {6000, 3000, -2.5},  {5000, 0, 7.0},
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
  std::string infinite = Formatted(1.0 / 0.0, std::string(6000, '#') + "." + std::string(5000, '#'));
  EXPECT_EQ(infinite, std::string(254, ' '));
}

}  // namespace
