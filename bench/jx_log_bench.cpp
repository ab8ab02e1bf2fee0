// The log: caller-side cost of one record that passes the level filter, side
// by side with spdlog's asynchronous logger where it is installed; the cost
// of a record below the minimum level; and how many lines per second reach
// the file while callers flood the log.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/jx_log.h"
#include "base/jx_plog.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"

#ifdef JX_BENCH_SPDLOG
#include <spdlog/async.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>
#endif

namespace {

// The process-wide log at the default minimum level, without a writer: the
// benchmarks drain it themselves. Its writer counts as busy, as it is under
// load, so callers do not signal it.
jx::LogContext& BenchLog() {
  static jx::LogContext* log = [] {
    jx::InstallLog(std::make_unique<jx::LogContext>(jx::LogSettings{}));
    jx::InstalledLog()->SetWriterIdle(false);
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

#ifdef JX_BENCH_SPDLOG
// spdlog's asynchronous logger on the same record: the caller hands the
// message and its source location to a queue that a worker drains into a
// file sink on the null device. A full queue drops its oldest message, so the
// caller never waits, as with the toolkit's log.
void BM_Spdlog_AsyncPassing(benchmark::State& state) {
  static const std::shared_ptr<spdlog::logger> logger = [] {
    spdlog::init_thread_pool(8192, 1);
    return spdlog::create_async_nb<spdlog::sinks::basic_file_sink_mt>("bench", "/dev/null");
  }();
  const spdlog::source_loc where{"jx_log_bench.cpp", 27, "BM_Spdlog_AsyncPassing"};
  for (auto _ : state) logger->log(where, spdlog::level::info, kMessage);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Spdlog_AsyncPassing)->Threads(1)->Threads(2)->UseRealTime();
#endif

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

// Lines reaching the file per second while one caller floods a log of its
// own with its writer running: the writer's pacing caps the figure, and the
// backlog limits throw the rest away. Rotation is off, so that every line
// stays in one file to be counted.
void BM_Log_FloodLinesToFile(benchmark::State& state) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("jx_log_bench_" + std::to_string(jx_get_current_process_id()));
  int64_t lines = 0;
  double seconds = 0;
  for (auto _ : state) {
    std::filesystem::remove_all(folder);
    jx::LogSettings settings;
    settings.folder = folder.generic_string() + "/";
    settings.rotate_bytes = UINT32_MAX;
    jx::LogContext log(settings);
    std::thread writer([&log] { log.RunWriter(); });
    const int64_t start = jx_clock_tick_milliseconds();
    while (jx_clock_tick_milliseconds() - start < 1000) {
      for (int i = 0; i < 64; ++i) log.Write(JX_LOG_INFO, "jx", kLocation, kMessage);
    }
    log.StopWriter();
    writer.join();
    seconds += static_cast<double>(jx_clock_tick_milliseconds() - start) / 1000.0;
    std::ifstream file(folder / "trace.app.blog", std::ios::binary);
    lines +=
        std::count(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>(), '\n');
  }
  std::filesystem::remove_all(folder);
  state.counters["file_lines_per_s"] = static_cast<double>(lines) / seconds;
}
BENCHMARK(BM_Log_FloodLinesToFile)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
