#include "base/jx_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/jx_plog.h"
#include "base/jx_thread.h"
#include "support/jx_test_log.h"
#include "support/jx_test_support.h"

namespace {

using jx::test::LogBody;
using Lines = std::vector<std::string>;

// The clock the tests' logs read.
std::atomic<int64_t> fake_wall{1709647629042};  // early March 2024 in every time zone
std::atomic<int64_t> fake_tick{0};
const jx::LogClock kFakeClock{[] { return fake_wall.load(); }, [] { return fake_tick.load(); }};

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

Lines Drain(jx::LogContext& log) {
  Lines lines;
  log.TakeQueued(&lines);
  return lines;
}

TEST(LogLine, MatchesTheLayoutAndWritesTheLevelLetterByRangeInHex) {
  jx::LogContext log({}, kFakeClock);
  EXPECT_EQ(log.BuildLine(JX_LOG_ERROR, "jx", "parser.cpp(53)Parse", "md5 error"),
            jx::test::LogHead(fake_wall, jx_get_current_thread_id()) +
                "[E:0400][parser.cpp(53)Parse][jx] md5 error\n");
  const std::pair<int, const char*> cases[] = {{300, "[I:012C]"}, {-1, "[V:FFFFFFFF]"}};
  for (const auto& [level, field] : cases) {
    EXPECT_EQ(LogBody(log.BuildLine(level, "m", "l", "x")), field + std::string("[l][m] x"));
  }
  EXPECT_EQ(jx::LogLocation("C:\\src\\parser.cpp", 53, "ns::Parser::Parse") +
                jx::LogLocation(nullptr, 0, nullptr),
            "parser.cpp(53)Parse(0)");
}

// Records below the minimum level are dropped; a line longer than a log file
// is cut to it, keeping its line end, and followed by a warning.
TEST(LogLine, ALineLongerThanALogFileIsCutToItWithItsLineEndAndAWarningAfterIt) {
  jx::LogSettings settings;
  settings.min_level = JX_LOG_ERROR;
  settings.rotate_bytes = 200;
  jx::LogContext log(settings, kFakeClock);
  const std::string fits(200 - log.BuildLine(JX_LOG_ERROR, "jx", "here", "").size(), 'f');
  log.Write(JX_LOG_WARN, "jx", "here", "below the minimum");
  log.Write(JX_LOG_ERROR, "jx", "here", fits);  // exactly the limit: whole
  log.Write(JX_LOG_ERROR, "jx", "here", fits + "c");
  const Lines lines = Drain(log);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(LogBody(lines[0]), "[E:0400][here][jx] " + fits);
  EXPECT_EQ(lines[1], lines[0]);
  EXPECT_TRUE(Has(lines[2], "[W:0300][jx_plog.cpp(") &&
              Has(lines[2], ")Write][plog] warn: the line above was cut to 200 bytes\n"));
}

// Callers on four threads append 4400 lines at the same moment, again and
// again, past the warning and the discard: the queue always ends as a lone
// caller would leave it, 1631 lines from the discard line on.
TEST(LogQueue, KeepsTheBacklogRulesForCallersAppendingAtOnce) {
  jx::LogContext log({}, kFakeClock);
  fake_tick = 5000;
  for (int round = 0; round < 50; ++round) {
    std::atomic<bool> go{false};
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t) {
      callers.emplace_back([&] {
        while (!go) std::this_thread::yield();
        for (int i = 0; i < 1100; ++i) log.JXAddLogForWrite("line\n");
      });
    }
    go = true;
    for (auto& caller : callers) caller.join();
    ASSERT_EQ(Drain(log).size(), 1631u) << round;
  }
}

TEST(LogWriter, SleepsAfterEvery102MillisecondsOfWriting) {
  static std::atomic<int64_t> stepping_wall{0};  // moves 51 ms at every reading
  static std::vector<int> sleeps;
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
  log.WriteBatch({"1\n", "2\n", "3\n", "4\n", "5\n"});
  EXPECT_EQ(sleeps, (std::vector<int>{102, 102}));
  EXPECT_EQ(log.file().bytes_written(), 10u);
}

// Positive values of the unnamed section win over the argument, which wins
// over the defaults; the last value counts and "true" reads as 1.
TEST(LogSettings, TakePositiveValuesOfTheUnnamedSectionOverTheArgumentAndDefaults) {
  jx::test::TempDir dir;
  const std::pair<std::string, std::pair<int, int>> cases[] = {
      {"", {256, 5}},
      {"log.level=300\nlog.level=TRUE\nlog.count_backup_files=-3\n[log]\nlog.level=2\n", {1, 5}},
      {"log.level = abc\nlog.count_backup_files = 7 files\n", {256, 7}}};
  for (const auto& [file, expected] : cases) {
    jx::test::WriteFile(dir / "app_base_config.ini", file);
    const jx::LogSettings settings =
        jx::LoadLogSettings(dir / "app_base_config.ini", "D:/logs/", "svc", 256);
    EXPECT_EQ(std::make_pair(settings.min_level, settings.backup_count), expected) << file;
    EXPECT_EQ(settings.folder + settings.module, "D:/logs/svc");
    EXPECT_EQ(settings.rotate_bytes, 20971520u);
  }
  EXPECT_EQ(jx::LoadLogSettings(dir / "none.ini", "", "", -7).min_level, JX_LOG_INFO);
}

}  // namespace
