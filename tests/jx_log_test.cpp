#include "base/jx_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "base/jx_plog.h"
#include "base/jx_thread.h"

namespace {

// The clock the tests' logs read.
std::atomic<int64_t> fake_wall{0};
std::atomic<int64_t> fake_tick{0};

jx::LogClock FakeClock() {
  return {[] { return fake_wall.load(); }, [] { return fake_tick.load(); }};
}

std::unique_ptr<jx::LogContext> MakeLog(int min_level) {
  jx::LogSettings settings;
  settings.min_level = min_level;
  return std::make_unique<jx::LogContext>(settings, FakeClock());
}

std::vector<std::string> Drain(jx::LogContext& log) {
  std::vector<std::string> lines;
  log.TakeQueued(&lines);
  return lines;
}

// The stamp as the line must show it, built independently of the log.
std::string ExpectedHead(int64_t wall_ms) {
  const int64_t seconds = wall_ms / 1000;
  struct tm t {};
  EXPECT_EQ(jx_localtime(&t, &seconds), 0);
  char head[128];
  std::snprintf(head, sizeof(head), "[%04d-%02d-%02d %02d:%02d:%02d:%03d][P%lld T%lld]",
                t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                static_cast<int>(wall_ms % 1000),
                static_cast<long long>(jx_get_current_process_id()),
                static_cast<long long>(jx_get_current_thread_id()));
  return head;
}

// The part after the stamp: "[E:0400][loc][module] message\n".
std::string Body(const std::string& line) {
  const size_t end_of_head = line.find("]", line.find("[P")) + 1;
  return line.substr(end_of_head);
}

TEST(LogLine, MatchesTheLayoutByteForByte) {
  auto log = MakeLog(JX_LOG_VERBOSE);
  const int64_t base = 1709647629000;  // early March 2024 in every time zone
  for (int64_t wall : {base + 42, base + 1007, base + 60000}) {
    fake_wall = wall;
    EXPECT_EQ(log->BuildLine(JX_LOG_ERROR, "jx", "parser.cpp(53)Parse", "md5 error"),
              ExpectedHead(wall) + "[E:0400][parser.cpp(53)Parse][jx] md5 error\n");
  }
  fake_wall = base + 7;
  const std::string line = log->BuildLine(JX_LOG_INFO, "jx", "", "");
  EXPECT_TRUE(std::regex_match(line, std::regex(R"(\[2024-03-0\d \d\d:\d\d:\d\d:007\]\[P\d+ T\d+\])"
                                                R"(\[I:0200\]\[\]\[jx\] \n)")))
      << line;
}

TEST(LogLine, ChoosesTheLetterByRangeAndWritesTheLevelInHex) {
  auto log = MakeLog(JX_LOG_VERBOSE);
  const std::pair<int, const char*> cases[] = {
      {0, "[V:0000]"},     {1, "[V:0001]"},    {2, "[D:0002]"},    {256, "[D:0100]"},
      {300, "[I:012C]"},   {512, "[I:0200]"},  {768, "[W:0300]"},  {1024, "[E:0400]"},
      {1025, "[F:0401]"},  {1280, "[F:0500]"}, {1281, "[?:0501]"}, {0x12345, "[?:12345]"},
      {-1, "[V:FFFFFFFF]"}};
  for (const auto& [level, field] : cases) {
    EXPECT_EQ(Body(log->BuildLine(level, "m", "l", "x")).rfind(field, 0), 0u) << level;
  }
}

TEST(LogQueue, DropsRecordsBelowTheMinimumLevelButSaysTrue) {
  auto log = MakeLog(JX_LOG_INFO);
  EXPECT_TRUE(log->Write(JX_LOG_DEBUG, "jx", "here", "dropped"));
  EXPECT_TRUE(log->Write(JX_LOG_INFO, "jx", "here", "kept"));
  const auto lines = Drain(*log);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(Body(lines[0]), "[I:0200][here][jx] kept\n");
}

// The rules a test drives by hand: the warning text and the discard text.
bool IsWarning(const std::string& line) {
  static const std::regex warning(R"(\[W:0300\]\[jx_plog\.cpp\(\d+\)JXAddLogForWrite\]\[plog\] )"
                                  R"(warn: pay attention!! log items > 2048\n)");
  return std::regex_match(Body(line), warning);
}

bool IsOverflow(const std::string& line) {
  static const std::regex overflow(R"(\[E:0400\]\[jx_plog\.cpp\(\d+\)JXAddLogForWrite\]\[plog\] )"
                                   R"(error: \[overflow\] log over max, discard!\n)");
  return std::regex_match(Body(line), overflow);
}

std::string Numbered(int i) { return "line " + std::to_string(i) + "\n"; }

TEST(LogQueue, WarnsBeforeEachLineWhileMoreThan1024WaitOnceTheTickPassesOneSecond) {
  auto log = MakeLog(JX_LOG_FATAL);  // the log's own lines ignore the minimum level
  fake_tick = 1000;
  for (int i = 1; i <= 1100; ++i) log->JXAddLogForWrite(Numbered(i));
  auto lines = Drain(*log);
  ASSERT_EQ(lines.size(), 1100u);  // no warning before the tick passes one second
  for (int i = 1; i <= 1100; ++i) ASSERT_EQ(lines[i - 1], Numbered(i));

  fake_tick = 1001;
  for (int i = 1; i <= 1027; ++i) log->JXAddLogForWrite(Numbered(i));
  lines = Drain(*log);
  // 1025 lines plain, then each new line after a warning.
  ASSERT_EQ(lines.size(), 1025u + 2 * 2);
  for (int i = 1; i <= 1025; ++i) ASSERT_EQ(lines[i - 1], Numbered(i));
  EXPECT_TRUE(IsWarning(lines[1025])) << lines[1025];
  EXPECT_EQ(lines[1026], Numbered(1026));
  EXPECT_TRUE(IsWarning(lines[1027])) << lines[1027];
  EXPECT_EQ(lines[1028], Numbered(1027));
}

TEST(LogQueue, DiscardsTheWholeBacklogAbove2048LinesCountingWarnings) {
  auto log = MakeLog(JX_LOG_INFO);
  fake_tick = 5000;
  // Lines 1-1025 plain; from 1026 on each adds a warning: after line 1537
  // the queue holds 1025 + 2 * 512 = 2049 lines.
  for (int i = 1; i <= 1537; ++i) log->JXAddLogForWrite(Numbered(i));
  log->JXAddLogForWrite(Numbered(1538));  // warning makes 2050: discard
  auto lines = Drain(*log);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(IsOverflow(lines[0])) << lines[0];
  EXPECT_EQ(lines[1], Numbered(1538));

  // Just below the limit nothing is discarded, and afterwards logging goes on.
  for (int i = 1; i <= 1536; ++i) log->JXAddLogForWrite(Numbered(i));
  lines = Drain(*log);
  ASSERT_EQ(lines.size(), 2047u);
  EXPECT_EQ(lines.back(), Numbered(1536));
  log->JXAddLogForWrite(Numbered(1));
  EXPECT_EQ(Drain(*log), std::vector<std::string>{Numbered(1)});
}

TEST(LogQueue, DiscardsAbove2048LinesEvenWithoutWarnings) {
  auto log = MakeLog(JX_LOG_INFO);
  fake_tick = 0;
  for (int i = 1; i <= 2049; ++i) log->JXAddLogForWrite(Numbered(i));
  EXPECT_EQ(Drain(*log).size(), 2049u);
  for (int i = 1; i <= 2050; ++i) log->JXAddLogForWrite(Numbered(i));
  const auto lines = Drain(*log);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(IsOverflow(lines[0])) << lines[0];
  EXPECT_EQ(lines[1], Numbered(2050));
}

// A writer like the log's own: it drains in passes and sleeps on the wake
// condition when idle. A lost wake-up would hang the test.
class FakeWriter {
 public:
  explicit FakeWriter(jx::LogContext& log) : log_(log), thread_([this] { Run(); }) {}
  ~FakeWriter() {
    if (thread_.joinable()) Finish();
  }
  int64_t received() const { return received_.load(); }

