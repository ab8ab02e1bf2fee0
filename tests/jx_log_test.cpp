#include "base/jx_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "base/jx_plog.h"
#include "base/jx_thread.h"
#include "support/jx_test_log.h"
#include "support/jx_test_support.h"

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

using jx::test::LogBody;
using jx::test::LogHead;

TEST(LogLine, MatchesTheLayoutByteForByte) {
  auto log = MakeLog(JX_LOG_VERBOSE);
  const int64_t base = 1709647629000;  // early March 2024 in every time zone
  for (int64_t wall : {base + 42, base + 1007, base + 60000}) {
    fake_wall = wall;
    EXPECT_EQ(log->BuildLine(JX_LOG_ERROR, "jx", "parser.cpp(53)Parse", "md5 error"),
              LogHead(wall, jx_get_current_thread_id()) +
                  "[E:0400][parser.cpp(53)Parse][jx] md5 error\n");
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
    EXPECT_EQ(LogBody(log->BuildLine(level, "m", "l", "x")).rfind(field, 0), 0u) << level;
  }
}

TEST(LogLine, ALineLongerThanALogFileIsCutToItWithItsLineEndAndAWarningAfterIt) {
  jx::LogSettings settings;
  settings.rotate_bytes = 200;
  jx::LogContext log(settings, FakeClock());
  const std::string fits(100, 'f');
  log.Write(JX_LOG_ERROR, "jx", "here", fits);
  log.Write(JX_LOG_ERROR, "jx", "here", std::string(1000, 'c'));
  const std::vector<std::string> lines = Drain(log);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(LogBody(lines[0]), "[E:0400][here][jx] " + fits);
  EXPECT_EQ(lines[1].size(), 200u);
  EXPECT_EQ(lines[1].back(), '\n');
  EXPECT_TRUE(std::regex_match(LogBody(lines[2]),
                               std::regex(R"(\[W:0300\]\[jx_plog\.cpp\(\d+\)Write\]\[plog\] )"
                                          R"(warn: the line above was cut to 200 bytes)")))
      << lines[2];
}

// The rules a test drives by hand: the warning text and the discard text.
bool IsWarning(const std::string& line) {
  static const std::regex warning(R"(\[W:0300\]\[jx_plog\.cpp\(\d+\)JXAddLogForWrite\]\[plog\] )"
                                  R"(warn: pay attention!! log items > 2048)");
  return std::regex_match(LogBody(line), warning);
}

bool IsOverflow(const std::string& line) {
  static const std::regex overflow(R"(\[E:0400\]\[jx_plog\.cpp\(\d+\)JXAddLogForWrite\]\[plog\] )"
                                   R"(error: \[overflow\] log over max, discard!)");
  return std::regex_match(LogBody(line), overflow);
}

std::string Numbered(int i) { return "line " + std::to_string(i) + "\n"; }

TEST(LogQueue, DiscardsTheBacklogAbove2048LinesAndWarnsAbove1024OnceTheTickPassesOneSecond) {
  auto log = MakeLog(JX_LOG_FATAL);  // the log's own lines ignore the minimum level
  fake_tick = 1000;                  // no warnings yet
  for (int i = 1; i <= 2049; ++i) log->JXAddLogForWrite(Numbered(i));
  auto lines = Drain(*log);
  ASSERT_EQ(lines.size(), 2049u);
  for (int i = 1; i <= 2049; ++i) ASSERT_EQ(lines[i - 1], Numbered(i));
  for (int i = 1; i <= 2050; ++i) log->JXAddLogForWrite(Numbered(i));
  lines = Drain(*log);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(IsOverflow(lines[0])) << lines[0];
  EXPECT_EQ(lines[1], Numbered(2050));

  // Warning lines count towards the limits; the flood test below holds them
  // to both at once.
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

// A log of its own in a temporary folder, with its writer on a thread.
class WrittenLog {
 public:
  explicit WrittenLog(jx::LogSettings settings = {}, jx::LogClock clock = {})
      : log_(WithFolder(std::move(settings), dir_.path()), clock),
        writer_([this] { log_.RunWriter(); }) {}
  ~WrittenLog() {
    if (writer_.joinable()) Stop();
  }

  jx::LogContext& log() { return log_; }
  std::string path() const { return dir_ / "trace.app.blog"; }

  // Waits until the file holds `count` lines and returns them.
  std::vector<std::string> WaitForLines(size_t count) {
    return SplitLines(jx::test::WaitForFileContent(
        path(), [count](const std::string& text) { return CountLines(text) >= count; }));
  }

  // Stops the writer once it has written everything queued; returns the lines.
  std::vector<std::string> Stop() {
    log_.StopWriter();
    writer_.join();
    return SplitLines(jx::test::ReadTextFile(path()));
  }

 private:
  static jx::LogSettings WithFolder(jx::LogSettings settings, const std::string& folder) {
    settings.folder = folder;
    return settings;
  }
  static size_t CountLines(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  }
  static std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
      lines.push_back(text.substr(start, end - start + 1));
    }
    return lines;
  }

  jx::test::TempDir dir_;
  jx::LogContext log_;
  std::thread writer_;
};

