// Runs the built kezq from the tests under a time limit, so that a hang fails
// the test instead of stalling the run; the fixture database.
#ifndef KEZ_TEST_KEZQ_RUN_H
#define KEZ_TEST_KEZQ_RUN_H

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace kez {
namespace test {

struct KezqResult {
  int status = -1;  // exit status; 124 when the time limit killed it, -1 for a signal
  std::string out, err;
};

inline std::string KezqPath() {
  return std::string(KEZDCQR_BINARY_DIR) + "/tools/kezq/kezq";
}
inline bool KezqBuilt() {
  return access(KezqPath().c_str(), X_OK) == 0;
}

// Runs kezq with the arguments (each one word) and input on its standard input.
inline KezqResult RunKezq(const std::vector<std::string>& args, const std::string& input = "") {
  auto quote = [](const std::string& word) {
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
  };
  TempDir dir("kezq_test");
  std::string command = "timeout 120 " + quote(KezqPath());
  for (const std::string& arg : args) command += " " + quote(arg);
  WriteFile(dir.File("in"), input);
  command += " <" + quote(dir.File("in")) + " >" + quote(dir.File("out")) + " 2>" + quote(dir.File("err"));
  int raw = std::system(command.c_str());
  return KezqResult{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir.File("out")), ReadFile(dir.File("err"))};
}

// kezq running beside the test: input and output pipes (the output closed
// at once if asked), errors into the file err_path; or, when err_path is
// empty, all three on one pseudo-terminal whose TERM is dumb.
class KezqProcess {
 public:
  KezqProcess(std::vector<std::string> args, const std::string& err_path, bool output_closed = false)
      : err_path_(err_path) {
    old_pipe_ = std::signal(SIGPIPE, SIG_IGN);  // a write to a kezq that ended must not end the test
    int in[2] = {-1, -1}, out[2] = {-1, -1};
    if (err_path.empty() ? (pid_ = forkpty(&in_, nullptr, nullptr, nullptr)) < 0 : pipe(in) || pipe(out)) return;
    if (!err_path.empty()) pid_ = fork();
    if (pid_ == 0) {
      std::signal(SIGPIPE, SIG_DFL);
      setenv("TERM", "dumb", 1);
      if (!err_path.empty()) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(err, 2);
        for (int fd : {in[0], in[1], out[0], out[1], err}) close(fd);
      }
      args.insert(args.begin(), KezqPath());
      std::vector<char*> argv;
      for (std::string& word : args) argv.push_back(&word[0]);
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    if (err_path.empty()) {
      out_ = dup(in_);
    } else {
      for (int fd : {in[0], out[1]}) close(fd);
      in_ = in[1];
      out_ = out[0];
    }
    if (output_closed) CloseOutput();
  }
  ~KezqProcess() {
    for (int fd : {in_, out_}) close(fd);
    if (pid_ > 0 && status_ == kRunning) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    std::signal(SIGPIPE, old_pipe_);
  }
  void Write(const std::string& text) {
    for (ssize_t done = 0, n = 0; done < static_cast<ssize_t>(text.size()); done += n)
      if ((n = write(in_, text.data() + done, text.size() - done)) <= 0) return;
  }
  void CloseOutput() { close(out_), out_ = -1; }
  // Reads until the output holds text after what the last call found (or
  // ends, or 30 s pass); returns all it read.
  std::string ReadUntil(const std::string& text) {
    std::size_t at = 0;
    for (int waited = 0; out_ >= 0 && (at = output_.find(text, found_)) == std::string::npos && waited < 300;
         ++waited) {
      pollfd wanted = {out_, POLLIN, 0};
      if (poll(&wanted, 1, 100) <= 0) continue;
      char buffer[4096];
      ssize_t n = read(out_, buffer, sizeof buffer);
      if (n <= 0) break;
      output_.append(buffer, static_cast<std::size_t>(n));
    }
    if (at != std::string::npos) found_ = at + text.size();
    return output_;
  }
  void Signal(int signal) { kill(pid_, signal); }
  // The exit status (128 + a signal that ended it), or 124 after 60 s.
  int Wait() {
    for (int waited = 0, raw = 0; pid_ > 0 && status_ == kRunning && waited < 600; ++waited) {
      if (waitpid(pid_, &raw, WNOHANG) == pid_) {
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
      } else {
        usleep(100 * 1000);
      }
    }
    return status_ == kRunning ? 124 : status_;
  }
  std::string Err() const { return ReadFile(err_path_); }

 private:
  static const int kRunning = -1;
  void (*old_pipe_)(int) = SIG_DFL;
  std::string err_path_, output_;
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, status_ = kRunning;
  std::size_t found_ = 0;
};

// Builds a SQLite database at path from a script of the tests folder.
inline void BuildFixture(const std::string& path, const std::string& script = "kezq/fixture.sql") {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::string sql = ReadFile(std::string(KEZDCQR_TESTS_DIR) + "/" + script);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_close(db);
}

}  // namespace test
}  // namespace kez

#endif
