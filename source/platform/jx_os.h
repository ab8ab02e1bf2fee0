// The internal interface between the portable toolkit and the operating
// system. Each family's calls are implemented once in posix/ and once in
// win/ with the same file names; CMake picks the set, so portable code never
// tests the platform. Texts are UTF-8; conversion to UTF-16 happens inside the
// Windows files.
#ifndef JX_PLATFORM_JX_OS_H_
#define JX_PLATFORM_JX_OS_H_

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

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

// --- files (os_file.cpp) ---
// Paths arrive normalised and non-empty; modes arrive validated.
std::FILE* OpenFile(const std::string& path, const char* mode);
std::FILE* ReopenFile(const std::string& path, const char* mode, std::FILE* stream);

struct PathInfo {
  bool is_directory;
  bool is_regular;  // a plain file: not a folder, FIFO, device or socket
  uint64_t size;
  int64_t access_time;  // seconds since 1970, UTC
  int64_t write_time;
  int64_t create_time;
};
// False when the path's attributes cannot be read (missing, no access).
bool StatPath(const std::string& path, PathInfo* info);
// 0 on success, like the C runtime's remove.
int RemoveFile(const std::string& path);
int FileDescriptor(std::FILE* stream);
int DuplicateDescriptor(int fd);
int DuplicateDescriptorTo(int fd1, int fd2);

}  // namespace jx::os

#endif  // JX_PLATFORM_JX_OS_H_