TEST(LogWriter, WritesEveryLineOfConcurrentCallersWholeAndInEachThreadsOrder) {
  WrittenLog written;
  constexpr int kThreads = 4;
  constexpr int kPerRound = 250;  // a round stays below the backlog limits
  constexpr int kRounds = 5;
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&written, t, round] {
        for (int i = round * kPerRound; i < (round + 1) * kPerRound; ++i) {
          const std::string message = std::to_string(t) + ":" + std::to_string(i);
          EXPECT_TRUE(written.log().Write(JX_LOG_WARN, "jx", "w", message));
        }
      });
    }
    for (auto& thread : threads) thread.join();
    // The writer catches up and goes idle, so the next round must wake it.
    ASSERT_EQ(written.WaitForLines(size_t{kThreads} * kPerRound * (round + 1)).size(),
              size_t{kThreads} * kPerRound * (round + 1));
  }
  const std::vector<std::string> lines = written.Stop();
  ASSERT_EQ(lines.size(), size_t{kThreads} * kPerRound * kRounds);  // no leak lines either
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

// A writer that can be held: its pacing pause waits until the test opens the
// gate. The wall clock moves 200 ms at every reading, so the writer pauses
// after each line it writes.
std::atomic<bool> gate_open{false};
std::atomic<bool> writer_paused{false};

void PauseUntilTheGateOpens(int /*milliseconds*/) {
  writer_paused = true;
  while (!gate_open) jx_this_thread_yield();
}

std::atomic<int64_t> gated_wall{1709647629000};

// The kinds of line the queue holds after `count` callers' lines were queued
// one by one with the tick clock past one second: 'L' a caller's line, 'W' a
// warning, 'O' the overflow line. Only the count matters, not who queued.
std::string QueueAfter(int count) {
  std::string kinds;
  for (int i = 0; i < count; ++i) {
    if (kinds.size() > jx::LogContext::kWarnLines) kinds += 'W';
    if (kinds.size() > jx::LogContext::kMaxLines) kinds = "O";
    kinds += 'L';
  }
  return kinds;
}

TEST(LogWriter, AFloodWhileTheWriterIsHeldKeepsTheBacklogRulesAndEveryLineWhole) {
  gate_open = writer_paused = false;
  jx::LogClock clock;
  clock.wall_milliseconds = [] { return gated_wall += 200; };
  clock.tick_milliseconds = [] { return int64_t{5000}; };
  clock.sleep_milliseconds = &PauseUntilTheGateOpens;
  WrittenLog written({}, clock);
  written.log().Write(JX_LOG_WARN, "jx", "w", "held");
  while (!writer_paused) jx_this_thread_yield();  // inside its batch, not idle

  // 4400 lines: two discards, then a backlog above 1024 lines with warnings.
  constexpr int kThreads = 4;
  constexpr int kPerThread = 1100;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&written, t] {
      for (int i = 0; i < kPerThread; ++i) {
        written.log().Write(JX_LOG_WARN, "jx", "w", std::to_string(t) + ":" + std::to_string(i));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  gate_open = true;
  const std::vector<std::string> lines = written.Stop();

  const std::string expected = QueueAfter(kThreads * kPerThread);
  ASSERT_EQ(lines.size(), 1 + expected.size());
  EXPECT_EQ(LogBody(lines[0]), "[W:0300][w][jx] held");
  const std::regex head(R"(^\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d{3}\]\[P\d+ T\d+\]\[)");
  const std::regex caller(R"(\[W:0300\]\[w\]\[jx\] (\d):(\d+))");
  std::string kinds;
  std::vector<int> next(kThreads, -1);
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    ASSERT_TRUE(std::regex_search(line, head)) << line;
    std::smatch parts;
    const std::string body = LogBody(line);
    if (IsWarning(line)) {
      kinds += 'W';
    } else if (IsOverflow(line)) {
      kinds += 'O';
    } else {
      ASSERT_TRUE(std::regex_match(body, parts, caller)) << line;
      kinds += 'L';
      // What survives of each thread is an unbroken run of its lines.
      const int thread = std::stoi(parts[1]);
      const int number = std::stoi(parts[2]);
      if (next[thread] != -1) {
        ASSERT_EQ(number, next[thread]) << line;
      }
      next[thread] = number + 1;
    }
  }
  EXPECT_EQ(kinds, expected);
  for (int t = 0; t < kThreads; ++t) {
    if (next[t] != -1) {
      EXPECT_EQ(next[t], kPerThread) << t;
    }
  }
}

// Pacing, driven by a wall clock that moves 51 ms at every reading.
std::atomic<int64_t> stepping_wall{0};
std::vector<int> sleeps;

