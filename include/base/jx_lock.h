// User-space locks: a fair ticket lock (jx_lock_*), used everywhere inside the
// toolkit, and an unordered spin lock (jx_rand_lock_*) offered to callers.
//
// Both wait in user space, pausing briefly and then yielding the processor in
// a loop, never sleeping in the kernel, so they suit short critical sections
// only. Neither records its
// owner: they are not recursive, and any thread may unlock. Both tolerate
// being destroyed while held or awaited: the destroy marks the lock, locking
// a destroyed lock returns at once without locking, and the unlock that
// leaves the lock free releases it.
//
// Every call ignores a null handle and a handle already released. Handles
// stay safe to pass after release because lock blocks are recycled, never
// returned to the heap; a released handle may therefore alias a lock created
// later, so callers must not keep using it.
#ifndef JX_BASE_JX_LOCK_H_
#define JX_BASE_JX_LOCK_H_

#include "base/jx_api.h"

JX_EXTERN_C_BEGIN

typedef struct jx_lock_s* jx_lock_t;
typedef struct jx_rand_lock_s* jx_rand_lock_t;

// jx_lock_create
//
// Creates a ticket lock, free. Never returns null. Release it with
// jx_lock_destory.
JX_API jx_lock_t jx_lock_create(void);

// Takes the lock; threads are served strictly in the order they arrived.
// Returns at once, without locking, when the lock has been destroyed.
JX_API void jx_lock_lock(jx_lock_t lock);

// Releases the lock. When the lock was destroyed while held and this unlock
// leaves it free, the lock is released and `lock` must not be used again.
JX_API void jx_lock_unlock(jx_lock_t lock);

// Destroys the lock: at once when it is free, else at the unlock that leaves
// it free. ("destory" is the exported name products link against.)
JX_API void jx_lock_destory(jx_lock_t lock);

// The process-wide ticket lock, created on the first call; every call returns
// the same handle. It is never destroyed.
JX_API jx_lock_t jx_global_lock(void);

// The unordered spin lock: same contract as the ticket lock, but which
// waiter wins is not ordered.
JX_API jx_rand_lock_t jx_rand_lock_create(void);
JX_API void jx_rand_lock_lock(jx_rand_lock_t lock);
JX_API void jx_rand_lock_unlock(jx_rand_lock_t lock);
JX_API void jx_rand_lock_destory(jx_rand_lock_t lock);

JX_EXTERN_C_END

#endif  // JX_BASE_JX_LOCK_H_
