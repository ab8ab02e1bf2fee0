// The log lines of the task loop, the registry and the one-shot calls. This
// program installs a process-wide log at the verbose level and reads its
// queue; the other async tests run without a log.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/jx_async.h"
#include "base/jx_async_loop.h"
#include "base/jx_async_manager.h"
#include "base/jx_thread.h"
#include "support/jx_test_log.h"

namespace {

using jx::AsyncLoop;

using jx::test::TakeLogBodies;

// The bodies that match `pattern` in full.
std::vector<std::string> Matching(const std::vector<std::string>& bodies,
                                  const std::string& pattern) {
  const std::regex wanted(pattern);
  std::vector<std::string> found;
  for (const std::string& body : bodies) {
    if (std::regex_match(body, wanted)) found.push_back(body);
  }
  return found;
}

size_t Count(const std::vector<std::string>& bodies, const std::string& pattern) {
  return Matching(bodies, pattern).size();
}

std::string Address(const void* pointer) {
  char text[32];
  std::snprintf(text, sizeof(text), "%p", pointer);
  return text;
}

std::string Escaped(const std::string& text) {
  return std::regex_replace(text, std::regex(R"([\[\]\(\)\.\*\+\?\^\$\|\\])"), R"(\$&)");
}

std::atomic<int64_t> fake_tick{0};
int64_t FakeTick() { return fake_tick.load(); }

class AsyncLog : public testing::Test {
 protected:
  void SetUp() override { TakeLogBodies(); }
};

TEST_F(AsyncLog, PostNamesTheTaskAsGivenAndWakeupNamesItsOwnLocation) {
  auto loop = std::make_shared<AsyncLoop>("named loop", &FakeTick);
  const std::string address = Escaped(Address(loop.get()));
  loop->Post(nullptr, "");
  loop->Post(nullptr, "given");
  loop->Wakeup();
  const auto bodies = TakeLogBodies();
  const std::string post = R"(\[V:0001\]\[jx_async_loop\.cpp\(\d+\)Post\]\[jx\] \[)" + address;
  EXPECT_EQ(Count(bodies, post + R"(\]add task\(\))"), 1u);
  EXPECT_EQ(Count(bodies, post + R"(\]add task\(given\))"), 1u);
  EXPECT_EQ(Count(bodies, post + R"(\]add task\(jx_async_loop\.cpp\(\d+\)Wakeup\))"), 1u);
  loop->Stop();
}

TEST_F(AsyncLog, PassesAndWaitsAreTraced) {
  auto loop = std::make_shared<AsyncLoop>("L");
  const std::string address = Escaped(Address(loop.get()));
  loop->Post(nullptr, "a");
  loop->Post(nullptr, "b");
  TakeLogBodies();
  loop->FetchTask2Run(false, 0);  // one task left: no wait
  auto bodies = TakeLogBodies();
  EXPECT_EQ(Count(bodies, R"(\[V:0001\]\[jx_async_loop\.cpp\(\d+\)FetchTask2Run\]\[jx\] )"
                          R"(\[L\] wait_new_task:0)"),
            1u);
  EXPECT_EQ(Count(bodies, R"(.*FetchTask2Run\]\[jx\] \[L\])"), 1u);

  loop->FetchTask2Run(true, 20);  // runs the last task, then waits 20 ms
  bodies = TakeLogBodies();
  EXPECT_EQ(Count(bodies, R"(.*\[jx\] \[L\] wait_new_task:1)"), 1u);
  EXPECT_EQ(Count(bodies, R"(.*WaitForNewTask\]\[jx\] \[L\]\[)" + address +
                              R"(\]condition_variable waite\(20\))"),
            1u);
  EXPECT_GE(Count(bodies, R"(.*taskCVPreWait\]\[jx\] \[)" + address +
                              R"(\]condition_variable to check\[sizeTasks:0\])"),
            1u);
  EXPECT_EQ(Count(bodies, R"(.*WaitForNewTask\]\[jx\] \[L\]\[)" + address +
                              R"(\]condition_variable waite finish\.)"),
            1u);
}

// Posts `count` tasks, then runs one pass at `now` and returns the overload
// lines it wrote.
std::vector<std::string> OverloadLinesAfter(AsyncLoop& loop, int count, int64_t now) {
  for (int i = 0; i < count; ++i) loop.Post(nullptr, "t");
  TakeLogBodies();  // the posts' own lines
  fake_tick = now;
  loop.FetchTask2Run(false, 0);
  return Matching(TakeLogBodies(), R"(.*too much.*)");
}

// An overload line expected: its level field, the queue it names and the
// number of tasks it reports. The line's location is the function that
// measured that queue.
struct Overload {
  std::string field;
  std::string queue;
  int count;
};

void ExpectOverloads(const std::vector<std::string>& lines, const std::string& loop,
                     const std::vector<Overload>& expected) {
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto& [field, queue, count] = expected[i];
    const std::string function = queue == "task" ? "fetchOneTask" : "peekTaskViaDelayTasks";
    EXPECT_TRUE(std::regex_match(
        lines[i],
        std::regex(Escaped(field) + R"(\[jx_async_loop\.cpp\(\d+\))" + function + R"(\]\[jx\] \[)" +
                   loop + R"(\] too much )" + queue + "! sizeTasks:" + std::to_string(count))))
        << lines[i];
  }
}

