// The foundation services: the text type, collections and the dictionary
// behind every registry, the error collector, trace channels, and the number
// writers and readers beyond the one-line cases of
// tests/language/cases/format.test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

#include "foundation/KezCFormat.h"
#include "foundation/KezDcCMError.h"
#include "foundation/KezHashDico.h"
#include "foundation/KezListValKezUnicodeString.h"
#include "foundation/KezRawColl.h"
#include "foundation/KezTrace.h"
#include "nodes/base/KezDcQrQResult.h"

namespace {

using Strings = std::vector<std::string>;

// Texts are octet strings: UTF-8 passes through, one octet per position,
// and past the end is the empty character, which equals no octet.
TEST(UnicodeStringTest, TextsCompareByContentIndexOctetsAndClipToTheText) {
  KezUnicodeString s("abc");
  char buffer[] = "abc";  // a different address holding the same text
  EXPECT_TRUE(s == buffer && buffer == s && !(s != buffer) && s != "ab" && "abcd" != s);
  const char* null_text = nullptr;
  EXPECT_TRUE(KezUnicodeString() == "" && KezUnicodeString() == null_text && s == KezUnicodeString(std::string(s)));
  KezUnicodeChar c('Y');
  EXPECT_TRUE(c == 'Y' && 'Y' == c && c != 'N' && KezUnicodeChar('\0') == '\0');
  KezUnicodeString t("\xC3\xA9t\xC3\xA9");
  EXPECT_TRUE(t.GetLengthInChar() == 5 && t[0] == '\xC3' && t[5].IsEmpty() && t[-1].IsEmpty() && t[5] != '\0');
  EXPECT_TRUE(KezUnicodeString()[0] == KezUnicodeChar());
  t.Append(KezUnicodeChar('\xB0'));
  EXPECT_EQ(std::string(t.ConvertToChar()), "\xC3\xA9t\xC3\xA9\xB0");
  EXPECT_EQ(KezUnicodeString(KezUnicodeChar('\xFF'), 1).Std(), "\xFF");
  EXPECT_EQ(KezUnicodeString(KezUnicodeChar('x'), 3), "xxx");
  EXPECT_TRUE(KezUnicodeString(KezUnicodeChar('x'), -2) == "" && KezUnicodeString(KezUnicodeChar(), 2) == "");
  KezUnicodeString u;
  u.Append("a").Append(KezUnicodeString("b")).Append('c').Append(KezUnicodeChar());
  EXPECT_EQ(u, "abc");
  u = null_text;
  EXPECT_TRUE(u.IsEmpty());
  // Strip, SubString and Remove clip to the text.
  s = "  a b  ";
  EXPECT_TRUE(s.Strip(1, ' ') == "a b  " && s.Strip(2, ' ') == "  a b" && s.Strip(3, ' ') == "  a b  ");
  EXPECT_TRUE(KezUnicodeString("\t a").Strip(1, ' ') == "\t a" && KezUnicodeString("   ").Strip(1, ' ') == "");
  EXPECT_EQ(KezUnicodeString("{x}").Strip(1, '{').Strip(2, '}'), "x");
  EXPECT_EQ(s, "  a b  ");  // a copy: the text itself is unchanged
  t = "abcdef";
  const int cuts[][2] = {{1, 3}, {4, 100}, {6, 1}, {-2, 4}, {2, 0}, {2, -1}};
  const char* const pieces[] = {"bcd", "ef", "", "ab", "", ""};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(t.SubString(cuts[k][0], cuts[k][1]), pieces[k]) << k;
  KezUnicodeString r("abc");
  for (int at : {0, 1, 5, -1}) r.Remove(at, 1);  // the first, the last, then outside
  EXPECT_EQ(r, "b");
  r.Remove(0, 10);
  r.Remove(r.GetLengthInChar() - 1, 1);  // on an empty text: nothing
  EXPECT_EQ(r, "");
}

// Decimals are read like scanf reads them, saturating on overflow; a text
// that is no number yields 0.
TEST(UnicodeStringTest, ConvertToNumReadsDecimalsLikeScanfAndSaturates) {
  const std::string many(1000, '9');
  const std::pair<std::string, int> numbers[] = {{"42", 42},
                                                 {" \t-17xyz", -17},
                                                 {"+5", 5},
                                                 {"0x10", 0},
                                                 {"2147483648", INT_MAX},
                                                 {many, INT_MAX},
                                                 {"-" + many, INT_MIN},
                                                 {"-2147483649", INT_MIN}};
  for (const auto& [text, value] : numbers) {
    int n = 99;
    EXPECT_EQ(KezUnicodeString(text).ConvertToNum(&n, "%d"), 1) << text.substr(0, 12);
    EXPECT_EQ(n, value) << text.substr(0, 12);
  }
  for (const char* text : {"", "abc", "-", "+", "- 5", " ", "[20]", "$n"}) {
    int n = 99;
    EXPECT_TRUE(KezUnicodeString(text).ConvertToNum(&n, "%d") == 0 && n == 0) << text;
  }
  unsigned long u = 7;
  KezUnicodeString("4000000000").ConvertToNum(&u, "%lu");
  EXPECT_EQ(u, 4000000000UL);
  KezUnicodeString(std::string(40, '9')).ConvertToNum(&u, "%lu");
  EXPECT_EQ(u, ULONG_MAX);
}

// Pointers, ints and doubles share one template: the pointer and int
// instances stand for all three. The typed lists of nodes never touch the
// nodes: plain addresses serve.
TEST(CollectionTest, OneBasedListsRemoveByValueAndPositionAndCopyIndependently) {
  std::vector<int> values(9);
  KezRawCollPV coll(0);
  for (int& v : values) coll.Append(&v);
  EXPECT_TRUE(coll[0] == nullptr && coll[10] == nullptr);
  for (int k : {4, 0, 8, 5, 1, 7, 3, 6, 2}) {  // the middle, both ends, the rest
    EXPECT_TRUE(coll.RemoveValue(&values[k]) == 1 && coll.RemoveValue(&values[k]) == 0) << k;
    for (int i = 1; i <= coll.Size(); ++i) EXPECT_NE(coll[i], &values[k]);
  }
  EXPECT_EQ(coll.Size(), 0);
  KezRawCollint ints;
  for (int v : {10, 20, 30}) ints.Append(v);
  EXPECT_TRUE(ints.RemovePosition(2) == 1 && ints.RemovePosition(0) == 0 && ints.RemovePosition(3) == 0);
  EXPECT_TRUE(ints[2] == 30 && ints[3] == 0);
  KezRawCollint copy(ints), assigned;
  copy.Append(40);
  assigned = copy;
  assigned.RemovePosition(1);
  EXPECT_TRUE(ints.Size() == 2 && copy.Size() == 3 && assigned[1] == 30 && assigned[2] == 40);
  assigned.RemoveAll(1);
  EXPECT_EQ(assigned.Size(), 0);
  KezListValKezUnicodeString texts;
  for (const char* text : {"a", "b", "c"}) texts.Append(text);
  EXPECT_TRUE(texts[0] == "" && texts[4] == "" && texts.RemovePosition(2) == 1 && texts.RemovePosition(3) == 0);
  EXPECT_EQ(texts[2], "c");
  texts.RemoveAll(1);
  EXPECT_EQ(texts.Size(), 0);
  std::vector<char> storage(3);
  auto node = [&](int k) { return reinterpret_cast<KezDcQrQResult*>(&storage[k]); };
  KezListPtrKezDcQrQResult nodes(0);
  for (int k = 0; k < 3; ++k) nodes.Append(node(k));
  KezListPtrKezDcQrQResult node_copy(nodes);
  EXPECT_EQ(node_copy.RemoveValue(node(1)), 1);
  KezListPtrKezDcQrQResult& same = nodes;
  nodes = same;  // self-assignment keeps the entries
  EXPECT_EQ(nodes.Size(), 3);
  nodes = node_copy;
  ASSERT_EQ(nodes.Size(), 2);
  EXPECT_EQ(nodes[2], node(2));
}

KezUnicodeString Key(int k) {
  return KezUnicodeString(("k" + std::to_string(k)).c_str());
}
Strings Keys(KezHashDico& dico) {
  int i = 1, j = 0;
  KezUnicodeString key;
  Strings keys;
  while (dico.Next(i, j, &key)) keys.push_back(key.Std());
  return keys;
}

TEST(HashDicoTest, InsertReplacesRemoveReportsAndCopiesStayIndependent) {
  KezHashDico dico(100);
  int values[3] = {}, other = 0;
  for (int k = 0; k < 3; ++k) dico.Insert(Key(k), &values[k]);
  dico.Insert("k1", &other);
  EXPECT_EQ(dico.Locate("k1"), &other);
  EXPECT_EQ(Keys(dico), (Strings{"k0", "k1", "k2"}));
  EXPECT_TRUE(dico.Remove("absent") == 0 && dico.Remove("k0") == 1 && dico.Remove("k0") == 0);
  EXPECT_EQ(dico.Locate("k0"), nullptr);
  EXPECT_EQ(dico.Remove("k2", &other), 0);  // the key holds another value
  KezHashDico copy(dico);
  EXPECT_TRUE(dico.Remove("k2", &values[2]) == 1 && dico.Size() == 1);
  KezHashDico assigned(10);
  assigned = copy;
  EXPECT_TRUE(assigned.Size() == 2 && assigned.Locate("k2") == &values[2]);
}

// What ApplyDelete relies on: each value taken removes itself and others,
// ahead of and behind the walk, and a removed value is never yielded. A walk
// passes over a null value, and insertion after many removals may compact
// the holes without losing an entry.
TEST(HashDicoTest, WalksSurviveRemovalsAndCompaction) {
  const int n = 2000;
  std::vector<int> values(n);
  KezHashDico dico(100);
  for (int k = 0; k < n; ++k) dico.Insert(Key(k), &values[k]);
  std::set<int> removed, yielded;
  int i = 1, j = 0;
  while (void* v = dico.Next(i, j, nullptr)) {
    int k = static_cast<int>(static_cast<int*>(v) - values.data());
    EXPECT_TRUE(removed.count(k) == 0 && yielded.insert(k).second) << k;
    for (int gone : {k, k + 1, k + 7, n - 1 - k, k / 2}) {
      if (gone >= n) continue;
      dico.Remove(Key(gone));
      removed.insert(gone);
    }
  }
  EXPECT_TRUE(dico.Size() == 0 && removed.size() == static_cast<std::size_t>(n));
  for (int k = 0; k < 200; ++k) dico.Insert(Key(k), &values[k]);
  for (int k = 0; k < 200; k += 2) dico.Remove(Key(k));
  dico.Insert("late", &values[0]);
  dico.Insert("null", nullptr);
  dico.Insert("after", &values[0]);
  for (int k = 1; k < 200; k += 2) EXPECT_EQ(dico.Locate(Key(k)), &values[k]);
  Strings keys = Keys(dico);
  EXPECT_TRUE(keys.size() == 102u && keys.back() == "after");
  i = 1, j = 0;
  ASSERT_NE(dico.Next(i, j, nullptr), nullptr);
  dico.RemoveAll();  // removing everything during a walk ends it
  EXPECT_TRUE(dico.Next(i, j, nullptr) == nullptr && dico.Next(i, j, nullptr) == nullptr);
  KezHashDico never_filled(100);
  i = 1, j = 0;
  EXPECT_EQ(never_filled.Next(i, j, nullptr), nullptr);
}

// Exact printf formatting, 1-based access oldest first, and bounds that
// keep only the newest messages, by count and by bytes.
TEST(ErrorCollectorTest, FormatsExactlyAndKeepsTheNewestWithinItsBounds) {
  KezDcCMError::ClearErrors();
  KezDcCMError::AddError("%d|%5.2f|%e|%x|%%", -7, 3.14159, 1234.5, 255u);
  KezDcCMError::AddError("m\xB0!\xB0m %s", "\xC3\xA9");
  EXPECT_EQ(KezDcCMError::GetError(1).Std(), "-7| 3.14|1.234500e+03|ff|%");
  EXPECT_EQ(KezDcCMError::GetError(2).Std(), "m\xB0!\xB0m \xC3\xA9");
  for (int outside : {0, 3, -1}) EXPECT_EQ(KezDcCMError::GetError(outside), "") << outside;
  for (int k = 3; k <= KezDcCMError::kMaxErrors + 250; ++k) KezDcCMError::AddError("message %d\n", k);
  EXPECT_TRUE(KezDcCMError::GetNbErrors() == 1000 && KezDcCMError::GetNbDropped() == 250);
  EXPECT_TRUE(KezDcCMError::GetError(1) == "message 251\n" && KezDcCMError::GetError(1000) == "message 1250\n");
  KezDcCMError::ClearErrors();
  EXPECT_TRUE(KezDcCMError::GetNbErrors() == 0 && KezDcCMError::GetNbDropped() == 0);
  std::string huge(KezDcCMError::kMaxMessageBytes * 2, 'x');
  KezDcCMError::AddError("%s", huge.c_str());
  EXPECT_EQ(KezDcCMError::GetError(1).GetLengthInChar(), KezDcCMError::kMaxMessageBytes);
  const int fit = KezDcCMError::kMaxBytes / KezDcCMError::kMaxMessageBytes;
  for (int k = 0; k < fit + 5; ++k) KezDcCMError::AddError("%s", huge.c_str());
  EXPECT_TRUE(KezDcCMError::GetNbErrors() == fit && KezDcCMError::GetNbDropped() == 6);
  KezDcCMError::ClearErrors();
}

int evaluations = 0;
const char* Observed() {
  ++evaluations;
  return "evaluated";
}

// A channel evaluates no argument of a line above its level (at level 0, of
// any line) and writes the lines up to its level with exact bytes, Latin-1
// markers as single octets.
TEST(TraceTest, WritesLinesUpToTheChannelLevelAndEvaluatesNothingAbove) {
  std::string path = ::testing::TempDir() + "kez_trace_test_" + std::to_string(::getpid()) + ".txt";
  std::remove(path.c_str());
  {
    KezTrace channel("TraceFile", "file", 0, path.c_str(), 16);
    KEZ_TRA(&channel, 0, "%s\n", Observed());
    KEZ_TRA(static_cast<KezTrace*>(nullptr), 2, "%s\n", Observed());
    channel.SetLevel(4);
    channel.TraPrint(2, "IN->> QrQuery::DoQuery <%s (%s [,%s])> \n", "Get", "1+2", "");
    channel.TraPrint(6, "not written\n");
    KEZ_TRA(&channel, 8, "not written either %s\n", Observed());
    EXPECT_EQ(evaluations, 0);
    KEZ_TRA(&channel, 4, "%s\n", Observed());
    EXPECT_EQ(evaluations, 1);
    channel.TraPrint(3, "a long line %s\n", std::string(3000, 'z').c_str());  // longer than the size argument
    channel.TraPrint(2, "m\xB0!\xB0m *\xA3* %s\n", "\xB5s");
  }
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
            "IN->> QrQuery::DoQuery <Get (1+2 [,])> \nevaluated\na long line " + std::string(3000, 'z') +
                "\nm\xB0!\xB0m *\xA3* \xB5s\n");
  std::remove(path.c_str());
}

