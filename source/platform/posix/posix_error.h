// errno at the POSIX boundary: a failing call leaves its own error there for
// LastError, also when clean-up follows the failure.
#ifndef JX_PLATFORM_POSIX_POSIX_ERROR_H_
#define JX_PLATFORM_POSIX_POSIX_ERROR_H_

#include <cerrno>

namespace jx::os {

// A failure found without a system call: sets errno; always false.
inline bool Fail(int error) {
  errno = error;
  return false;
}

// Clean-up after a failure, which must not replace the failure's errno.
template <class Cleanup>
void KeepingError(Cleanup cleanup) {
  const int error = errno;
  cleanup();
  errno = error;
}

}  // namespace jx::os

#endif  // JX_PLATFORM_POSIX_POSIX_ERROR_H_
