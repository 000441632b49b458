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
  std::string screen = Converse(
      {"-s", "fx=sqlite:" + fixture},
      {"Get(40+2)", ".rows @fx:main:t:{*}:2 2", ".sources", "get(1)", ".errors", ".trace NoSuch 2", ".help", ".quit"},
      &status);
  EXPECT_TRUE(WIFEXITED(status));
  const std::string shown[] = {"42",
                               "apple",
                               "pear",
                               "fx = sqlite:" + fixture,
                               "ERROR: UNKNOWN FUNCTION FOR CONSTANT !",
                               ".trace: no channel named NoSuch",
                               ".quit"};
  for (const std::string& text : shown) EXPECT_NE(screen.find(text), std::string::npos) << text << " in:\n" << screen;
  EXPECT_EQ(screen.find("plum"), std::string::npos) << screen;  // two rows only
}

}  // namespace
}  // namespace test
}  // namespace kez
