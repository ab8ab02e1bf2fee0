// Local date and time stamps of wall-clock milliseconds, shared by the log
// lines and the time-stamp names of tasks.
#ifndef JX_BASE_JX_CALENDAR_H_
#define JX_BASE_JX_CALENDAR_H_

#include <cstdint>
#include <string>

namespace jx {

// Appends the local time of `wall_milliseconds` (since 1970) as
// "%04d-%02d-%02d<gap>%02d<separator>%02d<separator>%02d<separator>%03d":
// year, month 1-12, day, hour, minute, second, then the milliseconds left
// over. Whole seconds are broken down by jx_localtime (all fields zero when
// it fails). Each thread remembers the last second it broke down, so a
// thread that stamps many records a second pays for one breakdown.
void AppendLocalStamp(std::string* out, int64_t wall_milliseconds, char gap, char separator);

}  // namespace jx

#endif  // JX_BASE_JX_CALENDAR_H_
