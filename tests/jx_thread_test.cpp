#include "base/jx_thread.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "base/jx_time.h"

namespace {

TEST(ThreadIdentity, IdsAreStablePerThreadAndDistinctAcrossThreads) {
  const int64_t mine = jx_get_current_thread_id();
  EXPECT_EQ(jx_get_current_thread_id(), mine);
  EXPECT_GT(jx_get_current_process_id(), 0);
  int64_t other = 0;
  int64_t other_process = 0;
  std::thread([&] {
    other = jx_get_current_thread_id();
    other_process = jx_get_current_process_id();
  }).join();
  EXPECT_NE(other, mine);
  EXPECT_EQ(other_process, jx_get_current_process_id());
}

TEST(Pauses, SleepLastsAtLeastItsTimeAndNonPositiveOnlyYields) {
  const int64_t start = jx_clock_tick_milliseconds();
  jx_this_thread_sleep(20);
  EXPECT_GE(jx_clock_tick_milliseconds() - start, 19);
  jx_this_thread_sleep(0);
  jx_this_thread_sleep(-5);
  jx_this_thread_yield();
}

}  // namespace
