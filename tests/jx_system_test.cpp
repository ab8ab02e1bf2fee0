#include "base/jx_system.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/jx_path_text.h"
#include "base/jx_thread.h"
#include "base/jx_time.h"
#include "support/jx_test_text.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using jx::test::TextOf;

std::string Argument(int index) {
  return TextOf(
      [index](char** text, uint32_t* length) { return jx_command_line_at(index, text, length); });
}

TEST(SystemText, MissingOutputsGiveFalseAndFoldersEndInOneSlash) {
  char* text = nullptr;
  uint32_t length = 0;
  EXPECT_FALSE(jx_get_os_user_root_path(nullptr, &length) ||
               jx_get_os_user_root_path(&text, nullptr) || jx_command_line_at(0, nullptr, &length));
  EXPECT_TRUE(text == nullptr && length == 0);
  for (auto* getter : {jx_get_os_user_root_path, jx_get_os_user_local_path,
                       jx_get_os_user_cache_path, jx_get_path_file_current_exe}) {
    const std::string path = TextOf(getter) + "?";
    EXPECT_EQ(path, jx::FixPathText(path));
    EXPECT_EQ(path.find("/?") != std::string::npos, getter != jx_get_path_file_current_exe) << path;
  }
}

TEST(Processes, MemoryIsInMebibytesAndIdsOfNoProcessAreRefused) {
  int64_t total = -1;
  int64_t available = -1;
  ASSERT_TRUE(jx_get_os_global_memory(&total, &available) &&
              jx_get_os_global_memory(nullptr, nullptr));
  EXPECT_TRUE(total > 0 && available >= 0 && available <= total);
  // 96 MiB more in use shows as about 96 more (sanitizers map more of their own).
  int64_t before = -1;
  int64_t mib = -1;
  EXPECT_TRUE(jx_get_process_memory(jx_get_current_process_id(), &before));
  const std::vector<char> held(96 << 20, 1);
  EXPECT_TRUE(jx_get_process_memory(jx_get_current_process_id(), &mib));
  EXPECT_TRUE(held.back() == 1 && mib - before >= 90 && mib - before <= 512)
      << before << " " << mib;
  int64_t thread_id = 0;
  std::thread([&] { thread_id = jx_get_current_thread_id(); }).join();
  // 0x100000004 would name process 4 if cut to 32 bits; a thread's id names no process.
  for (int64_t never : {int64_t{0}, int64_t{-1}, int64_t{0x7FFFFFF0}, int64_t{0x100000004},
                        INT64_MIN, INT64_MAX, thread_id}) {
    EXPECT_FALSE(jx_process_is_alive(never) || jx_get_process_memory(never, &mib)) << never;
    EXPECT_EQ(mib + jx_process_terminate(never, 1), -1) << never;
  }
}

TEST(Processes, ALaunchOfNoProgramFails) {
  const char* program[] = {"jx-no-such-program-anywhere", nullptr};
  const std::pair<int, const char**> launches[] = {
      {0, program}, {-2, program}, {2, nullptr}, {1, program + 1}, {2, program}};
  for (const auto& [count, args] : launches) EXPECT_EQ(jx_process_launch(count, args), -1);
}

#ifndef _WIN32
TEST(Processes, AnExitedChildIsNotAliveAndALaunchedOneIsReaped) {
  EXPECT_TRUE(jx_process_is_alive(1));  // init, usually another user's
  const pid_t child = fork();
  if (child == 0) _exit(0);
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);  // not reaped
  EXPECT_FALSE(jx_process_is_alive(child));
  EXPECT_EQ(jx_process_terminate(child, 1), 0);  // it is still there
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  const char* args[] = {"/bin/sh", "-c", "exit 3"};
  const pid_t launched = static_cast<pid_t>(jx_process_launch(3, args));
  const int64_t give_up = jx_clock_tick_milliseconds() + 120000;  // against a broken build only
  while (kill(launched, 0) == 0 && jx_clock_tick_milliseconds() < give_up) jx_this_thread_sleep(10);
  EXPECT_NE(kill(launched, 0), 0);  // gone, not left a zombie
}
#endif

TEST(CommandLine, ResetReplacesTheWholeList) {
  std::vector<std::string> saved;
  for (int i = 0; i < jx_command_line_args_count(); ++i) saved.push_back(Argument(i));
  const char* args[] = {"x", nullptr, "y z"};
  jx_command_line_reset(3, args);
  EXPECT_EQ(jx_command_line_args_count(), 3);
  EXPECT_EQ(Argument(0) + Argument(1) + Argument(2) + Argument(3) + Argument(-1), "xy z");
  const std::pair<int, const char**> empty[] = {{0, args}, {-3, args}, {2, nullptr}};
  for (const auto& [count, texts] : empty) {
    jx_command_line_reset(count, texts);
    EXPECT_EQ(jx_command_line_args_count(), 0);
    EXPECT_EQ(Argument(0), TextOf(jx_get_path_file_current_exe));  // still names the program
  }
  std::vector<const char*> pointers;
  for (const std::string& text : saved) pointers.push_back(text.c_str());
  jx_command_line_reset(static_cast<int>(pointers.size()), pointers.data());
}

}  // namespace
