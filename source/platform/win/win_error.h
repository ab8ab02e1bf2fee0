// The error of a failed call, kept where LastError reads it: GetLastError.
#ifndef JX_PLATFORM_WIN_WIN_ERROR_H_
#define JX_PLATFORM_WIN_WIN_ERROR_H_

#include <windows.h>

#include <errno.h>
#include <stdlib.h>

namespace jx::os {

// A failure found without a system call: sets the error; always false.
inline bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

// Clean-up after a failure, which must not replace the failure's error.
template <class Cleanup>
void KeepingError(Cleanup cleanup) {
  const DWORD error = GetLastError();
  cleanup();
  SetLastError(error);
}

// The C runtime reports a failure in errno, and in _doserrno as well when the
// system refused; _doserrno is cleared first, as the runtime's own checks
// leave it alone.
inline void ClearRuntimeError() { _doserrno = 0; }

// After a failed C runtime call: the system's error, or else the nearest one
// to errno. Always false.
inline bool RuntimeFailed() {
  if (_doserrno != 0) return Fail(static_cast<DWORD>(_doserrno));
  static constexpr struct {
    int c_error;
    DWORD system_error;
  } kNearest[] = {{ENOENT, ERROR_FILE_NOT_FOUND},
                  {EACCES, ERROR_ACCESS_DENIED},
                  {EEXIST, ERROR_FILE_EXISTS},
                  {EBADF, ERROR_INVALID_HANDLE},
                  {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
                  {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
                  {ENOSPC, ERROR_DISK_FULL}};
  for (const auto& pair : kNearest) {
    if (pair.c_error == errno) return Fail(pair.system_error);
  }
  return Fail(ERROR_INVALID_PARAMETER);
}

}  // namespace jx::os

#endif  // JX_PLATFORM_WIN_WIN_ERROR_H_
