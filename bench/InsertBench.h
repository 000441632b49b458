// The insert figures: rows written with the library, as a client does
// (variables affected, one "Put" query per field into the cells of a
// one-row data block, then the "Put" of the data block), beside raw
// prepared INSERTs with the same transactions: batched, and one commit
// per row.
#ifndef KEZ_BENCH_INSERT_BENCH_H
#define KEZ_BENCH_INSERT_BENCH_H

#include <string>

#include "bench/BenchWorkspace.h"

namespace kez {
namespace bench {

// Writes rows [0, rows) through the library into the data source "ins"
// (registered by the caller); deletes every query and node before
// returning. Returns the number of messages left in the error collector.
int InsertWithLibrary(long rows);
// Writes rows [0, rows) into the file at path with raw prepared INSERTs,
// batch rows per transaction (1: SQLite's per-statement commit). Returns the
// number of failed SQLite calls.
int InsertWithSqlite(const std::string& path, long rows, long batch);

// Registers "insert-batch/library" and "insert-batch/sqlite" (each writes
// options.insert_rows rows, options.insert_batch per transaction), and
// "insert-per-row/library" and "insert-per-row/sqlite" (options.per_row_rows
// rows, each its own transaction), each into a fresh file of the workspace.
void RegisterInsertBenchmarks(const Workspace& workspace, const BenchOptions& options);

}  // namespace bench
}  // namespace kez

#endif
