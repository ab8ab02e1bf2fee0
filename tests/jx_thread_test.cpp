#include "base/jx_thread.h"

#include <gtest/gtest.h>

#include <thread>

#include "base/jx_time.h"

namespace {

TEST(Threads, IdsDifferAcrossThreadsAndSleepsLastTheirTime) {
  int64_t other = 0;
  std::thread([&] {
    other = jx_get_current_thread_id();
    EXPECT_TRUE(jx_set_current_thread_name(nullptr));  // read as ""
  }).join();
  EXPECT_NE(other, jx_get_current_thread_id());
  const int64_t start = jx_clock_tick_milliseconds();
  jx_this_thread_sleep(20);
  jx_this_thread_sleep(-5);  // only yields
  EXPECT_GE(jx_clock_tick_milliseconds() - start, 19);
}

}  // namespace