TEST_F(AsyncLog, LongRunQueuesAreReportedAtMostOnceASecond) {
  fake_tick = 0;
  auto loop = std::make_shared<AsyncLoop>("busy", &FakeTick);
  ExpectOverloads(OverloadLinesAfter(*loop, 600, 2000), "busy", {{"[D:0100]", "task", 600}});
  ExpectOverloads(OverloadLinesAfter(*loop, 0, 2500), "busy", {});  // within the second
  ExpectOverloads(OverloadLinesAfter(*loop, 0, 3000), "busy", {});
  ExpectOverloads(OverloadLinesAfter(*loop, 0, 3001), "busy", {{"[D:0100]", "task", 597}});
  loop->Stop();
}

TEST_F(AsyncLog, EveryFurther512QueuedTasksRaiseTheLevelBy256) {
  const std::pair<int, std::vector<Overload>> cases[] = {{511, {}},
                                                         {512, {{"[D:0100]", "task", 512}}},
                                                         {1024, {{"[I:0200]", "task", 1024}}},
                                                         {1536, {{"[W:0300]", "task", 1536}}},
                                                         {2048, {{"[E:0400]", "task", 2048}}},
                                                         {2560, {{"[F:0500]", "task", 2560}}},
                                                         {3072, {{"[?:0600]", "task", 3072}}}};
  for (const auto& [count, expected] : cases) {
    SCOPED_TRACE(count);
    fake_tick = 0;
    auto loop = std::make_shared<AsyncLoop>("level", &FakeTick);
    ExpectOverloads(OverloadLinesAfter(*loop, count, 2000), "level", expected);
    loop->Stop();
  }
}

TEST_F(AsyncLog, LongDelayQueuesAreReportedOnlyByAPassWhoseTaskRanPastTheSecond) {
  fake_tick = 0;
  auto loop = std::make_shared<AsyncLoop>("late", &FakeTick);
  loop->Post([] { fake_tick = 3001; }, "slow");
  for (int i = 0; i < 512; ++i) loop->PostDelay(nullptr, 100000, "d");  // each also wakes
  ExpectOverloads(OverloadLinesAfter(*loop, 0, 2000), "late",
                  {{"[D:0100]", "task", 513}, {"[D:0100]", "delay task", 512}});
  // A quick pass: the run-queue check takes the second, the delay check finds
  // it fresh.
  ExpectOverloads(OverloadLinesAfter(*loop, 0, 5000), "late", {{"[D:0100]", "task", 512}});
  loop->Stop();
}

