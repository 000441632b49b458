// The text type: comparisons with C strings, positions, stripping, cutting
// and reading numbers, on octet strings where UTF-8 passes through.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>

#include "foundation/KezUnicodeString.h"

namespace {

// Texts are octet strings: UTF-8 passes through unchanged, one octet per
// position, and past the end is the empty character, which equals no octet.
TEST(UnicodeStringTest, TextsAndCharactersCompareByContentAndIndexOctets) {
  KezUnicodeString s("abc");
  char buffer[] = "abc";  // a different address holding the same text
  EXPECT_TRUE(s == buffer && buffer == s && !(s != buffer));
  EXPECT_TRUE(s != "ab" && "abcd" != s);
  const char* null_text = nullptr;
  EXPECT_TRUE(KezUnicodeString() == "" && KezUnicodeString() == null_text);
  EXPECT_TRUE(s == KezUnicodeString(std::string("abc")));
  EXPECT_STREQ(s, "abc");  // a text is a C string where one is asked
  KezUnicodeChar c('Y');
  EXPECT_TRUE(c == 'Y' && 'Y' == c && c != 'N');
  c = 'N';
  EXPECT_TRUE(c == KezUnicodeChar('N') && KezUnicodeChar('\0') == '\0');
  KezUnicodeString t("\xC3\xA9t\xC3\xA9");  // "été"
  EXPECT_EQ(t.GetLengthInChar(), 5);
  EXPECT_TRUE(t[0] == '\xC3');
  EXPECT_TRUE(t[5].IsEmpty() && t[-1].IsEmpty() && KezUnicodeChar().IsEmpty());
  EXPECT_TRUE(t[5] != '\0');
  EXPECT_TRUE(KezUnicodeString()[0] == KezUnicodeChar());
  t.Append(KezUnicodeChar('\xB0'));
  EXPECT_EQ(std::string(t.ConvertToChar()), "\xC3\xA9t\xC3\xA9\xB0");
  EXPECT_EQ(KezUnicodeString(KezUnicodeChar('\xFF'), 1).Std(), "\xFF");
  EXPECT_EQ(KezUnicodeString(KezUnicodeChar('x'), 3), "xxx");
  EXPECT_EQ(KezUnicodeString(KezUnicodeChar('x'), -2), "");
  EXPECT_EQ(KezUnicodeString(KezUnicodeChar(), 2), "");
  KezUnicodeString u;
  u.Append("a").Append(KezUnicodeString("b")).Append('c').Append(KezUnicodeChar());
  EXPECT_EQ(u, "abc");
  u = static_cast<const char*>(nullptr);
  EXPECT_TRUE(u.IsEmpty());
}

TEST(UnicodeStringTest, StripSubStringAndRemoveClipToTheText) {
  KezUnicodeString s("  a b  ");
  EXPECT_EQ(s.Strip(1, ' '), "a b  ");
  EXPECT_EQ(s.Strip(2, ' '), "  a b");
  EXPECT_EQ(s.Strip(3, ' '), "  a b  ");
  EXPECT_EQ(KezUnicodeString("\t a").Strip(1, ' '), "\t a");
  EXPECT_EQ(KezUnicodeString("   ").Strip(1, ' '), "");
  EXPECT_EQ(KezUnicodeString("{x}").Strip(1, '{').Strip(2, '}'), "x");
  EXPECT_EQ(s, "  a b  ");  // a copy: the text itself is unchanged
  KezUnicodeString t("abcdef");
  const std::pair<int, int> cuts[] = {{1, 3}, {4, 100}, {6, 1}, {-2, 4}, {2, 0}, {2, -1}};
  const char* const pieces[] = {"bcd", "ef", "", "ab", "", ""};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(t.SubString(cuts[k].first, cuts[k].second), pieces[k]) << k;
  KezUnicodeString r("abc");
  r.Remove(0, 1);
  EXPECT_EQ(r, "bc");
  r.Remove(r.GetLengthInChar() - 1, 1);
  r.Remove(5, 1);
  r.Remove(-1, 1);
  EXPECT_EQ(r, "b");
  r.Remove(0, 10);
  r.Remove(r.GetLengthInChar() - 1, 1);  // on an empty text: nothing
  EXPECT_EQ(r, "");
}

// Decimals are read like scanf reads them, saturating on overflow; a text
// that is no number yields 0.
TEST(UnicodeStringTest, ConvertToNumReadsDecimalsLikeScanfAndSaturates) {
  const std::pair<std::string, int> numbers[] = {{"42", 42},
                                                 {" \t-17xyz", -17},
                                                 {"+5", 5},
                                                 {"0x10", 0},
                                                 {"2147483647", INT_MAX},
                                                 {"2147483648", INT_MAX},
                                                 {"-2147483648", INT_MIN},
                                                 {"-2147483649", INT_MIN},
                                                 {std::string(1000, '9'), INT_MAX},
                                                 {"-" + std::string(1000, '9'), INT_MIN}};
  for (const auto& [text, value] : numbers) {
    int n = 99;
    EXPECT_EQ(KezUnicodeString(text).ConvertToNum(&n, "%d"), 1) << text.substr(0, 12);
    EXPECT_EQ(n, value) << text.substr(0, 12);
  }
  for (const char* text : {"", "abc", "-", "+", "- 5", " ", "[20]", "$n"}) {
    int n = 99;
    EXPECT_EQ(KezUnicodeString(text).ConvertToNum(&n, "%d"), 0) << text;
    EXPECT_EQ(n, 0) << text;
  }
  unsigned long u = 7;
  KezUnicodeString("4000000000").ConvertToNum(&u, "%lu");
  EXPECT_EQ(u, 4000000000UL);
  KezUnicodeString(std::string(40, '9')).ConvertToNum(&u, "%lu");
  EXPECT_EQ(u, ULONG_MAX);
}

}  // namespace
