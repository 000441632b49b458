// Runs the built kezq from the hardening tests under a time limit, so that
// a hang fails the test instead of stalling the run, with its output,
// errors and exit status.
#ifndef KEZ_TEST_HARDENING_KEZQ_PROCESS_H
#define KEZ_TEST_HARDENING_KEZQ_PROCESS_H

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kez {
namespace test {

// Seconds after which a kezq run counts as hung.
constexpr int kKezqTimeLimit = 120;

struct KezqRun {
  int status = -1;  // exit status; 124 when the time limit killed it, -1 for a signal
  std::string out;
  std::string err;
};

inline std::string KezqPath() {
  return std::string(KEZDCQR_BINARY_DIR) + "/tools/kezq/kezq";
}

inline bool KezqBuilt() {
  return access(KezqPath().c_str(), X_OK) == 0;
}

inline std::string ShellWord(const std::string& word) {
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

inline std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs kezq with the arguments in folder (output files go there), the
// environment settings (NAME=VALUE) added.
inline KezqRun RunKezqIn(const std::string& folder, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {}) {
  std::string command = "env";
  for (const std::string& setting : env) command += " " + ShellWord(setting);
  command += " timeout " + std::to_string(kKezqTimeLimit) + " " + ShellWord(KezqPath());
  for (const std::string& arg : args) command += " " + ShellWord(arg);
  const std::string out = folder + "/kezq.out", err = folder + "/kezq.err";
  command += " </dev/null >" + ShellWord(out) + " 2>" + ShellWord(err);
  int raw = std::system(command.c_str());
  KezqRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = FileText(out);
  run.err = FileText(err);
  return run;
}

}  // namespace test
}  // namespace kez

#endif
