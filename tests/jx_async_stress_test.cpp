// Load on the worker threads: many posters, delayed tasks and a stop in the
// middle; no accepted task may be lost, run twice or run out of order.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "base/jx_async.h"
#include "base/jx_async_manager.h"

namespace {

constexpr int kPosters = 4;
constexpr int kTasks = 100000;  // per poster, alternating between the two workers

// What one worker saw; written by the worker, read by the test.
struct Tally {
  std::atomic<int64_t> ran{0}, accepted{0};
  std::atomic<int> next[kPosters] = {}, out_of_order{0};
};

struct Record {
  Tally* tally;
  int poster, order;  // order among the poster's plain posts to this worker; -1 when delayed
};

void RunRecord(void* data) {
  const Record& record = *static_cast<Record*>(data);
  if (record.order >= 0 &&
      record.tally->next[record.poster].exchange(record.order + 1) != record.order) {
    record.tally->out_of_order.fetch_add(1);
  }
  record.tally->ran.fetch_add(1);
}

TEST(AsyncStress, FourPostersTwoWorkersAndAStopInTheMiddle) {
  const int64_t ids[2] = {jx_thread_start("steady"), jx_thread_start("stopped")};
  std::weak_ptr<jx::AsyncLoop> loops[2];
  for (int i = 0; i < 2; ++i) loops[i] = jx::AsyncMgr::Instance()->GetThread(ids[i]);
  Tally tallies[2];
  std::vector<Record> records(size_t{kPosters} * kTasks);
  std::atomic<int> posted{0};
  std::vector<std::thread> posters;
  for (int p = 0; p < kPosters; ++p) {
    posters.emplace_back([&, p] {
      int order[2] = {0, 0};
      for (int i = 0; i < kTasks; ++i) {
        const int to = i % 2;
        const bool delayed = i % 64 == 63;  // delayed by 1-4 ms
        Record& record =
            records[size_t{kTasks} * p + i] = {&tallies[to], p, delayed ? -1 : order[to]};
        const jx_task_callback callback{&record, &RunRecord};
        if (delayed ? jx_thread_task_delay(ids[to], &callback, 1 + i % 4, nullptr)
                    : jx_thread_task_post(ids[to], &callback, "stress")) {
          tallies[to].accepted.fetch_add(1);
          order[to] += delayed ? 0 : 1;
        }
        posted.fetch_add(1);
      }
    });
  }
  while (posted.load() < kPosters * kTasks / 2 || tallies[1].ran.load() == 0) jx_sleep_for(1);
  EXPECT_TRUE(jx_thread_stop(ids[1]));
  const int64_t ran_at_stop = tallies[1].ran.load();
  for (auto& poster : posters) poster.join();
  while (tallies[0].ran.load() < tallies[0].accepted.load()) jx_sleep_for(1);
  EXPECT_TRUE(jx_thread_stop(ids[0]));
  while (!loops[0].expired() || !loops[1].expired()) jx_sleep_for(1);
  // The steady worker ran every task; the stopped one a gapless prefix of each
  // poster's, and after the stop at most the task it had already taken.
  EXPECT_EQ(tallies[0].ran.load(), int64_t{kPosters} * kTasks / 2);
  EXPECT_EQ(tallies[0].out_of_order.load() + tallies[1].out_of_order.load(), 0);
  EXPECT_LE(tallies[1].ran.load() - ran_at_stop, 1);
  EXPECT_LE(tallies[1].ran.load(), tallies[1].accepted.load());
}

}  // namespace