TEST(LogWriter, SleepsAfterEvery102MillisecondsOfWriting) {
  jx::test::TempDir dir;
  jx::LogSettings settings;
  settings.folder = dir.path();
  jx::LogClock clock;
  clock.wall_milliseconds = [] { return stepping_wall += 51; };
  clock.sleep_milliseconds = [](int milliseconds) { sleeps.push_back(milliseconds); };
  jx::LogContext log(settings, clock);

  // Readings after lines 1-5 are 51, 102, 153, 204, 255 ms past the first:
  // the pause comes after lines 2 and 4, each measured from the reading that
  // led to the previous pause.
  const std::vector<std::string> batch{Numbered(1), Numbered(2), Numbered(3), Numbered(4),
                                       Numbered(5)};
  log.WriteBatch(batch);
  EXPECT_EQ(sleeps, (std::vector<int>{102, 102}));
  EXPECT_EQ(jx::test::ReadTextFile(dir / "trace.app.blog"),
            Numbered(1) + Numbered(2) + Numbered(3) + Numbered(4) + Numbered(5));
  EXPECT_EQ(log.file().bytes_written(), 5 * Numbered(1).size());
}

TEST(LogWriter, ReportsALeakWithItsAllocationStampAddressAndSource) {
  const int64_t allocated = 1709647629042;
  int block = 0;
  char address[32];
  std::snprintf(address, sizeof(address), "%p", static_cast<void*>(&block));
  EXPECT_EQ(jx::LeakLine({&block, "source/base/jx_json", 81, allocated, 96}),
            "## memory leak ## " + LogHead(allocated, 96) + "[" + address +
                "][source/base/jx_json:81]\n");
}

TEST(LogSettings, TakePositiveValuesOfTheUnnamedSectionOverTheArgumentAndDefaults) {
  const struct {
    std::optional<std::string> file;  // none: no configuration file
    int level;                        // the argument
    int min_level;
    int backup_count;
  } cases[] = {
      {std::nullopt, 0, 512, 5},
      {std::nullopt, 256, 256, 5},
      {std::nullopt, -7, 512, 5},
      {"", 768, 768, 5},
      {std::string("\0\x01\xFF\xFElog.level=\x80\n\0\0", 14), 768, 768, 5},
      {"other = 1\n", 0, 512, 5},
      {"log.level = 1024\nlog.count_backup_files = 9\n", 256, 1024, 9},
      {"log.level=abc\nlog.count_backup_files=0\n", 256, 256, 5},
      {"log.level=-3\nlog.count_backup_files=-3\n", 0, 512, 5},
      {"log.level=TRUE\nlog.count_backup_files=true\n", 768, 1, 1},
      {"log.level=FALSE\nlog.count_backup_files=\n", 768, 768, 5},
      {"log.level = 0x10\nlog.count_backup_files = 7 files\n", 0, 512, 7},
      // The last value wins; a key under a section header is not a log setting.
      {"log.level=300\nlog.level=600\n[log]\nlog.level=1\n", 0, 600, 5},
      {"[log]\nlog.level=1\nlog.count_backup_files=2\n", 256, 256, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file.value_or("<none>"));
    jx::test::TempDir dir;
    if (c.file) jx::test::WriteFile(dir / "app_base_config.ini", *c.file);
    const jx::LogSettings settings =
        jx::LoadLogSettings(dir / "app_base_config.ini", "D:/logs/", "svc", c.level);
    EXPECT_EQ(settings.min_level, c.min_level);
    EXPECT_EQ(settings.backup_count, c.backup_count);
    EXPECT_EQ(settings.folder, "D:/logs/");
    EXPECT_EQ(settings.module, "svc");
    EXPECT_EQ(settings.rotate_bytes, 20971520u);
  }
  const jx::LogSettings unnamed = jx::LoadLogSettings("/no/such/file.ini", nullptr, nullptr, 0);
  EXPECT_EQ(unnamed.folder + unnamed.module, "");
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
  EXPECT_EQ(LogBody(lines[0]), "[I:0200][][] ");
  EXPECT_EQ(LogBody(lines[1]),
            "[E:0400][jx_log_test.cpp(" + std::to_string(line) + ")TestBody][jx] md5 error 7");
  EXPECT_EQ(LogBody(lines[2]).substr(0, 9), "[W:0300][");
  EXPECT_NE(LogBody(lines[2]).find("TestBody][plog] " + std::string(1000, 'x')), std::string::npos);
}

TEST(LogLocation, UsesTheBaseNameTheLineAndTheBareFunctionName) {
  EXPECT_EQ(jx::LogLocation("C:\\src\\parser.cpp", 53, "ns::Parser::Parse"), "parser.cpp(53)Parse");
  EXPECT_EQ(jx::LogLocation("/src/a/b.cpp", 1, "main"), "b.cpp(1)main");
  EXPECT_EQ(jx::LogLocation("plain.cpp", -4, ""), "plain.cpp(-4)");
  EXPECT_EQ(jx::LogLocation(nullptr, 0, nullptr), "(0)");
}

}  // namespace
