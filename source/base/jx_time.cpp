// Clocks: monotonic ticks and wall-clock time anchored once per unit.
#include "base/jx_time.h"

#include <cerrno>

#include "base/jx_calendar.h"
#include "base/jx_number_text.h"
#include "platform/jx_os.h"

namespace {

// One anchor pair per unit: the tick and the wall-clock value at first use.
struct Anchor {
  int64_t tick;
  int64_t wall;
};

template <int64_t kNanosPerUnit>
int64_t Tick() {
  return jx::os::MonotonicNanoseconds() / kNanosPerUnit;
}

template <int64_t kNanosPerUnit>
const Anchor& AnchorFor() {
  static const Anchor anchor = [] {
    const int64_t tick = Tick<kNanosPerUnit>();
    const int64_t real = jx::os::RealTime100Nanoseconds();
    const int64_t wall = kNanosPerUnit >= 100 ? real / (kNanosPerUnit / 100) : real * 100;
    return Anchor{tick, wall};
  }();
  return anchor;
}

template <int64_t kNanosPerUnit>
int64_t SystemTime() {
  const Anchor& anchor = AnchorFor<kNanosPerUnit>();
  const int64_t elapsed = Tick<kNanosPerUnit>() - anchor.tick;
  return elapsed > 0 ? anchor.wall + elapsed : anchor.wall;
}

}  // namespace

extern "C" {

int64_t jx_clock_tick_nanoseconds(void) { return Tick<1>(); }
int64_t jx_clock_tick_microseconds(void) { return Tick<1000>(); }
int64_t jx_clock_tick_milliseconds(void) { return Tick<1000000>(); }
int64_t jx_clock_tick_seconds(void) { return Tick<1000000000>(); }

int64_t jx_system_time_nanoseconds(void) { return SystemTime<1>(); }
int64_t jx_system_time_microseconds(void) { return SystemTime<1000>(); }
int64_t jx_system_time_milliseconds(void) { return SystemTime<1000000>(); }

int32_t jx_system_time_seconds(void) {
  // Held and computed in 32 bits; unsigned arithmetic makes the wrap defined.
  const Anchor& anchor = AnchorFor<1000000000>();
  const auto anchor_tick = static_cast<uint32_t>(anchor.tick);
  const auto now_tick = static_cast<uint32_t>(Tick<1000000000>());
  const auto elapsed = static_cast<int32_t>(now_tick - anchor_tick);
  const auto wall = static_cast<uint32_t>(anchor.wall);
  return static_cast<int32_t>(elapsed > 0 ? wall + static_cast<uint32_t>(elapsed) : wall);
}

int jx_localtime(struct tm* out, const int64_t* seconds) {
  if (out == nullptr || seconds == nullptr) return EINVAL;
  return jx::os::LocalTime(out, *seconds) ? 0 : errno;
}

}  // extern "C"

namespace jx {

namespace {

// Local calendar time of whole seconds, cached per thread for the last one.
const std::tm& LocalCalendar(int64_t seconds) {
  struct Cache {
    int64_t seconds = INT64_MIN;
    std::tm calendar{};
  };
  thread_local Cache cache;
  if (seconds != cache.seconds) {
    std::tm calendar{};
    if (jx_localtime(&calendar, &seconds) != 0) calendar = std::tm{};
    cache.calendar = calendar;
    cache.seconds = seconds;
  }
  return cache.calendar;
}

}  // namespace

void AppendLocalStamp(std::string* out, int64_t wall_milliseconds, char gap, char separator) {
  const int64_t seconds = wall_milliseconds / 1000;
  const std::tm& t = LocalCalendar(seconds);
  AppendZeroPadded(out, t.tm_year + 1900, 4);
  out->push_back('-');
  AppendZeroPadded(out, t.tm_mon + 1, 2);
  out->push_back('-');
  AppendZeroPadded(out, t.tm_mday, 2);
  out->push_back(gap);
  AppendZeroPadded(out, t.tm_hour, 2);
  out->push_back(separator);
  AppendZeroPadded(out, t.tm_min, 2);
  out->push_back(separator);
  AppendZeroPadded(out, t.tm_sec, 2);
  out->push_back(separator);
  AppendZeroPadded(out, wall_milliseconds - seconds * 1000, 3);
}

}  // namespace jx
