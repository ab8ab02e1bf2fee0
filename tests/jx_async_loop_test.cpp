#include "base/jx_async_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/jx_thread.h"
#include "base/jx_time.h"

namespace {

using jx::AsyncLoop;

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

std::function<void()> Record(std::vector<std::string>* ran, const std::string& what) {
  return [ran, what] { ran->push_back(what); };
}

TEST(AsyncLoop, RunsPostedTasksInOrderOnePerPassAndNonPositiveDelaysAsPosts) {
  auto loop = FakeClockLoop(0);
  std::vector<std::string> ran;
  for (const char* name : {"a", "b", "c"}) EXPECT_TRUE(loop->Post(Record(&ran, name), name));
  EXPECT_TRUE(loop->HasTask());
  EXPECT_FALSE(loop->HasDelayTask());
  loop->FetchTask2Run(false, 0);
  EXPECT_EQ(ran, std::vector<std::string>{"a"});
  loop->FetchTask2Run(false, 0);
  loop->FetchTask2Run(false, 0);
  EXPECT_EQ(ran, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_FALSE(loop->HasTask());
  loop->FetchTask2Run(false, 0);                 // nothing to run, and no wait without the flag
  EXPECT_TRUE(loop->Post(nullptr, ""));          // an empty task is skipped
  loop->PostDelay(Record(&ran, "zero"), 0, "");  // a delay of zero or less is a plain post
  loop->PostDelay(Record(&ran, "negative"), -5, "");
  EXPECT_FALSE(loop->HasDelayTask());
  RunQueued(*loop);
  EXPECT_EQ(ran, (std::vector<std::string>{"a", "b", "c", "zero", "negative"}));
}

TEST(AsyncLoop, DelayedTasksRunEarliestFirstBehindTasksAlreadyQueued) {
  auto loop = FakeClockLoop(1000);
  std::vector<std::string> ran;
  loop->PostDelay(Record(&ran, "due 1300"), 300, "");
  loop->PostDelay(Record(&ran, "due 1100"), 100, "");
  EXPECT_TRUE(loop->HasDelayTask());
  RunQueued(*loop);
  EXPECT_TRUE(ran.empty());

  fake_tick = 1099;
  RunQueued(*loop);
  EXPECT_TRUE(ran.empty());  // never before its time

  fake_tick = 1100;
  loop->Post(Record(&ran, "x"), "");
  loop->Post(Record(&ran, "y"), "");
  RunQueued(*loop);
  EXPECT_EQ(ran, (std::vector<std::string>{"x", "y", "due 1100"}));
  EXPECT_TRUE(loop->HasDelayTask());

  fake_tick = 5000;  // a busy owner only runs it later
  RunQueued(*loop);
  EXPECT_EQ(ran.back(), "due 1300");
  EXPECT_FALSE(loop->HasDelayTask());
}

TEST(AsyncLoop, EqualDueTimesFollowTheHeapOrder) {
  auto loop = FakeClockLoop(0);
  std::vector<std::string> ran;
  for (const char* name : {"a", "b", "c", "d"}) loop->PostDelay(Record(&ran, name), 10, name);
  fake_tick = 10;
  RunQueued(*loop);
  // The hole left by the root takes the right child on a tie.
  EXPECT_EQ(ran, (std::vector<std::string>{"a", "c", "b", "d"}));
}

TEST(AsyncLoop, KeepsTheHeapOrderOverManyDueTimes) {
  auto loop = FakeClockLoop(0);
  std::vector<int64_t> ran;
  for (int64_t i = 0; i < 200; ++i) {
    const int64_t delay = 1 + (i * 7919) % 97;
    loop->PostDelay([&ran, delay] { ran.push_back(delay); }, delay, "");
  }
  for (fake_tick = 1; fake_tick <= 100; ++fake_tick) RunQueued(*loop);
  ASSERT_EQ(ran.size(), 200u);
  EXPECT_TRUE(std::is_sorted(ran.begin(), ran.end()));
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

TEST(AsyncLoop, CutsHugeDelaysToTheLongestItCanWaitFor) {
  auto loop = FakeClockLoop(0);
  bool ran = false;
  loop->PostDelay([&ran] { ran = true; }, INT64_MAX, "");
  fake_tick = AsyncLoop::kMaxDelay - 1;
  RunQueued(*loop);
  EXPECT_FALSE(ran);
  EXPECT_TRUE(loop->HasDelayTask());
  fake_tick = AsyncLoop::kMaxDelay;
  RunQueued(*loop);
  EXPECT_TRUE(ran);
}

TEST(AsyncLoop, WaitsUpToTheMaximumWait) {
  auto loop = std::make_shared<AsyncLoop>("real");
  const int64_t start = jx_clock_tick_milliseconds();
  loop->FetchTask2Run(true, 300);
  EXPECT_GE(jx_clock_tick_milliseconds() - start, 299);
}

TEST(AsyncLoop, WaitWithoutLimitEndsAtTheNextDueTime) {
  auto loop = std::make_shared<AsyncLoop>("real");
  bool ran = false;
  const int64_t start = jx_clock_tick_milliseconds();
  loop->PostDelay([&ran] { ran = true; }, 250, "");
  // Runs the wake-up task, then waits with no limit given: only the delayed
  // task's due time ends the wait.
  loop->FetchTask2Run(true, 0);
  EXPECT_GE(jx_clock_tick_milliseconds() - start, 250);
  loop->FetchTask2Run(false, 0);  // moves it to the run queue
  EXPECT_FALSE(ran);
  loop->FetchTask2Run(false, 0);
  EXPECT_TRUE(ran);
}

TEST(AsyncLoop, WaitWithoutLimitEndsWhenATaskIsPosted) {
  auto loop = std::make_shared<AsyncLoop>("real");
  std::atomic<bool> returned{false};
  std::thread owner([&] {
    loop->FetchTask2Run(true, 0);
    returned = true;
  });
  jx_this_thread_sleep(50);
  EXPECT_FALSE(returned.load());
  bool ran = false;
  loop->Post([&ran] { ran = true; }, "");
  owner.join();
  EXPECT_FALSE(ran);  // the wait only ends; the task runs in the next pass
  loop->FetchTask2Run(false, 0);
  EXPECT_TRUE(ran);
}

TEST(AsyncLoop, RethrowsATasksExceptionAfterAPause) {
  auto loop = std::make_shared<AsyncLoop>("real");
  loop->Post([] { throw std::runtime_error("boom"); }, "thrower");
  const int64_t start = jx_clock_tick_milliseconds();
  EXPECT_THROW(loop->FetchTask2Run(false, 0), std::runtime_error);
  EXPECT_GE(jx_clock_tick_milliseconds() - start, 999);
  EXPECT_FALSE(loop->HasTask());  // removed before it ran
}

TEST(AsyncLoop, StopReleasesQueuedTasksUnrunAndDropsLaterPosts) {
  auto loop = FakeClockLoop(0);
  std::vector<std::string> ran;
  loop->Post(Record(&ran, "queued"), "");
  loop->PostDelay(Record(&ran, "delayed"), 50, "");
  std::weak_ptr<AsyncLoop> watch = loop;
  EXPECT_FALSE(loop->IsStopped());
  loop->Stop();
  EXPECT_TRUE(loop->IsStopped());
  EXPECT_FALSE(loop->HasTask());
  EXPECT_FALSE(loop->HasDelayTask());
  EXPECT_TRUE(loop->Post(Record(&ran, "late"), ""));
  EXPECT_TRUE(loop->PostDelay(Record(&ran, "late delayed"), 5, ""));
  EXPECT_FALSE(loop->HasTask());
  fake_tick = 100;
  loop->FetchTask2Run(true, 0);  // a stopped loop does not wait
  EXPECT_TRUE(ran.empty());
  loop.reset();
  EXPECT_TRUE(watch.expired());  // no task kept it alive
}

TEST(AsyncLoop, StopFromARunningTaskLetsItFinish) {
  auto loop = FakeClockLoop(0);
  std::vector<std::string> ran;
  loop->Post(
      [&] {
        loop->Stop();
        ran.push_back("running");
      },
      "");
  loop->Post(Record(&ran, "next"), "");
  RunQueued(*loop);
  EXPECT_EQ(ran, std::vector<std::string>{"running"});
}

TEST(TimeStampName, IsTheLocalTimeWithMilliseconds) {
  const int64_t wall = 1796423401007;  // early December 2026 in every time zone
  const int64_t seconds = wall / 1000;
  struct tm t {};
  ASSERT_EQ(jx_localtime(&t, &seconds), 0);
  char expected[64];
  std::snprintf(expected, sizeof(expected), "%04d-%02d-%02d-%02d-%02d-%02d-007", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  EXPECT_EQ(jx::TimeStampName(wall), expected);
}

}  // namespace
