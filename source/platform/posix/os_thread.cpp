// POSIX implementation of the thread-identity calls.
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "base/jx_utf.h"
#include "platform/jx_os.h"

namespace jx::os {

int64_t ProcessId() { return static_cast<int64_t>(getpid()); }

int64_t ThreadId() { return static_cast<int64_t>(syscall(SYS_gettid)); }

bool SetThreadName(const char* name) {
  // The kernel keeps 15 bytes and a NUL; cut longer names, never refuse them.
  constexpr size_t kMaxBytes = 15;
  char cut[kMaxBytes + 1] = {};
  const size_t length = jx::Utf8PrefixLength(name, std::strlen(name), kMaxBytes);
  std::memcpy(cut, name, length);
  return pthread_setname_np(pthread_self(), cut) == 0;
}

void SleepMilliseconds(int milliseconds) {
  timespec remaining{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

}  // namespace jx::os
