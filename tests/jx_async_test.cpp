#include "base/jx_async.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>

#include "base/jx_async_manager.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"

namespace {

using Task = std::function<void()>;

// A C callback record calling `*task`, which must outlive the task.
jx_task_callback Callback(Task* task) {
  return {task, [](void* data) { (*static_cast<Task*>(data))(); }};
}

int64_t Now() { return jx_clock_tick_milliseconds(); }

// A worker stopped at the end of the test, which then waits until its thread
// has released its loop: nothing of it outlives the test.
struct Worker {
  explicit Worker(const char* name = "worker")
      : id(jx_thread_start(name)), loop(jx::AsyncMgr::Instance()->GetThread(id)) {}
  ~Worker() {
    jx_thread_stop(id);
    WaitUntilReleased();
  }
  void WaitUntilReleased() {
    while (!loop.expired()) jx_sleep_for(1);
  }
  bool Post(Task* task) {
    const jx_task_callback callback = Callback(task);
    return jx_thread_task_post(id, &callback, "task");
  }
  // Runs `task` on the worker and waits for it.
  void Run(Task task) {
    std::promise<void> done;
    Task wrapped = [&] {
      task();
      done.set_value();
    };
    EXPECT_TRUE(Post(&wrapped));
    done.get_future().wait();
  }
  const int64_t id;
  std::weak_ptr<jx::AsyncLoop> loop;
};

// Occupies a worker with a task that waits until released. The blocker
// outlives its task: it is not destroyed before the task has finished.
struct Blocker {
  enum State { kPosted, kRunning, kReleased, kFinished };
  explicit Blocker(Worker& worker) {
    EXPECT_TRUE(worker.Post(&task));
    while (state.load() == kPosted) jx_sleep_for(1);
  }
  ~Blocker() {
    Release();
    while (state.load() != kFinished) jx_sleep_for(1);
  }
  void Release() {
    int running = kRunning;
    state.compare_exchange_strong(running, kReleased);
  }
  std::atomic<int> state{kPosted};
  Task task = [this] {
    state = kRunning;
    while (state.load() != kReleased) jx_sleep_for(1);
    state = kFinished;
  };
};

constexpr int64_t kNoSuchThread = -12345;

TEST(ThreadApi, RefusesIdsThatAreNotRunningWorkersAndNullCallbacksDoNothing) {
  const jx_task_callback nothing{nullptr, nullptr};
  const int64_t stopped = jx_thread_start("stopped");
  EXPECT_TRUE(jx_thread_stop(stopped));
  for (int64_t id : {kNoSuchThread, int64_t{0}, jx_get_current_thread_id(), stopped}) {
    EXPECT_FALSE(jx_thread_task_post(id, &nothing, "x") ||
                 jx_thread_task_delay(id, &nothing, 10, "x") || jx_thread_has_task(id) ||
                 jx_thread_has_delay_task(id) || jx_thread_stop(id));
  }
  Worker worker;
  EXPECT_TRUE(jx_thread_task_post(worker.id, nullptr, nullptr));
  EXPECT_TRUE(jx_thread_task_post(worker.id, &nothing, "empty"));
  EXPECT_TRUE(jx_thread_task_delay(worker.id, nullptr, 5, nullptr));
  jx_execute(nullptr, kNoSuchThread, nullptr);
  jx_run_async(&nothing, kNoSuchThread, nullptr);
  jx_run_await(nullptr, worker.id, nullptr);
  jx_run_delay(1, nullptr, nullptr);
  Task thrower = [] { throw std::runtime_error("boom"); };
  EXPECT_TRUE(worker.Post(&thrower));
  worker.Run([] { jx_run_delay(-1, nullptr, nullptr); });  // the worker went through them all
}

TEST(ThreadApi, StopDiscardsQueuedAndDelayedTasksAndLetsTheRunningOneFinish) {
  for (bool from_worker : {false, true}) {
    Worker worker;
    std::atomic<int> ran{0};
    Task count = [&] { ran.fetch_add(1); };
    Task stop = [&] { EXPECT_TRUE(jx_thread_stop(worker.id)); };
    const jx_task_callback counter = Callback(&count);
    Blocker blocker(worker);
    if (from_worker) {
      ASSERT_TRUE(worker.Post(&stop));
    }
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(jx_thread_task_post(worker.id, &counter, "queued"));
    ASSERT_TRUE(jx_thread_task_delay(worker.id, &counter, 1, "delayed"));
    EXPECT_TRUE(jx_thread_has_task(worker.id) && jx_thread_has_delay_task(worker.id));
    if (!from_worker) {
      EXPECT_TRUE(jx_thread_stop(worker.id) && !jx_thread_task_post(worker.id, &counter, "late"));
    }
    blocker.Release();
    worker.WaitUntilReleased();  // the thread ended and let its loop go
    EXPECT_EQ(ran.load(), 0);
  }
}

TEST(ThreadApi, WithoutAWorkerExecuteRunsOnTheCallerAndRunAsyncOnAnotherThread) {
  std::atomic<int64_t> ran_on{0};
  Task record = [&] { ran_on = jx_get_current_thread_id(); };
  const jx_task_callback callback = Callback(&record);
  jx_execute(&callback, kNoSuchThread, "fallback");
  EXPECT_EQ(ran_on.exchange(0), jx_get_current_thread_id());
  jx_run_async(&callback, kNoSuchThread, "fallback");
  EXPECT_NE(ran_on.load(), 0);
  EXPECT_NE(ran_on.load(), jx_get_current_thread_id());
  const int64_t start = Now();
  jx_sleep_for(20);
  EXPECT_GE(Now() - start, 19);
}

TEST(RunAwait, RunsInPlaceOnItsOwnWorkerAndReturnsWhenTheTargetStops) {
  Worker worker;
  std::atomic<int64_t> ran_on{0};
  Task record = [&] { ran_on = jx_get_current_thread_id(); };
  const jx_task_callback callback = Callback(&record);
  worker.Run([&] { jx_run_await(&callback, worker.id, "self"); });
  EXPECT_EQ(ran_on.exchange(0), worker.id);
  for (bool from_worker : {false, true}) {
    Worker target("target");
    Blocker blocker(target);
    std::promise<void> returned;
    Task await = [&] {
      jx_run_await(&callback, target.id, "doomed");
      returned.set_value();
    };
    std::thread plain;
    if (from_worker) {
      ASSERT_TRUE(worker.Post(&await));
    } else {
      plain = std::thread(await);
    }
    while (!jx_thread_has_task(target.id)) jx_sleep_for(1);  // the awaited task is queued
    EXPECT_TRUE(jx_thread_stop(target.id));
    returned.get_future().wait();
    if (plain.joinable()) plain.join();
    EXPECT_EQ(ran_on.load(), 0);
  }
}

}  // namespace
