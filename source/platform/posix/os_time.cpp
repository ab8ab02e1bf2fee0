// POSIX implementation of the clock calls.
#include <cerrno>
#include <ctime>

#include "platform/jx_os.h"
#include "platform/posix/posix_error.h"

namespace jx::os {

namespace {
int64_t Read(clockid_t clock, int64_t unit_ns) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<int64_t>(now.tv_sec) * (1000000000 / unit_ns) + now.tv_nsec / unit_ns;
}
}  // namespace

int64_t MonotonicNanoseconds() { return Read(CLOCK_MONOTONIC, 1); }

int64_t RealTime100Nanoseconds() { return Read(CLOCK_REALTIME, 100); }

bool LocalTime(std::tm* out, int64_t seconds) {
  const time_t t = static_cast<time_t>(seconds);
  if (static_cast<int64_t>(t) != seconds) return Fail(EOVERFLOW);
  if (localtime_r(&t, out) != nullptr) return true;
  if (errno == 0) errno = EOVERFLOW;
  return false;
}

}  // namespace jx::os
