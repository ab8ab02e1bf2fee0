#include "base/jx_async.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

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

// Occupies a worker with a task that waits until released.
struct Blocker {
  explicit Blocker(Worker& worker) {
    EXPECT_TRUE(worker.Post(&task));
    started.get_future().wait();
  }
  ~Blocker() { Release(); }
  void Release() {
    if (!released.exchange(true)) release.set_value();
  }
  std::promise<void> started, release;
  std::atomic<bool> released{false};
  Task task = [this] {
    started.set_value();
    release.get_future().wait();
  };
};

constexpr int64_t kNoSuchThread = -12345;

TEST(ThreadApi, RunsTasksInPostingOrderOnTheWorkerAfterOneThrows) {
  for (const char* name : {"worker", static_cast<const char*>(nullptr)}) {
    Worker worker(name);
    std::vector<int64_t> ran;
    std::vector<Task> tasks{[] { throw std::runtime_error("boom"); }};
    for (int i = 0; i < 100; ++i) tasks.emplace_back([&ran, i] { ran.push_back(i); });
    for (Task& task : tasks) ASSERT_TRUE(worker.Post(&task));
    int64_t ran_on = 0;
    worker.Run([&] { ran_on = jx_get_current_thread_id(); });
    ASSERT_EQ(ran.size(), 100u);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(ran[i], i);
    EXPECT_EQ(ran_on, worker.id);
  }
}

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
  worker.Run([] { jx_run_delay(-1, nullptr, nullptr); });
  worker.Run([] {});  // the worker went through them all
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

TEST(ExecuteAndRunAsync, PostToAWorkerOrRunOnTheCallerOrAnotherThread) {
  std::atomic<int64_t> ran_on{0};
  Task record = [&] { ran_on = jx_get_current_thread_id(); };
  const jx_task_callback callback = Callback(&record);
  for (auto* call : {&jx_execute, &jx_run_async}) {
    Worker worker;
    Blocker blocker(worker);
    ran_on = 0;
    call(&callback, worker.id, "posted");
    EXPECT_EQ(ran_on.load(), 0);  // queued behind the blocker: the call did not wait
    blocker.Release();
    worker.Run([] {});
    EXPECT_EQ(ran_on.load(), worker.id);
  }
  jx_execute(&callback, kNoSuchThread, "fallback");
  EXPECT_EQ(ran_on.load(), jx_get_current_thread_id());
  ran_on = 0;
  jx_run_async(&callback, kNoSuchThread, "fallback");
  EXPECT_NE(ran_on.load(), 0);
  EXPECT_NE(ran_on.load(), jx_get_current_thread_id());
}

TEST(RunAwait, RunsOnTheWorkerInPlaceOnItselfAndReturnsWhenTheTargetStops) {
  Worker worker;
  std::atomic<int64_t> ran_on{0};
  Task record = [&] { ran_on = jx_get_current_thread_id(); };
  const jx_task_callback callback = Callback(&record);
  jx_run_await(&callback, worker.id, "awaited");
  EXPECT_EQ(ran_on.load(), worker.id);
  jx_run_await(&callback, kNoSuchThread, "fallback");
  EXPECT_EQ(ran_on.load(), jx_get_current_thread_id());
  worker.Run([&] {
    ran_on = 0;
    jx_run_await(&callback, worker.id, "self");
    EXPECT_EQ(ran_on.load(), worker.id);
  });
  for (bool from_worker : {false, true}) {
    Worker target("target");
    Blocker blocker(target);
    ran_on = 0;
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

TEST(RunDelayAndSleep, WaitOnAPlainThreadAndRunTheWorkersTasksOnAWorker) {
  Worker worker;
  std::atomic<int64_t> ran_on{0};
  std::atomic<int64_t> ran_at{0};
  Task record = [&] {
    ran_on = jx_get_current_thread_id();
    ran_at = Now();
  };
  const jx_task_callback callback = Callback(&record);
  int64_t start = Now();
  jx_run_delay(100, &callback, "later");
  EXPECT_GE(ran_at.load() - start, 100);
  EXPECT_NE(ran_on.load(), jx_get_current_thread_id());
  worker.Run([&] {
    ran_on = 0;
    start = Now();
    jx_run_delay(200, &callback, "later");
    EXPECT_EQ(ran_on.load(), 0);  // returned at once
    EXPECT_TRUE(jx_thread_has_delay_task(worker.id));
    jx_await_sleep_for(300);  // runs the worker's own tasks meanwhile
    EXPECT_EQ(ran_on.load(), worker.id);
    EXPECT_GE(ran_at.load() - start, 200);
    EXPECT_GE(Now() - start, 300);
  });
  EXPECT_FALSE(jx_thread_has_delay_task(worker.id) || jx_thread_has_task(worker.id));
  start = Now();
  jx_await_sleep_for(0);
  jx_sleep_for(20);
  EXPECT_GE(Now() - start, 19);
}

}  // namespace
