// The cost of a log scope when no logging library is loaded: every library function opens one, so
// this is the price of the diagnostic log for a user who never switches it on.
#include <benchmark/benchmark.h>

#include "common/LogFacade.h"

namespace {

void BM_LogScopeWithoutLogger(benchmark::State& state) {
  int32_t value = 7;
  for (auto _ : state) {
    ov::LogScope log("Bench::Scope");
    log.Number("value", value);
    log.Message("message");
    benchmark::DoNotOptimize(log.Return(value));
  }
}
BENCHMARK(BM_LogScopeWithoutLogger);

}  // namespace
