// The text type: comparisons with C strings, positions, stripping, cutting
// and reading numbers, on octet strings where UTF-8 passes through.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>

#include "foundation/KezUnicodeString.h"

namespace {

TEST(UnicodeStringTest, TextsAndCharactersCompareWithCStringsByContentOnBothSides) {
  KezUnicodeString s("abc");
  char buffer[] = "abc";  // a different address holding the same text
  EXPECT_TRUE(s == buffer);
  EXPECT_TRUE(buffer == s);
  EXPECT_FALSE(s != buffer);
  EXPECT_TRUE(s != "ab");
  EXPECT_TRUE("abcd" != s);
  EXPECT_TRUE(KezUnicodeString() == "");
  const char* null_text = nullptr;
  EXPECT_TRUE(KezUnicodeString() == null_text);
  EXPECT_TRUE(s == KezUnicodeString(std::string("abc")));
  KezUnicodeChar c('Y');
  EXPECT_TRUE(c == 'Y');
  EXPECT_TRUE('Y' == c);
  EXPECT_TRUE(c != 'N');
  c = 'N';
  EXPECT_TRUE(c == KezUnicodeChar('N'));
  EXPECT_TRUE(KezUnicodeChar('\0') == '\0');
}

// Texts are octet strings: UTF-8 passes through unchanged, one octet per
// position.
TEST(UnicodeStringTest, IndexIsZeroBasedOverOctetsAndGivesTheEmptyCharacterOutside) {
  KezUnicodeString s("\xC3\xA9t\xC3\xA9");  // "été"
  EXPECT_EQ(s.GetLengthInChar(), 5);
  EXPECT_TRUE(s[0] == '\xC3');
  EXPECT_TRUE(s[5].IsEmpty());
  EXPECT_TRUE(s[-1].IsEmpty());
  EXPECT_TRUE(s[5] != '\0');  // past the end equals no octet, not even NUL
  EXPECT_TRUE(KezUnicodeString()[0] == KezUnicodeChar());
  EXPECT_TRUE(KezUnicodeChar().IsEmpty());
  s.Append(KezUnicodeChar('\xB0'));
  EXPECT_EQ(std::string(s.ConvertToChar()), "\xC3\xA9t\xC3\xA9\xB0");
  EXPECT_EQ(KezUnicodeString(KezUnicodeChar('\xFF'), 1).Std(), "\xFF");
}

TEST(UnicodeStringTest, StripRemovesOnlyTheGivenCharacterAtOneEnd) {
  KezUnicodeString s("  a b  ");
  EXPECT_EQ(s.Strip(1, ' '), "a b  ");
  EXPECT_EQ(s.Strip(2, ' '), "  a b");
  EXPECT_EQ(s.Strip(1, ' ').Strip(2, ' '), "a b");
  EXPECT_EQ(s.Strip(3, ' '), "  a b  ");
  EXPECT_EQ(KezUnicodeString("\t a").Strip(1, ' '), "\t a");
  EXPECT_EQ(KezUnicodeString("   ").Strip(1, ' '), "");
  EXPECT_EQ(KezUnicodeString("{x}").Strip(1, '{').Strip(2, '}'), "x");
  EXPECT_EQ(s, "  a b  ");  // a copy: the text itself is unchanged
}

TEST(UnicodeStringTest, SubStringAndRemoveClipToTheText) {
  KezUnicodeString s("abcdef");
  EXPECT_EQ(s.SubString(1, 3), "bcd");
  EXPECT_EQ(s.SubString(4, 100), "ef");
  EXPECT_EQ(s.SubString(6, 1), "");
  EXPECT_EQ(s.SubString(-2, 4), "ab");
  EXPECT_EQ(s.SubString(2, 0), "");
  EXPECT_EQ(s.SubString(2, -1), "");

  KezUnicodeString t("abc");
  t.Remove(0, 1);
  EXPECT_EQ(t, "bc");
  t.Remove(t.GetLengthInChar() - 1, 1);
  EXPECT_EQ(t, "b");
  t.Remove(5, 1);
  t.Remove(-1, 1);
  EXPECT_EQ(t, "b");
  t.Remove(0, 10);
  EXPECT_EQ(t, "");
  t.Remove(t.GetLengthInChar() - 1, 1);  // on an empty text: nothing
  EXPECT_EQ(t, "");
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

TEST(UnicodeStringTest, RepeatedCharacterConstructorAndAppend) {
  EXPECT_EQ(KezUnicodeString(KezUnicodeChar('x'), 3), "xxx");
  EXPECT_EQ(KezUnicodeString(KezUnicodeChar('x'), -2), "");
  EXPECT_EQ(KezUnicodeString(KezUnicodeChar(), 2), "");
  KezUnicodeString s;
  s.Append("a").Append(KezUnicodeString("b")).Append('c').Append(KezUnicodeChar());
  EXPECT_EQ(s, "abc");
  s = static_cast<const char*>(nullptr);
  EXPECT_TRUE(s.IsEmpty());
}

}  // namespace
