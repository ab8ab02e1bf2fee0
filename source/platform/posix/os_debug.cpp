// POSIX implementation of the debugger output and console redirection.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>

#include "platform/jx_os.h"
#include "platform/posix/posix_error.h"

namespace jx::os {

namespace {

// What the standard descriptors held before the first redirection, put back
// by the resume; -1 for a descriptor that was closed then.
struct SavedConsole {
  bool saved = false;
  int out = -1;
  int err = -1;
};

std::mutex console_lock;
SavedConsole console;  // guarded by console_lock

int Save(int standard) { return fcntl(standard, F_DUPFD_CLOEXEC, 3); }

bool PutBack(int saved, int standard) {
  if (saved < 0) return close(standard) == 0 || errno == EBADF;
  const bool restored = dup2(saved, standard) >= 0;
  KeepingError([&] { close(saved); });
  return restored;
}

}  // namespace

void DebuggerOutput(const std::string&) {}  // no debugger channel here

bool RedirectConsole(const std::string& path) {
  std::FILE* file = nullptr;
  if (!OpenFile(path, "a", &file)) return false;  // never blocks on a FIFO
  std::lock_guard<std::mutex> hold(console_lock);
  if (!console.saved) console = {true, Save(STDOUT_FILENO), Save(STDERR_FILENO)};
  std::fflush(stdout);
  std::fflush(stderr);
  const bool out = dup2(fileno(file), STDOUT_FILENO) >= 0;
  const bool err = dup2(fileno(file), STDERR_FILENO) >= 0;
  KeepingError([&] { std::fclose(file); });
  return out && err;
}

bool ResumeConsole() {
  std::lock_guard<std::mutex> hold(console_lock);
  if (!console.saved) return true;
  std::fflush(stdout);
  std::fflush(stderr);
  const bool out = PutBack(console.out, STDOUT_FILENO);
  const int out_error = errno;
  const bool err = PutBack(console.err, STDERR_FILENO);
  if (!out) errno = out_error;  // the first failure is reported
  console = {};
  return out && err;
}

}  // namespace jx::os
