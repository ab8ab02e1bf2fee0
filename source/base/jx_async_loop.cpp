// The task loop of one worker thread: run queue, delay heap, wait and wake-up.
//
// Lock order: the owner holds the wake mutex while the wait predicate takes
// the task lock; posters release the task lock before they take the wake
// mutex, so the two are never taken the other way round.
//
// A wake-up cannot be lost. The owner raises its waiting flag under the wake
// mutex and then tests the predicate; a poster queues its task, then reads
// the flag and, when it is raised, signals under the mutex. A poster that
// reads the flag lowered queued its task before the owner's test (all these
// steps are sequentially consistent), so the test finds the task. Posters to
// a busy owner thus never touch the mutex.
#include "base/jx_async_loop.h"

#include <chrono>
#include <utility>

#include "base/jx_calendar.h"
#include "base/jx_plog.h"
#include "base/jx_thread.h"

namespace jx {

namespace {

int64_t DueTick(const DelayTask& entry) { return entry.postTick + entry.delay; }

// Milliseconds until `entry` is due, in 32 bits as the wait is kept.
int32_t RemainingMilliseconds(const DelayTask& entry, int64_t now) {
  const uint32_t due = static_cast<uint32_t>(entry.postTick) + static_cast<uint32_t>(entry.delay);
  return static_cast<int32_t>(due - static_cast<uint32_t>(now));
}

}  // namespace

std::string TimeStampName(int64_t wall_milliseconds) {
  std::string name;
  AppendLocalStamp(&name, wall_milliseconds, '-', '-');
  return name;
}

AsyncLoop::AsyncLoop(std::string name, TickClock tick) : name_(std::move(name)), tick_(tick) {}

std::string AsyncTask::Name() const { return uniqid.empty() ? TimeStampName(posted_at) : uniqid; }

AsyncTask AsyncLoop::MakeTask(std::function<void()> func, const std::string& name) {
  return AsyncTask{std::move(func), name, shared_from_this(),
                   name.empty() ? jx_system_time_milliseconds() : 0};
}

void AsyncLoop::AppendTask(AsyncTask task) {
  if (spare_nodes_.empty()) spare_nodes_.emplace_back();
  spare_nodes_.front() = std::move(task);
  tasks_.splice(tasks_.end(), spare_nodes_, spare_nodes_.begin());
}

void AsyncLoop::KeepFinishedNodes() {
  if (spare_nodes_.size() < kSpareNodes) spare_nodes_.splice(spare_nodes_.end(), finished_nodes_);
}

void AsyncLoop::NotifyOwner() {
  if (!owner_waiting_.load()) return;
  std::lock_guard<std::mutex> hold(wake_mutex_);
  wake_condition_.notify_all();
}

bool AsyncLoop::Post(std::function<void()> func, const std::string& name) {
  AsyncTask task = MakeTask(std::move(func), name);
  {
    std::lock_guard<QueueMutex> hold(task_mutex_);
    if (stopped_.load()) return true;  // the task is dropped after the lock
    AppendTask(std::move(task));
    UpdateLengths();
  }
  JX_LOG(JX_LOG_VERBOSE, "[%p]add task(%s)", static_cast<void*>(this), name.c_str());
  NotifyOwner();
  return true;
}

bool AsyncLoop::PostDelay(std::function<void()> func, int64_t delay, const std::string& name) {
  if (delay <= 0) return Post(std::move(func), name);
  if (delay > kMaxDelay) delay = kMaxDelay;
  const int64_t post_tick = tick_();
  DelayTask entry{MakeTask(std::move(func), name), delay, post_tick};
  {
    std::lock_guard<QueueMutex> hold(task_mutex_);
    if (stopped_.load()) return true;
    delay_tasks_.push_back(std::move(entry));
    SiftUpDelayTask(delay_tasks_.size() - 1);
    UpdateLengths();
  }
  // Wake the owner only if it may be waiting past the new task's due time.
  const int32_t next = next_delay_wait_.load();
  if (next <= 0 || delay <= next) Wakeup();
  return true;
}

void AsyncLoop::Wakeup() {
  static const std::string name = LogLocation(__FILE__, __LINE__, __func__);
  Post(nullptr, name);
}

bool AsyncLoop::HasTask() {
  std::lock_guard<QueueMutex> hold(task_mutex_);
  return !tasks_.empty();
}

bool AsyncLoop::HasDelayTask() {
  std::lock_guard<QueueMutex> hold(task_mutex_);
  return !delay_tasks_.empty();
}

void AsyncLoop::FetchTask2Run(bool wait, int32_t max_wait) {
  JX_LOG(JX_LOG_VERBOSE, "[%s] wait_new_task:%d", name_.c_str(), wait ? 1 : 0);
  {
    AsyncTask task;
    if (fetchOneTask(&task)) RunTaskFunc(task);
  }
  const int64_t next = peekTaskViaDelayTasks();
  bool empty = run_length_.load(std::memory_order_relaxed) == 0;
  if (empty) {
    std::lock_guard<QueueMutex> hold(task_mutex_);
    empty = tasks_.empty();
  }
  if (!empty) {
    JX_LOG(JX_LOG_VERBOSE, "[%s]", name_.c_str());
    return;  // the caller comes back for the next task
  }
  if (!wait) return;
  int64_t wait_ms = next;
  if (max_wait > 0 && (next < 1 || max_wait < next)) wait_ms = max_wait;
  WaitForNewTask(wait_ms);
}

bool AsyncLoop::fetchOneTask(AsyncTask* task) {
  std::list<AsyncTask> taken;
  size_t length;
  {
    std::lock_guard<QueueMutex> hold(task_mutex_);
    KeepFinishedNodes();
    length = tasks_.size();
    if (length != 0) {
      taken.splice(taken.end(), tasks_, tasks_.begin());
      UpdateLengths();
    }
  }
  finished_nodes_.clear();  // those there was no room for
  const bool took = !taken.empty();
  if (took) {
    *task = std::exchange(taken.front(), AsyncTask());
    finished_nodes_.splice(finished_nodes_.end(), taken);
  }
  if (const int level = OverloadLevel(length)) {
    JX_LOG(level, "[%s] too much task! sizeTasks:%d", name_.c_str(), static_cast<int>(length));
  }
  return took;
}

void AsyncLoop::RunTaskFunc(const AsyncTask& task) {
  if (!task.func) return;
  try {
    task.func();
  } catch (...) {
    JX_LOG(JX_LOG_ERROR, "exception on task. uniqid:%s", task.Name().c_str());
    jx_this_thread_sleep(1000);
    throw;
  }
}

int64_t AsyncLoop::peekTaskViaDelayTasks() {
  size_t length = 0;
  if (delay_length_.load(std::memory_order_relaxed) != 0) {
    const int64_t now = tick_();
    std::lock_guard<QueueMutex> hold(task_mutex_);
    while (!delay_tasks_.empty()) {
      const int32_t remaining = RemainingMilliseconds(delay_tasks_.front(), now);
      next_delay_wait_.store(remaining);
      if (remaining > 0) break;
      AppendTask(std::move(delay_tasks_.front().task));
      RemoveRootDelayTask();
    }
    UpdateLengths();
    length = delay_tasks_.size();
  }
  if (const int level = OverloadLevel(length)) {
    JX_LOG(level, "[%s] too much delay task! sizeTasks:%d", name_.c_str(),
           static_cast<int>(length));
  }
  return next_delay_wait_.load();
}

void AsyncLoop::WaitForNewTask(int64_t wait) {
  const std::shared_ptr<AsyncLoop> self = shared_from_this();
  JX_LOG(JX_LOG_VERBOSE, "[%s][%p]condition_variable waite(%lld)", name_.c_str(),
         static_cast<void*>(this), static_cast<long long>(wait));
  {
    std::unique_lock<std::mutex> hold(wake_mutex_);
    owner_waiting_.store(true);
    const auto ready = [this] { return taskCVPreWait(); };
    if (wait <= 0) {
      wake_condition_.wait(hold, ready);
    } else {
      wake_condition_.wait_until(
          hold, std::chrono::steady_clock::now() + std::chrono::milliseconds(wait), ready);
    }
    owner_waiting_.store(false);
  }
  JX_LOG(JX_LOG_VERBOSE, "[%s][%p]condition_variable waite finish.", name_.c_str(),
         static_cast<void*>(this));
}

bool AsyncLoop::taskCVPreWait() {
  size_t length;
  bool stopped;
  {
    std::lock_guard<QueueMutex> hold(task_mutex_);
    length = tasks_.size();
    stopped = stopped_.load();
  }
  JX_LOG(JX_LOG_VERBOSE, "[%p]condition_variable to check[sizeTasks:%d]", static_cast<void*>(this),
         static_cast<int>(length));
  return length > 0 || stopped;
}

int AsyncLoop::OverloadLevel(size_t length) {
  const int64_t now = tick_();
  if (now - last_overload_check_ <= 1000) return 0;
  last_overload_check_ = now;
  // Every 512 waiting tasks raise the level by 256: debug from 512, info
  // from 1024, and so on.
  return static_cast<int>(length / 512) * 256;
}

void AsyncLoop::Stop() {
  std::list<AsyncTask> dropped;
  std::vector<DelayTask> dropped_delayed;
  {
    std::lock_guard<QueueMutex> hold(task_mutex_);
    stopped_.store(true);
    dropped.swap(tasks_);
    dropped_delayed.swap(delay_tasks_);
    UpdateLengths();
  }
  NotifyOwner();
  // The dropped tasks, and their references to this loop, go last.
}

void AsyncLoop::UpdateLengths() {
  run_length_.store(tasks_.size(), std::memory_order_relaxed);
  delay_length_.store(delay_tasks_.size(), std::memory_order_relaxed);
}

// An entry rises while its parent is due strictly later, so it never passes
// an earlier-posted entry with the same due time on the way up.
void AsyncLoop::SiftUpDelayTask(size_t index) {
  DelayTask entry = std::move(delay_tasks_[index]);
  while (index > 0) {
    const size_t parent = (index - 1) / 2;
    if (DueTick(delay_tasks_[parent]) <= DueTick(entry)) break;
    delay_tasks_[index] = std::move(delay_tasks_[parent]);
    index = parent;
  }
  delay_tasks_[index] = std::move(entry);
}

// The root's hole sinks to a leaf, the earlier child moving up into it (the
// right one on a tie); the last entry then fills the hole and rises.
void AsyncLoop::RemoveRootDelayTask() {
  DelayTask last = std::move(delay_tasks_.back());
  delay_tasks_.pop_back();
  const size_t size = delay_tasks_.size();
  if (size == 0) return;
  size_t hole = 0;
  for (size_t right = 2; right < size; right = 2 * hole + 2) {
    const size_t left = right - 1;
    const size_t child = DueTick(delay_tasks_[left]) < DueTick(delay_tasks_[right]) ? left : right;
    delay_tasks_[hole] = std::move(delay_tasks_[child]);
    hole = child;
  }
  if (2 * hole + 1 < size) {
    delay_tasks_[hole] = std::move(delay_tasks_[2 * hole + 1]);
    hole = 2 * hole + 1;
  }
  delay_tasks_[hole] = std::move(last);
  SiftUpDelayTask(hole);
}

}  // namespace jx
