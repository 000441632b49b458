// The PostgreSQL figures, run when KEZDCQR_BENCH_PG_URI (or
// KEZDCQR_TEST_PG_URI, which scripts/with-pg.sh sets) names a server: the
// scan and the inserts with the library beside raw libpq doing the same
// work, measured in the same run, in a schema of their own that is dropped
// at the end.
#ifndef KEZ_BENCH_POSTGRES_BENCH_H
#define KEZ_BENCH_POSTGRES_BENCH_H

#include "bench/BenchWorkspace.h"
#include "bench/ComparisonReport.h"

namespace kez {
namespace bench {

// Builds the tables and registers "pg-scan/{library,libpq}",
// "pg-insert-batch/{library,libpq}" and "pg-insert-per-row/{library,libpq}";
// false (said on stderr) when no server is named or it cannot be reached.
bool RegisterPostgresBenchmarks(const BenchOptions& options);
// Prints the PostgreSQL comparison; returns the targets missed.
int PrintPostgresComparison(const CollectingReporter& reporter);
// Drops the schema of the figures.
void DropPostgresTables();

}  // namespace bench
}  // namespace kez

#endif
