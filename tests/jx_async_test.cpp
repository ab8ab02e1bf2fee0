#include "base/jx_async.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/jx_async_manager.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"

namespace {

// A one-way signal between threads. Waits have no time limit: a hang fails
// the test through the test runner's timeout.
class Event {
 public:
  void Set() {
    std::lock_guard<std::mutex> hold(mutex_);
    set_ = true;
    condition_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> hold(mutex_);
    condition_.wait(hold, [this] { return set_; });
  }
  bool IsSet() {
    std::lock_guard<std::mutex> hold(mutex_);
    return set_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable condition_;
  bool set_ = false;
};

// A C callback record calling `*function`, which must outlive the task.
template <class F>
jx_task_callback Callback(F* function) {
  return {function, [](void* user_data) { (*static_cast<F*>(user_data))(); }};
}

// A worker stopped at the end of the test, which then waits until the
// thread has released its loop: nothing of it outlives the test. (That wait
// orders no memory: what the worker writes is read through atomics.)
class Worker {
 public:
  explicit Worker(const char* name = "worker") : id_(jx_thread_start(name)) {
    loop_ = jx::AsyncMgr::Instance()->GetThread(id_);
  }
  ~Worker() {
    jx_thread_stop(id_);
    WaitUntilReleased();
  }
  int64_t id() const { return id_; }
  void WaitUntilReleased() {
    while (!loop_.expired()) jx_sleep_for(1);
  }

  // Posts `function`; false when the worker refuses it.
  template <class F>
  bool Post(F* function, const char* name = "task") {
    const jx_task_callback callback = Callback(function);
    return jx_thread_task_post(id_, &callback, name);
  }

  // Runs `function` on the worker and waits for it.
  template <class F>
  void Run(F function) {
    Event done;
    auto task = [&] {
      function();
      done.Set();
    };
    EXPECT_TRUE(Post(&task));
    done.Wait();
  }

 private:
  int64_t id_;
  std::weak_ptr<jx::AsyncLoop> loop_;
};

// Occupies a worker with a task that waits until released.
class Blocker {
 public:
  // Returns once the blocking task runs on `worker`.
  void Occupy(Worker& worker) {
    EXPECT_TRUE(worker.Post(&task_));
    started_.Wait();
  }
  void Release() { release_.Set(); }
  bool finished() const { return finished_.load(); }