TEST_F(AsyncLog, ATaskThatThrowsOnAWorkerIsLoggedWithItsNameAndTheWorkerGoesOn) {
  const int64_t id = jx_thread_start("thrower");
  const jx_task_callback thrower{nullptr, [](void*) { throw std::runtime_error("boom"); }};
  ASSERT_TRUE(jx_thread_task_post(id, &thrower, nullptr));  // named by its time stamp
  std::atomic<bool> ran{false};
  const jx_task_callback after{&ran,
                               [](void* flag) { *static_cast<std::atomic<bool>*>(flag) = true; }};
  ASSERT_TRUE(jx_thread_task_post(id, &after, "after"));
  while (!ran.load()) jx_sleep_for(1);
  EXPECT_EQ(
      Count(TakeLogBodies(), R"(\[E:0400\]\[jx_async_loop\.cpp\(\d+\)RunTaskFunc\]\[jx\] )"
                             R"(exception on task\. uniqid:\d{4}-\d\d-\d\d-\d\d-\d\d-\d\d-\d{3})"),
      1u);
  EXPECT_TRUE(jx_thread_stop(id));
}

TEST_F(AsyncLog, TheRegistryReportsThreadsAddedStoppedAndLost) {
  const int64_t id = jx_thread_start("registered");
  const std::string text_id = std::to_string(id);
  auto bodies = TakeLogBodies();
  EXPECT_EQ(Count(bodies, R"(\[I:0200\]\[jx_async_manager\.cpp\(\d+\)AddThreadLoop\]\[jx\] )"
                          R"(thread add \[)" +
                              text_id + R"(:registered\])"),
            1u);
  ASSERT_TRUE(jx_thread_stop(id));
  bodies = TakeLogBodies();
  const std::string erase = R"(\[I:0200\]\[jx_async_manager\.cpp\(\d+\)EraseThreadLoop\]\[jx\] )";
  EXPECT_EQ(Count(bodies, erase + R"(thread stop \[id:)" + text_id + R"(\])"), 1u);
  EXPECT_EQ(Count(bodies, erase + R"(thread erase! \[id:)" + text_id + R"(\])"), 1u);

  jx::AsyncMgr* registry = jx::AsyncMgr::Instance();
  registry->AddThreadLoop(-424242, nullptr);
  EXPECT_EQ(registry->GetThread(-424242), nullptr);
  {
    auto gone = std::make_shared<AsyncLoop>("gone");
    registry->AddThreadLoop(-424243, gone);
  }
  EXPECT_EQ(registry->GetThread(-424243), nullptr);  // its loop is gone: the entry goes too
  EXPECT_EQ(registry->GetThread(-424243), nullptr);
  bodies = TakeLogBodies();
  EXPECT_EQ(Count(bodies, R"(\[E:0400\]\[jx_async_manager\.cpp\(\d+\)AddThreadLoop\]\[jx\] )"
                          R"(invalid thread \[id:-424242\])"),
            1u);
  EXPECT_EQ(Count(bodies, R"(\[E:0400\]\[jx_async_manager\.cpp\(\d+\)GetThread\]\[jx\] )"
                          R"(thread erase! \[id:-424243\])"),
            1u);
}

TEST_F(AsyncLog, RunAwaitTracesTheAwaitedTask) {
  const int64_t id = jx_thread_start("awaited");
  const jx_task_callback nothing{nullptr, nullptr};
  jx_run_await(&nothing, id, "awaited task");
  EXPECT_EQ(
      Count(TakeLogBodies(),
            R"(\[V:0001\]\[jx_async_thread\.cpp\(\d+\).*\]\[jx\] func run! \[awaited task\])"),
      1u);
  EXPECT_TRUE(jx_thread_stop(id));
}

}  // namespace
