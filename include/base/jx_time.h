// Clocks and calendar time.
//
// Two families of clocks, each in four units. The tick clocks are monotonic
// and measure intervals. The system-time clocks give wall-clock time since
// 1970-01-01 00:00:00 UTC, but read the real-time clock only once per unit
// (on the first call): afterwards they advance with the monotonic clock, so
// they never jump when the machine's clock is set and never run backwards.
//
// All calls are safe from any thread. After the first call every clock costs
// one monotonic-counter read and a few integer operations.
#ifndef JX_BASE_JX_TIME_H_
#define JX_BASE_JX_TIME_H_

#include <time.h>

#include "base/jx_api.h"

JX_EXTERN_C_BEGIN

// Monotonic clock in nanoseconds (microseconds, milliseconds, seconds are the
// nanosecond value divided and truncated). The origin is unspecified.
JX_API int64_t jx_clock_tick_nanoseconds(void);
JX_API int64_t jx_clock_tick_microseconds(void);
JX_API int64_t jx_clock_tick_milliseconds(void);
JX_API int64_t jx_clock_tick_seconds(void);

// Wall-clock time since 1970 in the named unit: the anchor read on the first
// call of that unit plus the monotonic time elapsed since then.
JX_API int64_t jx_system_time_nanoseconds(void);
JX_API int64_t jx_system_time_microseconds(void);
JX_API int64_t jx_system_time_milliseconds(void);
// Seconds since 1970 as a signed 32-bit count, computed with 32-bit values;
// widen it with its sign before use.
JX_API int32_t jx_system_time_seconds(void);

// jx_localtime
//
// Breaks `*seconds` (seconds since 1970) into local calendar time in `*out`
// (tm_year counts from 1900, tm_mon from 0). Thread-safe. Returns 0 on
// success, EINVAL when either pointer is null, or another error number when
// the time cannot be represented.
JX_API int jx_localtime(struct tm* out, const int64_t* seconds);

JX_EXTERN_C_END

#endif  // JX_BASE_JX_TIME_H_