// Levels come from KEZ_TRACE once, when the channel is created; channels
// are found by name, and the library's own exist from start-up.
TEST(TraceTest, LevelsComeFromTheEnvironmentAndChannelsAreFoundByName) {
  const char kList[] = "EnvA=3,EnvB=5,junk,EnvC=";
  const struct {
    const char* env;
    const char* channel;
    int level;
  } cases[] = {{kList, "EnvB", 5},        {kList, "EnvC", 0},        {kList, "EnvOther", 0},
               {"*=4,EnvD=6", "EnvD", 6}, {"*=4,EnvD=6", "EnvE", 4}, {"EnvF=6,*=2", "EnvF", 2}};
  for (const auto& c : cases) {
    ::setenv("KEZ_TRACE", c.env, 1);
    KezTrace channel(c.channel, "", 0, "STDERR", 1024);
    EXPECT_EQ(channel.GetLevel(), c.level) << c.env << " " << c.channel;
  }
  ::setenv("KEZ_TRACE", kList, 1);
  KezTrace a("EnvA", "comment A", 0, "STDERR", 1024);
  ::setenv("KEZ_TRACE", "EnvA=9", 1);
  EXPECT_EQ(a.GetLevel(), 3);
  ::unsetenv("KEZ_TRACE");
  EXPECT_TRUE(KezTrace::Find("EnvA") == &a && KezTrace::Find("NoSuchChannel") == nullptr);
  EXPECT_STREQ(a.GetComment(), "comment A");
  EXPECT_EQ(KezTrace::SetLevelOf("EnvA", 7), 1);
  EXPECT_TRUE(a.GetLevel() == 7 && a.IsActive(7) && !a.IsActive(8));
  a.SetLevel(-3);
  EXPECT_TRUE(a.GetLevel() == 0 && !a.IsActive(0));
  ASSERT_NE(KezTrace::Find("TraceQResult"), nullptr);
  EXPECT_STREQ(KezTrace::Find("TraceQuery")->GetComment(), "Trace des Queries");
}

// "%e" with the fewest digits, at least six, that read back (compared with
// printf over random doubles); "%d" as printf.
TEST(CFormatTest, FormatEWritesTheFewestDigitsThatReadBackAndFormatDAsPrintf) {
  std::mt19937_64 random(20261207);
  for (int k = 0; k < 20000; ++k) {
    uint64_t bits = random();
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    if (!std::isfinite(d)) continue;
    int digits = 6;
    while (std::strtod(kez::Format("%.*e", digits, d).c_str(), nullptr) != d) ++digits;
    ASSERT_EQ(kez::FormatE(d), kez::Format("%.*e", digits, d));
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
  EXPECT_TRUE(kez::DecimalValue("0x1F", &whole) == 0.0 && kez::DecimalValue("INFINITY", &whole) == 0.0);
  EXPECT_EQ(kez::DecimalValue("-2.5e2", &whole), -250.0);
  EXPECT_TRUE(whole);
}

// A number under a picture longer than 254 characters is the start of what
// printf would have written, whatever mix of width and precision is asked.
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
