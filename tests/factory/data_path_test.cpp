// The data-path syntax: kinds of path, splitting at ':' outside brackets,
// blank stripping, bracket and component errors, and '#' expansion.
#include <string>
#include <utility>
#include <vector>

#include "support/KezTestSupport.h"

namespace {

using kez::test::Errors;
using Strings = std::vector<std::string>;

const char kClosed[] = "ERROR: INVALID DATAPATH - Too many closed brackets\n";
const char kOpened[] = "ERROR: INVALID DATAPATH - Too many opened brackets\n";
const char kPattern[] = "ERROR: INVALID DATAPATH - Too many pattern between ':'\n";

class DataPathTest : public kez::test::KezTest {
 protected:
  // "<type>: <components joined by '|'>", trailing empty components left
  // out; every output starts as "?" so that untouched outputs show.
  static std::string Parse(const std::string& path) {
    KezUnicodeString out[7] = {"?", "?", "?", "?", "?", "?", "?"};
    KezDcQrQResult::ParseDataPath(path.c_str(), out[0], out[1], out[2], out[3], out[4], out[5], out[6]);
    int n = 6;
    while (n > 0 && out[n - 1].IsEmpty()) --n;
    std::string text = out[6].Std() + ":";
    for (int k = 0; k < n; ++k) text += (k ? "|" : " ") + out[k].Std();
    return text;
  }
  static void NewVariable(const char* name, const char* text) {
    KezUnicodeString type = "Variable";
    KezDcQrQResult::NewQR(name, text, "", "", "", "", type);
  }
};

TEST_F(DataPathTest, PathsSplitIntoTypedComponentsWithTheirErrors) {
  struct Case {
    std::string path;
    std::vector<std::pair<const char*, const char*>> variables;  // defined before the parse
    std::string parsed;
    Strings errors;
  };
  const Case cases[] = {
      // A constant keeps its quotes; '#' and '$' both name variables.
      {"\"north\"", {}, "Constant: \"north\"|?|?|?|?|?", {}},
      {"#rate", {}, "Variable: #rate|?|?|?|?|?", {}},
      {"$rate", {}, "Variable: $rate|?|?|?|?|?", {}},
      // The type follows the number of components.
      {"@sales", {}, "DataSource: @sales", {}},
      {"@sales:main", {}, "Session: @sales|main", {}},
      {"@sales:main:orders", {}, "Rowset: @sales|main|orders", {}},
      {"@sales:main:orders:amount", {}, "Accessor: @sales|main|orders|amount", {}},
      {"@sales:main:orders:amount:20", {}, "Data: @sales|main|orders|amount|20", {}},
      {"@sales:main:orders:amount:20:amount", {}, "Cell: @sales|main|orders|amount|20|amount", {}},
      {"@", {}, "DataSource: @", {}},
      {"@:x", {}, "Session: @|x", {}},
      // A leading blank is reported but the path is still parsed; blanks
      // inside a component remain.
      {"  @sales : main  ", {}, "Session: @sales|main", {"ERROR: Invalid DataPath=  @sales : main   \n"}},
      {"@ sales:my main: x y ", {}, "Rowset: @ sales|my main|x y", {}},
      // Other first characters are invalid and change nothing.
      {"", {}, "?: ?|?|?|?|?|?", {"ERROR: Invalid DataPath= \n"}},
      {"sales:main", {}, "?: ?|?|?|?|?|?", {"ERROR: Invalid DataPath=sales:main \n"}},
      {"  ", {}, "?: ?|?|?|?|?|?", {"ERROR: Invalid DataPath=   \n"}},
      // Sub-query components stay as written; no ':' inside brackets splits.
      {"@sales:main:[#table]:amount:20:amount", {}, "Cell: @sales|main|[#table]|amount|20|amount", {}},
      {"@$base:$sess", {}, "Session: @$base|$sess", {}},
      {"@sales:[@conf:main:params:value:1:value]:orders",
       {},
       "Rowset: @sales|[@conf:main:params:value:1:value]|orders",
       {}},
      {"@a:[x:[y:z]:w]:c", {}, "Rowset: @a|[x:[y:z]:w]|c", {}},
      // An unclosed bracket takes the rest of the path.
      {"@sales:main:[orders", {}, "Rowset: @sales|main|[orders", {kOpened}},
      {"@sales:[main:orders:x", {}, "Session: @sales|[main:orders:x", {kOpened}},
      // A ']' without its '[' drops the rest, one error per character.
      {"@sales]x:main", {}, "DataSource: @sales", Strings(7, kClosed)},
      // ']' lowers the depth to -1 and "x" is dropped with it; the '[' that
      // brings it back to 0 is kept. The path is then parsed again without
      // the dropped characters, where that '[' opens a bracket never closed.
      {"@a:b]x[c:d", {}, "Session: @a|b[c:d", {kClosed, kClosed, kOpened}},
      // A seventh component is dropped character by character.
      {"@a:b:c:d:e:f:g", {}, "Cell: @a|b|c|d|e|f", {kPattern}},
      {"@a:b:c:d:e:f:gh:ij", {}, "Cell: @a|b|c|d|e|f", Strings(4, kPattern)},
      // '#' components expand to the variable's text, which is parsed again.
      {"@#base:main", {{"#base", "\"sales\""}}, "Session: @sales|main", {}},
      {"@sales:main:#tail", {{"#tail", "orders:amount"}}, "Accessor: @sales|main|orders|amount", {}},
      {"@#base:main",
       {},
       "Session: #base|main",
       {"ERROR: IMPOSSIBLE TO EXPAND <#base> ! \n", "ERROR: Invalid DataPath=:main \n"}},
      {"@sales:#sess", {}, "Session: @sales", {"ERROR: IMPOSSIBLE TO EXPAND <#sess> ! \n"}},
      // Variables naming each other stop with one error; a self-reference
      // that does not change stops at once.
      {"@x:#a",
       {{"#a", "#b"}, {"#b", "#a"}},
       "Session: @x|#b",
       {"ERROR: IMPOSSIBLE TO EXPAND DATAPATH <@x:#a>: IT STILL CHANGES AFTER 32 EXPANSIONS ! \n"}},
      {"@x:#self", {{"#self", "#self"}}, "Session: @x|#self", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("<" + c.path + ">");
    KezDcQrQResult::DeleteAllQResult();
    KezDcCMError::ClearErrors();
    for (const auto& [name, text] : c.variables) NewVariable(name, text);
    EXPECT_EQ(Parse(c.path), c.parsed);
    EXPECT_EQ(Errors(), c.errors);
  }
}

TEST_F(DataPathTest, HashComponentsExpandStringIntAndDoubleVariables) {
  NewVariable("#sess", "main");
  KezDcQrQResult::NewQResult("#rows");  // an int variable, 0
  static_cast<KezDcQrQRVariable*>(KezDcQrQResult::QRHTab->Locate("#rows"))->Affect(20);
  new KezDcQrQRVariable("#price", 2.5);  // registers itself; the fixture deletes it
  EXPECT_EQ(Parse("@sales : #sess:orders:#price:#rows:amount"), "Cell: @sales|main|orders|2.500000e+00|20|amount");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(DataPathTest, NonVariableUnderAHashNameIsNotExpanded) {
  KezUnicodeString type = "DataSource";
  KezDcQrQResult::NewQR("#odd", "", "", "", "", "", type);  // a data source node keyed "#odd"
  EXPECT_EQ(Parse("@x:#odd"), "Session: @x");
  EXPECT_EQ(Errors(), Strings{"ERROR: IMPOSSIBLE TO EXPAND <#odd> ! \n"});
}

}  // namespace
