// Peak resident memory of a scan, in a child process that reports its own
// VmHWM: that belongs to the address space that exec created, so it counts
// nothing of the parent's. (wait4's ru_maxrss would: Linux folds the
// parent's peak into it when the child, forked or spawned, calls exec.)
#include "bench/MemoryProbe.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "bench/ScanBench.h"

extern char** environ;

namespace kez {
namespace bench {
namespace {

// VmHWM of this process in KiB, or -1.
long OwnPeakKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 6, "VmHWM:") == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

// Everything the child wrote on its stdout.
std::string ReadAll(int fd) {
  std::string text;
  char buffer[256];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
  return text;
}

}  // namespace

int RunMemoryChild(const std::string& kind, const std::string& path) {
  ScanResult result;
  if (kind == "library") {
    result = ScanWithLibrary(path);
  } else if (kind == "sqlite") {
    result = ScanWithSqlite(path, false);
  } else {
    std::fprintf(stderr, "bench: unknown memory probe <%s>\n", kind.c_str());
    return 2;
  }
  std::printf("rows=%ld peak_kib=%ld\n", result.rows, OwnPeakKib());
  return result.errors == 0 && result.checksum == ExpectedChecksum(result.rows) ? 0 : 1;
}

PeakMemory MeasurePeakMemory(const std::string& self, const std::string& kind, const std::string& path) {
  PeakMemory peak;
  int out[2];
  if (pipe(out) != 0) return peak;
  std::string kind_arg = kMemoryChildFlag + kind;
  std::string file_arg = kMemoryFileFlag + path;
  std::vector<char*> argv = {const_cast<char*>(self.c_str()), kind_arg.data(), file_arg.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  pid_t child = 0;
  int spawned = posix_spawn(&child, self.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string text = spawned == 0 ? ReadAll(out[0]) : "";
  close(out[0]);
  int status = 0;
  if (spawned != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return peak;
  }
  if (std::sscanf(text.c_str(), "rows=%ld peak_kib=%ld", &peak.rows, &peak.peak_kib) != 2) return PeakMemory();
  return peak;
}

}  // namespace bench
}  // namespace kez
