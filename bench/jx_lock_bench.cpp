// The ticket lock against std::mutex, uncontended and contended.
#include <benchmark/benchmark.h>

#include <mutex>

#include "base/jx_lock.h"
#include "base/jx_scoped_lock.h"

namespace {

jx_lock_t SharedTicketLock() {
  static jx_lock_t lock = jx_lock_create();
  return lock;
}

std::mutex& SharedMutex() {
  static std::mutex mutex;
  return mutex;
}

// A short critical section, as the toolkit's queue and list updates are.
int64_t shared_counter = 0;

void BM_Lock_TicketLock(benchmark::State& state) {
  jx_lock_t lock = SharedTicketLock();
  for (auto _ : state) {
    jx::ScopedLock hold(lock);
    benchmark::DoNotOptimize(++shared_counter);
  }
}
BENCHMARK(BM_Lock_TicketLock)->Threads(1)->Threads(2)->UseRealTime();

void BM_Lock_StdMutex(benchmark::State& state) {
  std::mutex& mutex = SharedMutex();
  for (auto _ : state) {
    std::lock_guard<std::mutex> hold(mutex);
    benchmark::DoNotOptimize(++shared_counter);
  }
}
BENCHMARK(BM_Lock_StdMutex)->Threads(1)->Threads(2)->UseRealTime();

void BM_Lock_SpinLock(benchmark::State& state) {
  static jx_rand_lock_t lock = jx_rand_lock_create();
  for (auto _ : state) {
    jx_rand_lock_lock(lock);
    benchmark::DoNotOptimize(++shared_counter);
    jx_rand_lock_unlock(lock);
  }
}
BENCHMARK(BM_Lock_SpinLock)->Threads(1)->Threads(2)->UseRealTime();

void BM_Lock_CreateDestroy(benchmark::State& state) {
  for (auto _ : state) jx_lock_destory(jx_lock_create());
}
BENCHMARK(BM_Lock_CreateDestroy);

}  // namespace

BENCHMARK_MAIN();
