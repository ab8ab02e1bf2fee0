#include "base/jx_async.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "base/jx_thread.h"
#include "base/jx_time.h"

namespace {

using Task = std::function<void()>;

// A C callback record calling `*task`, which must outlive the task.
jx_task_callback Callback(Task* task) {
  return {task, [](void* data) { (*static_cast<Task*>(data))(); }};
}

int64_t Now() { return jx_clock_tick_milliseconds(); }

constexpr int64_t kNoSuchThread = -12345;

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

}  // namespace
