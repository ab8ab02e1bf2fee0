#include "base/jx_time.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(Clocks, UnitsAgreeWithTheWallClockAndLocalTimeBreaksDownTheEpoch) {
  // In microseconds: each tick unit is the nanosecond clock truncated.
  const int64_t before = jx_clock_tick_nanoseconds() / 1000;
  const int64_t ticks[] = {jx_clock_tick_microseconds(), jx_clock_tick_milliseconds() * 1000,
                           jx_clock_tick_seconds() * 1000000};
  const int64_t after = jx_clock_tick_nanoseconds() / 1000;
  for (int64_t tick : ticks) EXPECT_TRUE(before - 1000000 < tick && tick <= after) << tick;
  const int64_t wall = static_cast<int64_t>(time(nullptr)) * 1000;
  const int64_t system[] = {jx_system_time_nanoseconds() / 1000000,
                            jx_system_time_microseconds() / 1000, jx_system_time_milliseconds(),
                            jx_system_time_seconds() * int64_t{1000}};
  for (int64_t ms : system) EXPECT_NEAR(ms, wall, 2000);
  struct tm local {};
  const int64_t zero = 0;
  ASSERT_EQ(jx_localtime(&local, &zero), 0);
  EXPECT_EQ(local.tm_mon, local.tm_year == 70 ? 0 : 11);  // 1970 east of UTC, 1969 west of it
  EXPECT_EQ(jx_localtime(nullptr, &zero) + jx_localtime(&local, nullptr), 2 * EINVAL);
}

}  // namespace
