// Worker threads: post-to-run throughput with one poster and one worker,
// post-to-run latency on an idle worker, and the cost of a post to 1, 2 and 8
// posting threads, side by side with a plain mutex and condition-variable
// queue and, where its headers are installed, asio's io_context with one
// thread.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "base/jx_async.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"

#if __has_include(<asio.hpp>)
#include <asio.hpp>
#define JX_BENCH_ASIO 1
#endif

namespace {

constexpr int kBatch = 10000;  // tasks per throughput iteration
constexpr int kLatencyRuns = 2000;

// The simplest worker: one queue of callables under a mutex, one condition.
class PlainQueue {
 public:
  PlainQueue() : thread_([this] { Run(); }) {}
  ~PlainQueue() {
    Post(nullptr);  // an empty task ends the worker
    thread_.join();
  }
  void Post(std::function<void()> task) {
    {
      std::lock_guard<std::mutex> hold(mutex_);
      tasks_.push_back(std::move(task));
    }
    ready_.notify_one();
  }

 private:
  void Run() {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock<std::mutex> hold(mutex_);
        ready_.wait(hold, [this] { return !tasks_.empty(); });
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      if (!task) return;
      task();
    }
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> tasks_;
  std::thread thread_;
};

// The worker under test behind one posting call.
struct JxWorker {
  JxWorker() : id(jx_thread_start("bench")) {}
  ~JxWorker() { jx_thread_stop(id); }
  template <class F>
  void Post(F* task) {
    const jx_task_callback callback{task, [](void* f) { (*static_cast<F*>(f))(); }};
    jx_thread_task_post(id, &callback, "bench");
  }
  int64_t id;
};

struct PlainWorker {
  template <class F>
  void Post(F* task) {
    queue.Post([task] { (*task)(); });
  }
  PlainQueue queue;
};

#ifdef JX_BENCH_ASIO
struct AsioWorker {
  AsioWorker() : thread([this] { context.run(); }) {}
  ~AsioWorker() {
    guard.reset();
    thread.join();
  }
  template <class F>
  void Post(F* task) {
    asio::post(context, [task] { (*task)(); });
  }
  asio::io_context context;
  asio::executor_work_guard<asio::io_context::executor_type> guard{context.get_executor()};
  std::thread thread;
};
#endif

// Posts kBatch tasks per iteration; the last one raises the flag the poster
// waits for, so each iteration measures posting and running.
template <class Worker>
void BM_Async_PostToRun(benchmark::State& state) {
  Worker worker;
  std::atomic<int64_t> ran{0};
  auto count = [&ran] { ran.fetch_add(1, std::memory_order_relaxed); };
  int64_t posted = 0;
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i) worker.Post(&count);
    posted += kBatch;
    while (ran.load(std::memory_order_relaxed) < posted) std::this_thread::yield();
  }
  state.SetItemsProcessed(posted);
}
BENCHMARK_TEMPLATE(BM_Async_PostToRun, JxWorker)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Async_PostToRun, PlainWorker)->UseRealTime()->Unit(benchmark::kMillisecond);
#ifdef JX_BENCH_ASIO
BENCHMARK_TEMPLATE(BM_Async_PostToRun, AsioWorker)->UseRealTime()->Unit(benchmark::kMillisecond);
#endif

// Posts one task at a time to a worker that has gone back to sleep, and
// reports the time from the post to the start of the task.
template <class Worker>
void BM_Async_PostToRunLatency(benchmark::State& state) {
  Worker worker;
  std::vector<double> latencies;
  latencies.reserve(kLatencyRuns);
  std::atomic<int64_t> started{0};
  auto stamp = [&started] { started.store(jx_clock_tick_nanoseconds()); };
  for (auto _ : state) {
    jx_this_thread_sleep(1);  // let the worker fall asleep
    started.store(0);
    const int64_t posted = jx_clock_tick_nanoseconds();
    worker.Post(&stamp);
    int64_t ran;
    while ((ran = started.load()) == 0) std::this_thread::yield();
    latencies.push_back(static_cast<double>(ran - posted) / 1000.0);
  }
  std::sort(latencies.begin(), latencies.end());
  state.counters["median_us"] = latencies[latencies.size() / 2];
  state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
}
BENCHMARK_TEMPLATE(BM_Async_PostToRunLatency, JxWorker)->Iterations(kLatencyRuns);
BENCHMARK_TEMPLATE(BM_Async_PostToRunLatency, PlainWorker)->Iterations(kLatencyRuns);
#ifdef JX_BENCH_ASIO
BENCHMARK_TEMPLATE(BM_Async_PostToRunLatency, AsioWorker)->Iterations(kLatencyRuns);
#endif

// The poster's side: 1, 2 or 8 threads post to one worker, and the figure is
// the time of one post. The worker runs beside them; when it falls 8192
// tasks behind, the posters wait for it with the clock stopped, so the
// backlog stays bounded and the wait is not counted.
template <class Worker>
void BM_Async_PosterCost(benchmark::State& state) {
  static Worker worker;
  static std::atomic<int64_t> posted{0};
  static std::atomic<int64_t> ran{0};
  static auto count = [] { ran.fetch_add(1, std::memory_order_relaxed); };
  constexpr int64_t kStep = 256;
  int64_t mine = 0;
  for (auto _ : state) {
    worker.Post(&count);
    if (++mine % kStep != 0) continue;
    const int64_t total = posted.fetch_add(kStep) + kStep;
    if (total - ran.load(std::memory_order_relaxed) <= 8192) continue;
    state.PauseTiming();
    while (total - ran.load(std::memory_order_relaxed) > 1024) std::this_thread::yield();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations());
}
void ByPosters(benchmark::internal::Benchmark* bench) {
  bench->Threads(1)->Threads(2)->Threads(8)->UseRealTime();
}
BENCHMARK_TEMPLATE(BM_Async_PosterCost, JxWorker)->Apply(ByPosters);
BENCHMARK_TEMPLATE(BM_Async_PosterCost, PlainWorker)->Apply(ByPosters);
#ifdef JX_BENCH_ASIO
BENCHMARK_TEMPLATE(BM_Async_PosterCost, AsioWorker)->Apply(ByPosters);
#endif

}  // namespace

BENCHMARK_MAIN();
