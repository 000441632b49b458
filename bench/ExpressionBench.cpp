// The expression figures; each checks the value it evaluates once before
// timing, so that a figure never measures an error path.
#include "bench/ExpressionBench.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "kezdcqr/KezDcQr.h"

namespace kez {
namespace bench {
namespace {

constexpr const char* kArithmetic = "Get($a+2*$b)";
constexpr const char* kFormat = "Get(format($x,\"###.##\"))";

void Affect(const char* name, double value) {
  static_cast<KezDcQrQRVariable*>(KezDcQrQResult::NewQResult(name))->Affect(value);
}

// The query's expression after a run, or null (the benchmark then skips).
const KezDcQrQRExpression* Run(KezDcQrQuery* query) {
  query->DoQuery();
  return static_cast<const KezDcQrQRExpression*>(query->p_QResult);
}

void Finish(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations());
  KezDcQrQuery::DeleteAllQueries();
  KezDcCMError::ClearErrors();
}

void ArithmeticBenchmark(benchmark::State& state) {
  KezDcQrQuery* query = KezDcQrQuery::NewQuery(kArithmetic);
  Affect("$a", 1.5);
  Affect("$b", 2.25);
  const KezDcQrQRExpression* e = Run(query);
  if (!e || !e->p_DoubleQResult || *e->p_DoubleQResult != 6.0 || KezDcCMError::GetNbErrors() != 0)
    state.SkipWithError("Get($a+2*$b) did not give 6");
  for (auto _ : state) {
    query->DoQuery();
    benchmark::DoNotOptimize(e->DoubleValue);
  }
  Finish(state);
}

void FormatBenchmark(benchmark::State& state) {
  KezDcQrQuery* query = KezDcQrQuery::NewQuery(kFormat);
  Affect("$x", 3.14159);
  const KezDcQrQRExpression* e = Run(query);
  if (!e || !e->p_StringQResult || std::strcmp(e->p_StringQResult, "003.14") != 0 || KezDcCMError::GetNbErrors() != 0)
    state.SkipWithError("Get(format($x,\"###.##\")) did not give 003.14");
  for (auto _ : state) {
    query->DoQuery();
    benchmark::DoNotOptimize(e->p_StringQResult);
  }
  Finish(state);
}

void NewQueryBenchmark(benchmark::State& state) {
  KezDcQrQuery* registered = KezDcQrQuery::NewQuery(kArithmetic);
  const KezUnicodeString text(kArithmetic);
  for (auto _ : state) {
    KezDcQrQuery* found = KezDcQrQuery::NewQuery(text);
    benchmark::DoNotOptimize(found);
    if (found != registered) {
      state.SkipWithError("NewQuery did not return the registered query");
      break;
    }
  }
  Finish(state);
}

}  // namespace

void RegisterExpressionBenchmarks() {
  benchmark::RegisterBenchmark("expr/arithmetic", ArithmeticBenchmark);
  benchmark::RegisterBenchmark("expr/format", FormatBenchmark);
  benchmark::RegisterBenchmark("expr/new-query", NewQueryBenchmark);
}

}  // namespace bench
}  // namespace kez
