// The benchmarks' workspace: a temporary folder of database files, the
// table they all use, the values of its rows, and the options of a run.
// The library and the raw-SQLite baselines of a figure read and write the
// same files, built the same way (WAL journal, SQLite's default synchronous
// setting), so that a ratio compares only the code in between.
#ifndef KEZ_BENCH_WORKSPACE_H
#define KEZ_BENCH_WORKSPACE_H

#include <sqlite3.h>

#include <cstddef>
#include <string>

namespace kez {
namespace bench {

struct BenchOptions {
  long scan_rows = 1000000;         // rows of the scan figure (and of its memory probe)
  long memory_small_rows = 100000;  // the other scan of the memory figure
  long insert_rows = 100000;        // rows of the batched insert figure
  long insert_batch = 1000;         // rows per transaction of the batched figure
  // Rows of the commit-per-row figure: each row pays one WAL sync, up to
  // 2 ms on a busy shared disk, so 100,000 could take minutes; a commit
  // costs the same at any count.
  long per_row_rows = 2000;
  std::string folder;  // empty: a new temporary folder, removed at exit
};

// The table of every figure.
constexpr const char* kTable = "t";
constexpr const char* kCreateTable = "CREATE TABLE t(item VARCHAR(32), amount INTEGER, price REAL)";

// The values of row i, the same for the library and the baselines.
// ItemText writes at most size - 1 characters and a zero; returns the length.
std::size_t ItemText(long i, char* out, std::size_t size);
inline int Amount(long i) {
  return static_cast<int>(i % 1000);
}
inline double Price(long i) {
  return static_cast<double>(i % 100000) / 100.0;
}

// Creates (or empties) the folder of the run; aborts the run with a message
// on stderr when it cannot. Remove() deletes it when Create made it.
class Workspace {
 public:
  explicit Workspace(const std::string& folder);
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  // A path inside the folder.
  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
  bool owned_ = false;
};

// Opens path read-write, without SQLite's per-connection mutex when
// no_mutex; null (reported on stderr) on failure.
sqlite3* OpenRaw(const std::string& path, bool no_mutex = false);
// Creates a fresh database file at path (removing an old one and its WAL
// files) holding the empty table, in WAL journal mode, as the library's
// backend leaves a file it writes to. False, reported on stderr, on failure.
bool CreateEmptyTable(const std::string& path);
// Creates the table at path with `rows` rows of the values above.
bool CreateFilledTable(const std::string& path, long rows);
// The rows of the table at path, or -1.
long CountRows(const std::string& path);
// The value of a PRAGMA read on a new default connection to path ("" on
// failure): the journal mode and synchronous setting both sides run with.
std::string PragmaValue(const std::string& path, const char* pragma);
// Removes the file and its -wal and -shm companions.
void RemoveDatabase(const std::string& path);

}  // namespace bench
}  // namespace kez

#endif