 private:
  std::function<void()> task_ = [this] {
    started_.Set();
    release_.Wait();
    finished_ = true;
  };
  Event started_;
  Event release_;
  std::atomic<bool> finished_{false};
};

constexpr int64_t kNoSuchThread = -12345;

TEST(ThreadApi, StartReturnsAnIdThatTakesTasksAtOnceNamedOrNot) {
  for (const char* name : {"worker", static_cast<const char*>(nullptr)}) {
    Worker worker(name);
    ASSERT_NE(worker.id(), 0);
    int64_t ran_on = 0;
    worker.Run([&] { ran_on = jx_get_current_thread_id(); });
    EXPECT_EQ(ran_on, worker.id());
    EXPECT_NE(ran_on, jx_get_current_thread_id());
  }
}

TEST(ThreadApi, RefusesIdsThatAreNotRunningWorkers) {
  const jx_task_callback nothing{nullptr, nullptr};
  const int64_t stopped = jx_thread_start("stopped");
  EXPECT_TRUE(jx_thread_stop(stopped));
  for (int64_t id : {kNoSuchThread, int64_t{0}, jx_get_current_thread_id(), stopped}) {
    EXPECT_FALSE(jx_thread_task_post(id, &nothing, "x"));
    EXPECT_FALSE(jx_thread_task_delay(id, &nothing, 10, "x"));
    EXPECT_FALSE(jx_thread_has_task(id));
    EXPECT_FALSE(jx_thread_has_delay_task(id));
    EXPECT_FALSE(jx_thread_stop(id));
  }
}

TEST(ThreadApi, RunsTasksInPostingOrderNamedOrNot) {
  Worker worker;
  std::vector<int> ran;
  std::vector<std::function<void()>> tasks;
  for (int i = 0; i < 1000; ++i) tasks.emplace_back([&ran, i] { ran.push_back(i); });
  for (size_t i = 0; i < tasks.size(); ++i) {
    ASSERT_TRUE(worker.Post(&tasks[i], i % 2 == 0 ? "" : (i % 3 == 0 ? nullptr : "named")));
  }
  worker.Run([] {});
  ASSERT_EQ(ran.size(), 1000u);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(ran[i], i);
}

TEST(ThreadApi, NullCallbacksAreTasksThatDoNothing) {
  Worker worker;
  const jx_task_callback no_function{&worker, nullptr};
  EXPECT_TRUE(jx_thread_task_post(worker.id(), nullptr, nullptr));
  EXPECT_TRUE(jx_thread_task_post(worker.id(), &no_function, "empty"));
  EXPECT_TRUE(jx_thread_task_delay(worker.id(), nullptr, 5, nullptr));
  jx_execute(nullptr, worker.id(), nullptr);
  jx_execute(nullptr, kNoSuchThread, nullptr);
  jx_run_async(&no_function, kNoSuchThread, nullptr);
  jx_run_await(nullptr, worker.id(), nullptr);
  jx_run_await(nullptr, kNoSuchThread, nullptr);
  jx_run_delay(1, nullptr, nullptr);
  worker.Run([] { jx_run_delay(-1, nullptr, nullptr); });
  worker.Run([] {});  // the worker went through them all
}

TEST(ThreadApi, HasDelayTaskUntilTheTaskFallsDue) {
  Worker worker;
  Event ran;
  auto task = [&] { ran.Set(); };
  const jx_task_callback callback = Callback(&task);
  const int64_t start = jx_clock_tick_milliseconds();
  ASSERT_TRUE(jx_thread_task_delay(worker.id(), &callback, 200, "later"));
  EXPECT_TRUE(jx_thread_has_delay_task(worker.id()));
  ran.Wait();
  EXPECT_GE(jx_clock_tick_milliseconds() - start, 200);
  EXPECT_FALSE(jx_thread_has_delay_task(worker.id()));
  EXPECT_FALSE(jx_thread_has_task(worker.id()));
}

TEST(ThreadApi, StopDiscardsQueuedTasksAndLetsTheRunningOneFinish) {
  Worker worker;
  std::atomic<int> ran{0};
  auto count = [&] { ran.fetch_add(1); };
  const jx_task_callback counter = Callback(&count);
  Blocker blocker;
  blocker.Occupy(worker);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(jx_thread_task_post(worker.id(), &counter, "queued"));
  ASSERT_TRUE(jx_thread_task_delay(worker.id(), &counter, 1, "delayed"));
  EXPECT_TRUE(jx_thread_stop(worker.id()));
  EXPECT_FALSE(jx_thread_task_post(worker.id(), &counter, "late"));
  EXPECT_FALSE(blocker.finished());
  blocker.Release();
  worker.WaitUntilReleased();  // the thread ended and let its loop go
  EXPECT_TRUE(blocker.finished());
  EXPECT_EQ(ran.load(), 0);
}

TEST(ThreadApi, AWorkerCanStopItself) {
  Worker worker;
  std::atomic<bool> stopped{false};
  std::atomic<int> ran{0};
  auto stop = [&] { stopped = jx_thread_stop(worker.id()); };
  auto count = [&] { ran.fetch_add(1); };
  Blocker blocker;
  blocker.Occupy(worker);
  ASSERT_TRUE(worker.Post(&stop));
  ASSERT_TRUE(worker.Post(&count));
  blocker.Release();
  worker.WaitUntilReleased();
  EXPECT_TRUE(stopped.load());
  EXPECT_EQ(ran.load(), 0);
}

TEST(ExecuteAndRunAsync, PostToAWorkerWithoutWaiting) {
  for (auto* call : {&jx_execute, &jx_run_async}) {
    Worker worker;
    Blocker blocker;
    blocker.Occupy(worker);
    std::atomic<int64_t> ran_on{0};
    auto record = [&] { ran_on = jx_get_current_thread_id(); };
    const jx_task_callback callback = Callback(&record);
    call(&callback, worker.id(), "posted");
    EXPECT_EQ(ran_on.load(), 0);  // queued behind the blocker: the call did not wait
    blocker.Release();
    worker.Run([] {});
    EXPECT_EQ(ran_on.load(), worker.id());
  }
}

TEST(ExecuteAndRunAsync, WithoutAWorkerRunOnTheCallerOrElsewhereBeforeReturning) {
  std::atomic<int64_t> ran_on{0};
  auto record = [&] { ran_on = jx_get_current_thread_id(); };
  const jx_task_callback callback = Callback(&record);
  jx_execute(&callback, kNoSuchThread, "fallback");
  EXPECT_EQ(ran_on.load(), jx_get_current_thread_id());
  ran_on = 0;
  jx_run_async(&callback, kNoSuchThread, "fallback");
  EXPECT_NE(ran_on.load(), 0);
  EXPECT_NE(ran_on.load(), jx_get_current_thread_id());
}

TEST(RunAwait, FromAPlainThreadReturnsAfterTheCallbackRanOnTheWorker) {
  Worker worker;
  int64_t ran_on = 0;
  auto record = [&] { ran_on = jx_get_current_thread_id(); };
  const jx_task_callback callback = Callback(&record);
  jx_run_await(&callback, worker.id(), "awaited");
  EXPECT_EQ(ran_on, worker.id());
  jx_run_await(&callback, kNoSuchThread, "fallback");
  EXPECT_EQ(ran_on, jx_get_current_thread_id());
}

TEST(RunAwait, AWorkerAwaitingItselfRunsTheCallbackInPlace) {
  Worker worker;
  int64_t ran_on = 0;
  bool ran_before_return = false;
  auto record = [&] { ran_on = jx_get_current_thread_id(); };
  worker.Run([&] {
    const jx_task_callback callback = Callback(&record);
    jx_run_await(&callback, worker.id(), "self");
    ran_before_return = ran_on != 0;
  });
  EXPECT_TRUE(ran_before_return);
  EXPECT_EQ(ran_on, worker.id());
}

TEST(RunAwait, ReturnsWhenTheTargetIsStoppedBeforeTheCallbackRan) {
  for (bool from_worker : {false, true}) {
    Worker target("target");
    Worker waiter("waiter");
    Blocker blocker;
    blocker.Occupy(target);
    std::atomic<bool> ran{false};
    auto never = [&] { ran = true; };
    const jx_task_callback callback = Callback(&never);
    Event returned;
    auto await = [&] {
      jx_run_await(&callback, target.id(), "doomed");
      returned.Set();
    };
    std::thread plain;
    if (from_worker) {
      ASSERT_TRUE(waiter.Post(&await));
    } else {
      plain = std::thread(await);
    }
    while (!jx_thread_has_task(target.id())) jx_sleep_for(1);  // the awaited task is queued
    EXPECT_TRUE(jx_thread_stop(target.id()));
    returned.Wait();
    blocker.Release();
    if (plain.joinable()) plain.join();
    target.WaitUntilReleased();
    EXPECT_FALSE(ran.load());
  }
}

TEST(RunAwait, ATaskThatThrowsWhileTheWorkerWaitsDoesNotEndTheWait) {
  Worker a("a");
  Worker b("b");
  auto thrower = [] { throw std::runtime_error("boom"); };
  bool ran = false;
  auto record = [&] { ran = true; };
  bool returned_after_run = false;
  auto await = [&] {
    const jx_task_callback callback = Callback(&record);
    jx_run_await(&callback, b.id(), "awaited");
    returned_after_run = ran;
  };
  Blocker blocker;
  blocker.Occupy(b);
  ASSERT_TRUE(a.Post(&await));
  while (!jx_thread_has_task(b.id())) jx_sleep_for(1);
  ASSERT_TRUE(a.Post(&thrower, "thrower"));  // runs while a waits
  while (jx_thread_has_task(a.id())) jx_sleep_for(1);
  blocker.Release();
  a.Run([] {});
  EXPECT_TRUE(returned_after_run);
}

TEST(RunDelay, OnAWorkerReturnsAtOnceAndRunsLaterOnTheWorker) {
  Worker worker;
  Event ran;
  int64_t ran_on = 0;
  int64_t ran_at = 0;
  auto record = [&] {
    ran_on = jx_get_current_thread_id();
    ran_at = jx_clock_tick_milliseconds();
    ran.Set();
  };
  int64_t start = 0;
  bool ran_before_return = true;
  worker.Run([&] {
    const jx_task_callback callback = Callback(&record);
    start = jx_clock_tick_milliseconds();
    jx_run_delay(200, &callback, "later");
    ran_before_return = ran.IsSet();
  });
  ran.Wait();
  EXPECT_FALSE(ran_before_return);
  EXPECT_EQ(ran_on, worker.id());
  EXPECT_GE(ran_at - start, 200);
}

TEST(RunDelay, OnAPlainThreadWaitsUntilTheCallbackRanElsewhere) {
  std::atomic<int64_t> ran_on{0};
  auto record = [&] { ran_on = jx_get_current_thread_id(); };
  const jx_task_callback callback = Callback(&record);
  const int64_t start = jx_clock_tick_milliseconds();
  jx_run_delay(100, &callback, "later");
  EXPECT_GE(jx_clock_tick_milliseconds() - start, 100);
  EXPECT_NE(ran_on.load(), 0);
  EXPECT_NE(ran_on.load(), jx_get_current_thread_id());
}

TEST(AwaitSleepFor, OnAWorkerRunsItsOwnTasksMeanwhile) {
  Worker worker;
  bool ran = false;
  auto record = [&] { ran = true; };
  bool ran_during_sleep = false;
  int64_t slept = 0;
  worker.Run([&] {
    const jx_task_callback callback = Callback(&record);
    ASSERT_TRUE(jx_thread_task_post(worker.id(), &callback, "meanwhile"));
    const int64_t start = jx_clock_tick_milliseconds();
    jx_await_sleep_for(100);
    slept = jx_clock_tick_milliseconds() - start;
    ran_during_sleep = ran;
  });
  EXPECT_TRUE(ran_during_sleep);
  EXPECT_GE(slept, 100);
}

TEST(AwaitSleepFor, OnAPlainThreadSleepsAndZeroOnlyYields) {
  int64_t start = jx_clock_tick_milliseconds();
  jx_await_sleep_for(100);
  EXPECT_GE(jx_clock_tick_milliseconds() - start, 99);
  jx_await_sleep_for(0);
  jx_await_sleep_for(-3);
  start = jx_clock_tick_milliseconds();
  jx_sleep_for(20);
  EXPECT_GE(jx_clock_tick_milliseconds() - start, 19);
  jx_current_thread_yield();
}

}  // namespace