  // Stops the writer and returns every line it took, in order.
  std::vector<std::string> Finish() {
    log_.JXAddLogForWrite(kStop);
    thread_.join();
    return std::move(lines_);
  }

 private:
  static constexpr const char* kStop = "stop\n";

  void Run() {
    std::vector<std::string> batch;
    for (;;) {
      log_.SetWriterIdle(false);
      for (std::string& line : batch) {
        if (line == kStop) return;
        lines_.push_back(std::move(line));
        received_.fetch_add(1);
      }
      log_.SetWriterIdle(true);
      log_.TakeQueued(&batch);
      if (batch.empty()) log_.WaitForLines();
    }
  }

  jx::LogContext& log_;
  std::vector<std::string> lines_;
  std::atomic<int64_t> received_{0};
  std::thread thread_;
};

TEST(LogQueue, ConcurrentWritersLoseNoLineTearNoneAndKeepEachThreadsOrder) {
  jx::LogContext log(jx::LogSettings{});
  constexpr int kThreads = 4;
  constexpr int kPerRound = 250;  // a round stays below the backlog limits
  constexpr int kRounds = 20;
  FakeWriter writer(log);
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&log, t, round] {
        for (int i = round * kPerRound; i < (round + 1) * kPerRound; ++i) {
          const std::string message = std::to_string(t) + ":" + std::to_string(i);
          EXPECT_TRUE(log.Write(JX_LOG_WARN, "jx", "w", message));
        }
      });
    }
    for (auto& thread : threads) thread.join();
    // Wait for the writer to catch up, so the queue never grows past a round.
    const int64_t sent = int64_t{kThreads} * kPerRound * (round + 1);
    while (writer.received() < sent) jx_this_thread_yield();
  }
  const std::vector<std::string> lines = writer.Finish();
  ASSERT_EQ(lines.size(), size_t{kThreads} * kPerRound * kRounds);
  const std::regex whole(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d{3}\]\[P\d+ T\d+\])"
                         R"(\[W:0300\]\[w\]\[jx\] (\d):(\d+)\n)");
  std::vector<int> next(kThreads, 0);
  for (const std::string& line : lines) {
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(line, parts, whole)) << line;
    const int thread = std::stoi(parts[1]);
    ASSERT_EQ(std::stoi(parts[2]), next[thread]++) << line;
  }
}

