// Asynchronous tasks: named worker threads, addressed by thread id, that run
// posted and delayed tasks one after another, and one-shot calls built on
// them that run a callback elsewhere, later, or while the caller waits.
//
// Guarantees of every call that posts to a worker:
// - Posting never runs the task synchronously: it runs on the target thread,
//   never inside the posting call, even when a worker posts to itself.
// - The tasks of one thread never overlap and run in the order they were
//   posted. A delayed task joins the end of the queue when it falls due.
// - A longer delay only delays: a delayed task never runs before its delay
//   has passed, and runs later when its thread is busy. Delays are measured
//   on the monotonic tick clock (jx_clock_tick_milliseconds), so setting the
//   wall clock does not move them. Delays above 2147483647 ms (about 24.8
//   days) are cut to that, so that no delay a caller passes can overflow the
//   clock arithmetic or the wait of the host's thread.
// - The callback record is copied at the call; whatever `user_data` points to
//   must stay valid until the task has run or has been discarded by a stop.
// - A null callback, or one whose `func` is null, is a task that does
//   nothing: it is posted, queued and skipped like any other.
// - A stop discards work: tasks still queued or delayed when jx_thread_stop
//   is called never run (their records are released); the task running at
//   that moment completes.
// - A C++ exception escaping a task never ends the process and never leaves
//   these calls. On a worker it is logged at JX_LOG_ERROR as "exception on
//   task. uniqid:<task name>"; the worker pauses for one second, drops it and
//   goes on with its next task. One escaping a callback that a one-shot call
//   runs in place of a worker (no running worker) is dropped.
//
// A null name counts as "". An unnamed task is named by the local time of
// its posting, e.g. "2026-12-04-22-30-01-007"; names appear in log lines only.
// Thread ids are those of jx_get_current_thread_id (jx_thread.h). Every call
// is safe from any thread.
#ifndef JX_BASE_JX_ASYNC_H_
#define JX_BASE_JX_ASYNC_H_

#include "base/jx_api.h"

JX_EXTERN_C_BEGIN

// One unit of work: `func` is called with `user_data`.
typedef struct jx_task_callback {
  void* user_data;
  void (*func)(void* user_data);
} jx_task_callback;

// --- Worker threads ---

// jx_thread_start
//
// Starts a worker thread named `name` and returns its id once the thread is
// ready: tasks may be posted to the id at once. The thread runs until
// jx_thread_stop; an idle worker sleeps, waking every 6 seconds to check that
// it has not been stopped. Several workers may share a name. Returns 0 when
// the system refuses to start a thread.
JX_API int64_t jx_thread_start(const char* name);

// jx_thread_stop
//
// Stops the worker `thread_id`: it discards its queued and delayed tasks,
// finishes the task it is running, if any, and ends. Returns at once, without
// waiting for the thread to end; a worker may stop itself from one of its
// tasks. Returns false when `thread_id` is not a running worker (never
// started, or stopped already).
JX_API bool jx_thread_stop(int64_t thread_id);

// jx_thread_task_post
//
// Queues `callback` to run on the worker `thread_id`, named `name`. Returns
// false, and runs nothing, when `thread_id` is not a running worker. A task
// posted while the worker is being stopped may be accepted and then
// discarded with the rest of its queue.
JX_API bool jx_thread_task_post(int64_t thread_id, const jx_task_callback* callback,
                                const char* name);

// jx_thread_task_delay
//
// As jx_thread_task_post, but the task joins the worker's queue once
// `delay_ms` milliseconds have passed; 0 or less queues it at once.
JX_API bool jx_thread_task_delay(int64_t thread_id, const jx_task_callback* callback,
                                 int64_t delay_ms, const char* name);

// Whether the worker has tasks waiting to run (jx_thread_has_task) or
// delayed tasks not yet due (jx_thread_has_delay_task). False when
// `thread_id` is not a running worker. The answer may be stale by the time
// it is read.
JX_API bool jx_thread_has_task(int64_t thread_id);
JX_API bool jx_thread_has_delay_task(int64_t thread_id);

// --- One-shot calls ---
//
// "The caller's own loop" below is the queue of the calling thread when it is
// a running worker. Awaiting calls keep running the caller's own tasks while
// they wait, so two workers can await each other, and a worker can await a
// task posted to itself, without deadlock; those tasks run in the middle of
// the caller's code, while it is suspended in the awaiting call.

// jx_execute
//
// Posts `callback` to the worker `thread_id`; when that is not a running
// worker, calls it at once on the calling thread instead, returning after it.
JX_API void jx_execute(const jx_task_callback* callback, int64_t thread_id, const char* name);

// jx_run_async
//
// Posts `callback` to the worker `thread_id` and returns at once; when that is
// not a running worker, runs it on a new thread (never the caller's) and
// returns only after it has finished.
JX_API void jx_run_async(const jx_task_callback* callback, int64_t thread_id, const char* name);

// jx_run_await
//
// Runs `callback` on the worker `thread_id` and returns after it has run.
// Meanwhile a worker caller keeps running its own tasks (waking at least
// every 2 seconds, at once when the callback is done); any other caller polls
// every 20 ms. When `thread_id` is not a running worker the callback runs at
// once on the calling thread. When the worker is stopped before it ran the
// callback, the callback never runs and the call returns once it notices.
JX_API void jx_run_await(const jx_task_callback* callback, int64_t thread_id, const char* name);

// jx_run_delay
//
// Runs `callback` on the calling thread after `delay_ms` milliseconds. On a
// worker it is posted to the caller's own loop and the call returns at once;
// the callback runs when the worker next runs its tasks after the delay. Any
// other caller waits: the callback runs on a new thread after the delay and
// the call returns once it has finished.
JX_API void jx_run_delay(int delay_ms, const jx_task_callback* callback, const char* name);

// jx_await_sleep_for
//
// Sleeps at least `milliseconds`; a worker keeps running its own tasks
// meanwhile (waking at least every 10 ms), so a long task can make the call
// return later. 0 or less only yields the processor.
JX_API void jx_await_sleep_for(int milliseconds);

// Plain sleep (jx_this_thread_sleep) and yield (jx_this_thread_yield).
JX_API void jx_sleep_for(int milliseconds);
JX_API void jx_current_thread_yield(void);

JX_EXTERN_C_END

#endif  // JX_BASE_JX_ASYNC_H_
