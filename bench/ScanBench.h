// The scan figure: walking a table with the library, as a client does
// (two "Get" queries on cells of a 100-row data block, GetNextLine while
// IsMoreData), beside a raw sqlite3 loop doing the same work.
#ifndef KEZ_BENCH_SCAN_BENCH_H
#define KEZ_BENCH_SCAN_BENCH_H

#include <string>

namespace kez {
namespace bench {

struct ScanResult {
  long rows = 0;
  double checksum = 0;  // the sum of amount + price over the rows read
  int errors = 0;       // messages left in the error collector
};

// Walks the table of the file at path through the library (data source
// "scan"); deletes every query and node before returning.
ScanResult ScanWithLibrary(const std::string& path);
// The raw loop: step, the three column texts copied into a 192-octet row
// buffer laid out as the library's, strtod of the two numbers. no_mutex
// opens the connection as the library's backend does (SQLITE_OPEN_NOMUTEX).
ScanResult ScanWithSqlite(const std::string& path, bool no_mutex);
// The checksum that a correct walk of `rows` rows yields.
double ExpectedChecksum(long rows);

// Registers "scan/library", "scan/sqlite" and "scan/sqlite-nomutex" over
// the file at path, which holds `rows` rows.
void RegisterScanBenchmarks(const std::string& path, long rows);

}  // namespace bench
}  // namespace kez

#endif
