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
#include "base/jx_plog.h"
#include "base/jx_thread.h"

namespace {

using jx::AsyncLoop;

jx::LogContext& CapturedLog() {
  static jx::LogContext* const log = [] {
    jx::LogSettings settings;
    settings.min_level = JX_LOG_VERBOSE;
    jx::InstallLog(std::make_unique<jx::LogContext>(settings));
    return jx::InstalledLog();
  }();
  return *log;
}

// The bodies ("[V:0001][location][module] message") of the lines queued
// since the last call, without their final line feed.
std::vector<std::string> TakeBodies() {
  std::vector<std::string> lines;
  CapturedLog().TakeQueued(&lines);
  std::vector<std::string> bodies;
  for (const std::string& line : lines) {
    const size_t start = line.find("][", line.find("[P")) + 1;
    bodies.push_back(line.substr(start, line.size() - start - 1));
  }
  return bodies;
}

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
  void SetUp() override { TakeBodies(); }
};

TEST_F(AsyncLog, PostNamesTheTaskAsGivenAndWakeupNamesItsOwnLocation) {
  auto loop = std::make_shared<AsyncLoop>("named loop", &FakeTick);
  const std::string address = Escaped(Address(loop.get()));
  loop->Post(nullptr, "");
  loop->Post(nullptr, "given");
  loop->Wakeup();
  const auto bodies = TakeBodies();
  const std::string post = R"(\[V:0001\]\[jx_async_loop\.cpp\(\d+\)Post\]\[jx\] \[)" + address;
  EXPECT_EQ(Matching(bodies, post + R"(\]add task\(\))").size(), 1u);
  EXPECT_EQ(Matching(bodies, post + R"(\]add task\(given\))").size(), 1u);
  EXPECT_EQ(Matching(bodies, post + R"(\]add task\(jx_async_loop\.cpp\(\d+\)Wakeup\))").size(), 1u);
  loop->Stop();
}

TEST_F(AsyncLog, PassesAndWaitsAreTraced) {
  auto loop = std::make_shared<AsyncLoop>("L");
  const std::string address = Escaped(Address(loop.get()));
  loop->Post(nullptr, "a");
  loop->Post(nullptr, "b");
  TakeBodies();
  loop->FetchTask2Run(false, 0);  // one task left: no wait
  auto bodies = TakeBodies();
  EXPECT_EQ(Matching(bodies, R"(\[V:0001\]\[jx_async_loop\.cpp\(\d+\)FetchTask2Run\]\[jx\] )"
                             R"(\[L\] wait_new_task:0)")
                .size(),
            1u);
  EXPECT_EQ(Matching(bodies, R"(.*FetchTask2Run\]\[jx\] \[L\])").size(), 1u);

  loop->FetchTask2Run(true, 20);  // runs the last task, then waits 20 ms
  bodies = TakeBodies();
  EXPECT_EQ(Matching(bodies, R"(.*\[jx\] \[L\] wait_new_task:1)").size(), 1u);
  EXPECT_EQ(Matching(bodies, R"(.*WaitForNewTask\]\[jx\] \[L\]\[)" + address +
                                 R"(\]condition_variable waite\(20\))")
                .size(),
            1u);
  EXPECT_GE(Matching(bodies, R"(.*taskCVPreWait\]\[jx\] \[)" + address +
                                 R"(\]condition_variable to check\[sizeTasks:0\])")
                .size(),
            1u);
  EXPECT_EQ(Matching(bodies, R"(.*WaitForNewTask\]\[jx\] \[L\]\[)" + address +
                                 R"(\]condition_variable waite finish\.)")
                .size(),
            1u);
}

// Posts `count` tasks, then runs one pass at `now` and returns the overload
// lines it wrote.
std::vector<std::string> OverloadLinesAfter(AsyncLoop& loop, int count, int64_t now) {
  for (int i = 0; i < count; ++i) loop.Post(nullptr, "t");
  TakeBodies();  // the posts' own lines
  fake_tick = now;
  loop.FetchTask2Run(false, 0);
  return Matching(TakeBodies(), R"(.*too much.*)");
}

std::string OverloadLine(const char* field, const char* loop, const char* queue, int count) {
  return Escaped(std::string(field)) + R"(\[jx_async_loop\.cpp\(\d+\)\w+\]\[jx\] \[)" + loop +
         R"(\] too much )" + queue + "! sizeTasks:" + std::to_string(count);
}

TEST_F(AsyncLog, LongRunQueuesAreReportedAtMostOnceASecond) {
  fake_tick = 0;
  auto loop = std::make_shared<AsyncLoop>("busy", &FakeTick);
  auto lines = OverloadLinesAfter(*loop, 600, 2000);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(OverloadLine("[D:0100]", "busy", "task", 600))))
      << lines[0];
  EXPECT_TRUE(OverloadLinesAfter(*loop, 0, 2500).empty());  // within the second
  EXPECT_TRUE(OverloadLinesAfter(*loop, 0, 3000).empty());
  lines = OverloadLinesAfter(*loop, 0, 3001);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(OverloadLine("[D:0100]", "busy", "task", 597))))
      << lines[0];
  loop->Stop();
}

