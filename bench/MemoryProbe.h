// The memory figure: the peak resident memory (VmHWM) of a scan, measured
// in a fresh child process per figure so that no figure inherits another's
// pages: this program runs itself with --kez-memory-child.
#ifndef KEZ_BENCH_MEMORY_PROBE_H
#define KEZ_BENCH_MEMORY_PROBE_H

#include <string>

namespace kez {
namespace bench {

constexpr const char* kMemoryChildFlag = "--kez-memory-child=";  // library | sqlite
constexpr const char* kMemoryFileFlag = "--kez-memory-file=";

// In the child: scans the file with the library or the raw loop, then
// prints "rows=N peak_kib=K" on stdout. Returns the exit status (0 when the
// scan read `rows` rows without error).
int RunMemoryChild(const std::string& kind, const std::string& path);

struct PeakMemory {
  long rows = -1;      // rows the child read; -1 when it failed
  long peak_kib = -1;  // its VmHWM in KiB
};

// Runs this program (self) as a child scanning the file at path with the
// library ("library") or the raw loop ("sqlite"), and reads its figure.
PeakMemory MeasurePeakMemory(const std::string& self, const std::string& kind, const std::string& path);

}  // namespace bench
}  // namespace kez

#endif
