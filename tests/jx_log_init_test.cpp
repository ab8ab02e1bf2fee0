// The process-wide log set up for real with jx_log_init. The log can be set up
// once per process, so this program holds its whole life: the tests run in
// the order written, each building on the one before.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "base/jx_config.h"
#include "base/jx_file.h"
#include "base/jx_folder.h"
#include "base/jx_log.h"
#include "base/jx_memory.h"
#include "base/jx_plog.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"
#include "support/jx_test_support.h"

namespace {

// The application root: a temporary folder, so nothing touches the user's
// own folders. Its configuration file says level 256 and 3 backups.
// The writer is idle by the time the folder goes at exit.
const jx::test::TempDir& Base() {
  static const jx::test::TempDir base;
  return base;
}
std::string Root() { return Base() / "app/"; }
std::string LogFolder() { return Root() + "log/"; }
std::string LogPath() { return LogFolder() + "trace.app.blog"; }

class ApplicationRoot : public ::testing::Environment {
 public:
  void SetUp() override {
    jx::test::WriteFile(Root() + "app_base_config.ini",
                        "log.level = 256\nlog.count_backup_files = 3\n[log]\nlog.level = 1\n");
    jx_set_app_config((Base() / "app").c_str(), nullptr);  // no trailing "/": one is added
  }
};
const auto* const application_root = ::testing::AddGlobalTestEnvironment(new ApplicationRoot);

std::string Taken(char* text) {
  std::string copy = text != nullptr ? text : "(null)";
  jx_free(text);
  return copy;
}

// Threads of this process with the given name; -1 where it cannot be told.
int ThreadsNamed(const std::string& name) {
  if (jx::test::OnWindows()) return -1;
  jx_mem_pool_t pool = jx_mem_pool_create(0);
  const jx_folder_listing tasks = jx_folder_enumerate_all(1, "/proc/self/task", pool);
  int named = 0;
  for (uint32_t i = 0; i < tasks.count; ++i) {
    if (jx::test::ReadFile(std::string(tasks.entries[i]) + "comm") == name + "\n") ++named;
  }
  jx_mem_pool_destory(pool);
  return named;
}

bool Holds(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ProcessLog, ReportsDefaultsAndRefusesRecordsBeforeSetUp) {
  EXPECT_EQ(Taken(jx_log_mod()), "app");
  EXPECT_EQ(Taken(jx_log_path()), LogFolder());
  EXPECT_EQ(jx_log_min_level(), JX_LOG_INFO);
  EXPECT_FALSE(jx_log_write_log("jx", JX_LOG_FATAL, "here", "refused"));
  EXPECT_EQ(ThreadsNamed("jx_log_thread"), jx::test::OnWindows() ? -1 : 0);
}

TEST(ProcessLog, RacingFirstCallsMakeOneLogThatTheConfigurationFileTunes) {
  // A file stands where the log folder should be: the first lines are lost.
  jx::test::WriteFile(LogFolder().substr(0, LogFolder().size() - 1), "in the way");
  std::vector<std::thread> racers;
  std::atomic<int> succeeded{0};
  for (int i = 0; i < 4; ++i) {
    racers.emplace_back([&succeeded, i] {
      if (jx_log_init(nullptr, nullptr, 1024 + i)) succeeded.fetch_add(1);
    });
  }
  for (auto& racer : racers) racer.join();
  EXPECT_EQ(succeeded.load(), 4);
  EXPECT_EQ(jx_log_min_level(), 256);  // the file's unnamed section wins
  EXPECT_EQ(jx::InstalledLog()->settings().backup_count, 3);
  EXPECT_EQ(ThreadsNamed("jx_log_thread"), jx::test::OnWindows() ? -1 : 1);

  EXPECT_TRUE(jx_log_init("elsewhere/", "other", JX_LOG_VERBOSE));  // changes nothing
  EXPECT_EQ(Taken(jx_log_mod()), "app");
  EXPECT_EQ(Taken(jx_log_path()), LogFolder());
  EXPECT_EQ(jx_log_min_level(), 256);
  EXPECT_EQ(ThreadsNamed("jx_log_thread"), jx::test::OnWindows() ? -1 : 1);

  EXPECT_TRUE(jx_log_write_log("jx", JX_LOG_ERROR, "here", "lost or late"));
}

TEST(ProcessLog, WritesLinesByteForByteOnceTheFolderCanBeMade) {
  jx_this_thread_sleep(100);  // let the writer meet the blocked folder
  ASSERT_TRUE(jx_file_remove(LogFolder().substr(0, LogFolder().size() - 1).c_str()));

  EXPECT_TRUE(jx_log_write_log("jx", JX_LOG_VERBOSE, "here", "below the minimum"));
  const int64_t before = jx_system_time_milliseconds();
  EXPECT_TRUE(jx_log_write_log(nullptr, 300, "parser.cpp(53)Parse", "md5 error"));
  const int64_t after = jx_system_time_milliseconds();
  const int line = __LINE__ + 1;
  JX_LOG(JX_LOG_DEBUG, "%s %d", "through the macro", 7);

  const std::string text = jx::test::WaitForFileContent(
      LogPath(), [](const std::string& content) { return Holds(content, "through the macro"); });
  const std::string body = "[I:012C][parser.cpp(53)Parse][] md5 error\n";
  const size_t at = text.find(body);
  ASSERT_NE(at, std::string::npos) << text;
  const size_t start = text.rfind('\n', at) + 1;  // 0 when it is the first line
  bool stamped = false;
  for (int64_t ms = before; ms <= after && !stamped; ++ms) {
    stamped = text.compare(start, at + body.size() - start,
                           jx::test::LogHead(ms, jx_get_current_thread_id()) + body) == 0;
  }
  EXPECT_TRUE(stamped) << text.substr(start, at + body.size() - start);
  EXPECT_TRUE(Holds(text, "][D:0100][jx_log_init_test.cpp(" + std::to_string(line) +
                              ")TestBody][jx] through the macro 7\n"))
      << text;
  EXPECT_FALSE(Holds(text, "below the minimum"));
}

TEST(ProcessLog, KeepsEveryWrittenLineWholeUnderAFlood) {
  std::vector<std::thread> flooders;
  for (int t = 0; t < 2; ++t) {
    flooders.emplace_back([t] {
      for (int i = 0; i < 5000; ++i) JX_LOG(JX_LOG_WARN, "flood %d:%d", t, i);
    });
  }
  for (auto& flooder : flooders) flooder.join();
  JX_LOG(JX_LOG_WARN, "after the flood");
  const std::string text = jx::test::WaitForFileContent(
      LogPath(), [](const std::string& content) { return Holds(content, "after the flood\n"); });
  ASSERT_TRUE(Holds(text, "after the flood\n"));
  // Lines may be discarded in a flood, never torn.
  const std::regex whole(
      R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d{3}\]\[P\d+ T\d+\]\[[VDIWEF?]:[0-9A-F]{4,}\])"
      R"(\[[^\]\n]*\]\[(jx|plog|)\] [^\n]*)");
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    ASSERT_TRUE(std::regex_match(text.substr(start, end - start), whole))
        << text.substr(start, end - start);
  }
  EXPECT_EQ(start, text.size());
}

}  // namespace
