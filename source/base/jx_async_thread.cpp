// Worker threads and their C interface, and the one-shot asynchronous calls.
#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "base/jx_async.h"
#include "base/jx_async_loop.h"
#include "base/jx_async_manager.h"
#include "base/jx_guard.h"
#include "base/jx_plog.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"
#include "platform/jx_os.h"

namespace jx {

namespace {

constexpr int32_t kWorkerIdleWait = 6000;  // a worker checks its registration this often
constexpr int32_t kAwaitTaskWait = 2000;   // longest pass of a worker in jx_run_await
constexpr int kAwaitPoll = 20;             // jx_run_await's poll on other threads
constexpr int32_t kAwaitSleepWait = 10;    // longest pass of a worker in jx_await_sleep_for

// The callback's two fields, copied; empty when there is nothing to call.
std::function<void()> CallbackTask(const jx_task_callback* callback) {
  if (callback == nullptr || callback->func == nullptr) return nullptr;
  return [func = callback->func, user_data = callback->user_data] { func(user_data); };
}

void RunIfAny(const std::function<void()>& task) {
  if (task) task();
}

// Runs `job` on a thread of its own and waits for it to finish.
void RunElsewhereAndWait(const std::function<void()>& job) {
  std::async(std::launch::async, job).wait();
}

// The calling thread's loop when it is a running worker.
std::shared_ptr<AsyncLoop> CallerLoop() {
  return AsyncMgr::Instance()->GetThread(jx_get_current_thread_id());
}

// One pass of the owner over its loop. A task's exception has been logged
// (and paused for) by the loop; it is dropped so the thread carries on.
void Pump(AsyncLoop& loop, int32_t max_wait) noexcept {
  Guarded([&] { loop.FetchTask2Run(true, max_wait); });
}

// Waits until `done()`: a worker runs its own tasks meanwhile, in passes of at
// most `max_wait` ms; other threads, and a worker stopped meanwhile, sleep
// `poll_ms` between looks.
void AwaitUntil(const std::function<bool()>& done, std::shared_ptr<AsyncLoop> own, int32_t max_wait,
                int poll_ms) {
  while (!done()) {
    if (own != nullptr && own->IsStopped()) own = nullptr;
    if (own != nullptr) {
      Pump(*own, max_wait);
    } else {
      jx_sleep_for(poll_ms);
    }
  }
}

// The state a jx_run_await task shares with its waiter. Only the posted task
// owns it, so it dies when the task is released: after running, or unrun
// when a stop discards it. Either way it wakes the waiting worker at once.
struct AwaitTicket {
  explicit AwaitTicket(std::shared_ptr<AsyncLoop> waiting) : waiter(std::move(waiting)) {}
  ~AwaitTicket() {
    if (waiter != nullptr) Guarded([&] { waiter->Wakeup(); });
  }
  AwaitTicket(const AwaitTicket&) = delete;
  AwaitTicket& operator=(const AwaitTicket&) = delete;

  std::atomic<bool> pending{true};
  const std::shared_ptr<AsyncLoop> waiter;
};

// Registers the loop under its id; a failure (out of memory) is retried, as
// the starter waits for the id.
void Register(int64_t id, const std::shared_ptr<AsyncLoop>& loop) {
  while (!Guarded(false, [&] {
    AsyncMgr::Instance()->AddThreadLoop(id, loop);
    return true;
  })) {
    jx_this_thread_yield();
  }
}

void RunWorker(const std::string& name, const std::shared_ptr<std::atomic<int64_t>>& published) {
  jx_set_current_thread_name(name.c_str());
  const int64_t id = jx_get_current_thread_id();
  std::shared_ptr<AsyncLoop> loop;
  while (loop == nullptr) {
    loop = Guarded(std::shared_ptr<AsyncLoop>(), [&] { return std::make_shared<AsyncLoop>(name); });
  }
  Register(id, loop);
  published->store(id);  // registered first: tasks can be posted from now on
  // A stop erases the registration and stops the loop together; the loop's
  // own flag answers without taking the registry lock on every pass.
  do {
    Pump(*loop, kWorkerIdleWait);
  } while (!loop->IsStopped());
}

// The answer of `use` on the loop of the running worker `thread_id`; false
// when there is none.
template <class Use>
bool WithWorker(int64_t thread_id, const Use& use) {
  return Guarded(false, [&] {
    const std::shared_ptr<AsyncLoop> loop = AsyncMgr::Instance()->GetThread(thread_id);
    return loop != nullptr && use(*loop);
  });
}

}  // namespace

}  // namespace jx