// The process-wide log can be installed once per process, so one test covers
// its whole life: refused records, the racing installs, then the convention.
TEST(ProcessLog, RefusesRecordsUntilInstalledThenFollowsTheCallingConvention) {
  if (jx::InstalledLog() != nullptr) GTEST_SKIP() << "installed by an earlier repetition";
  EXPECT_FALSE(jx_log_write_log("jx", JX_LOG_FATAL, "here", "refused"));
  EXPECT_EQ(jx_log_min_level(), JX_LOG_INFO);
  ASSERT_EQ(jx::InstalledLog(), nullptr);

  std::atomic<int> winners{0};
  std::vector<std::thread> racers;
  for (int i = 0; i < 4; ++i) {
    racers.emplace_back([&] {
      if (jx::InstallLog(MakeLog(JX_LOG_INFO))) winners.fetch_add(1);
    });
  }
  for (auto& racer : racers) racer.join();
  EXPECT_EQ(winners.load(), 1);
  jx::LogContext* log = jx::InstalledLog();
  ASSERT_NE(log, nullptr);
  EXPECT_FALSE(jx::InstallLog(MakeLog(JX_LOG_VERBOSE)));
  EXPECT_EQ(jx::InstalledLog(), log);
  EXPECT_EQ(jx_log_min_level(), JX_LOG_INFO);

  EXPECT_TRUE(jx_log_write_log(nullptr, JX_LOG_INFO, nullptr, nullptr));
  EXPECT_TRUE(jx_log_write_log("jx", JX_LOG_DEBUG, "here", "filtered"));
  int evaluated = 0;
  JX_LOG(JX_LOG_DEBUG, "%d", ++evaluated);
  EXPECT_EQ(evaluated, 0);  // below the minimum nothing is even evaluated
  const int line = __LINE__ + 1;
  JX_LOG(JX_LOG_ERROR, "md5 %s %d", "error", 7);
  JX_LOG_TO("plog", JX_LOG_WARN, "%s", std::string(1000, 'x').c_str());

  const auto lines = Drain(*log);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(Body(lines[0]), "[I:0200][][] \n");
  EXPECT_EQ(Body(lines[1]),
            "[E:0400][jx_log_test.cpp(" + std::to_string(line) + ")TestBody][jx] md5 error 7\n");
  EXPECT_EQ(Body(lines[2]).substr(0, 9), "[W:0300][");
  EXPECT_NE(Body(lines[2]).find("TestBody][plog] " + std::string(1000, 'x') + "\n"),
            std::string::npos);
}

TEST(LogLocation, UsesTheBaseNameTheLineAndTheBareFunctionName) {
  EXPECT_EQ(jx::LogLocation("C:\\src\\parser.cpp", 53, "ns::Parser::Parse"), "parser.cpp(53)Parse");
  EXPECT_EQ(jx::LogLocation("/src/a/b.cpp", 1, "main"), "b.cpp(1)main");
  EXPECT_EQ(jx::LogLocation("plain.cpp", -4, ""), "plain.cpp(-4)");
  EXPECT_EQ(jx::LogLocation(nullptr, 0, nullptr), "(0)");
}

}  // namespace