TEST_F(AsyncLog, EveryFurther512QueuedTasksRaiseTheLevelBy256) {
  const std::pair<int, const char*> cases[] = {
      {511, nullptr},     {512, "[D:0100]"},  {1024, "[I:0200]"}, {1536, "[W:0300]"},
      {2048, "[E:0400]"}, {2560, "[F:0500]"}, {3072, "[?:0600]"}};
  for (const auto& [count, field] : cases) {
    fake_tick = 0;
    auto loop = std::make_shared<AsyncLoop>("level", &FakeTick);
    const auto lines = OverloadLinesAfter(*loop, count, 2000);
    if (field == nullptr) {
      EXPECT_TRUE(lines.empty()) << count;
    } else {
      ASSERT_EQ(lines.size(), 1u) << count;
      EXPECT_TRUE(
          std::regex_match(lines[0], std::regex(OverloadLine(field, "level", "task", count))))
          << lines[0];
    }
    loop->Stop();
  }
}

TEST_F(AsyncLog, LongDelayQueuesAreReportedOnlyByAPassWhoseTaskRanPastTheSecond) {
  fake_tick = 0;
  auto loop = std::make_shared<AsyncLoop>("late", &FakeTick);
  loop->Post([] { fake_tick = 3001; }, "slow");
  for (int i = 0; i < 512; ++i) loop->PostDelay(nullptr, 100000, "d");  // each also wakes
  TakeBodies();
  fake_tick = 2000;
  loop->FetchTask2Run(false, 0);
  auto lines = Matching(TakeBodies(), R"(.*too much.*)");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(OverloadLine("[D:0100]", "late", "task", 513))))
      << lines[0];
  EXPECT_TRUE(
      std::regex_match(lines[1], std::regex(OverloadLine("[D:0100]", "late", "delay task", 512))))
      << lines[1];

  // A quick pass: the run-queue check takes the second, the delay check finds
  // it fresh.
  fake_tick = 5000;
  loop->FetchTask2Run(false, 0);
  lines = Matching(TakeBodies(), R"(.*too much.*)");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(OverloadLine("[D:0100]", "late", "task", 512))))
      << lines[0];
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
      Matching(TakeBodies(), R"(\[E:0400\]\[jx_async_loop\.cpp\(\d+\)RunTaskFunc\]\[jx\] )"
                             R"(exception on task\. uniqid:\d{4}-\d\d-\d\d-\d\d-\d\d-\d\d-\d{3})")
          .size(),
      1u);
  EXPECT_TRUE(jx_thread_stop(id));
}

TEST_F(AsyncLog, TheRegistryReportsThreadsAddedStoppedAndLost) {
  const int64_t id = jx_thread_start("registered");
  const std::string text_id = std::to_string(id);
  auto bodies = TakeBodies();
  EXPECT_EQ(Matching(bodies, R"(\[I:0200\]\[jx_async_manager\.cpp\(\d+\)AddThreadLoop\]\[jx\] )"
                             R"(thread add \[)" +
                                 text_id + R"(:registered\])")
                .size(),
            1u);
  ASSERT_TRUE(jx_thread_stop(id));
  bodies = TakeBodies();
  const std::string erase = R"(\[I:0200\]\[jx_async_manager\.cpp\(\d+\)EraseThreadLoop\]\[jx\] )";
  EXPECT_EQ(Matching(bodies, erase + R"(thread stop \[id:)" + text_id + R"(\])").size(), 1u);
  EXPECT_EQ(Matching(bodies, erase + R"(thread erase! \[id:)" + text_id + R"(\])").size(), 1u);

  jx::AsyncMgr* registry = jx::AsyncMgr::Instance();
  registry->AddThreadLoop(-424242, nullptr);
  EXPECT_EQ(registry->GetThread(-424242), nullptr);
  {
    auto gone = std::make_shared<AsyncLoop>("gone");
    registry->AddThreadLoop(-424243, gone);
  }
  EXPECT_EQ(registry->GetThread(-424243), nullptr);  // its loop is gone: the entry goes too
  EXPECT_EQ(registry->GetThread(-424243), nullptr);
  bodies = TakeBodies();
  EXPECT_EQ(Matching(bodies, R"(\[E:0400\]\[jx_async_manager\.cpp\(\d+\)AddThreadLoop\]\[jx\] )"
                             R"(invalid thread \[id:-424242\])")
                .size(),
            1u);
  EXPECT_EQ(Matching(bodies, R"(\[E:0400\]\[jx_async_manager\.cpp\(\d+\)GetThread\]\[jx\] )"
                             R"(thread erase! \[id:-424243\])")
                .size(),
            1u);
}

TEST_F(AsyncLog, RunAwaitTracesTheAwaitedTask) {
  const int64_t id = jx_thread_start("awaited");
  const jx_task_callback nothing{nullptr, nullptr};
  jx_run_await(&nothing, id, "awaited task");
  EXPECT_EQ(
      Matching(TakeBodies(),
               R"(\[V:0001\]\[jx_async_thread\.cpp\(\d+\).*\]\[jx\] func run! \[awaited task\])")
          .size(),
      1u);
  EXPECT_TRUE(jx_thread_stop(id));
}

}  // namespace
