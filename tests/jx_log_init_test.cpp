// The process-wide log set up for real with jx_log_init, which can happen
// once per process: racing first calls make one log that the configuration
// file in the application root tunes.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/jx_config.h"
#include "base/jx_log.h"
#include "base/jx_memory.h"
#include "base/jx_plog.h"
#include "support/jx_test_support.h"

namespace {

TEST(ProcessLog, RefusesRecordsBeforeSetUpThenWritesWhatTheConfigurationFileLets) {
  static const jx::test::TempDir base;  // the writer is idle when it goes at exit
  jx::test::WriteFile(base / "app/app_base_config.ini", "log.level = 256\n[log]\nlog.level = 1\n");
  jx_set_app_config((base / "app").c_str(), nullptr);  // no trailing "/": one is added
  char* folder = jx_log_path();
  EXPECT_EQ(std::string(folder), base / "app/log/");
  jx_free(folder);
  EXPECT_FALSE(jx_log_write_log("jx", JX_LOG_FATAL, "here", "refused"));

  std::atomic<int> succeeded{0};
  std::vector<std::thread> racers;
  for (int i = 0; i < 4; ++i) {
    racers.emplace_back([&succeeded, i] { succeeded += jx_log_init(nullptr, nullptr, 1024 + i); });
  }
  for (auto& racer : racers) racer.join();
  EXPECT_EQ(succeeded.load(), 4);
  EXPECT_TRUE(jx_log_init("elsewhere/", "other", JX_LOG_VERBOSE));  // changes nothing
  EXPECT_EQ(jx_log_min_level(), 256);  // the file's unnamed section wins
  EXPECT_TRUE(jx_log_write_log("jx", JX_LOG_VERBOSE, "here", "below the minimum"));
  EXPECT_TRUE(jx_log_write_log(nullptr, JX_LOG_INFO, nullptr, nullptr));
  int evaluated = 0;
  JX_LOG(JX_LOG_VERBOSE, "%d", ++evaluated);
  EXPECT_EQ(evaluated, 0);  // below the minimum nothing is even evaluated
  const int line = __LINE__ + 1;
  JX_LOG(JX_LOG_DEBUG, "%s %d", "through the macro", 7);
  const std::string longest(1024, 'y');  // one past the room formatting starts with
  JX_LOG(JX_LOG_DEBUG, "%s", longest.c_str());
  const std::string text = jx::test::WaitForFileContent(
      base / "app/log/trace.app.blog",
      [](const std::string& content) { return content.find("yyy") != std::string::npos; });
  EXPECT_NE(text.find("][D:0100][jx_log_init_test.cpp(" + std::to_string(line) +
                      ")TestBody][jx] through the macro 7\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("[jx] " + longest + "\n"), std::string::npos);
  EXPECT_EQ(text.find("below the minimum"), std::string::npos);
}

}  // namespace
