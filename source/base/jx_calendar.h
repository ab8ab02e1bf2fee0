// Wall-clock milliseconds broken into local calendar time, shared by the log
// line stamp and the time-stamp names of tasks.
#ifndef JX_BASE_JX_CALENDAR_H_
#define JX_BASE_JX_CALENDAR_H_

#include <cstdint>
#include <ctime>

namespace jx {

struct LocalStamp {
  std::tm calendar;  // local time of the whole seconds (all zero if it cannot be represented)
  int milliseconds;  // milliseconds minus whole seconds times 1000
};

// Whole seconds are the milliseconds divided by 1000, broken down by
// jx_localtime. Each thread remembers the last second it broke down, so a
// thread that stamps many records a second pays for one breakdown.
LocalStamp BreakDownLocalMilliseconds(int64_t wall_milliseconds);

}  // namespace jx

#endif  // JX_BASE_JX_CALENDAR_H_
