// Trace channels: levels, the cost of a channel that is off, exact bytes
// written to a file, and levels taken from KEZ_TRACE at creation.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "foundation/KezTrace.h"

namespace {

int evaluations = 0;
const char* Observed() {
  ++evaluations;
  return "evaluated";
}

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = ::testing::TempDir() + "kez_trace_test_" + std::to_string(::getpid()) + ".txt";
    std::remove(path_.c_str());
    evaluations = 0;
  }
  void TearDown() override {
    std::remove(path_.c_str());
    ::unsetenv("KEZ_TRACE");
  }
  std::string path_;
};

// A channel evaluates no argument of a line above its level (at level 0,
// of any line) and writes the lines up to its level with exact bytes.
TEST_F(TraceTest, WritesLinesUpToTheChannelLevelAndEvaluatesNothingAbove) {
  {
    KezTrace channel("TraceFile", "file", 0, path_.c_str(), 16);
    KEZ_TRA(&channel, 0, "%s\n", Observed());
    KEZ_TRA(&channel, 2, "%s\n", Observed());
    KEZ_TRA(static_cast<KezTrace*>(nullptr), 2, "%s\n", Observed());
    EXPECT_EQ(evaluations, 0);
    channel.SetLevel(4);
    channel.TraPrint(2, "IN->> QrQuery::DoQuery <%s (%s [,%s])> \n", "Get", "1+2", "");
    channel.TraPrint(4, "comma=%d\n", -1);
    channel.TraPrint(6, "not written\n");
    KEZ_TRA(&channel, 8, "not written either %s\n", Observed());
    EXPECT_EQ(evaluations, 0);
    KEZ_TRA(&channel, 4, "%s\n", Observed());
    EXPECT_EQ(evaluations, 1);
    channel.TraPrint(3, "a long line %s\n", std::string(3000, 'z').c_str());  // longer than the size argument
    channel.TraPrint(2, "m\xB0!\xB0m OK QUERY <%s> EXISTS\n", "Get(x)");      // Latin-1 markers are single octets
    channel.TraPrint(2, "*\xA3* %s\n", "\xB5s");
  }
  std::string expected = "IN->> QrQuery::DoQuery <Get (1+2 [,])> \ncomma=-1\nevaluated\na long line " +
                         std::string(3000, 'z') + "\nm\xB0!\xB0m OK QUERY <Get(x)> EXISTS\n*\xA3* \xB5s\n";
  std::ifstream in(path_, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), expected);
}

TEST_F(TraceTest, LevelsComeFromTheEnvironmentWhenTheChannelIsCreated) {
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
  KezTrace a("EnvA", "", 0, "STDERR", 1024);
  ::setenv("KEZ_TRACE", "EnvA=9", 1);
  EXPECT_EQ(a.GetLevel(), 3);  // read once, at creation
}

TEST_F(TraceTest, ChannelsAreFoundByNameAndSetTogether) {
  KezTrace g("FindG", "comment G", 0, "STDERR", 1024);
  EXPECT_EQ(KezTrace::Find("FindG"), &g);
  EXPECT_STREQ(g.GetComment(), "comment G");
  EXPECT_EQ(KezTrace::Find("NoSuchChannel"), nullptr);
  EXPECT_EQ(KezTrace::SetLevelOf("FindG", 7), 1);
  EXPECT_TRUE(g.GetLevel() == 7 && g.IsActive(7) && !g.IsActive(8));
  g.SetLevel(-3);
  EXPECT_TRUE(g.GetLevel() == 0 && !g.IsActive(0));
  // The library's own channels exist from start-up.
  ASSERT_NE(KezTrace::Find("TraceQResult"), nullptr);
  EXPECT_STREQ(KezTrace::Find("TraceQuery")->GetComment(), "Trace des Queries");
}

}  // namespace