extern "C" {

int64_t jx_thread_start(const char* name) {
  return jx::Guarded(int64_t{0}, [&] {
    const auto published = std::make_shared<std::atomic<int64_t>>(0);  // thread ids are never 0
    jx::os::KeepLibraryLoaded();
    std::thread(jx::RunWorker, std::string(jx::TextOrEmpty(name)), published).detach();
    int64_t id;
    while ((id = published->load()) == 0) jx_this_thread_yield();
    return id;
  });
}

bool jx_thread_stop(int64_t thread_id) {
  return jx::Guarded(false, [&] {
    jx::AsyncMgr* registry = jx::AsyncMgr::Instance();
    return registry->GetThread(thread_id) != nullptr && registry->EraseThreadLoop(thread_id);
  });
}

bool jx_thread_task_post(int64_t thread_id, const jx_task_callback* callback, const char* name) {
  return jx::WithWorker(thread_id, [&](jx::AsyncLoop& loop) {
    return loop.Post(jx::CallbackTask(callback), std::string(jx::TextOrEmpty(name)));
  });
}

bool jx_thread_task_delay(int64_t thread_id, const jx_task_callback* callback, int64_t delay_ms,
                          const char* name) {
  return jx::WithWorker(thread_id, [&](jx::AsyncLoop& loop) {
    return loop.PostDelay(jx::CallbackTask(callback), delay_ms, std::string(jx::TextOrEmpty(name)));
  });
}

bool jx_thread_has_task(int64_t thread_id) {
  return jx::WithWorker(thread_id, [](jx::AsyncLoop& loop) { return loop.HasTask(); });
}

bool jx_thread_has_delay_task(int64_t thread_id) {
  return jx::WithWorker(thread_id, [](jx::AsyncLoop& loop) { return loop.HasDelayTask(); });
}

void jx_execute(const jx_task_callback* callback, int64_t thread_id, const char* name) {
  if (jx_thread_task_post(thread_id, callback, name)) return;
  jx::Guarded([&] { jx::RunIfAny(jx::CallbackTask(callback)); });
}

void jx_run_async(const jx_task_callback* callback, int64_t thread_id, const char* name) {
  if (jx_thread_task_post(thread_id, callback, name)) return;
  jx::Guarded([&] {
    const std::function<void()> task = jx::CallbackTask(callback);
    jx::RunElsewhereAndWait([&] { jx::RunIfAny(task); });
  });
}

void jx_run_await(const jx_task_callback* callback, int64_t thread_id, const char* name) {
  jx::Guarded([&] {
    const std::function<void()> task = jx::CallbackTask(callback);
    const std::string task_name(jx::TextOrEmpty(name));
    const std::shared_ptr<jx::AsyncLoop> target = jx::AsyncMgr::Instance()->GetThread(thread_id);
    if (target == nullptr) {
      jx::RunIfAny(task);
      return;
    }
    const std::shared_ptr<jx::AsyncLoop> own = jx::CallerLoop();
    auto ticket = std::make_shared<jx::AwaitTicket>(own);
    const std::weak_ptr<jx::AwaitTicket> watch = ticket;
    target->Post(
        [task, task_name, ticket = std::move(ticket)] {
          JX_LOG(JX_LOG_VERBOSE, "func run! [%s]", task_name.c_str());
          jx::RunIfAny(task);
          ticket->pending.store(false);
          jx_current_thread_yield();
        },
        task_name);
    jx::AwaitUntil(
        [&watch] {
          const std::shared_ptr<jx::AwaitTicket> alive = watch.lock();
          return alive == nullptr || !alive->pending.load();
        },
        own, jx::kAwaitTaskWait, jx::kAwaitPoll);
  });
}

void jx_run_delay(int delay_ms, const jx_task_callback* callback, const char* name) {
  jx::Guarded([&] {
    const std::function<void()> task = jx::CallbackTask(callback);
    const std::shared_ptr<jx::AsyncLoop> own = jx::CallerLoop();
    if (own != nullptr) {
      own->PostDelay(task, delay_ms, std::string(jx::TextOrEmpty(name)));
      return;
    }
    jx::RunElsewhereAndWait([&] {
      jx_sleep_for(delay_ms);
      jx::RunIfAny(task);
    });
  });
}

void jx_await_sleep_for(int milliseconds) {
  if (milliseconds < 1) {
    jx_this_thread_yield();
    return;
  }
  jx::Guarded([&] {
    const std::shared_ptr<jx::AsyncLoop> own = jx::CallerLoop();
    if (own == nullptr) {
      jx_this_thread_sleep(milliseconds);
      return;
    }
    const int64_t start = jx_clock_tick_milliseconds();
    jx::AwaitUntil([&] { return jx_clock_tick_milliseconds() - start >= milliseconds; }, own,
                   jx::kAwaitSleepWait, jx::kAwaitSleepWait);
  });
}

void jx_sleep_for(int milliseconds) { jx_this_thread_sleep(milliseconds); }

void jx_current_thread_yield(void) { jx_this_thread_yield(); }

}  // extern "C"
