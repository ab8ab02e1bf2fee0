// Ticket lock and unordered spin lock.
//
// Each lock keeps its counters and its destroyed flag in one atomic word, so
// that a destroy and the last unlock are ordered by a single read-modify-write
// and exactly one of them releases the lock. All operations use sequentially
// consistent atomics.
#include "base/jx_lock.h"

#include <atomic>

#include "base/jx_queue_mutex.h"
#include "base/jx_recycle.h"
#include "base/jx_scoped_lock.h"
#include "base/jx_thread.h"

// Ticket lock word: bits 0-30 now serving, bit 31 destroyed, bits 32-63 next
// ticket. Tickets compare modulo 2^31; the next ticket simply wraps.
struct jx_lock_s {
  std::atomic<jx_lock_s*> mark{nullptr};
  std::atomic<uint64_t> state{0};
};

// Spin lock word: bits 0-30 claim count, bit 31 destroyed.
struct jx_rand_lock_s {
  std::atomic<jx_rand_lock_s*> mark{nullptr};
  std::atomic<uint32_t> state{0};
};

namespace {

constexpr uint64_t kServingMask = 0x7FFFFFFFu;
constexpr uint64_t kLockDestroyed = 0x80000000u;
constexpr uint64_t kOneTicket = uint64_t{1} << 32;
constexpr uint32_t kClaimMask = 0x7FFFFFFFu;
constexpr uint32_t kSpinDestroyed = 0x80000000u;

template <class Lock>
bool IsAlive(Lock* lock) {
  return lock != nullptr && lock->mark.load() == lock;
}

template <class Lock>
Lock* CreateLock() {
  Lock* lock = jx::Recycler<Lock>::Acquire();
  lock->state.store(0);
  lock->mark.store(lock);
  return lock;
}

template <class Lock>
void ReleaseLock(Lock* lock) {
  lock->mark.store(nullptr);
  jx::Recycler<Lock>::Release(lock);
}

// Waits by looking again after a short pause, and gives up the time slice
// between longer rounds: a handoff to a waiter that is spinning takes tens of
// nanoseconds, one to a waiter inside a yield takes a system call.
class Backoff {
 public:
  void Pause() {
    if (++spins_ < kSpinsBeforeYield) {
      jx::CpuRelax();
    } else {
      spins_ = 0;
      jx_this_thread_yield();
    }
  }

 private:
  static constexpr int kSpinsBeforeYield = 64;
  int spins_ = 0;
};

uint64_t NowServing(uint64_t state) { return state & kServingMask; }
uint64_t NextTicket(uint64_t state) { return (state >> 32) & kServingMask; }

// Drops one claim of the spin lock; releases it and returns true when this
// was the last claim of a destroyed lock.
bool DropClaim(jx_rand_lock_s* lock) {
  const uint32_t before = lock->state.fetch_sub(1);
  if ((before & kSpinDestroyed) != 0 && (before & kClaimMask) == 1) {
    ReleaseLock(lock);
    return true;
  }
  return false;
}

}  // namespace

extern "C" {

jx_lock_t jx_lock_create(void) { return CreateLock<jx_lock_s>(); }

void jx_lock_lock(jx_lock_t lock) {
  if (!IsAlive(lock)) return;
  if ((lock->state.load() & kLockDestroyed) != 0) return;
  const uint64_t ticket = NextTicket(lock->state.fetch_add(kOneTicket));
  Backoff backoff;
  for (;;) {
    const uint64_t ahead = (ticket - NowServing(lock->state.load())) & kServingMask;
    if (ahead == 0) return;
    if (ahead == 1) {
      backoff.Pause();
    } else {
      jx_this_thread_yield();
    }
  }
}

void jx_lock_unlock(jx_lock_t lock) {
  if (!IsAlive(lock)) return;
  uint64_t before = lock->state.load();
  uint64_t after;
  do {
    after = (before & ~kServingMask) | ((before + 1) & kServingMask);
  } while (!lock->state.compare_exchange_weak(before, after));
  if ((after & kLockDestroyed) != 0 && NextTicket(after) == NowServing(after)) ReleaseLock(lock);
}

void jx_lock_destory(jx_lock_t lock) {
  if (!IsAlive(lock)) return;
  const uint64_t before = lock->state.fetch_or(kLockDestroyed);
  if ((before & kLockDestroyed) != 0) return;  // already destroyed
  if (NextTicket(before) == NowServing(before)) ReleaseLock(lock);
}

jx_lock_t jx_global_lock(void) {
  static jx_lock_t const lock = jx_lock_create();
  return lock;
}

jx_rand_lock_t jx_rand_lock_create(void) { return CreateLock<jx_rand_lock_s>(); }

void jx_rand_lock_lock(jx_rand_lock_t lock) {
  if (!IsAlive(lock)) return;
  Backoff backoff;
  for (;;) {
    if ((lock->state.load() & kSpinDestroyed) != 0) return;
    if ((lock->state.fetch_add(1) & kClaimMask) == 0) return;
    if (DropClaim(lock)) return;
    backoff.Pause();
  }
}

void jx_rand_lock_unlock(jx_rand_lock_t lock) {
  if (IsAlive(lock)) DropClaim(lock);
}

void jx_rand_lock_destory(jx_rand_lock_t lock) {
  if (!IsAlive(lock)) return;
  const uint32_t before = lock->state.fetch_or(kSpinDestroyed);
  if ((before & kSpinDestroyed) != 0) return;
  if ((before & kClaimMask) == 0) ReleaseLock(lock);
}

}  // extern "C"

namespace jx {

namespace {
// Made when the library is loaded, destroyed when it is unloaded.
struct CreationLocks {
  jx_lock_t command_line = jx_lock_create();
  jx_lock_t registry = jx_lock_create();
  ~CreationLocks() {
    jx_lock_destory(command_line);
    jx_lock_destory(registry);
  }
};
CreationLocks creation_locks;
}  // namespace

int LockQueueLength(jx_lock_t lock) {
  if (!IsAlive(lock)) return 0;
  const uint64_t state = lock->state.load();
  return static_cast<int>((NextTicket(state) - NowServing(state)) & kServingMask);
}

jx_lock_t CommandLineCreationLock() { return creation_locks.command_line; }
jx_lock_t RegistryCreationLock() { return creation_locks.registry; }

}  // namespace jx
