// The data-path syntax: kinds of path, splitting at ':' outside brackets,
// blank stripping, bracket and component errors, and '#' expansion.
#include <string>
#include <vector>

#include "result/TraceCapture.h"
#include "support/KezTestSupport.h"

namespace {

using kez::test::CountError;
using kez::test::Errors;

const char kClosed[] = "ERROR: INVALID DATAPATH - Too many closed brackets\n";
const char kOpened[] = "ERROR: INVALID DATAPATH - Too many opened brackets\n";
const char kPattern[] = "ERROR: INVALID DATAPATH - Too many pattern between ':'\n";

struct Parsed {
  std::vector<std::string> parts;  // the six components
  std::string type;
};

class DataPathTest : public kez::test::KezTest {
 protected:
  // Parses path with every output preset to "?" so that untouched outputs
  // show.
  static Parsed Parse(const std::string& path) {
    KezUnicodeString out[7] = {"?", "?", "?", "?", "?", "?", "?"};
    KezDcQrQResult::ParseDataPath(path.c_str(), out[0], out[1], out[2], out[3], out[4], out[5], out[6]);
    Parsed p;
    for (int k = 0; k < 6; ++k) p.parts.push_back(out[k].Std());
    p.type = out[6].Std();
    return p;
  }
  static std::vector<std::string> Parts(std::initializer_list<std::string> first) {
    std::vector<std::string> parts(first);
    parts.resize(6);
    return parts;
  }
  static void NewVariable(const char* name, const char* text) {
    KezUnicodeString type = "Variable";
    KezDcQrQResult::NewQR(name, text, "", "", "", "", type);
  }
};

TEST_F(DataPathTest, ConstantKeepsItsQuotesAndLeavesTheOtherOutputs) {
  Parsed p = Parse("\"north\"");
  EXPECT_EQ(p.type, "Constant");
  EXPECT_EQ(p.parts, (std::vector<std::string>{"\"north\"", "?", "?", "?", "?", "?"}));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(DataPathTest, HashAndDollarBothNameVariablesWithTheirMarker) {
  Parsed hash = Parse("#rate");
  Parsed dollar = Parse("$rate");
  EXPECT_EQ(hash.type, "Variable");
  EXPECT_EQ(hash.parts[0], "#rate");
  EXPECT_EQ(hash.parts[1], "?");
  EXPECT_EQ(dollar.type, "Variable");
  EXPECT_EQ(dollar.parts[0], "$rate");
  EXPECT_TRUE(Errors().empty());
}

TEST_F(DataPathTest, TypeFollowsTheNumberOfComponents) {
  const char* const paths[] = {"@sales", "@sales:main", "@sales:main:orders", "@sales:main:orders:amount",
                               "@sales:main:orders:amount:20", "@sales:main:orders:amount:20:amount"};
  const char* const types[] = {"DataSource", "Session", "Rowset", "Accessor", "Data", "Cell"};
  const std::vector<std::string> all = {"@sales", "main", "orders", "amount", "20", "amount"};
  for (int k = 0; k < 6; ++k) {
    Parsed p = Parse(paths[k]);
    EXPECT_EQ(p.type, types[k]) << paths[k];
    std::vector<std::string> expected(all.begin(), all.begin() + k + 1);
    expected.resize(6);
    EXPECT_EQ(p.parts, expected) << paths[k];
  }
  EXPECT_TRUE(Errors().empty());
}

TEST_F(DataPathTest, LeadingBlankIsReportedButThePathIsStillParsed) {
  Parsed p = Parse("  @sales : main  ");
  EXPECT_EQ(p.type, "Session");
  EXPECT_EQ(p.parts, Parts({"@sales", "main"}));
  EXPECT_EQ(Errors(), (std::vector<std::string>{"ERROR: Invalid DataPath=  @sales : main   \n"}));
}

TEST_F(DataPathTest, BlanksInsideAComponentRemain) {
  Parsed p = Parse("@ sales:my main: x y ");
  EXPECT_EQ(p.type, "Rowset");
  EXPECT_EQ(p.parts, Parts({"@ sales", "my main", "x y"}));
}

TEST_F(DataPathTest, OtherFirstCharactersAreInvalidAndChangeNothing) {
  for (const char* path : {"", "sales:main", "(x)", "  "}) {
    KezDcCMError::ClearErrors();
    Parsed p = Parse(path);
    EXPECT_EQ(p.type, "?") << path;
    EXPECT_EQ(p.parts, (std::vector<std::string>(6, "?"))) << path;
    EXPECT_EQ(Errors(), (std::vector<std::string>{std::string("ERROR: Invalid DataPath=") + path + " \n"}));
  }
}

TEST_F(DataPathTest, SubQueryComponentsStayAsWritten) {
  Parsed p = Parse("@sales:main:[#table]:amount:20:amount");
  EXPECT_EQ(p.type, "Cell");
  EXPECT_EQ(p.parts, Parts({"@sales", "main", "[#table]", "amount", "20", "amount"}));
  Parsed d = Parse("@$base:$sess");
  EXPECT_EQ(d.parts, Parts({"@$base", "$sess"}));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(DataPathTest, ColonInsideBracketsDoesNotSplit) {
  Parsed p = Parse("@sales:[@conf:main:params:value:1:value]:orders");
  EXPECT_EQ(p.type, "Rowset");
  EXPECT_EQ(p.parts, Parts({"@sales", "[@conf:main:params:value:1:value]", "orders"}));
  Parsed nested = Parse("@a:[x:[y:z]:w]:c");
  EXPECT_EQ(nested.parts, Parts({"@a", "[x:[y:z]:w]", "c"}));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(DataPathTest, UnclosedBracketTakesTheRestOfThePath) {
  Parsed p = Parse("@sales:main:[orders");
  EXPECT_EQ(p.type, "Rowset");
  EXPECT_EQ(p.parts, Parts({"@sales", "main", "[orders"}));
  EXPECT_EQ(Errors(), (std::vector<std::string>{kOpened}));

  KezDcCMError::ClearErrors();
  Parsed q = Parse("@sales:[main:orders:x");
  EXPECT_EQ(q.type, "Session");
  EXPECT_EQ(q.parts, Parts({"@sales", "[main:orders:x"}));
  EXPECT_EQ(Errors(), (std::vector<std::string>{kOpened}));
}

TEST_F(DataPathTest, ClosedBracketWithoutOpeningDropsTheRest) {
  Parsed p = Parse("@sales]x:main");
  EXPECT_EQ(p.type, "DataSource");
  EXPECT_EQ(p.parts, Parts({"@sales"}));
  EXPECT_EQ(CountError(kClosed), 7);
  EXPECT_EQ(Errors().size(), 7u);
}

TEST_F(DataPathTest, OpeningBracketThatRestoresTheDepthIsKept) {
  // ']' lowers the depth to -1 and "x" is dropped with it; the '[' that
  // brings it back to 0 is kept. The path is then parsed again without the
  // dropped characters, where that '[' opens a bracket never closed.
  Parsed p = Parse("@a:b]x[c:d");
  EXPECT_EQ(Errors(), (std::vector<std::string>{kClosed, kClosed, kOpened}));
  EXPECT_EQ(p.type, "Session");
  EXPECT_EQ(p.parts, Parts({"@a", "b[c:d"}));
}

TEST_F(DataPathTest, SeventhComponentIsDroppedCharacterByCharacter) {
  Parsed p = Parse("@a:b:c:d:e:f:g");
  EXPECT_EQ(p.type, "Cell");
  EXPECT_EQ(p.parts, Parts({"@a", "b", "c", "d", "e", "f"}));
  EXPECT_EQ(Errors(), (std::vector<std::string>{kPattern}));

  KezDcCMError::ClearErrors();
  Parsed q = Parse("@a:b:c:d:e:f:gh:ij");
  EXPECT_EQ(q.type, "Cell");
  EXPECT_EQ(CountError(kPattern), 4);
  EXPECT_EQ(Errors().size(), 4u);
}

TEST_F(DataPathTest, BareMarkerIsAPlainDataSource) {
  Parsed p = Parse("@");
  EXPECT_EQ(p.type, "DataSource");
  EXPECT_EQ(p.parts, Parts({"@"}));
  Parsed q = Parse("@:x");
  EXPECT_EQ(q.type, "Session");
  EXPECT_EQ(q.parts, Parts({"@", "x"}));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(DataPathTest, HashDataSourceExpandsToTheVariableText) {
  NewVariable("#base", "\"sales\"");
  Parsed p = Parse("@#base:main");
  EXPECT_EQ(p.type, "Session");
  EXPECT_EQ(p.parts, Parts({"@sales", "main"}));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(DataPathTest, TraceShowsEveryParseThenItsResults) {
  NewVariable("#base", "sales");
  kez::test::TraceCapture capture(&KezDcQrQResult::sp_Trace, 2);
  Parse("@#base:main");
  capture.Stop();
  std::string results =
      "=-->> QrQResult::ParseDataPath: TYPE      =<Session>\n"
      "=-->> QrQResult::ParseDataPath: DataSource=<@sales>\n"
      "=-->> QrQResult::ParseDataPath: Session   =<main>\n"
      "=-->> QrQResult::ParseDataPath: Rowset    =<>\n"
      "=-->> QrQResult::ParseDataPath: Accessor  =<>\n"
      "=-->> QrQResult::ParseDataPath: DataBlock =<>\n"
      "=-->> QrQResult::ParseDataPath: Cell      =<>\n";
  EXPECT_EQ(capture.Text(),
            "=-->> QrQResult::ParseDataPath: iDataPath=@#base:main \n"
            "=-->> QrQResult::ParseDataPath: iDataPath=@sales:main \n" +
                results + results);
}

TEST_F(DataPathTest, UnknownHashDataSourceLosesItsMarker) {
  Parsed p = Parse("@#base:main");
  EXPECT_EQ(p.type, "Session");
  EXPECT_EQ(p.parts, Parts({"#base", "main"}));
  EXPECT_EQ(Errors(), (std::vector<std::string>{"ERROR: IMPOSSIBLE TO EXPAND <#base> ! \n",
                                                "ERROR: Invalid DataPath=:main \n"}));
}

TEST_F(DataPathTest, UnknownHashComponentBecomesEmpty) {
  Parsed p = Parse("@sales:#sess");
  EXPECT_EQ(p.type, "Session");
  EXPECT_EQ(p.parts, Parts({"@sales", ""}));
  EXPECT_EQ(Errors(), (std::vector<std::string>{"ERROR: IMPOSSIBLE TO EXPAND <#sess> ! \n"}));
}

TEST_F(DataPathTest, HashComponentsExpandStringIntAndDoubleVariables) {
  NewVariable("#sess", "main");
  KezDcQrQResult::NewQResult("#rows");  // an int variable, 0
  static_cast<KezDcQrQRVariable*>(KezDcQrQResult::QRHTab->Locate("#rows"))->Affect(20);
  new KezDcQrQRVariable("#price", 2.5);  // registers itself; the fixture deletes it
  Parsed p = Parse("@sales : #sess:orders:#price:#rows:amount");
  EXPECT_EQ(p.type, "Cell");
  EXPECT_EQ(p.parts, Parts({"@sales", "main", "orders", "2.500000e+00", "20", "amount"}));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(DataPathTest, ExpansionIntoMoreComponentsIsParsedAgain) {
  NewVariable("#tail", "orders:amount");
  Parsed p = Parse("@sales:main:#tail");
  EXPECT_EQ(p.type, "Accessor");
  EXPECT_EQ(p.parts, Parts({"@sales", "main", "orders", "amount"}));
}

TEST_F(DataPathTest, NonVariableUnderAHashNameIsNotExpanded) {
  KezUnicodeString type = "DataSource";
  KezDcQrQResult::NewQR("#odd", "", "", "", "", "", type);  // a data source node keyed "#odd"
  Parsed p = Parse("@x:#odd");
  EXPECT_EQ(p.parts, Parts({"@x", ""}));
  EXPECT_EQ(Errors(), (std::vector<std::string>{"ERROR: IMPOSSIBLE TO EXPAND <#odd> ! \n"}));
}

TEST_F(DataPathTest, VariablesReferringToEachOtherStopWithOneError) {
  NewVariable("#a", "#b");
  NewVariable("#b", "#a");
  Parsed p = Parse("@x:#a");
  EXPECT_EQ(p.type, "Session");
  EXPECT_EQ(Errors(), (std::vector<std::string>{
                          "ERROR: IMPOSSIBLE TO EXPAND DATAPATH <@x:#a>: IT STILL CHANGES AFTER 32 EXPANSIONS ! \n"}));
}

TEST_F(DataPathTest, SelfReferenceThatDoesNotChangeStopsAtOnce) {
  NewVariable("#self", "#self");
  Parsed p = Parse("@x:#self");
  EXPECT_EQ(p.parts, Parts({"@x", "#self"}));
  EXPECT_TRUE(Errors().empty());
}

}  // namespace
