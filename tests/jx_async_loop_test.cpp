#include "base/jx_async_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/jx_thread.h"
#include "base/jx_time.h"

namespace {

using jx::AsyncLoop;
using Ran = std::vector<std::string>;

std::atomic<int64_t> fake_tick{0};
int64_t FakeTick() { return fake_tick.load(); }

// A loop on the fake clock. Tests stop their loops at the end: a queued task
// holds its loop, so a loop left with tasks would never be released.
std::shared_ptr<AsyncLoop> FakeClockLoop(int64_t now) {
  fake_tick = now;
  return std::make_shared<AsyncLoop>("test", &FakeTick);
}

// Runs the owner's passes until the run queue is empty.
void RunQueued(AsyncLoop& loop) {
  do {
    loop.FetchTask2Run(false, 0);
  } while (loop.HasTask());
}

std::function<void()> Record(Ran* ran, const std::string& what) {
  return [ran, what] { ran->push_back(what); };
}

int64_t Elapsed(int64_t start) { return jx_clock_tick_milliseconds() - start; }

TEST(AsyncLoop, KeepsTheHeapOrderOverManyDueTimes) {
  auto loop = FakeClockLoop(0);
  Ran ran;
  for (const char* name : {"a", "b", "c", "d"}) loop->PostDelay(Record(&ran, name), 1, name);
  RunQueued(*loop);
  EXPECT_EQ(ran, Ran{});  // never before its time
  fake_tick = 1;
  RunQueued(*loop);
  EXPECT_EQ(ran,
            (Ran{"a", "c", "b", "d"}));  // the hole left by the root takes the right child on a tie
  std::vector<int64_t> delays;
  for (int64_t i = 0; i < 200; ++i) {
    const int64_t delay = 1 + (i * 7919) % 97;
    loop->PostDelay([&delays, delay] { delays.push_back(delay); }, delay, "");
  }
  for (; fake_tick <= 100; ++fake_tick) RunQueued(*loop);
  ASSERT_EQ(delays.size(), 200u);
  EXPECT_TRUE(std::is_sorted(delays.begin(), delays.end()));
}

TEST(AsyncLoop, DelayedPostWakesTheOwnerOnlyWhenItMayWaitTooLong) {
  auto loop = FakeClockLoop(0);
  loop->PostDelay(nullptr, 500, "");
  EXPECT_TRUE(loop->HasTask());  // nothing known yet about the next wait: woken
  RunQueued(*loop);              // the owner now knows: next due in 500
  loop->PostDelay(nullptr, 800, "");
  EXPECT_FALSE(loop->HasTask());  // due later than the wait it keeps
  loop->PostDelay(nullptr, 300, "");
  EXPECT_TRUE(loop->HasTask());  // due sooner: woken to shorten its wait
  loop->Stop();
}

TEST(AsyncLoop, WaitsUpToTheMaximumTheNextDueTimeOrAPost) {
  auto loop = std::make_shared<AsyncLoop>("real");
  int64_t start = jx_clock_tick_milliseconds();
  loop->FetchTask2Run(true, 300);
  EXPECT_GE(Elapsed(start), 299);
  bool ran = false;
  start = jx_clock_tick_milliseconds();
  loop->PostDelay([&ran] { ran = true; }, 250, "");
  loop->FetchTask2Run(true, 0);  // runs the wake-up task, then waits for the due time
  EXPECT_GE(Elapsed(start), 250);
  RunQueued(*loop);
  EXPECT_TRUE(ran);
  std::thread owner([&] { loop->FetchTask2Run(true, 0); });
  jx_this_thread_sleep(50);
  loop->Post([&ran] { ran = false; }, "");
  owner.join();  // the wait ends; the task runs in the next pass
  EXPECT_TRUE(ran);
  loop->FetchTask2Run(false, 0);
  EXPECT_FALSE(ran);
}

}  // namespace
