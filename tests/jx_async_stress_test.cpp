// Load on the worker threads: many posters, delayed tasks, a stop in the
// middle, and long chains of workers awaiting each other.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "base/jx_async.h"
#include "base/jx_async_manager.h"
#include "base/jx_thread.h"

namespace {

constexpr int kPosters = 4;
constexpr int kTasksPerPoster = 100000;
constexpr int kDelayedEvery = 64;  // one task in 64 is delayed by 1-4 ms

// What one worker saw. Written by the worker, read by the test: all atomic.
struct Tally {
  std::atomic<int64_t> ran{0};
  std::array<std::atomic<int>, kPosters> next_in_order{};  // per poster
  std::atomic<int> out_of_order{0};
};

struct TaskRecord {
  Tally* tally;
  int poster;
  int order;  // among the poster's immediate tasks to this worker; -1 when delayed
};

void RunRecord(void* data) {
  const TaskRecord& record = *static_cast<TaskRecord*>(data);
  Tally& tally = *record.tally;
  if (record.order >= 0) {
    std::atomic<int>& next = tally.next_in_order[record.poster];
    if (record.order != next.load()) tally.out_of_order.fetch_add(1);
    next.store(record.order + 1);
  }
  tally.ran.fetch_add(1);
}

// Waits until the stopped worker's thread has ended and released its loop.
void WaitUntilReleased(const std::weak_ptr<jx::AsyncLoop>& loop) {
  while (!loop.expired()) jx_sleep_for(1);
}

TEST(AsyncStress, FourPostersTwoWorkersAndAStopInTheMiddle) {
  const int64_t steady = jx_thread_start("steady");
  const int64_t stopped = jx_thread_start("stopped");
  const std::weak_ptr<jx::AsyncLoop> steady_loop = jx::AsyncMgr::Instance()->GetThread(steady);
  const std::weak_ptr<jx::AsyncLoop> stopped_loop = jx::AsyncMgr::Instance()->GetThread(stopped);
  Tally tallies[2];
  std::vector<TaskRecord> records(size_t{kPosters} * kTasksPerPoster);
  std::atomic<int64_t> accepted[2] = {{0}, {0}};
  std::atomic<int> posted{0};  // by all posters

  std::vector<std::thread> posters;
  for (int p = 0; p < kPosters; ++p) {
    posters.emplace_back([&, p] {
      int order[2] = {0, 0};
      for (int i = 0; i < kTasksPerPoster; ++i) {
        const int target = i % 2;
        const bool delayed = i % kDelayedEvery == kDelayedEvery - 1;
        TaskRecord& record = records[static_cast<size_t>(p * kTasksPerPoster + i)];
        record = {&tallies[target], p, delayed ? -1 : order[target]};
        const jx_task_callback callback{&record, &RunRecord};
        const int64_t id = target == 0 ? steady : stopped;
        const bool ok = delayed ? jx_thread_task_delay(id, &callback, 1 + i % 4, nullptr)
                                : jx_thread_task_post(id, &callback, "stress");
        if (ok) {
          accepted[target].fetch_add(1);
          if (!delayed) ++order[target];
        }
        posted.fetch_add(1);
      }
    });
  }
  while (posted.load() < kPosters * kTasksPerPoster / 2 || tallies[1].ran.load() == 0) {
    jx_sleep_for(1);
  }
  EXPECT_TRUE(jx_thread_stop(stopped));
  const int64_t ran_at_stop = tallies[1].ran.load();
  for (auto& poster : posters) poster.join();

  // The steady worker runs every task it accepted, each poster's in order.
  while (tallies[0].ran.load() < accepted[0].load()) jx_sleep_for(1);
  EXPECT_EQ(tallies[0].ran.load(), int64_t{kPosters} * kTasksPerPoster / 2);
  EXPECT_EQ(tallies[0].out_of_order.load(), 0);
  EXPECT_TRUE(jx_thread_stop(steady));
  WaitUntilReleased(steady_loop);

  // The stopped worker ran a gapless prefix of each poster's tasks, and after
  // the stop at most the task it had already taken.
  WaitUntilReleased(stopped_loop);
  EXPECT_EQ(tallies[1].out_of_order.load(), 0);
  EXPECT_LE(tallies[1].ran.load() - ran_at_stop, 1);
  EXPECT_LE(tallies[1].ran.load(), accepted[1].load());
}

// Two workers that await each other, round after round.
struct Mutual {
  std::atomic<int> innermost{0};
  std::mutex mutex;
  std::condition_variable round_done;
  int rounds = 0;  // sides that finished, under the mutex
};

struct Side {
  Mutual* mutual;
  int64_t self;
  int64_t other;
};

void CountInnermost(void* mutual) { static_cast<Mutual*>(mutual)->innermost.fetch_add(1); }

// On the other worker: awaits the innermost callback back on `self`, which is
// itself waiting for this.
void AwaitBack(void* data) {
  const Side& side = *static_cast<Side*>(data);
  const jx_task_callback count{side.mutual, &CountInnermost};
  jx_run_await(&count, side.self, "back");
}

// On `self`: awaits AwaitBack on the other worker.
void AwaitOther(void* data) {
  const Side& side = *static_cast<Side*>(data);
  const jx_task_callback there{data, &AwaitBack};
  jx_run_await(&there, side.other, "there");
  std::lock_guard<std::mutex> hold(side.mutual->mutex);
  ++side.mutual->rounds;
  side.mutual->round_done.notify_all();
}

TEST(AsyncStress, ThousandRoundsOfWorkersAwaitingEachOther) {
  const int64_t a = jx_thread_start("a");
  const int64_t b = jx_thread_start("b");
  Mutual mutual;
  Side from_a{&mutual, a, b};
  Side from_b{&mutual, b, a};
  const jx_task_callback start_a{&from_a, &AwaitOther};
  const jx_task_callback start_b{&from_b, &AwaitOther};
  constexpr int kRounds = 1000;
  for (int round = 1; round <= kRounds; ++round) {
    // Both start at once, so each waits for the other while being awaited.
    ASSERT_TRUE(jx_thread_task_post(a, &start_a, "round"));
    ASSERT_TRUE(jx_thread_task_post(b, &start_b, "round"));
    // One round at a time: the awaits never nest deeper than one round.
    std::unique_lock<std::mutex> hold(mutual.mutex);
    mutual.round_done.wait(hold, [&] { return mutual.rounds == 2 * round; });
  }
  EXPECT_EQ(mutual.innermost.load(), 2 * kRounds);
  EXPECT_TRUE(jx_thread_stop(a));
  EXPECT_TRUE(jx_thread_stop(b));
}

}  // namespace
