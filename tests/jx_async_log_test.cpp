// The overload lines of the task loop, read from a process-wide log at the
// verbose level that only queues; the other async tests run without a log.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <regex>

#include "base/jx_async_loop.h"
#include "base/jx_time.h"
#include "support/jx_test_log.h"

namespace {

std::atomic<int64_t> fake_tick{0};
int64_t FakeTick() { return fake_tick.load(); }

// Posts `count` tasks, then runs one pass at `now`; the overload lines it
// wrote, their source line numbers left out.
std::vector<std::string> OverloadsAfter(jx::AsyncLoop& loop, int count, int64_t now) {
  for (int i = 0; i < count; ++i) loop.Post(nullptr, "t");
  jx::test::TakeLogBodies();  // the posts' own lines
  fake_tick = now;
  loop.FetchTask2Run(false, 0);
  std::vector<std::string> lines;
  for (const std::string& body : jx::test::TakeLogBodies()) {
    if (body.find("too much") != std::string::npos) {
      lines.push_back(std::regex_replace(body, std::regex(R"(\.cpp\(\d+\))"), ".cpp()"));
    }
  }
  return lines;
}

// The line's location is the function that measured that queue.
std::string Overload(const std::string& level, const std::string& loop, int count,
                     bool delayed = false) {
  return "[" + level + "][jx_async_loop.cpp()" +
         (delayed ? "peekTaskViaDelayTasks][jx] [" : "fetchOneTask][jx] [") + loop + "] too much " +
         (delayed ? "delay task" : "task") + "! sizeTasks:" + std::to_string(count);
}

using Lines = std::vector<std::string>;

TEST(AsyncLog, EveryFurther512QueuedTasksRaiseTheLevelBy256) {
  const std::pair<int, const char*> cases[] = {
      {511, ""}, {512, "D:0100"}, {1024, "I:0200"}, {2048, "E:0400"}, {3072, "?:0600"}};
  for (const auto& [count, level] : cases) {
    fake_tick = 0;
    auto loop = std::make_shared<jx::AsyncLoop>("level", &FakeTick);
    EXPECT_EQ(OverloadsAfter(*loop, count, 2000),
              *level == '\0' ? Lines{} : Lines{Overload(level, "level", count)});
    loop->Stop();
  }
}

TEST(AsyncLog, LongRunQueuesAreReportedAtMostOnceASecond) {
  fake_tick = 0;
  auto loop = std::make_shared<jx::AsyncLoop>("busy", &FakeTick);
  EXPECT_EQ(OverloadsAfter(*loop, 600, 2000), Lines{Overload("D:0100", "busy", 600)});
  EXPECT_EQ(OverloadsAfter(*loop, 0, 3000), Lines{});  // within the second
  EXPECT_EQ(OverloadsAfter(*loop, 0, 3001), Lines{Overload("D:0100", "busy", 598)});
  loop->Stop();
}

// The time-stamp name of an unnamed task is made only when the exception
// line reads it, yet it is the time of the post. The format sorts by time.
TEST(AsyncLog, AnUnnamedTaskThatThrowsIsNamedByTheTimeOfItsPost) {
  auto loop = std::make_shared<jx::AsyncLoop>("throws");
  const std::string before = jx::TimeStampName(jx_system_time_milliseconds());
  loop->Post([] { throw 7; }, "");
  const std::string after = jx::TimeStampName(jx_system_time_milliseconds());
  jx::test::TakeLogBodies();
  EXPECT_THROW(loop->FetchTask2Run(false, 0), int);
  const std::string prefix = "exception on task. uniqid:";
  std::string name;
  for (const std::string& body : jx::test::TakeLogBodies()) {
    const size_t at = body.find(prefix);
    if (at != std::string::npos) name = body.substr(at + prefix.size());
  }
  EXPECT_TRUE(before <= name && name <= after) << name;
  loop->Stop();
}

}  // namespace
