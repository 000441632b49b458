// kezq's interactive prompt, driven through a pseudo-terminal: queries,
// dot-commands and leaving with .quit.
#include "support/KezqRun.h"

namespace kez {
namespace test {
namespace {

class KezqInteractiveTest : public ::testing::Test {
 protected:
  void SetUp() override { BuildFixture(fixture_); }
  // Runs kezq on a terminal, types each line at a prompt, and returns all
  // that appeared on the terminal until kezq exited.
  static std::string Converse(const std::vector<std::string>& args, const std::vector<std::string>& lines) {
    KezqProcess kezq(args, "");
    for (const std::string& line : lines) kezq.ReadUntil("kezq> "), kezq.Write(line + "\n");
    std::string screen = kezq.ReadUntil("\x01");  // to the end of the output
    EXPECT_LT(kezq.Wait(), 124) << screen;        // it exited, on no signal
    return screen;
  }
  TempDir dir_;
  std::string fixture_ = dir_.File("fixture.db");
};

TEST_F(KezqInteractiveTest, PromptRunsQueriesAndDotCommands) {
  std::string screen = Converse({"-s", "fx=sqlite:" + fixture_},
                                {"Get(40+2)", ".rows @fx:main:t:{*}:2 2", ".sources", "get(1)", ".errors",
                                 ".trace NoSuch 2", ".tables fx", ".columns fx t", ".help", ".quit"});
  for (const std::string& text : std::vector<std::string>{
           "42", "apple", "pear", "fx = sqlite:" + fixture_, "ERROR: UNKNOWN FUNCTION FOR CONSTANT !",
           ".trace: no channel named NoSuch", "names", "amount\tint\t80", ".columns SOURCE TABLE", ".quit"})
    EXPECT_NE(screen.find(text), std::string::npos) << text << " in:\n" << screen;
  EXPECT_EQ(screen.find("plum"), std::string::npos) << screen;  // two rows only
}

// Over batch=10, rows reach the file (seen through a second connection)
// at .commit, at Free of the data block and at .delete of the put.
TEST_F(KezqInteractiveTest, CommitFreeAndDeleteCommitTheOpenBatch) {
  const std::string block = "@w:main:copy:{item+amount}:1", put = "Put(" + block + ")";
  auto seen = [](const char* session) { return ".rows @r:" + std::string(session) + ":copy:{*}:5 0"; };
  std::string screen =
      Converse({"-s", "w=sqlite:" + fixture_ + "?batch=10", "-s", "r=sqlite:" + fixture_},
               {"Put(\"fig1\"," + block + ":item)", put, seen("s1"), "Get(\"=A=\")", ".commit", seen("s2"),
                "Get(\"=B=\")", "Put(\"fig2\"," + block + ":item)", put, "Free(" + block + ")", seen("s3"),
                "Get(\"=C=\")", "Put(\"fig3\"," + block + ":item)", put, ".delete " + put, seen("s4"), ".quit"});
  std::size_t a = screen.find("=A="), b = screen.find("=B="), c = screen.find("=C=");
  ASSERT_TRUE(a != std::string::npos && b != std::string::npos && c != std::string::npos) << screen;
  EXPECT_EQ(screen.substr(0, a).find("fig1 "), std::string::npos) << screen;
  EXPECT_NE(screen.substr(a, b - a).find("fig1"), std::string::npos) << screen;
  EXPECT_NE(screen.substr(b, c - b).find("fig2"), std::string::npos) << screen;
  EXPECT_NE(screen.substr(c).find("fig3"), std::string::npos) << screen;
}

}  // namespace
}  // namespace test
}  // namespace kez
