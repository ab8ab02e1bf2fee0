// jx::AsyncLoop: the task queue of one worker thread. Any thread posts tasks,
// to run as soon as possible or after a delay; the owning thread runs them
// one per FetchTask2Run, in posting order, and sleeps on a condition variable
// while there is nothing to do.
#ifndef JX_BASE_JX_ASYNC_LOOP_H_
#define JX_BASE_JX_ASYNC_LOOP_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/jx_queue_mutex.h"
#include "base/jx_time.h"

namespace jx {

class AsyncLoop;

// One unit of work.
struct AsyncTask {
  std::function<void()> func;        // skipped when empty
  std::string uniqid;                // the poster's name, empty for an unnamed task
  std::shared_ptr<AsyncLoop> owner;  // keeps the loop alive while the task is queued
  int64_t posted_at = 0;             // wall-clock milliseconds when an unnamed task was posted

  // The poster's name, or for an unnamed task the time-stamp name of when it
  // was posted, made only when something reads it.
  std::string Name() const;
};

// One entry of the delay queue, due at postTick + delay on the tick clock.
struct DelayTask {
  AsyncTask task;
  int64_t delay;     // milliseconds, > 0
  int64_t postTick;  // tick clock when posted
};

// The name of an unnamed task: the local time of `wall_milliseconds` as
// "2026-12-04-22-30-01-007".
std::string TimeStampName(int64_t wall_milliseconds);

// Always created as a shared object (std::make_shared): tasks hold strong
// references to their loop. Post, PostDelay, Wakeup, HasTask, HasDelayTask,
// Stop and IsStopped are safe from any thread; FetchTask2Run belongs to the
// owning thread alone, so tasks of one loop never overlap. No lock is held
// while a task runs.
class AsyncLoop : public std::enable_shared_from_this<AsyncLoop> {
 public:
  using TickClock = int64_t (*)();

  // Longer delays are cut to this (about 24.8 days): the wait towards the
  // next due task is computed in 32 bits.
  static constexpr int64_t kMaxDelay = INT32_MAX;

  // `name` appears in the loop's log lines. `tick` is the clock of delays and
  // of the overload warnings; tests replace it.
  explicit AsyncLoop(std::string name, TickClock tick = &jx_clock_tick_milliseconds);
  virtual ~AsyncLoop() = default;
  AsyncLoop(const AsyncLoop&) = delete;
  AsyncLoop& operator=(const AsyncLoop&) = delete;

  const std::string& name() const { return name_; }

  // Appends `func` to the run queue and wakes the owner. An empty `name`
  // stands for a time-stamp name. Never runs the task before returning.
  // Returns true, also on a stopped loop, which drops the task.
  bool Post(std::function<void()> func, const std::string& name);

  // As Post, but the task joins the run queue once `delay` milliseconds have
  // passed on the tick clock: never earlier, later when the owner is busy. A
  // delay of 0 or less is a plain Post. Returns true.
  bool PostDelay(std::function<void()> func, int64_t delay, const std::string& name);

  // Makes a waiting owner look at its queues again (posts a task that does
  // nothing).
  void Wakeup();

  bool HasTask();       // the run queue is not empty
  bool HasDelayTask();  // the delay queue is not empty

  // Owner only. Runs at most one task from the run queue, moves delayed tasks
  // that are due to the end of the run queue, and then, if `wait` is set and
  // the run queue is empty, sleeps until a task is posted, the next delayed
  // task is due or `max_wait` milliseconds have passed (no limit when
  // `max_wait` is 0 or less and nothing is delayed). A task's exception is
  // logged and, after a pause of one second, rethrown here.
  void FetchTask2Run(bool wait, int32_t max_wait);

  // Ends the loop for good: the queued and delayed tasks are released without
  // running, later posts are dropped, and the owner stops waiting. A task
  // that is running completes. Call it with a strong reference held.
  void Stop();
  bool IsStopped() const { return stopped_.load(); }

 private:
  // These three keep their lower-camel names: the log lines they write carry
  // the function name, and readers of the log search for it.
  bool fetchOneTask(AsyncTask* task);
  void RunTaskFunc(const AsyncTask& task);
  int64_t peekTaskViaDelayTasks();
  void WaitForNewTask(int64_t wait);
  bool taskCVPreWait();

  AsyncTask MakeTask(std::function<void()> func, const std::string& name);
  // Under the task mutex: moves `task` to the end of the run queue, in a
  // spare node when there is one, else in a new one.
  void AppendTask(AsyncTask task);
  // Under the task mutex: keeps the owner's finished nodes for reuse, up to
  // kSpareNodes, so a steady flow of tasks allocates nothing.
  void KeepFinishedNodes();
  void NotifyOwner();
  // The level to log a queue of `length` tasks at, at most once a second
  // across both queues; 0 for none. The caller logs, so the line names it.
  int OverloadLevel(size_t length);
  // The delay queue is a binary min-heap on due time, written out by hand:
  // the order in which tasks of equal due time run is that of these two
  // steps, which std::push_heap and std::pop_heap do not promise.
  void SiftUpDelayTask(size_t index);
  void RemoveRootDelayTask();

  // Publishes the queue lengths for lock-free looks (under the task lock).
  void UpdateLengths();

  const std::string name_;
  const TickClock tick_;
  int64_t last_overload_check_ = 0;  // owner only
  // Guards the queues and the values written with them. Posters and the
  // owner contend for it: a mutex lets a running thread take it, where the
  // fair lock would wait for a descheduled one.
  QueueMutex task_mutex_;
  std::list<AsyncTask> tasks_;
  std::list<AsyncTask> spare_nodes_;     // empty tasks, under the task mutex
  std::list<AsyncTask> finished_nodes_;  // the owner's, emptied after their task ran
  static constexpr size_t kSpareNodes = 256;
  std::vector<DelayTask> delay_tasks_;
  // Written under the task lock, read without it by the owner to skip the
  // lock when the answer is known: only the owner (or a stop) takes tasks
  // out, so a non-zero run length stays true; and while the delay queue is
  // empty the next delay wait is 0 or less, so a delayed task posted after
  // the owner saw it empty wakes it.
  std::atomic<size_t> run_length_{0};
  std::atomic<size_t> delay_length_{0};
  std::atomic<int32_t> next_delay_wait_{0};
  std::atomic<bool> stopped_{false};
  std::atomic<bool> owner_waiting_{false};  // raised under the wake mutex while it waits
  std::mutex wake_mutex_;
  std::condition_variable wake_condition_;
};

}  // namespace jx

#endif  // JX_BASE_JX_ASYNC_LOOP_H_
