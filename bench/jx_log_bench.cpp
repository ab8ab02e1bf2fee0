// Caller-side cost of the log: one record that passes the level filter, and
// one below the minimum level.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "base/jx_log.h"
#include "base/jx_plog.h"

namespace {

// The process-wide log at the default minimum level, without a writer: the
// benchmarks drain it themselves.
jx::LogContext& BenchLog() {
  static jx::LogContext* log = [] {
    jx::InstallLog(std::make_unique<jx::LogContext>(jx::LogSettings{}));
    return jx::InstalledLog();
  }();
  return *log;
}

const std::string kMessage(80, 'm');
constexpr char kLocation[] = "jx_log_bench.cpp(27)BM_Log_WritePassing";

void BM_Log_WritePassing(benchmark::State& state) {
  jx::LogContext& log = BenchLog();
  std::vector<std::string> drained;
  int64_t written = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(jx_log_write_log("jx", JX_LOG_INFO, kLocation, kMessage.c_str()));
    // Keep the queue far below its backlog limits, as a writer would.
    if (++written % 256 == 0) {
      state.PauseTiming();
      log.TakeQueued(&drained);
      drained.clear();
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Log_WritePassing)->Threads(1)->Threads(2)->UseRealTime();

void BM_Log_WriteBelowMinimum(benchmark::State& state) {
  BenchLog();
  for (auto _ : state) {
    benchmark::DoNotOptimize(jx_log_write_log("jx", JX_LOG_DEBUG, kLocation, kMessage.c_str()));
  }
}
BENCHMARK(BM_Log_WriteBelowMinimum);

// The calling convention's own test: one comparison, nothing formatted.
void BM_Log_MacroBelowMinimum(benchmark::State& state) {
  BenchLog();
  for (auto _ : state) {
    JX_LOG(JX_LOG_VERBOSE, "%s", kMessage.c_str());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Log_MacroBelowMinimum);

}  // namespace

BENCHMARK_MAIN();
