// The expression figures: evaluations per second of two "Get" queries over
// variables, and NewQuery of a text already registered. They have no raw
// baseline; they show what one evaluation costs beside a row of the scan.
#ifndef KEZ_BENCH_EXPRESSION_BENCH_H
#define KEZ_BENCH_EXPRESSION_BENCH_H

namespace kez {
namespace bench {

// Registers "expr/arithmetic", "expr/format" and "expr/new-query".
void RegisterExpressionBenchmarks();

}  // namespace bench
}  // namespace kez

#endif
