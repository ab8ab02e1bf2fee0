// The log: what one record that passes the level filter costs its caller
// while the writer thread writes to a file, at 1, 2 and 8 calling threads,
// side by side with spdlog's asynchronous logger (where it is installed) when
// its queue drops the oldest message and when it blocks the caller; the cost
// of a record below the minimum level; and how many lines per second reach
// the file while callers flood the log. The CPU column is the whole
// process's CPU time per record, the writer's included.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "base/jx_log.h"
#include "base/jx_plog.h"
#include "base/jx_system.h"
#include "base/jx_time.h"

#ifdef JX_BENCH_SPDLOG
#include <spdlog/async.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>
#endif

namespace {

const std::string kMessage(80, 'm');
constexpr char kLocation[] = "jx_log_bench.cpp(27)BM_Log_CallerCost";

std::filesystem::path BenchFolder(const char* name) {
  return std::filesystem::temp_directory_path() /
         (std::string(name) + std::to_string(jx_get_current_process_id()));
}

// The process-wide log, writing to a folder of its own with its writer
// running, made once.
void StartProcessLog() {
  static const bool started = [] {
    jx::LogSettings settings;
    settings.folder = BenchFolder("jx_log_bench_").generic_string() + "/";
    jx::InstallLog(std::make_unique<jx::LogContext>(settings));
    std::thread([] { jx::InstalledLog()->RunWriter(); }).detach();
    return true;
  }();
  (void)started;
}

void ByCallers(benchmark::internal::Benchmark* bench) {
  bench->Threads(1)->Threads(2)->Threads(8)->UseRealTime()->MeasureProcessCPUTime();
}

void BM_Log_CallerCost(benchmark::State& state) {
  StartProcessLog();
  for (auto _ : state) {
    benchmark::DoNotOptimize(jx_log_write_log("jx", JX_LOG_INFO, kLocation, kMessage.c_str()));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Log_CallerCost)->Apply(ByCallers);

#ifdef JX_BENCH_SPDLOG
// The caller hands the message and its source location to a queue of 8192
// that one worker drains into a file sink.
spdlog::logger& SpdlogLogger(spdlog::async_overflow_policy policy) {
  static const bool pool = [] {
    spdlog::init_thread_pool(8192, 1);
    return true;
  }();
  (void)pool;
  const bool overrun = policy == spdlog::async_overflow_policy::overrun_oldest;
  const std::string name = overrun ? "overrun" : "block";
  static std::shared_ptr<spdlog::logger> loggers[2];
  std::shared_ptr<spdlog::logger>& logger = loggers[overrun ? 0 : 1];
  if (!logger) {
    const std::string file = (BenchFolder("spdlog_bench_") / (name + ".log")).string();
    logger = overrun ? spdlog::create_async_nb<spdlog::sinks::basic_file_sink_mt>(name, file, true)
                     : spdlog::create_async<spdlog::sinks::basic_file_sink_mt>(name, file, true);
  }
  return *logger;
}

template <spdlog::async_overflow_policy kPolicy>
void BM_Spdlog_CallerCost(benchmark::State& state) {
  static spdlog::logger& logger = SpdlogLogger(kPolicy);
  const spdlog::source_loc where{"jx_log_bench.cpp", 27, "BM_Spdlog_CallerCost"};
  for (auto _ : state) logger.log(where, spdlog::level::info, kMessage);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK_TEMPLATE(BM_Spdlog_CallerCost, spdlog::async_overflow_policy::overrun_oldest)
    ->Apply(ByCallers);
BENCHMARK_TEMPLATE(BM_Spdlog_CallerCost, spdlog::async_overflow_policy::block)->Apply(ByCallers);
#endif

void BM_Log_WriteBelowMinimum(benchmark::State& state) {
  StartProcessLog();
  for (auto _ : state) {
    benchmark::DoNotOptimize(jx_log_write_log("jx", JX_LOG_DEBUG, kLocation, kMessage.c_str()));
  }
}
BENCHMARK(BM_Log_WriteBelowMinimum);

// A record through the calling convention: the message formatted, the
// location built, then as above.
void BM_Log_MacroPassing(benchmark::State& state) {
  StartProcessLog();
  for (auto _ : state) JX_LOG(JX_LOG_INFO, "%s", kMessage.c_str());
}
BENCHMARK(BM_Log_MacroPassing)->Apply(ByCallers);

// The calling convention's own test: one comparison, nothing formatted.
void BM_Log_MacroBelowMinimum(benchmark::State& state) {
  StartProcessLog();
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
  const std::filesystem::path folder = BenchFolder("jx_log_flood_");
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

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::filesystem::remove_all(BenchFolder("jx_log_bench_"));
  std::filesystem::remove_all(BenchFolder("spdlog_bench_"));
  return 0;
}
