// The ticket lock against std::mutex, uncontended and contended at 2 and 8
// threads on whatever cores the machine has. Real time per operation shows
// the throughput; the CPU column is the whole process's CPU time per
// operation, which shows how much waiters burn while they wait.
#include <benchmark/benchmark.h>

#include <mutex>

#include "base/jx_lock.h"
#include "base/jx_scoped_lock.h"

namespace {

// A short critical section, as the toolkit's queue and list updates are.
int64_t shared_counter = 0;

void BM_Lock_TicketLock(benchmark::State& state) {
  static jx_lock_t lock = jx_lock_create();
  for (auto _ : state) {
    jx::ScopedLock hold(lock);
    benchmark::DoNotOptimize(++shared_counter);
  }
}

void BM_Lock_StdMutex(benchmark::State& state) {
  static std::mutex mutex;
  for (auto _ : state) {
    std::lock_guard<std::mutex> hold(mutex);
    benchmark::DoNotOptimize(++shared_counter);
  }
}

void BM_Lock_SpinLock(benchmark::State& state) {
  static jx_rand_lock_t lock = jx_rand_lock_create();
  for (auto _ : state) {
    jx_rand_lock_lock(lock);
    benchmark::DoNotOptimize(++shared_counter);
    jx_rand_lock_unlock(lock);
  }
}

void Contended(benchmark::internal::Benchmark* bench) {
  bench->Threads(1)->Threads(2)->Threads(8)->UseRealTime()->MeasureProcessCPUTime();
}
BENCHMARK(BM_Lock_TicketLock)->Apply(Contended);
BENCHMARK(BM_Lock_StdMutex)->Apply(Contended);
BENCHMARK(BM_Lock_SpinLock)->Apply(Contended);

void BM_Lock_CreateDestroy(benchmark::State& state) {
  for (auto _ : state) jx_lock_destory(jx_lock_create());
}
BENCHMARK(BM_Lock_CreateDestroy);

}  // namespace

BENCHMARK_MAIN();
