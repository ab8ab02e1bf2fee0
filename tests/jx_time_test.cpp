#include "base/jx_time.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace {

TEST(TickClock, UnitsAreTruncatedNanoseconds) {
  for (int i = 0; i < 100; ++i) {
    const int64_t before = jx_clock_tick_nanoseconds();
    const int64_t ms = jx_clock_tick_milliseconds();
    const int64_t us = jx_clock_tick_microseconds();
    const int64_t s = jx_clock_tick_seconds();
    const int64_t after = jx_clock_tick_nanoseconds();
    EXPECT_GE(ms, before / 1000000);
    EXPECT_LE(ms, after / 1000000);
    EXPECT_GE(us, before / 1000);
    EXPECT_LE(us, after / 1000);
    EXPECT_GE(s, before / 1000000000);
    EXPECT_LE(s, after / 1000000000);
  }
}

TEST(SystemTime, AgreesWithTheWallClockAndAcrossUnits) {
  const int64_t wall_ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
  const int64_t ms = jx_system_time_milliseconds();
  EXPECT_LT(std::llabs(ms - wall_ms), 2000);
  EXPECT_LE(std::llabs(ms / 1000 - static_cast<int64_t>(jx_system_time_seconds())), 1);
  EXPECT_LE(std::llabs(jx_system_time_microseconds() / 1000 - ms), 1000);
  EXPECT_LE(std::llabs(jx_system_time_nanoseconds() / 1000000 - ms), 1000);
}

TEST(LocalTime, BreaksDownTheEpochAndRejectsNulls) {
  struct tm local {};
  const int64_t zero = 0;
  ASSERT_EQ(jx_localtime(&local, &zero), 0);
  if (local.tm_year == 70) {
    EXPECT_EQ(local.tm_mon, 0);
    EXPECT_EQ(local.tm_mday, 1);
  } else {
    EXPECT_EQ(local.tm_year, 69);  // west of UTC
    EXPECT_EQ(local.tm_mon, 11);
    EXPECT_EQ(local.tm_mday, 31);
  }
  const int64_t later = 1577836800;  // 2020-01-01 00:00:00 UTC
  ASSERT_EQ(jx_localtime(&local, &later), 0);
  EXPECT_TRUE(local.tm_year == 120 || local.tm_year == 119);
  EXPECT_EQ(jx_localtime(nullptr, &zero), EINVAL);
  EXPECT_EQ(jx_localtime(&local, nullptr), EINVAL);
}

}  // namespace
