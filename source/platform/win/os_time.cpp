// Windows implementation of the clock calls.
#include <windows.h>

#include <cerrno>
#include <ctime>

#include "platform/jx_os.h"
#include "platform/win/win_error.h"

namespace jx::os {

namespace {
// 100 ns intervals between 1601-01-01 (FILETIME origin) and 1970-01-01.
constexpr int64_t kEpochDifference = 116444736000000000LL;

int64_t Frequency() {
  static const int64_t frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<int64_t>(f.QuadPart);
  }();
  return frequency;
}
}  // namespace

int64_t MonotonicNanoseconds() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  const int64_t frequency = Frequency();
  // Whole seconds and remainder apart, so the product never overflows.
  const int64_t seconds = counter.QuadPart / frequency;
  const int64_t rest = counter.QuadPart % frequency;
  return seconds * 1000000000 + rest * 1000000000 / frequency;
}

int64_t RealTime100Nanoseconds() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER value;
  value.LowPart = ft.dwLowDateTime;
  value.HighPart = ft.dwHighDateTime;
  return static_cast<int64_t>(value.QuadPart) - kEpochDifference;
}

bool LocalTime(std::tm* out, int64_t seconds) {
  const __time64_t t = seconds;
  ClearRuntimeError();
  const errno_t failed = _localtime64_s(out, &t);
  if (failed == 0) return true;
  errno = failed;
  return RuntimeFailed();
}

}  // namespace jx::os
