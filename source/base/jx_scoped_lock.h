// RAII holder of a jx_lock_t for the toolkit's own critical sections.
#ifndef JX_BASE_JX_SCOPED_LOCK_H_
#define JX_BASE_JX_SCOPED_LOCK_H_

#include "base/jx_lock.h"

namespace jx {

class ScopedLock {
 public:
  explicit ScopedLock(jx_lock_t lock) : lock_(lock) { jx_lock_lock(lock_); }
  ~ScopedLock() { jx_lock_unlock(lock_); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  jx_lock_t lock_;
};

// Threads holding or waiting for `lock` (0 for a null or released handle).
// For tests and diagnostics.
int LockQueueLength(jx_lock_t lock);

// Process-wide locks made when the library is loaded and destroyed when it is
// unloaded. They serialise the first creation of the command-line store and
// of the task-thread registry.
jx_lock_t CommandLineCreationLock();
jx_lock_t RegistryCreationLock();

}  // namespace jx

#endif  // JX_BASE_JX_SCOPED_LOCK_H_
