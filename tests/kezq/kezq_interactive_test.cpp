// kezq's interactive prompt, driven through a pseudo-terminal: queries,
// dot-commands and leaving with .quit.
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/KezqRun.h"

namespace kez {
namespace test {
namespace {

// Runs kezq on a terminal, types the lines one by one, and returns all that
// appeared on the terminal until kezq exited.
std::string Converse(const std::vector<std::string>& args, const std::vector<std::string>& lines, int* status) {
  int master = -1;
  pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  if (child == 0) {
    std::vector<std::string> words = args;
    words.insert(words.begin(), KezqPath());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);
    setenv("TERM", "dumb", 1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  std::string screen;
  std::size_t next = 0;
  char buffer[4096];
  for (int idle = 0; idle < 100;) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 50) > 0) {
      ssize_t n = read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      screen.append(buffer, static_cast<std::size_t>(n));
      idle = 0;
      continue;
    }
    ++idle;
    if (next < lines.size() &&
        screen.find("kezq> ", screen.size() > 200 ? screen.size() - 200 : 0) != std::string::npos) {
      std::string line = lines[next++] + "\n";
      if (write(master, line.data(), line.size()) < 0) break;
    }
  }
  close(master);
  waitpid(child, status, 0);
  return screen;
}

TEST(KezqInteractiveTest, PromptRunsQueriesAndDotCommands) {
  TempDir dir;
  std::string fixture = dir.File("fixture.db");
  BuildFixture(fixture);
  int status = -1;
  std::string screen = Converse({"-s", "fx=sqlite:" + fixture},
                                {"Get(40+2)", ".rows @fx:main:t:{*}:2 2", ".sources", "get(1)", ".errors",
                                 ".trace NoSuch 2", ".tables fx", ".columns fx t", ".help", ".quit"},
                                &status);
  EXPECT_TRUE(WIFEXITED(status));
  const std::string shown[] = {"42",
                               "apple",
                               "pear",
                               "fx = sqlite:" + fixture,
                               "ERROR: UNKNOWN FUNCTION FOR CONSTANT !",
                               ".trace: no channel named NoSuch",
                               "names",
                               "amount\tint\t80",
                               ".columns SOURCE TABLE",
                               ".quit"};
  for (const std::string& text : shown) EXPECT_NE(screen.find(text), std::string::npos) << text << " in:\n" << screen;
  EXPECT_EQ(screen.find("plum"), std::string::npos) << screen;  // two rows only
}

// Over batch=10, rows reach the file (seen through a second connection)
// at .commit, at Free of the data block and at .delete of the put.
TEST(KezqInteractiveTest, CommitFreeAndDeleteCommitTheOpenBatch) {
  TempDir dir;
  std::string fixture = dir.File("fixture.db");
  BuildFixture(fixture);
  const std::string block = "@w:main:copy:{item+amount}:1";
  auto insert = [&](const char* item) {
    return std::vector<std::string>{"Put(\"" + std::string(item) + "\"," + block + ":item)", "Put(" + block + ")"};
  };
  std::vector<std::string> lines;
  auto add = [&](const std::vector<std::string>& more) { lines.insert(lines.end(), more.begin(), more.end()); };
  add(insert("fig1"));
  add({".rows @r:s1:copy:{*}:5 0", "Get(\"=A=\")", ".commit", ".rows @r:s2:copy:{*}:5 0", "Get(\"=B=\")"});
  add(insert("fig2"));
  add({"Free(" + block + ")", ".rows @r:s3:copy:{*}:5 0", "Get(\"=C=\")"});
  add(insert("fig3"));
  add({".delete Put(" + block + ")", ".rows @r:s4:copy:{*}:5 0", ".quit"});
  int status = -1;
  std::string screen =
      Converse({"-s", "w=sqlite:" + fixture + "?batch=10", "-s", "r=sqlite:" + fixture}, lines, &status);
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
