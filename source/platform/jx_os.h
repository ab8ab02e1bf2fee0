// The internal interface between the portable toolkit and the operating
// system. Each family's calls are implemented once in posix/ and once in
// win/ with the same file names; CMake picks the set, so portable code never
// tests the platform. Texts are UTF-8; conversion to UTF-16 happens inside the
// Windows files.
#ifndef JX_PLATFORM_JX_OS_H_
#define JX_PLATFORM_JX_OS_H_

#include <cstdint>
#include <ctime>

namespace jx::os {

// --- time (os_time.cpp) ---
// Monotonic clock in nanoseconds.
int64_t MonotonicNanoseconds();
// Wall clock in 100 ns units since 1970-01-01 UTC.
int64_t RealTime100Nanoseconds();
// Thread-safe local-time breakdown; 0 or an error number.
int LocalTime(std::tm* out, int64_t seconds);

// --- thread identity (os_thread.cpp) ---
int64_t ProcessId();
int64_t ThreadId();
// Names the calling thread; `name` is never null.
bool SetThreadName(const char* name);
// Sleeps at least `milliseconds` (> 0).
void SleepMilliseconds(int milliseconds);

}  // namespace jx::os

#endif  // JX_PLATFORM_JX_OS_H_
