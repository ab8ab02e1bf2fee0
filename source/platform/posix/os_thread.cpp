// POSIX implementation of the thread-identity calls.
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "base/jx_utf.h"
#include "platform/jx_os.h"
#include "platform/posix/posix_error.h"

namespace jx::os {

namespace {
// gettid is a system call, which some sandboxes make cost microseconds, and
// every log line and task-thread lookup asks for the id: each thread keeps
// its own. A forked child's only thread has a new id, so the child forgets.
thread_local int64_t cached_thread_id = 0;
void ForgetThreadIdInChild() { cached_thread_id = 0; }
}  // namespace

int64_t ProcessId() { return static_cast<int64_t>(getpid()); }

int64_t ThreadId() {
  if (cached_thread_id == 0) {
    static const int fork_handler = pthread_atfork(nullptr, nullptr, &ForgetThreadIdInChild);
    (void)fork_handler;
    cached_thread_id = static_cast<int64_t>(syscall(SYS_gettid));
  }
  return cached_thread_id;
}

bool SetThreadName(const char* name) {
  // The kernel keeps 15 bytes and a NUL; cut longer names, never refuse them.
  constexpr size_t kMaxBytes = 15;
  char cut[kMaxBytes + 1] = {};
  const size_t length = jx::Utf8PrefixLength(name, std::strlen(name), kMaxBytes);
  std::memcpy(cut, name, length);
  const int error = pthread_setname_np(pthread_self(), cut);
  return error == 0 || Fail(error);
}

void SleepMilliseconds(int milliseconds) {
  timespec remaining{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

void KeepLibraryLoaded() {}

}  // namespace jx::os
