#include "base/jx_thread.h"

#include <gtest/gtest.h>

#include <thread>

#include "base/jx_time.h"
#ifdef _WIN32
#include "platform/win/win_thread.h"
#endif

namespace {

#ifdef _WIN32
// Before Windows 10 1607 a name reaches a debugger through an exception; the
// process must survive it without one.
TEST(ThreadNames, WithoutSetThreadDescriptionTheNameGoesToADebugger) {
  EXPECT_TRUE(jx::os::NameThread(nullptr, "older windows"));
}
#endif

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
